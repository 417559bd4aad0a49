// The fixed texts and addresses of the analysis requests and their answers: the
// paths the service knows, the answer prefixes, the messages of the loading page
// and the advice paragraphs of an index answer.
#pragma once

namespace tallyro::quotes {

// Request paths, joined to the web base address. The code and the account name
// follow as query values (see queryValue).
inline constexpr const char* kStockRequestPath = "/RequestGpInfo.asp?GpID=";
inline constexpr const char* kShanghaiIndexRequestPath =
    "/RequestDaPan.asp?DaPan=s_sh000001&UserID=";
inline constexpr const char* kShenzhenIndexRequestPath =
    "/RequestDaPan.asp?DaPan=s_sh000002&UserID=";
inline constexpr const char* kUserIdField = "&UserID=";
inline constexpr const char* kPgRunField = "&PgRun=";

// The service redirects the hidden browser to an address under one of these
// pages; anything after the prefix up to the "?" is not looked at.
inline constexpr const char* kStockAnswerPath = "/SendG";
inline constexpr const char* kIndexAnswerPath = "/SendD";
inline constexpr const char* kBlankPage = "about:blank";

// Error codes a stock answer may carry instead of fields.
inline constexpr const char* kErrorNoMatch = "ErrGpID";
inline constexpr const char* kErrorBusy = "ErrGpMoney";

// Messages of the loading page's status label.
inline constexpr const char* kNoMatchMessage = "没有找到匹配的信息";
inline constexpr const char* kBusyMessage = "股票停盘或服务器忙碌";
inline constexpr const char* kSuspendedMessage = "当前股票处于停盘中";

// Decorations of the result labels.
inline constexpr const char* kTimePrefix = "查询时间: ";
inline constexpr const char* kMoneyPrefix = "RMB: ";
inline constexpr const char* kPercentSuffix = "%";

// The advice text: paragraphs start with two ideographic spaces and are separated
// by an empty line (CR LF twice).
inline constexpr const char* kIndent = "\u3000\u3000";
inline constexpr const char* kLineBreaks = "\r\n\r\n";
inline constexpr const char* kAdviceSeparator = "<br><br>";
inline constexpr const char* kIndexReferenceParagraph =
    "\u3000\u3000影响大盘涨跌的因素很多，“Tallyro”给出的上方压力位与下方支撑位仅供参考。";
inline constexpr const char* kIndexMovingAverageParagraph =
    "\u3000\u3000请将您股票软件的移动平均线设定为：5、30、60、130、250日线，在压力支撑位间的距离较"
    "大时，可以用这些均线作为补充参照，当这些均线位于股价之上时会成为上行的阻力，相反则成为下跌的支"
    "撑。";
inline constexpr const char* kIndexMidpointTail =
    "是大盘目前的弱压力/支撑位，可能会对指数的运行产生影响。";

// An index answer gets the midpoint sentence only when pressure lies more than
// this many percent above support.
inline constexpr double kMidpointSpreadPercent = 12;

}  // namespace tallyro::quotes
