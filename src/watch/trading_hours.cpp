#include "watch/trading_hours.h"

#include <cstdio>

namespace tallyro::watch {

namespace {

constexpr std::int64_t kMinuteMs = 60'000;
constexpr std::int64_t kDayMs = 24 * 60 * kMinuteMs;
constexpr std::int64_t kShanghaiOffsetMs = 8 * 60 * kMinuteMs;
// Sessions as [open, close) minutes of the day.
constexpr int kSessions[][2] = {{9 * 60 + 30, 11 * 60 + 30}, {13 * 60, 15 * 60}};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The civil date of a count of days since 1970-01-01 (proleptic Gregorian).
std::string civilDate(std::int64_t days) {
    days += 719468;
    const std::int64_t era = floorDiv(days, 146097);
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    char text[16];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d));
    return text;
}

bool weekday(int day) {
    return day >= 1 && day <= 5;
}

}  // namespace

ShanghaiTime shanghaiTime(std::int64_t unixMs) {
    const std::int64_t local = unixMs + kShanghaiOffsetMs;
    const std::int64_t days = floorDiv(local, kDayMs);
    const auto minute = static_cast<int>((local - days * kDayMs) / kMinuteMs);
    // 1970-01-01 was a Thursday.
    const auto day = static_cast<int>(((days % 7) + 7 + 4) % 7);
    return {day, minute, civilDate(days)};
}

bool inTradingHours(std::int64_t unixMs) {
    const ShanghaiTime t = shanghaiTime(unixMs);
    if (!weekday(t.weekday))
        return false;
    for (const auto& [open, close] : kSessions) {
        if (t.minute >= open && t.minute < close)
            return true;
    }
    return false;
}

std::int64_t nextSessionStart(std::int64_t unixMs) {
    const std::int64_t local = unixMs + kShanghaiOffsetMs;
    const std::int64_t midnight = floorDiv(local, kDayMs) * kDayMs;
    for (int d = 0; d < 8; ++d) {
        const std::int64_t dayStart = midnight + d * kDayMs;
        if (!weekday(shanghaiTime(dayStart - kShanghaiOffsetMs).weekday))
            continue;
        for (const auto& session : kSessions) {
            const std::int64_t open = dayStart + session[0] * kMinuteMs;
            if (open > local)
                return open - kShanghaiOffsetMs;
        }
    }
    return unixMs + kDayMs;  // not reached: a week always holds a session
}

}  // namespace tallyro::watch
