// Analysis requests and their answers, each handled exactly once, by a tick or a navigation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "quotes/answer_monitor.h"
#include "quotes/quote_requests.h"
#include "quotes/texts.h"
#include "search_window.h"

namespace tallyro::quotes {
namespace {

using test::SearchWindow;

const std::string kStock = "http://web.test/RequestGpInfo.asp?GpID=";
const std::string kIndex = "http://web.test/RequestDaPan.asp?DaPan=s_sh00000";
const std::string kStockAnswer =
    "http://web.test/SendGpInfo.asp?浦发银行|2024-01-02|14:30:05|10.50|3.2|10.17|9.80|-3.6|a";
const std::string kFixedParagraphs =
    std::string(kIndexReferenceParagraph) + "\r\n\r\n" + kIndexMovingAverageParagraph;

class QuotesTest : public ::testing::Test {
protected:
    QuotesTest() { w.el("Info_UserName").setText("帐号: trader"); }
    // The browser arrives at the address; the monitor sees it at the next tick.
    void arriveAndTick(const std::string& address) {
        w.browser.address = address;
        w.fake.clock.advance(100);
    }
    const std::string& page() { return w.pages.current(); }
    long blanks() {
        const auto& n = w.browser.navigations;
        return std::count(n.begin(), n.end(), "about:blank");
    }
    std::string text(const std::string& name) { return w.el(name).text(); }
    std::string panel() {
        std::string all;
        for (const char* name :
             {"Name", "Time", "UpMoney", "UpNum", "DMoney", "DownMoney", "DownNum", "Info"})
            all += text("SearchGp_" + std::string(name)) + "/";
        return all;
    }
    void expectRefused(const char* message, long handled = 1) {
        EXPECT_EQ(text("Login_Txt") + "|" + panel() + "|" + page() + "|" +
                      std::to_string(blanks()) + (w.monitorRunning() ? " running" : ""),
                  message + ("|" + shownAtStart) + "|LoadingSearchPage|" + std::to_string(handled));
    }

    void click(const char* name) { w.click(name, -1); }
    const std::string& lastAddress() { return w.browser.navigations.back(); }

