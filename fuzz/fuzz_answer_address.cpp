// Document addresses reaching the answer monitor, and the parsers it cuts an answer
// with. Properties: a level read back from its plain decimal form gives the same
// form; an address is handled at most once, always ending the wait; what a valid
// UTF-8 address puts on the window is valid UTF-8.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_window.h"
#include "quotes/answer_monitor.h"
#include "quotes/texts.h"
#include "text/fields.h"

using namespace tallyro;
using fuzz::require;

namespace {

bool plainDecimalForm(const std::string& s) {
    std::size_t i = s[0] == '-' ? 1 : 0;
    const std::size_t digits = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    if (i == digits)
        return false;
    if (i == s.size())
        return true;
    if (s[i] != '.' || i + 1 == s.size() || s.back() == '0')
        return false;
    for (++i; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
    }
    return true;
}

void checkLevel(std::string_view field) {
    const auto level = quotes::parseLevel(field);
    if (!level)
        return;
    require(std::isfinite(*level));
    // Fifteen digits of the largest doubles round beyond the largest double.
    if (std::fabs(*level) > 1e307)
        return;
    const std::string plain = quotes::plainDecimal(*level);
    require(plainDecimalForm(plain));
    const auto again = quotes::parseLevel(plain);
    require(again && quotes::plainDecimal(*again) == plain);
    require(std::fabs(*again - *level) <= std::fabs(*level) * 1e-14);
}

const char* const kPanel[] = {"SearchGp_Name",    "SearchGp_Time",   "SearchGp_UpMoney",
                              "SearchGp_UpNum",   "SearchGp_DMoney", "SearchGp_DownMoney",
                              "SearchGp_DownNum", "SearchGp_Info",   "Login_Txt"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzWindow w;
    static quotes::AnswerMonitor monitor(w.context, w.switcher);
    const std::string address(reinterpret_cast<const char*>(data), size);
    const bool validText = text::isValidUtf8(address);

    const auto payload = quotes::answerPayload(address);
    if (payload) {
        require(payload->find('?') == std::string_view::npos);
        const auto fields = text::splitFields(*payload);
        // An answer has nine fields; those after them are never looked at.
        for (std::size_t i = 0; i < fields.size() && i < 9; ++i) {
            checkLevel(fields[i]);
            const std::string advice = quotes::stockAdvice(fields[i]);
            require(advice.rfind(quotes::kIndent, 0) == 0);
            require(!validText || text::isValidUtf8(advice));
            const auto pressure = quotes::parseLevel(fields[i]);
            const auto support =
                i + 1 < fields.size() ? quotes::parseLevel(fields[i + 1]) : std::nullopt;
            if (pressure && support && *support != 0)
                require(text::isValidUtf8(quotes::indexAdvice(*pressure, *support)));
        }
    }

    // A tick that finds the address, then a finished navigation that ends on it.
    for (const char* name : kPanel)
        w.el(name).setText("");
    for (int pass = 0; pass < 2; ++pass) {
        w.reset();
        w.el("SearchGpInfoMonitor").setEnabled(true);
        w.fake.browser.address = address;
        if (pass == 0)
            monitor.SearchGpInfoMonitor_Timer();
        else
            monitor.navigated(address);
        const auto& went = w.fake.browser.navigations;
        require(went.size() <= 1);
        require(went.empty() || went[0] == quotes::kBlankPage);
        // Handled (shown or refused) exactly when the monitor stopped.
        require(went.empty() == w.el("SearchGpInfoMonitor").enabled());
        if (pass == 1 && address != quotes::kBlankPage)
            require(!went.empty());
        for (const char* name : kPanel)
            require(!validText || text::isValidUtf8(w.el(name).text()));
    }
    return 0;
}
