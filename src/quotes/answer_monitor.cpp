// Recognising, parsing and displaying the service's answers.
#include "quotes/answer_monitor.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "quotes/texts.h"
#include "text/fields.h"

namespace tallyro::quotes {

namespace {

constexpr std::size_t kStockFields = 9;
constexpr std::size_t kIndexFields = 8;

using text::splitFields;

std::string cat(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a).append(b);
    return out;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where the scheme and host of an address end: at the first "/" after "://",
// or the end of the address.
std::size_t authorityEnd(std::string_view address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return 0;
    return std::min(address.find('/', scheme + 3), address.size());
}

}  // namespace

bool hasAnswerPrefix(std::string_view address, std::string_view prefix) {
    if (address.size() < prefix.size())
        return false;
    // A browser reports the host in lower case whatever the base says, so the
    // scheme and host compare without regard to case; the path compares exactly.
    const std::size_t host = authorityEnd(prefix);
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const bool same =
            i < host ? lowerAscii(address[i]) == lowerAscii(prefix[i]) : address[i] == prefix[i];
        if (!same)
            return false;
    }
    return true;
}

std::string plainDecimal(double value) {
    if (!std::isfinite(value) || value == 0)
        return "0";
    // Fifteen significant digits in scientific form, then written out in full.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    std::string_view sci(buf);
    std::string out;
    if (sci.front() == '-') {
        out.push_back('-');
        sci.remove_prefix(1);
    }
    const std::size_t e = sci.find('e');
    std::string digits;
    for (const char c : sci.substr(0, e)) {
        if (c != '.')
            digits.push_back(c);
    }
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                    exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    // digits = d1 d2 d3 ...; the point sits after d(1 + exponent).
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent) + 1);
        out += '.';
        out.append(digits, static_cast<std::size_t>(exponent) + 1);
    }
    return out;
}

