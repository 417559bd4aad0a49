// The window position in the settings file: the file, section and key names, the
// number form of the values, and the reading and writing of the saved position.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tallyro::settings {

inline constexpr char kSettingsFileName[] = "config.ini";
inline constexpr char kWindowMoveSection[] = "WindowMove";
inline constexpr char kMainTopKey[] = "MainTop";
inline constexpr char kMainLeftKey[] = "MainLeft";
inline constexpr char kMainVisibleKey[] = "MainVisible";  // written at close, never read

// The short text form of a single-precision number: at most 7 significant digits, no
// trailing zeros, no digit grouping, '.' whatever the locale (450, -1200, 478.5; very
// large or small magnitudes take an exponent, 1e+07). Negative zero is "0".
std::string formatSingle(float value);

// The number in text that is already trimmed: an optional sign, digits with an
// optional decimal point, an optional exponent. Anything else (empty, "12abc", "nan",
// "inf", hexadecimal, a value beyond the range of a float) gives nothing.
std::optional<float> parseSingle(std::string_view text);

struct SavedPosition {
    float top;   // twips
    float left;  // twips
};

// The position saved by the last close, or nothing (meaning: use the default position)
// when the file or "MainTop" is missing or empty, or when either value is missing or
// is not a number. The file is read once.
std::optional<SavedPosition> savedWindowPosition(const std::filesystem::path& iniFile);

// Sets MainTop, MainLeft and MainVisible, in that order, with one read of the file and
// one atomic replace: the file is left as three WriteIniValue calls in a row would
// leave it, but never with only some of the keys of this save. A key that cannot be
// written (a value without a GBK form) is skipped and the others are still saved;
// true when all three were written.
bool saveWindowPosition(const std::filesystem::path& iniFile, float top, float left,
                        const std::string& visible);

}  // namespace tallyro::settings
