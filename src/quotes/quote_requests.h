// The analysis requests: a stock's from the search box and the result list, and
// the two market indices' from the buttons beside the search box. Each builds
// its address on the service's web server, shows the loading page, sends the
// hidden browser there and starts the answer monitor.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "context/context.h"
#include "pages/page_switcher.h"
#include "ui/handlers.h"

namespace tallyro::quotes {

// The random part of a request address: a fresh generator state for every
// request, seeded from the clock. Two requests within one clock reading still
// differ, because the previous state goes into the seed as well.
class RequestRandom {
public:
    using Clock = std::function<std::uint64_t()>;
    // Nanoseconds of the system clock unless a test gives its own.
    explicit RequestRandom(Clock clock = {});
    // Reseeds, then draws r uniformly from [0, 1) in single precision.
    float operator()();

private:
    Clock clock_;
    std::mt19937 engine_;
};

// PgRun = Int(r x -99998 + 1): an integer from -99997 to 1.
std::int32_t pgRunNumber(float r);

// The account name shown after "帐号: " in Info_UserName: the caption without
// its first four characters (not bytes).
std::string accountName(std::string_view caption);

// A code or an account name as a query value: every character goes as it is,
// but for the few that would change what the address means ("%" an escape, "&"
// the next field, "#" the fragment, "+" and space a space), which are
// percent-encoded.
std::string queryValue(std::string_view text);

// The address of a stock's analysis request: web base, code and account name
// as query values, and PgRun from the draw r.
std::string stockRequestAddress(std::string_view webBase, std::string_view code,
                                std::string_view account, float r);

class QuoteRequests {
public:
    // Draws r in [0, 1) for a request; called once per request.
    using RandomFn = std::function<float()>;

    QuoteRequests(context::Context& context, pages::PageSwitcher& pages,
                  RandomFn random = RequestRandom());
    void setRandom(RandomFn random) { random_ = std::move(random); }

    // Click of the two index buttons.
    void registerHandlers(ui::Handlers& handlers);

    // The code goes into the address as given and is shown upper-cased.
    void SearchGpInfo(const std::string& TempSearchGpID);
    void SearchDapan_shanghai_Click();
    void SearchDapan_shenzhen_Click();

private:
    // requestPath ends where the account name follows.
    void request(const std::string& requestPath, const std::string& shownCode);

    context::Context& ctx_;
    pages::PageSwitcher& pages_;
    RandomFn random_;
};

}  // namespace tallyro::quotes