std::optional<double> parseLevel(std::string_view field) {
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ')
        field.remove_suffix(1);
    bool negative = false;
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan"; a level is digits and a point.
    if (field.empty() ||
        !(std::isdigit(static_cast<unsigned char>(field.front())) || field.front() == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::string_view> answerPayload(std::string_view address) {
    const std::size_t first = address.find('?');
    if (first == std::string_view::npos)
        return std::nullopt;
    std::string_view payload = address.substr(first + 1);
    return payload.substr(0, payload.find('?'));
}

std::string stockAdvice(std::string_view field) {
    const std::string_view separator = kAdviceSeparator;
    std::string text = kIndent;
    // An empty field has no paragraph at all, not one empty paragraph.
    if (field.empty())
        return text;
    for (;;) {
        const std::size_t at = field.find(separator);
        text.append(field.substr(0, at)).append(kLineBreaks).append(kIndent);
        if (at == std::string_view::npos)
            break;
        field.remove_prefix(at + separator.size());
    }
    return text;
}

std::string indexAdvice(double pressure, double support) {
    const double spread = (pressure - support) / support * 100;
    std::string text;
    if (spread > kMidpointSpreadPercent) {
        const double midpoint = (pressure - support) / 2 + support;
        text.append(kIndent)
            .append(plainDecimal(midpoint))
            .append(kIndexMidpointTail)
            .append(kLineBreaks);
    }
    text.append(kIndexReferenceParagraph).append(kLineBreaks).append(kIndexMovingAverageParagraph);
    return text;
}

AnswerMonitor::AnswerMonitor(context::Context& context, pages::PageSwitcher& pages)
    : ctx_(context), pages_(pages) {}

void AnswerMonitor::registerHandlers(ui::Handlers& handlers) {
    handlers.on("SearchGpInfoMonitor", ui::EventKind::Timer,
                [this](ui::Event&) { SearchGpInfoMonitor_Timer(); });
}

void AnswerMonitor::SearchGpInfoMonitor_Timer() {
    poll();
}

void AnswerMonitor::navigated(const std::string& address) {
    if (!ctx_.el("SearchGpInfoMonitor").enabled())
        return;
    // A navigation that ended anywhere but on an answer (an HTTP error, a refused
    // connection, a page that does not redirect) will never become one: the wait
    // ends as when the service is busy, instead of lasting for ever.
    if (!handle(address) && address != kBlankPage)
        refuse(kBusyMessage);
}

void AnswerMonitor::poll() {
    handle(ctx_.platform.browser.documentAddress());
}

bool AnswerMonitor::handle(const std::string& address) {
    const std::string& base = ctx_.deployment.webBase;
    const bool stock = hasAnswerPrefix(address, cat(base, kStockAnswerPath));
    const bool index = !stock && hasAnswerPrefix(address, cat(base, kIndexAnswerPath));
    if (!stock && !index)
        return false;
    if (stock) {
        stockAnswer(address);
    } else {
        indexAnswer(address);
    }
    return true;
}

StockAnswer parseStockAnswer(std::string_view address, std::string_view webBase) {
    using Kind = StockAnswer::Kind;
    if (!hasAnswerPrefix(address, cat(webBase, kStockAnswerPath)))
        return {};
    const auto payload = answerPayload(address);
    if (!payload || *payload == kErrorBusy)
        return {Kind::Busy, {}};
    if (*payload == kErrorNoMatch)
        return {Kind::NoMatch, {}};
    std::vector<std::string_view> f = splitFields(*payload);
    // Cut short: neither an analysis nor one of the service's errors.
    if (f.size() < kStockFields)
        return {Kind::Busy, {}};
    if (f[4].empty())
        return {Kind::Suspended, {}};
    return {Kind::Levels, std::move(f)};
}

void AnswerMonitor::stockAnswer(std::string_view address) {
    const StockAnswer answer = parseStockAnswer(address, ctx_.deployment.webBase);
    switch (answer.kind) {
        case StockAnswer::Kind::NoMatch:
            return refuse(kNoMatchMessage);
        case StockAnswer::Kind::Suspended:
            return refuse(kSuspendedMessage);
        case StockAnswer::Kind::Levels:
            break;
        default:
            return refuse(kBusyMessage);
    }
    const std::vector<std::string_view>& f = answer.fields;
    fillLevels(f, true);
    ctx_.el("SearchGp_Info").setText(stockAdvice(f[8]));
    pages_.ShowPage(pages::kSearchResultPage);
    finish();
}

void AnswerMonitor::indexAnswer(std::string_view address) {
    const auto payload = answerPayload(address);
    if (!payload)
        return refuse(kBusyMessage);
    const std::vector<std::string_view> f = splitFields(*payload);
    if (f.size() < kIndexFields)
        return refuse(kBusyMessage);
    const std::optional<double> pressure = parseLevel(f[3]);
    const std::optional<double> support = parseLevel(f[6]);
    // The spread is relative to the support level, so a zero support has none.
    if (!pressure || !support || *support == 0)
        return refuse(kBusyMessage);
    fillLevels(f, false);
    ctx_.el("SearchGp_Info").setText(indexAdvice(*pressure, *support));
    pages_.ShowPage(pages::kSearchResultPage);
    finish();
}

void AnswerMonitor::fillLevels(const std::vector<std::string_view>& f, bool money) {
    const std::string_view prefix = money ? kMoneyPrefix : "";
    ctx_.el("SearchGp_Name").setText(std::string(f[0]));
    std::string time = kTimePrefix;
    time.append(f[1]).append(" ").append(f[2]);
    ctx_.el("SearchGp_Time").setText(time);
    ctx_.el("SearchGp_UpMoney").setText(cat(prefix, f[3]));
    ctx_.el("SearchGp_UpNum").setText(cat(f[4], kPercentSuffix));
    ctx_.el("SearchGp_DMoney").setText(cat(prefix, f[5]));
    ctx_.el("SearchGp_DownMoney").setText(cat(prefix, f[6]));
    ctx_.el("SearchGp_DownNum").setText(cat(f[7], kPercentSuffix));
}

void AnswerMonitor::refuse(const char* message) {
    // The window stays on the loading page with the message under the animation.
    ctx_.el("Login_Txt").setText(message);
    finish();
}

void AnswerMonitor::finish() {
    ctx_.platform.browser.navigate(kBlankPage);
    ctx_.el("SearchGpInfoMonitor").setEnabled(false);
}

}  // namespace tallyro::quotes
