// The answer monitor: which addresses are answers, what each answer shows, and
// that one answer is handled exactly once, by a tick or by a finished navigation.
#include <gtest/gtest.h>

#include <algorithm>

#include "quotes/answer_monitor.h"
#include "search_window.h"

namespace tallyro::quotes {
namespace {

using test::SearchWindow;

const std::string kIndentText = "\u3000\u3000";
const std::string kReference =
    "\u3000\u3000影响大盘涨跌的因素很多，\u201CTallyro\u201D给出的上方压力位与下方支撑位仅供参考。";
const std::string kMovingAverages =
    "\u3000\u3000请将您股票软件的移动平均线设定为：5、30、60、130、250日线，在压力支撑位间的距离较"
    "大时，"
    "可以用这些均线作为补充参照，当这些均线位于股价之上时会成为上行的阻力，相反则成为下跌的支撑。";
const std::string kTail = "是大盘目前的弱压力/支撑位，可能会对指数的运行产生影响。";

const std::string kStockPayload =
    "浦发银行|2024-01-02|14:30:05|10.50|3.2|10.17|9.80|-3.6|ab<br><br>cd";

class AnswerMonitorTest : public ::testing::Test {
protected:
    AnswerMonitorTest() { w.el("Info_UserName").setText("帐号: trader"); }

    // The browser arrives at the address; the monitor sees it at the next tick.
    void arriveAndTick(const std::string& address) {
        w.browser.address = address;
        w.fake.clock.advance(100);
    }
    int shown() {
        return static_cast<int>(std::count(w.pages.begin(), w.pages.end(), "SearchResultPage"));
    }
    int blanks() {
        return static_cast<int>(
            std::count(w.browser.navigations.begin(), w.browser.navigations.end(), "about:blank"));
    }
    std::string text(const char* name) { return w.el(name).text(); }
    void expectPanelUntouched() {
        EXPECT_EQ(text("SearchGp_Name"), "暂无数据");
        EXPECT_EQ(text("SearchGp_UpMoney"), "RMB 0.00");
        EXPECT_EQ(text("SearchGp_Info"), "");
        EXPECT_EQ(shown(), 0);
    }
    void expectHandled() {
        EXPECT_EQ(w.browser.documentAddress(), "about:blank");
        EXPECT_EQ(blanks(), 1);
        EXPECT_FALSE(w.monitorRunning());
    }

