// The answer monitor: watches the address of the hidden browser's document for
// the service's answer to an analysis request, cuts the analysis out of its
// query string, fills the result panel and shows it, or puts the service's error
// on the loading page. One answer is handled once: the browser is then sent to
// the empty page and the monitor's timer stops until the next request.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "context/context.h"
#include "pages/page_switcher.h"
#include "ui/handlers.h"

namespace tallyro::quotes {

// The number in the shortest plain decimal form: at most 15 significant digits,
// no exponent, no grouping, no trailing zeros ("3100", "3100.5", "0.3").
std::string plainDecimal(double value);

// A level of an index answer as a number: a decimal with a point, optionally
// signed and surrounded by spaces; nullopt for anything else, and for infinities.
std::optional<double> parseLevel(std::string_view field);

// Whether a document address begins with an answer prefix (web base and answer
// page): scheme and host without regard to case, the rest exactly.
bool hasAnswerPrefix(std::string_view address, std::string_view prefix);

// The text after the first "?" up to a second one; nullopt without a "?".
std::optional<std::string_view> answerPayload(std::string_view address);

// What a stock answer says: its fields (views into the address), or which of
// the service's refusals it is.
struct StockAnswer {
    enum class Kind { NotAnswer, Levels, NoMatch, Busy, Suspended } kind = Kind::NotAnswer;
    // name, date, time, pressure, up %, price, support, down %, advice
    std::vector<std::string_view> fields;
};
// Reads the document address as the answer to a stock request on the web base:
// NotAnswer when it is no stock answer page; an answer cut short counts as busy.
StockAnswer parseStockAnswer(std::string_view address, std::string_view webBase);

// The advice of a stock answer: every paragraph indented, an empty line after each.
std::string stockAdvice(std::string_view field);

// The advice of an index answer with pressure p and support s (s not zero).
std::string indexAdvice(double pressure, double support);

class AnswerMonitor {
public:
    AnswerMonitor(context::Context& context, pages::PageSwitcher& pages);

    // The Timer event of SearchGpInfoMonitor.
    void registerHandlers(ui::Handlers& handlers);

    void SearchGpInfoMonitor_Timer();

    // The browser finished a navigation on `address`: an answer is handled at
    // once instead of at the next tick, and any other page but the empty one ends
    // the wait with the busy message. Only while the monitor's timer runs.
    void navigated(const std::string& address);

private:
    // What a tick does: looks at the document address and handles an answer.
    void poll();
    // Handles the address if it is an answer; false when it is none.
    bool handle(const std::string& address);
    void stockAnswer(std::string_view address);
    void indexAnswer(std::string_view address);
    void fillLevels(const std::vector<std::string_view>& fields, bool money);
    // The end of every handled answer, shown or refused.
    void finish();
    void refuse(const char* message);

    context::Context& ctx_;
    pages::PageSwitcher& pages_;
};

}  // namespace tallyro::quotes
