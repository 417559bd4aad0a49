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
// is not a number.
std::optional<SavedPosition> savedWindowPosition(const std::filesystem::path& iniFile);

// Writes MainTop, MainLeft and MainVisible, in that order. Each key is written even
// when an earlier one failed; true when all three were written.
bool saveWindowPosition(const std::filesystem::path& iniFile, float top, float left,
                        const std::string& visible);

}  // namespace tallyro::settings
