// The request addresses, byte for byte, and the steps of a request: the page,
// the browser, the monitor and the code shown on the result panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "quotes/quote_requests.h"
#include "search_window.h"

namespace tallyro::quotes {
namespace {

using test::SearchWindow;

const float kJustBelowOne = std::nextafter(1.0f, 0.0f);

class QuoteRequestsTest : public ::testing::Test {
protected:
    explicit QuoteRequestsTest(float r = 0.0f) : w([this] { return r_; }), r_(r) {
        w.el("Info_UserName").setText("帐号: trader");
    }
    void click(const char* name) {
        app::Event e{&w.el(name), app::EventKind::Click};
        w.dispatch(e);
    }
    const std::string& lastAddress() { return w.browser.navigations.back(); }

    SearchWindow w;
    float r_;
};

TEST_F(QuoteRequestsTest, StockAddress) {
    w.requests.SearchGpInfo("sh600000");
    ASSERT_EQ(w.browser.navigations.size(), 1u);
    EXPECT_EQ(lastAddress(),
              "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=1");
    EXPECT_EQ(w.el("SearchGp_ID").text(), "SH600000");
}

TEST_F(QuoteRequestsTest, NamesGoAsTypedButForWhatWouldChangeTheAddress) {
    const std::pair<const char*, const char*> names[] = {
        {"a&b c", "a%26b%20c"},      {"a#b", "a%23b"},
        {"x%41y", "x%2541y"},        {"1+1", "1%2B1"},
        {"a=b?c/d", "a=b?c/d"},      {"张三", "\xE5\xBC\xA0\xE4\xB8\x89"},
        {"x&PgRun=5", "x%26PgRun=5"}};
    for (const auto& [name, sent] : names) {
        w.el("Info_UserName").setText(std::string("帐号: ") + name);
        w.requests.SearchGpInfo("sz000001");
        EXPECT_EQ(lastAddress(),
                  std::string("http://web.test/RequestGpInfo.asp?GpID=sz000001&UserID=") + sent +
                      "&PgRun=1");
        click("SearchDapan_shenzhen");
        EXPECT_EQ(lastAddress(),
                  std::string("http://web.test/RequestDaPan.asp?DaPan=s_sh000002&UserID=") + sent +
                      "&PgRun=1");
    }
}

TEST_F(QuoteRequestsTest, LowerCaseCodeIsSentAsTypedAndShownUpperCased) {
    w.requests.SearchGpInfo("Sh60000x");
    EXPECT_EQ(lastAddress(),
              "http://web.test/RequestGpInfo.asp?GpID=Sh60000x&UserID=trader&PgRun=1");
    EXPECT_EQ(w.el("SearchGp_ID").text(), "SH60000X");
    w.requests.SearchGpInfo("az`{@0001");  // the ends of the lower-case letters, and beside them
    EXPECT_EQ(w.el("SearchGp_ID").text(), "AZ`{@0001");
}

TEST_F(QuoteRequestsTest, IndexButtons) {
    w.requests.SearchGpInfo("sh600000");
    click("SearchDapan_shanghai");
    EXPECT_EQ(lastAddress(),
              "http://web.test/RequestDaPan.asp?DaPan=s_sh000001&UserID=trader&PgRun=1");
    EXPECT_EQ(w.el("SearchGp_ID").text(), "");
    w.el("SearchGp_ID").setText("X");
    click("SearchDapan_shenzhen");
    EXPECT_EQ(lastAddress(),
              "http://web.test/RequestDaPan.asp?DaPan=s_sh000002&UserID=trader&PgRun=1");
    EXPECT_EQ(w.el("SearchGp_ID").text(), "");
}

TEST_F(QuoteRequestsTest, ShowsTheLoadingPageFirstThenNavigatesAndStartsTheMonitor) {
    w.el("SearchGpInfoMonitor").setEnabled(false);
    ASSERT_FALSE(w.monitorRunning());
    std::size_t navigationsAtShowPage = 99;
    w.context.ShowPage = [&](std::string_view page) {
        w.pages.emplace_back(page);
        navigationsAtShowPage = w.browser.navigations.size();
    };
    click("SearchDapan_shanghai");
    EXPECT_EQ(w.pages, std::vector<std::string>{"LoadingSearchPage"});
    EXPECT_EQ(navigationsAtShowPage, 0u);
    EXPECT_EQ(w.browser.navigations.size(), 1u);
    EXPECT_TRUE(w.monitorRunning());
}

TEST_F(QuoteRequestsTest, ARunningMonitorKeepsItsPhase) {
    w.fake.clock.advance(60);
    w.requests.SearchGpInfo("sh600000");
    w.browser.address = "http://web.test/SendGpInfo.asp?ErrGpID";
    w.fake.clock.advance(39);
    EXPECT_TRUE(w.monitorRunning());
    EXPECT_EQ(w.el("Login_Txt").text(), "正在获取查询数据");
    w.fake.clock.advance(1);  // the tick at 100 ms from the window's creation
    EXPECT_FALSE(w.monitorRunning());
}

TEST_F(QuoteRequestsTest, CaptionWithoutTheAccountPrefixGivesAnEmptyName) {
    w.el("Info_UserName").setText("帐号");
    w.requests.SearchGpInfo("sh600000");
    EXPECT_EQ(lastAddress(), "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=&PgRun=1");
}

class JustBelowOneTest : public QuoteRequestsTest {
protected:
    JustBelowOneTest() : QuoteRequestsTest(kJustBelowOne) {}
};

TEST_F(JustBelowOneTest, LargestDrawGivesTheLowestNumber) {
    w.requests.SearchGpInfo("sh600000");
    EXPECT_EQ(lastAddress(),
              "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=-99997");
}

struct Draw {
    float r;
    std::int32_t n;
};

class PgRunTest : public ::testing::TestWithParam<Draw> {};

// n = Int(r * -99998 + 1), Int rounding down.
TEST_P(PgRunTest, NumberFromTheDraw) {
    EXPECT_EQ(pgRunNumber(GetParam().r), GetParam().n);
}

INSTANTIATE_TEST_SUITE_P(Draws, PgRunTest,
                         ::testing::Values(Draw{0.0f, 1}, Draw{kJustBelowOne, -99997},
                                           Draw{0.5f, -49998}, Draw{0.25f, -24999},
                                           Draw{0.00001f, 0}, Draw{0.75f, -74998},
                                           // Out of range draws still give a number of the range.
                                           Draw{1.0f, -99997}, Draw{-0.5f, 1}, Draw{NAN, 1}));

struct Caption {
    const char* caption;
    const char* name;
};

class AccountNameTest : public ::testing::TestWithParam<Caption> {};

// The first four characters, not bytes, are removed: "帐号: " is eight bytes.
TEST_P(AccountNameTest, CaptionWithoutItsFirstFourCharacters) {
    EXPECT_EQ(accountName(GetParam().caption), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Captions, AccountNameTest,
                         ::testing::Values(Caption{"帐号: trader", "trader"},
                                           Caption{"帐号: 张三", "张三"}, Caption{"帐号: ", ""},
                                           Caption{"帐号", ""}, Caption{"", ""},
                                           Caption{"abcdefg", "efg"},
                                           Caption{"帐号: a b&c", "a b&c"},
                                           Caption{"帐号:  x ", " x "}));

// The numbers cover their whole range: a draw squeezed into part of [0, 1)
// would make addresses repeat far more often than they should.
TEST(RequestRandomTest, DrawsSpreadOverTheWholeRange) {
    std::uint64_t tick = 0;
    RequestRandom random([&tick] { return ++tick; });
    std::int32_t lowest = 1, highest = -99997;
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t n = pgRunNumber(random());
        lowest = std::min(lowest, n);
        highest = std::max(highest, n);
    }
    EXPECT_LT(lowest, -99000);
    EXPECT_GT(highest, -1000);
}

// Reseeding from a clock that has not moved must not repeat the last number.
TEST(RequestRandomTest, SameClockReadingStillGivesNewNumbers) {
    RequestRandom random([] { return std::uint64_t{1234567}; });
    std::set<float> seen;
    for (int i = 0; i < 100; ++i)
        seen.insert(random());
    EXPECT_GT(seen.size(), 95u);
}

TEST(QuoteRequestsClockTest, TwoRequestsInQuickSuccessionDiffer) {
    SearchWindow w;
    w.el("Info_UserName").setText("帐号: trader");
    w.requests.SearchGpInfo("sh600000");
    w.requests.SearchGpInfo("sh600000");
    ASSERT_EQ(w.browser.navigations.size(), 2u);
    EXPECT_NE(w.browser.navigations[0], w.browser.navigations[1]);
    const std::string prefix =
        "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=";
    for (const std::string& address : w.browser.navigations) {
        ASSERT_EQ(address.rfind(prefix, 0), 0u);
        const std::string number = address.substr(prefix.size());
        const long n = std::stol(number);
        EXPECT_EQ(std::to_string(n), number);  // plain integer, nothing else
        EXPECT_GE(n, -99997);
        EXPECT_LE(n, 1);
    }
}

}  // namespace
}  // namespace tallyro::quotes
