// The trading hours of the Shanghai and Shenzhen exchanges, in Shanghai time
// (UTC+8 all year): Monday to Friday, 9:30 to 11:30 and 13:00 to 15:00.
#pragma once

#include <cstdint>
#include <string>

namespace tallyro::watch {

struct ShanghaiTime {
    int weekday;      // 0 Sunday to 6 Saturday
    int minute;       // of the day, 0 to 1439
    std::string day;  // "2026-12-07": the trading day an alert belongs to
};

ShanghaiTime shanghaiTime(std::int64_t unixMs);
bool inTradingHours(std::int64_t unixMs);
// The first moment after unixMs at which a session opens.
std::int64_t nextSessionStart(std::int64_t unixMs);

}  // namespace tallyro::watch
