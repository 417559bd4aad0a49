#include "live_prices.h"

#include <cmath>

namespace tallyro::service {

namespace {

constexpr std::int64_t kMinuteMs = 60'000;
constexpr std::int64_t kDayMs = 24 * 60 * kMinuteMs;
constexpr std::int64_t kShanghaiMs = 8 * 60 * kMinuteMs;
constexpr double kTwoPi = 6.283185307179586;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool weekday(std::int64_t day) {
    const std::int64_t w = ((day % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday
    return w >= 1 && w <= 5;
}

// The trading day and its session minute, 0 to 240, of a moment; outside the
// sessions, where the last one stopped.
std::pair<std::int64_t, int> sessionMinute(std::int64_t unixMs) {
    const std::int64_t local = unixMs + kShanghaiMs;
    std::int64_t day = floorDiv(local, kDayMs);
    const auto minute = static_cast<int>((local - day * kDayMs) / kMinuteMs);
    if (weekday(day) && minute >= 9 * 60 + 30) {
        if (minute < 11 * 60 + 30)
            return {day, minute - (9 * 60 + 30)};
        if (minute < 13 * 60)
            return {day, 120};
        if (minute < 15 * 60)
            return {day, 120 + minute - 13 * 60};
        return {day, 240};
    }
    do {
        --day;
    } while (!weekday(day));
    return {day, 240};
}

// A phase in [0, 2 pi) drawn from the code, the day and a salt (FNV-1a).
double phase(const std::string& code, std::int64_t day, unsigned salt) {
    std::uint64_t h = 1469598103934665603ULL ^ salt;
    for (const char c : code + "/" + std::to_string(day)) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return static_cast<double>(h % 1000000) / 1000000.0 * kTwoPi;
}

}  // namespace

double simulatedPrice(const std::string& code, double close, std::int64_t unixMs) {
    const auto [day, m] = sessionMinute(unixMs);
    const double t = static_cast<double>(m);
    const double move = 0.012 * std::sin(kTwoPi * t / 90 + phase(code, day, 1)) +
                        0.006 * std::sin(kTwoPi * t / 23 + phase(code, day, 2));
    return std::round(close * (1 + move) * 100) / 100;
}

LivePrices::LivePrices(Clock clock) : clock_(std::move(clock)) {}

double LivePrices::price(const std::string& code, double close) const {
    if (const auto p = pinned(code))
        return *p;
    return simulatedPrice(code, close, clock_());
}

void LivePrices::pin(const std::string& code, double price, int minutes) {
    pins_[code] = {price, clock_() + static_cast<std::int64_t>(minutes) * kMinuteMs};
}

bool LivePrices::unpin(const std::string& code) {
    return pins_.erase(code) != 0;
}

std::optional<double> LivePrices::pinned(const std::string& code) const {
    const auto it = pins_.find(code);
    if (it == pins_.end() || clock_() >= it->second.until)
        return std::nullopt;
    return it->second.price;
}

}  // namespace tallyro::service