    SearchWindow w;
};

TEST_F(AnswerMonitorTest, StockAnswerFillsThePanelAndShowsIt) {
    w.requests.SearchGpInfo("sh600000");
    arriveAndTick("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(text("SearchGp_Name"), "浦发银行");
    EXPECT_EQ(text("SearchGp_Time"), "查询时间: 2024-01-02 14:30:05");
    EXPECT_EQ(text("SearchGp_UpMoney"), "RMB: 10.50");
    EXPECT_EQ(text("SearchGp_UpNum"), "3.2%");
    EXPECT_EQ(text("SearchGp_DMoney"), "RMB: 10.17");
    EXPECT_EQ(text("SearchGp_DownMoney"), "RMB: 9.80");
    EXPECT_EQ(text("SearchGp_DownNum"), "-3.6%");
    EXPECT_EQ(text("SearchGp_Info"), "\u3000\u3000ab\r\n\r\n\u3000\u3000cd\r\n\r\n\u3000\u3000");
    EXPECT_EQ(text("SearchGp_ID"), "SH600000");
    EXPECT_EQ(w.pages, (std::vector<std::string>{"LoadingSearchPage", "SearchResultPage"}));
    expectHandled();
}

struct Advice {
    const char* name;
    const char* field;
    const char* text;
};

class StockAdviceTest : public ::testing::TestWithParam<Advice> {};

TEST_P(StockAdviceTest, ParagraphsIndentedWithAnEmptyLineAfterEach) {
    EXPECT_EQ(stockAdvice(GetParam().field), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, StockAdviceTest,
    ::testing::Values(
        Advice{"Empty", "", "\u3000\u3000"},
        Advice{"One", "持有", "\u3000\u3000持有\r\n\r\n\u3000\u3000"},
        Advice{"Two", "ab<br><br>cd", "\u3000\u3000ab\r\n\r\n\u3000\u3000cd\r\n\r\n\u3000\u3000"},
        Advice{"TrailingSeparator", "ab<br><br>",
               "\u3000\u3000ab\r\n\r\n\u3000\u3000\r\n\r\n\u3000\u3000"},
        Advice{"SingleBreakStays", "a<br>b", "\u3000\u3000a<br>b\r\n\r\n\u3000\u3000"},
        Advice{"ThreeBreaks", "a<br><br><br>b",
               "\u3000\u3000a\r\n\r\n\u3000\u3000<br>b\r\n\r\n\u3000\u3000"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ServiceError {
    const char* name;
    const char* payload;
    const char* message;
};

class StockErrorTest : public AnswerMonitorTest,
                       public ::testing::WithParamInterface<ServiceError> {};

TEST_P(StockErrorTest, MessageOnTheLoadingPageAndThePanelUnchanged) {
    w.requests.SearchGpInfo("sh600000");
    arriveAndTick(std::string("http://web.test/SendGpInfo.asp?") + GetParam().payload);
    EXPECT_EQ(text("Login_Txt"), GetParam().message);
    expectPanelUntouched();
    expectHandled();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StockErrorTest,
    ::testing::Values(
        ServiceError{"NoMatch", "ErrGpID", "没有找到匹配的信息"},
        ServiceError{"Busy", "ErrGpMoney", "股票停盘或服务器忙碌"},
        ServiceError{"NoMatchBeforeSecondQuestionMark", "ErrGpID?x=1", "没有找到匹配的信息"},
        ServiceError{"Suspended", "浦发银行|2024-01-02|14:30|10.50||10.17|9.80|3.6|持有",
                     "当前股票处于停盘中"},
        // Cut-off or broken answers are refused like a busy service.
        ServiceError{"NoFields", "", "股票停盘或服务器忙碌"},
        ServiceError{"EightFields", "浦发银行|2024-01-02|14:30|10.50|3.2|10.17|9.80|3.6",
                     "股票停盘或服务器忙碌"},
        ServiceError{"ShortWithEmptyField4", "a|b|c|d|", "股票停盘或服务器忙碌"},
        ServiceError{"ErrorCodeWithSuffix", "ErrGpIDx", "股票停盘或服务器忙碌"},
        ServiceError{"LowerCaseErrorCode", "errgpid", "股票停盘或服务器忙碌"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AnswerMonitorTest, StockAnswerWithoutQueryIsRefused) {
    arriveAndTick("http://web.test/SendGpInfo.asp");
    EXPECT_EQ(text("Login_Txt"), "股票停盘或服务器忙碌");
    expectPanelUntouched();
    expectHandled();
}

TEST_F(AnswerMonitorTest, FieldsAreShownAsTheServerWroteThem) {
    arriveAndTick("http://web.test/SendGpInfo.asp?名|t1|t2| 007.10 |-0|x|1e3|%|a|b|c");
    EXPECT_EQ(text("SearchGp_UpMoney"), "RMB:  007.10 ");
    EXPECT_EQ(text("SearchGp_UpNum"), "-0%");
    EXPECT_EQ(text("SearchGp_DMoney"), "RMB: x");
    EXPECT_EQ(text("SearchGp_DownMoney"), "RMB: 1e3");
    EXPECT_EQ(text("SearchGp_DownNum"), "%%");
    EXPECT_EQ(text("SearchGp_Info"),
              "\u3000\u3000a\r\n\r\n\u3000\u3000");  // fields 9 and 10 ignored
    EXPECT_EQ(shown(), 1);
}

TEST_F(AnswerMonitorTest, PayloadEndsAtASecondQuestionMark) {
    arriveAndTick("http://web.test/SendGpInfo.asp?名|t1|t2|1|2|3|4|5|cd?ef|gh");
    EXPECT_EQ(text("SearchGp_Info"), "\u3000\u3000cd\r\n\r\n\u3000\u3000");
}

TEST_F(AnswerMonitorTest, IndexAnswerWithWideSpreadGivesTheMidpoint) {
    w.requests.SearchDapan_shanghai_Click();
    arriveAndTick(
        "http://web.test/"
        "SendDaPan.asp?上证指数|2024-01-02|15:00|3300|1.5|3150.12|2900|-2.1|ignored");
    EXPECT_EQ(text("SearchGp_Name"), "上证指数");
    EXPECT_EQ(text("SearchGp_Time"), "查询时间: 2024-01-02 15:00");
    EXPECT_EQ(text("SearchGp_UpMoney"), "3300");
    EXPECT_EQ(text("SearchGp_UpNum"), "1.5%");
    EXPECT_EQ(text("SearchGp_DMoney"), "3150.12");
    EXPECT_EQ(text("SearchGp_DownMoney"), "2900");
    EXPECT_EQ(text("SearchGp_DownNum"), "-2.1%");
    EXPECT_EQ(text("SearchGp_ID"), "");
    EXPECT_EQ(text("SearchGp_Info"), kIndentText + "3100" + kTail + "\r\n\r\n" + kReference +
                                         "\r\n\r\n" + kMovingAverages);
    EXPECT_EQ(w.pages.back(), "SearchResultPage");
    expectHandled();
}

TEST_F(AnswerMonitorTest, IndexAnswerWithNarrowSpreadGivesTheFixedParagraphsOnly) {
    arriveAndTick("http://web.test/SendDaPan.asp?深证|d|t|3100|1|3000|2900|2");
    EXPECT_EQ(text("SearchGp_Info"), kReference + "\r\n\r\n" + kMovingAverages);
    EXPECT_EQ(shown(), 1);
}

struct IndexLevels {
    const char* name;
    double pressure;
    double support;
    const char* midpoint;  // "" for none
};

class IndexAdviceTest : public ::testing::TestWithParam<IndexLevels> {};

TEST_P(IndexAdviceTest, MidpointOnlyAboveTwelvePercent) {
    const IndexLevels& p = GetParam();
    const std::string fixed = kReference + "\r\n\r\n" + kMovingAverages;
    const std::string expected = std::string(p.midpoint).empty()
                                     ? fixed
                                     : kIndentText + p.midpoint + kTail + "\r\n\r\n" + fixed;
    EXPECT_EQ(indexAdvice(p.pressure, p.support), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Spreads, IndexAdviceTest,
    ::testing::Values(IndexLevels{"About13Point8", 3300, 2900, "3100"},
                      IndexLevels{"About6Point9", 3100, 2900, ""},
                      IndexLevels{"ExactlyTwelve", 112, 100, ""},
                      IndexLevels{"JustAboveTwelve", 112.00000000001, 100, "106.000000000005"},
                      IndexLevels{"HalfPoint", 3301, 2900, "3100.5"},
                      IndexLevels{"DecimalLevels", 3310.7, 2900.2, "3105.45"},
                      // (0.5 - 0.1) / 2 + 0.1 is 0.30000000000000004 in binary.
                      IndexLevels{"BinaryFraction", 0.5, 0.1, "0.3"},
                      IndexLevels{"PressureBelowSupport", 2800, 2900, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct Decimal {
    const char* name;
    double value;
    const char* text;
};

class PlainDecimalTest : public ::testing::TestWithParam<Decimal> {};

TEST_P(PlainDecimalTest, ShortestPlainForm) {
    EXPECT_EQ(plainDecimal(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PlainDecimalTest,
    ::testing::Values(Decimal{"Integer", 3100, "3100"}, Decimal{"Half", 3100.5, "3100.5"},
                      Decimal{"PointThree", 0.1 + 0.2, "0.3"},
                      Decimal{"OneThird", 1.0 / 3, "0.333333333333333"},
                      Decimal{"TwoThirds", 2.0 / 3, "0.666666666666667"},
                      Decimal{"Negative", -2.5, "-2.5"}, Decimal{"Zero", 0.0, "0"},
                      Decimal{"NegativeZero", -0.0, "0"},
                      Decimal{"Small", 0.00000015, "0.00000015"},
                      Decimal{"SmallDigits", 0.000012345, "0.000012345"},
                      Decimal{"Large", 1e20, "100000000000000000000"},
                      Decimal{"SeventeenDigits", 123456789012345678.0, "123456789012346000"},
                      Decimal{"RoundsUpACarry", 9999.9999999999999, "10000"},
                      Decimal{"FifteenDigits", 3105.45000000001, "3105.45000000001"},
                      Decimal{"SixteenDigits", 3105.450000000001, "3105.45"}),
    [](const auto& info) { return std::string(info.param.name); });

class IndexRefusedTest : public AnswerMonitorTest,
                         public ::testing::WithParamInterface<ServiceError> {};

TEST_P(IndexRefusedTest, BrokenIndexAnswerIsRefusedNotShown) {
    w.requests.SearchDapan_shenzhen_Click();
    arriveAndTick(std::string("http://web.test/SendDaPan.asp") + GetParam().payload);
    EXPECT_EQ(text("Login_Txt"), "股票停盘或服务器忙碌");
    expectPanelUntouched();
    expectHandled();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, IndexRefusedTest,
    ::testing::Values(ServiceError{"NoQuery", "", ""}, ServiceError{"EmptyPayload", "?", ""},
                      ServiceError{"SevenFields", "?a|b|c|3300|1|3000|2900", ""},
                      ServiceError{"PressureNotANumber", "?a|b|c|abc|1|3000|2900|2", ""},
                      ServiceError{"SupportEmpty", "?a|b|c|3300|1|3000||2", ""},
                      ServiceError{"SupportZero", "?a|b|c|3300|1|3000|0|2", ""},
                      ServiceError{"SupportZeroWithDecimals", "?a|b|c|3300|1|3000|-0.00|2", ""},
                      ServiceError{"Infinity", "?a|b|c|inf|1|3000|2900|2", ""},
                      ServiceError{"NotANumber", "?a|b|c|3300|1|3000|nan|2", ""},
                      ServiceError{"Overflow", "?a|b|c|1e400|1|3000|2900|2", ""},
                      ServiceError{"GroupedDigits", "?a|b|c|3,300|1|3000|2900|2", ""},
                      ServiceError{"TrailingText", "?a|b|c|3300点|1|3000|2900|2", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct Level {
    const char* text;
    double value;
};

class ParseLevelTest : public ::testing::TestWithParam<Level> {};

TEST_P(ParseLevelTest, DecimalNumbers) {
    const auto value = parseLevel(GetParam().text);
    ASSERT_TRUE(value.has_value()) << GetParam().text;
    EXPECT_DOUBLE_EQ(*value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Levels, ParseLevelTest,
                         ::testing::Values(Level{"3300", 3300}, Level{"3150.12", 3150.12},
                                           Level{" 2900 ", 2900}, Level{"+12.5", 12.5},
                                           Level{"-7", -7}, Level{".5", 0.5}, Level{"1e3", 1000}));

struct Address {
    const char* name;
    const char* address;
    bool answer;
};

class AnswerAddressTest : public AnswerMonitorTest,
                          public ::testing::WithParamInterface<Address> {};

TEST_P(AnswerAddressTest, OnlyTheServicesAnswerPagesCount) {
    arriveAndTick(GetParam().address);
    EXPECT_EQ(shown(), GetParam().answer ? 1 : 0);
    EXPECT_EQ(w.monitorRunning(), !GetParam().answer);
    if (!GetParam().answer) {
        EXPECT_TRUE(w.browser.navigations.empty());
        expectPanelUntouched();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AnswerAddressTest,
    ::testing::Values(
        Address{"StockPage", "http://web.test/SendGpInfo.asp?名|1|2|3|4|5|6|7|8", true},
        Address{"FurtherLettersAfterPrefix", "http://web.test/SendGxyz/any.asp?名|1|2|3|4|5|6|7|8",
                true},
        Address{"PrefixAlone", "http://web.test/SendG?名|1|2|3|4|5|6|7|8", true},
        Address{"IndexPage", "http://web.test/SendDaPan.asp?名|1|2|3300|4|5|2900|7", true},
        Address{"LowerCasePrefix", "http://web.test/sendGpInfo.asp?名|1|2|3|4|5|6|7|8", false},
        Address{"HostInOtherCase", "HTTP://WEB.test/SendGpInfo.asp?名|1|2|3|4|5|6|7|8", true},
        Address{"OtherHost", "http://web.test.example/SendGpInfo.asp?名|1|2|3|4|5|6|7|8", false},
        Address{"OtherPage", "http://web.test/SendX.asp?名|1|2|3|4|5|6|7|8", false},
        Address{"RequestItself",
                "http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=a&PgRun=-5", false},
        Address{"NoDocumentYet", "", false}, Address{"Blank", "about:blank", false},
        Address{"BrowserErrorPage", "res://ieframe.dll/navcancl.htm#http://web.test/SendG", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerPrefixTest, SchemeAndHostCompareWithoutCaseThePathExactly) {
    // Browsers report the host in lower case, whatever case the web base has.
    const std::string prefix = "http://Quotes.Example:8340/SendG";
    EXPECT_TRUE(hasAnswerPrefix("http://quotes.example:8340/SendGpInfo.asp?x", prefix));
    EXPECT_TRUE(hasAnswerPrefix("HTTP://QUOTES.EXAMPLE:8340/SendG", prefix));
    EXPECT_FALSE(hasAnswerPrefix("http://quotes.example:8340/sendG?x", prefix));
    EXPECT_FALSE(hasAnswerPrefix("http://quotes.example:8341/SendG?x", prefix));
    EXPECT_FALSE(hasAnswerPrefix("http://quotes.example:8340/Send", prefix));
    // A base with a path: only scheme and host are free of case.
    EXPECT_FALSE(hasAnswerPrefix("http://h.example/svc/SendG?x", "http://H.example/Svc/SendG"));
}

struct Ending {
    const char* name;
    const char* address;
    bool reached;  // false: the address could not be reached at all
};

class NavigationEndTest : public AnswerMonitorTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(NavigationEndTest, ANavigationEndingElsewhereEndsTheWaitAsBusy) {
    w.requests.SearchGpInfo("sh600000");
    w.browser.finish(GetParam().address, GetParam().reached);
    EXPECT_EQ(text("Login_Txt"), "股票停盘或服务器忙碌");
    EXPECT_EQ(w.browser.navigations.back(), "about:blank");
    EXPECT_FALSE(w.monitorRunning());
    expectPanelUntouched();
    // The next request waits afresh.
    w.requests.SearchGpInfo("sh600000");
    EXPECT_TRUE(w.monitorRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Endings, NavigationEndTest,
    ::testing::Values(
        Ending{"HttpErrorOnTheRequest", "http://web.test/RequestGpInfo.asp?GpID=sh600000", true},
        Ending{"PageWithoutRedirect", "http://web.test/Other.asp", true},
        Ending{"RefusedConnection", "http://web.test/RequestGpInfo.asp?GpID=sh600000", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AnswerMonitorTest, TheEmptyPageEndsNoWait) {
    w.requests.SearchGpInfo("sh600000");
    w.browser.finish("about:blank");
    EXPECT_TRUE(w.monitorRunning());
    EXPECT_NE(text("Login_Txt"), "股票停盘或服务器忙碌");
}

TEST_F(AnswerMonitorTest, PollingGoesOnUntilAnAnswerComes) {
    w.requests.SearchGpInfo("sh600000");
    arriveAndTick("");
    arriveAndTick("http://web.test/RequestGpInfo.asp?GpID=sh600000");
    w.fake.clock.advance(5000);
    EXPECT_TRUE(w.monitorRunning());
    EXPECT_EQ(shown(), 0);
    arriveAndTick("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(shown(), 1);
}

TEST_F(AnswerMonitorTest, AnAnswerIsNotHandledAgainByTheNextRequest) {
    w.requests.SearchGpInfo("sh600000");
    arriveAndTick("http://web.test/SendGpInfo.asp?" + kStockPayload);
    ASSERT_EQ(shown(), 1);
    w.requests.SearchGpInfo("sh600004");
    w.fake.clock.advance(1000);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(blanks(), 1);
    EXPECT_TRUE(w.monitorRunning());
    EXPECT_EQ(w.el("SearchGp_ID").text(), "SH600004");
}

TEST_F(AnswerMonitorTest, AFinishedNavigationIsHandledAtOnceAndOnlyOnce) {
    w.requests.SearchGpInfo("sh600000");
    w.browser.finish("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(shown(), 1);
    EXPECT_FALSE(w.monitorRunning());
    w.fake.clock.advance(1000);
    w.monitor.navigated(w.browser.documentAddress());
    w.monitor.SearchGpInfoMonitor_Timer();  // a tick already queued when the timer stopped
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(blanks(), 1);
}

TEST_F(AnswerMonitorTest, ATickBeforeTheNavigationReportLeavesNothingForIt) {
    w.requests.SearchGpInfo("sh600000");
    arriveAndTick("http://web.test/SendGpInfo.asp?" + kStockPayload);
    ASSERT_EQ(shown(), 1);
    w.monitor.navigated(w.browser.documentAddress());
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(blanks(), 1);
}

TEST_F(AnswerMonitorTest, NavigationReportWhileStoppedIsIgnored) {
    w.el("SearchGpInfoMonitor").setEnabled(false);
    w.browser.finish("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(shown(), 0);
    EXPECT_TRUE(w.browser.navigations.empty());
    // The next request starts the monitor again, which finds the answer shown.
    w.requests.SearchGpInfo("sh600000");
    w.fake.clock.advance(100);
    EXPECT_EQ(shown(), 1);
}

TEST_F(AnswerMonitorTest, ErrorThenRetryShowsTheSecondAnswer) {
    w.requests.SearchGpInfo("sh600000");
    w.browser.finish("http://web.test/SendGpInfo.asp?ErrGpMoney");
    EXPECT_EQ(text("Login_Txt"), "股票停盘或服务器忙碌");
    w.requests.SearchGpInfo("sh600000");
    w.browser.finish("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(blanks(), 2);
}

// From the keyboard to the result page: type, Down, Enter, Enter, the redirect.
TEST_F(AnswerMonitorTest, SearchToResultEndToEnd) {
    w.focus();
    w.type("浦发");
    w.keyDown(app::kKeyDown);
    w.keyPress(app::kKeyEnter);
    w.keyPress(app::kKeyEnter);
    ASSERT_EQ(w.browser.navigations.size(), 1u);
    const std::string& request = w.browser.navigations[0];
    EXPECT_EQ(
        request.rfind("http://web.test/RequestGpInfo.asp?GpID=sh600000&UserID=trader&PgRun=", 0),
        0u);
    w.fake.clock.advance(300);
    EXPECT_EQ(shown(), 0);
    w.browser.finish("http://web.test/SendGpInfo.asp?" + kStockPayload);
    EXPECT_EQ(w.pages, (std::vector<std::string>{"LoadingSearchPage", "SearchResultPage"}));
    EXPECT_EQ(text("SearchGp_Name"), "浦发银行");
    EXPECT_EQ(text("SearchGp_ID"), "SH600000");
}

}  // namespace
}  // namespace tallyro::quotes
