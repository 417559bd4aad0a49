// When a price reaches a level: the rules of the watch list's alerts and their text.
#pragma once

#include <string>
#include <vector>

namespace tallyro::watch {

enum class Level { Pressure, Support };

// One reading of a favourite, as the service's answer gives it: the texts as
// written, and their numbers.
struct Reading {
    std::string code, name;
    std::string priceText, pressureText, supportText;
    double price = 0, pressure = 0, support = 0;
};

// The levels the price has reached: at or beyond a level, or within `margin`
// (a fraction of the level: 0.01 is 1 %) short of it. Pressure is reached from
// below, support from above; a price between levels closer than the margin on
// both sides reaches both.
std::vector<Level> reachedLevels(const Reading& reading, double margin);

// The level's name in alerts and marks: "压力位" or "支撑位".
const char* levelName(Level level);
// "浦发银行 10.84 触及支撑位 10.80"
std::string alertText(const Reading& reading, Level level);

}  // namespace tallyro::watch
