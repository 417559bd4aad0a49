// The watch list on the fake platform and a real copy of the stock database.
#include "client_fixture.h"
#include "data/local_database.h"
#include "lookup/result_rows.h"
#include "ui/bitmap_table.h"
#include "watch/trading_hours.h"

namespace tallyro::watch {
namespace {

using ui::EventKind;

// 2026-12-07 is a Monday; a time of that week in Shanghai as Unix milliseconds.
std::int64_t shanghai(int day, int hour, int minute) {
    return 1'796'572'800'000 + ((day * 24 + hour) * 60 + minute) * 60'000LL;
}

TEST(WatchRules, TradingSessionsTheNextOpeningAndTheLevelsThatAlert) {
    std::string open;
    for (const auto& [day, h, m] : {std::tuple{0, 9, 29}, {0, 9, 30}, {0, 11, 29}, {0, 11, 30},
                                    {0, 12, 59}, {0, 13, 0}, {0, 14, 59}, {0, 15, 0}, {5, 10, 0}})
        open += inTradingHours(shanghai(day, h, m)) ? "1" : "0";
    EXPECT_EQ(open, "011001100");
    EXPECT_EQ(nextSessionStart(shanghai(0, 11, 30)), shanghai(0, 13, 0));
    EXPECT_EQ(nextSessionStart(shanghai(0, 9, 30)), shanghai(0, 13, 0));
    EXPECT_EQ(nextSessionStart(shanghai(4, 15, 0)), shanghai(7, 9, 30));  // Friday to Monday
    EXPECT_EQ(nextSessionStart(shanghai(-1, 23, 0)), shanghai(0, 9, 30));
    // The trading day turns at midnight in Shanghai, 16:00 UTC.
    std::string days;
    for (const std::int64_t ms : {shanghai(0, 23, 59), shanghai(1, 0, 0), std::int64_t{0}})
        days += shanghaiTime(ms).day + " " + std::to_string(shanghaiTime(ms).weekday) + " ";
    EXPECT_EQ(days, "2026-12-07 1 2026-12-08 2 1970-01-01 4 ");
    // Levels reached, passed or within the margin: pressure from below, support from above.
    std::string out;  // 10.395 is 1 % short of 10.50
    for (const double price : {10.2, 10.39, 10.395, 11.0, 9.898, 9.9, 9.0}) {
        for (const Level l : reachedLevels({"sh600000", "", "", "", "", price, 10.5, 9.8}, 0.01))
            out += levelName(l);
        out += ",";
    }
    EXPECT_EQ(out, ",,压力位,压力位,支撑位,,支撑位,");
}

std::string answer(const std::string& fields) {
    return "http://web.test/SendGpInfo.asp?" + fields;
}

class WatchTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    void signIn() {
        typeText("UserName_Txt", "trader");
        typeText("PassWord_Txt", "abc");
        click("Login_Bot");
        fake.udp.arrive("LoginOk");
    }
    std::string asked() {  // the code of every request sent
        std::string codes;
        for (const std::string& url : fake.fetcher.urls)
            codes += url.substr(url.find("GpID=") + 5, 8) + " ";
        return codes;
    }
    void answerLevels(const char* name, const char* price, const char* pressure = "10.50",
                      const char* support = "9.80") {
        fake.fetcher.answer(answer(std::string(name) + "|2026-12-07|10:00:00|" + pressure +
                                   "|3.2|" + price + "|" + support + "|-3.6|a"));
    }
    void refuse(int requests) {  // each 2 s after the last answer
        for (int i = 0; i < requests; ++i) {
            advance(2000);
            fake.fetcher.answer(answer("ErrGpMoney"));
        }
    }
    std::string row(std::int16_t n) {
        const ui::Element* price = form->form().find("GpPrice", n);
        const ui::Element* fill = form->form().find("GpGaugeFill", n);
        return el("GpID", n).text() + " " + (price ? price->text() : "-") +
               (price && price->foreColor() != 0x202020u ? " grey" : "") +
               (fill ? " " + std::to_string(static_cast<int>(fill->width())) : "");
    }
};

// 2 s apart, in the favourites' order; the next round five minutes after the last began.
TEST_F(WatchTest, OneRequestAtATimeEveryFavouriteEachRound) {
    advance(60'000);
    EXPECT_TRUE(fake.fetcher.urls.empty());  // nothing before sign-in
    signIn();
    ASSERT_EQ(asked(), "sh600000 ");
    EXPECT_EQ(fake.fetcher.urls[0].rfind(
                  "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=", 0),
              0u);
    advance(10'000);
    EXPECT_EQ(asked(), "sh600000 ");  // no second request while one is under way
    answerLevels("浦发银行", "10.17");
    EXPECT_EQ(asked(), "sh600000 sh600036 ");  // 2 s had passed
    fake.fetcher.answer("", "Connection refused");
    advance(1999);
    EXPECT_EQ(asked(), "sh600000 sh600036 ");
    advance(1);
    EXPECT_EQ(asked(), "sh600000 sh600036 sh600519 ");
    fake.fetcher.answer(answer("贵州茅台|d|t|1800|||1700||a"));  // suspended
    refuse(5);
    EXPECT_EQ(fake.fetcher.urls.size(), 8u);
    EXPECT_EQ(row(1) + ", " + row(2) + ", " + row(3),
              "sh600000 10.17 1004, sh600036 -- grey, sh600519 停牌 grey");
    // Idle between rounds only the watch list's timer runs; this round began 22 s ago.
    EXPECT_TRUE(fake.clock.running(&el("WatchTimer")) && fake.clock.runningCount() == 1);
    advance(300'000 - 22'000 - 1);
    EXPECT_EQ(fake.fetcher.urls.size(), 8u);
    advance(1);
    EXPECT_EQ(asked().substr(9 * 8), "sh600000 ");
}

TEST_F(WatchTest, OutsideTradingHoursOneRoundThenTheNextOpening) {
    fake.clock.epochMs = shanghai(5, 20, 0);  // a Saturday evening
    signIn();
    refuse(8);
    std::string counts;
    for (const int ms : {0, 24 * 3'600'000, 13 * 3'600'000 + 29 * 60'000, 60'000}) {
        advance(ms);  // Saturday, Sunday, Monday 9:29, 9:30 passed
        counts += std::to_string(fake.fetcher.urls.size()) + " ";
    }
    EXPECT_EQ(counts, "8 8 8 9 ");
}

// Kept across restarts; clicking it brings the window back and asks for the analysis.
TEST_F(WatchTest, AnAlertOncePerStockLevelAndDayThatOpensTheAnalysis) {
    signIn();
    answerLevels("浦发银行", "10.84", "11.20", "10.80");
    ASSERT_EQ(fake.notifier.shown,
              std::vector<std::string>{"Tallyro|浦发银行 10.84 触及支撑位 10.80|sh600000"});
    click("Bot_Min");
    fake.notifier.click("sh600000");
    EXPECT_TRUE(form->form().window().visible());
    EXPECT_EQ(fake.browser.navigations.back().substr(0, 48) + form->pages().current(),
              "http://web.test/RequestGpInfo.asp?GpID=sh600000&LoadingSearchPage");
    // The next start the same day the alert is remembered; the next day it comes again.
    for (const std::size_t shown : {1u, 2u}) {
        start();
        signIn();
        answerLevels("浦发银行", "10.70", "11.20", "10.80");
        EXPECT_EQ(fake.notifier.shown.size(), shown);
        fake.clock.epochMs += 24 * 3'600'000;
    }
}

// The mark is filled on favourites, faint on the row under the pointer, hidden elsewhere.
TEST_F(WatchTest, MarksAddAndRemoveFavouritesInOrderUpToFifty) {
    signIn();
    send(el("SearchForm_Text"), EventKind::GotFocus);
    typeText("SearchForm_Text", "sh60000");
    ASSERT_GE(lookup::rowCount(form->form()), 3);
    const auto marks = [&] {
        std::string out;
        for (std::int16_t n = 1; n <= 3; ++n) {
            const ui::Element& m = el("shoucang", n);
            out += !m.visible() ? "." : m.picture() == ui::kBitmapFolder ? "F" : "f";
        }
        return out;
    };
    EXPECT_EQ(marks(), "F..");  // sh600000 is a favourite
    send(el("GpBg", 3), EventKind::MouseMove);
    movePointer(1700, 300);  // over the window: the row under the pointer shows it faint
    EXPECT_EQ(marks(), "F.f");
    movePointer(100, 300);
    EXPECT_EQ(marks(), "F..");
    const std::string third = el("GpID", 3).text();
    send(el("shoucang", 3), EventKind::Click);
    send(el("shoucang", 1), EventKind::Click);
    EXPECT_EQ(marks(), "..F");
    const auto favourites = [&] {
        return data::LocalDatabase::open(files.database, nullptr)->readSearchList();
    };
    EXPECT_EQ(std::to_string(favourites().size()) + " " + favourites().front().gpId + " " +
                  favourites().back().gpId,
              "8 sh600036 " + third);
    // Filled up to fifty, the fifty-first is refused with a word.
    std::string sql;
    for (int i = 0; i < 42; ++i)
        sql += "insert into [SearchList] values ('sz3000" + std::to_string(10 + i) + "', 'X');";
    test::execSql(files.database, sql);
    start();
    signIn();
    send(el("SearchForm_Text"), EventKind::GotFocus);
    typeText("SearchForm_Text", "sh60100");
    send(el("shoucang", 1), EventKind::Click);
    EXPECT_EQ(favourites().size(), 50u);
    EXPECT_NE(fake.notifier.shown.back().find("50"), std::string::npos);
}

}  // namespace
}  // namespace tallyro::watch