    SearchWindow w{[] { return 0.5f; }};
    const std::string shownAtStart = panel();
};

TEST_F(QuotesTest, LoadingPageThenAddressThenMonitorAndTheCodeShownUpperCased) {
    w.el("SearchGpInfoMonitor").setEnabled(false);
    w.request("Saz`{@0");  // the ends of the lower-case letters, and beside them
    EXPECT_TRUE(page() == "LoadingSearchPage" && w.monitorRunning());
    EXPECT_EQ(lastAddress() + " " + text("SearchGp_ID"),
              kStock + "Saz`{@0&UserID=trader&PgRun=-49998 SAZ`{@0");
    click("SearchDapan_shanghai");
    EXPECT_EQ(lastAddress() + " " + text("SearchGp_ID"), kIndex + "1&UserID=trader&PgRun=-49998 ");
    click("SearchDapan_shenzhen");
    EXPECT_EQ(lastAddress(), kIndex + "2&UserID=trader&PgRun=-49998");
}

// Caption: four characters off, not bytes. PgRun = Int(r * -99998 + 1), spread on a stopped clock.
TEST(QueryPartsTest, AccountNameEscapedAndPgRunNumbersOverTheWholeRange) {
    EXPECT_EQ(queryValue(accountName("帐号: a&b c#1+1%41=?/张")), "a%26b%20c%231%2B1%2541=?/张");
    EXPECT_EQ(accountName("帐号") + "|" + accountName("abcdefg"), "|efg");
    std::string numbers;
    for (float r : {0.0f, std::nextafter(1.0f, 0.0f), 0.00001f, 1.0f, -0.5f, NAN})
        numbers += std::to_string(pgRunNumber(r)) + " ";
    EXPECT_EQ(numbers, "1 -99997 0 -99997 1 1 ");
    RequestRandom random([] { return std::uint64_t{1234567}; });
    std::int32_t lowest = 1, highest = -99997;
    for (int i = 0; i < 20000; ++i)
        std::tie(lowest, highest) = std::minmax({lowest, highest, pgRunNumber(random())});
    EXPECT_TRUE(lowest < -99000 && highest > -1000) << lowest << " " << highest;
}

TEST_F(QuotesTest, StockAnswerFillsThePanelAndShowsIt) {
    w.request("sh600000");
    arriveAndTick(kStockAnswer);
    EXPECT_EQ(panel(),
              "浦发银行/查询时间: 2024-01-02 14:30:05/RMB: 10.50/3.2%/RMB: 10.17/RMB: "
              "9.80/-3.6%/\u3000\u3000a\r\n\r\n\u3000\u3000/");
    EXPECT_EQ(page() + " " + w.browser.documentAddress() + (w.monitorRunning() ? " running" : ""),
              "SearchResultPage about:blank");
    // Fields go as the server wrote them; the payload ends at a second "?".
    w.request("sh600000");
    arriveAndTick("http://web.test/SendGpInfo.asp?名|t1|t2| 7.1 |-0|x|1e3|%|b?c|d");
    EXPECT_EQ(text("SearchGp_UpMoney") + "|" + text("SearchGp_Info"),
              "RMB:  7.1 |\u3000\u3000b\r\n\r\n\u3000\u3000");
}

// Service errors, and cut-off or broken answers refused like a busy service.
TEST_F(QuotesTest, RefusedAnswersLeaveTheirMessageOnTheLoadingPage) {
    const std::pair<const char*, std::vector<const char*>> answers[] = {
        {kNoMatchMessage, {"SendGpInfo.asp?ErrGpID", "SendG?ErrGpID?x=1"}},
        {kSuspendedMessage, {"SendG?n|d|t|1||2|3|4|x"}},
        {kBusyMessage,
         {"SendG?ErrGpMoney", "SendG", "SendG?n|d|t|1|2|3|4|5", "SendG?a|b|c|d|", "SendG?ErrGpIDx",
          "SendG?errgpid", "SendD", "SendD?a|b|c|3|1|3|2", "SendD?a|b|c|x|1|3|2|2",
          "SendD?a|b|c|3|1|3||2", "SendD?a|b|c|3|1|3|-0.00|2"}}};
    long handled = 0;
    for (const auto& [message, list] : answers)
        for (const char* answer : list) {
            w.request("sh600000");
            arriveAndTick(std::string("http://web.test/") + answer);
            expectRefused(message, ++handled);
        }
}

TEST_F(QuotesTest, IndexAnswerShowsItsLevelsAndTheAdviceFromPressureAndSupport) {
    click("SearchDapan_shanghai");
    w.browser.finish("http://web.test/SendDaPan.asp?上证|2024-01-02|15:00|3300|1.5|3150|2900|-2");
    EXPECT_EQ(panel(), "上证/查询时间: 2024-01-02 15:00/3300/1.5%/3150/2900/-2%/\u3000\u30003100" +
                           std::string(kIndexMidpointTail) + "\r\n\r\n" + kFixedParagraphs + "/");
    EXPECT_TRUE(page() == "SearchResultPage" && !w.monitorRunning());
}

// Stock advice in indented paragraphs; the index's midpoint in its shortest plain decimal form.
TEST(AdviceTest, ParagraphsIndentedAndTheMidpointAboveTwelvePercentInPlainDecimals) {
    const std::string p = "\r\n\r\n\u3000\u3000";
    EXPECT_EQ(
        stockAdvice("") + "|" + stockAdvice("ab<br><br>") + "|" + stockAdvice("a<br><br><br>b"),
        "\u3000\u3000|\u3000\u3000ab" + p + p + "|\u3000\u3000a" + p + "<br>b" + p);
    EXPECT_EQ(indexAdvice(112, 100), kFixedParagraphs);
    const std::tuple<double, double, const char*> spreads[] = {
        {112.00000000001, 100, "106.000000000005"}, {0.5, 0.1, "0.3"}, {3301, 2900, "3100.5"}};
    for (const auto& [pressure, support, midpoint] : spreads)
        EXPECT_EQ(indexAdvice(pressure, support), "\u3000\u3000" + std::string(midpoint) +
                                                      kIndexMidpointTail + "\r\n\r\n" +
                                                      kFixedParagraphs);
    std::string decimals;
    for (double v :
         {2.0 / 3, -0.0, -2.5, 25.0, 0.00000015, 1e20, 9999.9999999999999, 3105.450000000001})
        decimals += plainDecimal(v) + " ";
    EXPECT_EQ(decimals,
              "0.666666666666667 0 -2.5 25 0.00000015 100000000000000000000 10000 3105.45 ");
    // The levels the advice is made from are decimal numbers only.
    for (const char* bad : {"", " ", "-", "x1", "inf", "nan", "1e400", "3,300", "3300点", "1 2"})
        EXPECT_EQ(parseLevel(bad), std::nullopt) << bad;
    for (const auto& [level, value] :
         {std::pair{" 2900 ", 2900.0}, {"+.5", 0.5}, {"-1e3", -1000.0}})
        EXPECT_EQ(parseLevel(level), value) << level;
}

// Scheme and host without regard to case; what follows the prefix up to the "?" is not read.
TEST_F(QuotesTest, OnlyTheServicesAnswerPagesCount) {
    long answers = 0;
    for (const std::string address :
         {"http://web.test/SendGxyz/any.asp", "HTTP://WEB.test/SendG",
          "http://web.test/SendDaPan.asp", "http://web.test/sendGpInfo.asp",
          "http://web.test.example/SendG", "http://web.test/SendX.asp", "",
          "res://ie.dll/x.htm#http://web.test/SendG"}) {
        w.request("sh600000");
        arriveAndTick(address + "?名|1|2|3|4|5|6|7|8");
        const bool answer = answers < 3 && ++answers;  // the first three are answers
        EXPECT_EQ(page() + std::to_string(blanks()),
                  (answer ? "SearchResultPage" : "LoadingSearchPage") + std::to_string(answers))
            << address;
    }
    EXPECT_FALSE(hasAnswerPrefix("http://h.example/svc/SendG?x", "http://H.example/Svc/SendG"));
}

TEST_F(QuotesTest, ANavigationEndingElsewhereEndsTheWaitAsBusyButTheEmptyPageDoesNot) {
    w.request("sh600000");
    w.browser.finish("about:blank");
    EXPECT_TRUE(w.monitorRunning());
    w.browser.finish("http://web.test/RequestGpInfo.asp?GpID=sh600000", false);  // unreachable
    expectRefused(kBusyMessage);
    w.request("sh600000");  // the next request waits afresh
    w.browser.finish("http://web.test/Other.asp");
    expectRefused(kBusyMessage, 2);
}

TEST_F(QuotesTest, PollingGoesOnUntilAnAnswerWhichIsHandledOnce) {
    w.request("sh600000");
    arriveAndTick("http://web.test/RequestGpInfo.asp?GpID=sh600000");
    w.fake.clock.advance(5000);
    EXPECT_TRUE(w.monitorRunning());
    arriveAndTick(kStockAnswer);
    w.monitor.navigated(w.browser.documentAddress());  // the report after the tick
    w.request("sh600004");
    w.fake.clock.advance(1000);
    EXPECT_TRUE(page() == "LoadingSearchPage" && blanks() == 1 && w.monitorRunning());
}

TEST_F(QuotesTest, AFinishedNavigationIsHandledAtOnceAndOnlyOnceWhileTheMonitorRuns) {
    w.el("SearchGpInfoMonitor").setEnabled(false);
    w.browser.finish("http://web.test/SendGpInfo.asp?ErrGpMoney");
    EXPECT_TRUE(w.browser.navigations.empty());
    w.request("sh600000");  // the next tick finds the answer still there
    w.fake.clock.advance(100);
    EXPECT_EQ(blanks(), 1);
    w.request("sh600000");
    w.browser.finish(kStockAnswer);
    EXPECT_EQ(page(), "SearchResultPage");
    w.pages.ShowPage("SearchMainPage");
    w.monitor.navigated(w.browser.documentAddress());
    w.monitor.SearchGpInfoMonitor_Timer();  // a tick already queued when the timer stopped
    EXPECT_EQ(page() + std::to_string(blanks()), "SearchMainPage2");
}

}  // namespace
}  // namespace tallyro::quotes
