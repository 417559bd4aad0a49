// Pressure and support levels from daily bars, the advice derived from them, and the
// answer payloads the client reads out of the answer address.
//
// The rule, over the last 60 sessions (fewer when the series is shorter; below 20
// sessions nothing is computed):
//  - A swing high is a session whose high is the highest of the seven sessions around
//    it (three before, three after) and strictly higher than the three before it, so a
//    flat top counts once. A swing low is the mirror image on the lows. The last three
//    sessions cannot be swing points: their right-hand side is not known yet.
//  - Pressure is the lowest swing high above the last close (the nearest one a rise
//    meets first); support is the highest swing low below it.
//  - Without such a swing point the window's highest high (lowest low) is used if it
//    lies beyond the close.
//  - When the close itself is the window's extreme (a new high or low), the level is
//    projected at two average true ranges (14 sessions) from the close, at least 1% away.
// Percentages are the distances of the levels from the last close, in percent of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bars.h"

namespace tallyro::service {

struct LevelRules {
    int window = 60;
    int swingReach = 3;
    int minSessions = 20;
    int atrSessions = 14;
    double atrMultiple = 2.0;
};

enum class LevelBasis { SwingPoint, WindowExtreme, Volatility };

struct Levels {
    double close = 0;
    double pressure = 0;  // above close
    double support = 0;   // below close, above zero
    double ma20 = 0;      // mean close of the last 20 sessions
    LevelBasis pressureBasis = LevelBasis::SwingPoint;
    LevelBasis supportBasis = LevelBasis::SwingPoint;
};

// Indices (into `bars`) of the swing highs and lows by the rule above.
std::vector<size_t> swingHighs(const std::vector<Bar>& bars, int reach);
std::vector<size_t> swingLows(const std::vector<Bar>& bars, int reach);

// Nothing when the series is too short or no support above zero can be found.
std::optional<Levels> computeLevels(const std::vector<Bar>& bars, const LevelRules& rules = {});

enum class Position { BelowSupport, NearSupport, Middle, NearPressure, AbovePressure };
// Near a level means within the quarter of the range between support and pressure
// next to it. A price of the moment may reach or cross a level of the daily bars:
// at or past one it is below support or above pressure.
Position positionBetween(const Levels& levels);

struct Report {
    std::string name;
    std::string date;  // query date, YYYY-MM-DD
    std::string time;  // query time, HH:MM:SS
    bool index = false;
    bool suspended = false;
    bool demo = false;
    // Levels and close rounded to cents / hundredths of a point, as published.
    Levels levels;
    double pressurePercent = 0;
    double supportPercent = 0;
    std::vector<std::string> advice;  // paragraphs, UTF-8
};

Report buildReport(const std::string& name, const std::string& date, const std::string& time,
                   const Levels& levels, bool index, bool suspended, bool demo);

// Nine fields joined by "|": name, date, time, pressure, pressure %, close, support,
// support %, advice paragraphs joined by "<br><br>". Field 4 is empty for a suspended
// stock. "|" and "?" inside a field would cut the answer apart on the client and are
// replaced by their full-width forms.
std::string stockPayload(const Report& report);
// The same nine fields for an index (the client reads the first eight).
std::string indexPayload(const Report& report);

inline constexpr const char* kErrUnknownCode = "ErrGpID";
inline constexpr const char* kErrCannotCompute = "ErrGpMoney";
inline constexpr const char* kAdviceSeparator = "<br><br>";

// Fixed-point text with a decimal point whatever the process locale.
std::string formatFixed(double value, int decimals);

}  // namespace tallyro::service
