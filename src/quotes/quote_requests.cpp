// Addresses of the stock and index requests and the steps that send them.
#include "quotes/quote_requests.h"

#include <chrono>
#include <cmath>

#include "quotes/texts.h"

namespace tallyro::quotes {

namespace {

// "帐号: " is four characters: two ideographs, a colon and a space.
constexpr std::size_t kAccountCaptionPrefix = 4;

std::uint64_t systemClockNanos() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

std::string upperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

std::string queryValue(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '%' || c == '&' || c == '#' || c == '+' || c == ' ') {
            out += '%';
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

RequestRandom::RequestRandom(Clock clock) : clock_(std::move(clock)) {}

float RequestRandom::operator()() {
    const std::uint64_t now = clock_ ? clock_() : systemClockNanos();
    std::seed_seq seed{static_cast<std::uint32_t>(now), static_cast<std::uint32_t>(now >> 32),
                       static_cast<std::uint32_t>(engine_()),
                       static_cast<std::uint32_t>(engine_())};
    engine_.seed(seed);
    // 24 random bits fill a float's mantissa exactly, so 1.0 can never come out.
    return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f);
}

std::int32_t pgRunNumber(float r) {
    // A generator outside [0, 1) must still give a number of the documented range.
    if (!(r >= 0.0f))
        r = 0.0f;
    if (r >= 1.0f)
        r = std::nextafter(1.0f, 0.0f);
    return static_cast<std::int32_t>(std::floor(static_cast<double>(r) * -99998.0 + 1.0));
}

std::string accountName(std::string_view caption) {
    std::size_t skipped = 0;
    std::size_t i = 0;
    while (i < caption.size() && skipped < kAccountCaptionPrefix) {
        ++i;
        while (i < caption.size() && (static_cast<unsigned char>(caption[i]) & 0xC0) == 0x80)
            ++i;
        ++skipped;
    }
    return std::string(caption.substr(i));
}

std::string stockRequestAddress(std::string_view webBase, std::string_view code,
                                std::string_view account, float r) {
    return std::string(webBase) + kStockRequestPath + queryValue(code) + kUserIdField +
           queryValue(account) + kPgRunField + std::to_string(pgRunNumber(r));
}

QuoteRequests::QuoteRequests(context::Context& context, pages::PageSwitcher& pages, RandomFn random)
    : ctx_(context), pages_(pages), random_(std::move(random)) {}

void QuoteRequests::registerHandlers(ui::Handlers& handlers) {
    handlers.on("SearchDapan_shanghai", ui::EventKind::Click,
                [this](ui::Event&) { SearchDapan_shanghai_Click(); });
    handlers.on("SearchDapan_shenzhen", ui::EventKind::Click,
                [this](ui::Event&) { SearchDapan_shenzhen_Click(); });
}

void QuoteRequests::SearchGpInfo(const std::string& TempSearchGpID) {
    // A copy: the code may live in a label that the page switch rebuilds.
    const std::string code = TempSearchGpID;
    request(kStockRequestPath + queryValue(code) + kUserIdField, upperAscii(code));
}

void QuoteRequests::SearchDapan_shanghai_Click() {
    request(kShanghaiIndexRequestPath, "");
}

void QuoteRequests::SearchDapan_shenzhen_Click() {
    request(kShenzhenIndexRequestPath, "");
}

void QuoteRequests::request(const std::string& requestPath, const std::string& shownCode) {
    // Reseeding and drawing happen together; nothing between them draws.
    const float r = random_ ? random_() : 0.0f;
    pages_.ShowPage(pages::kLoadingSearchPage);
    const std::string address = ctx_.deployment.webBase + requestPath +
                                queryValue(accountName(ctx_.el("Info_UserName").text())) +
                                kPgRunField + std::to_string(pgRunNumber(r));
    ctx_.platform.browser.navigate(address);
    ctx_.el("SearchGpInfoMonitor").setEnabled(true);
    ctx_.el("SearchGp_ID").setText(shownCode);
}

}  // namespace tallyro::quotes
