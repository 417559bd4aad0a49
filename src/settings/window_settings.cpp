// Number conversion and the saved window position.
#include "settings/window_settings.h"

#include "settings/ini_values.h"

#include <array>
#include <charconv>

namespace tallyro::settings {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view s, std::size_t i) {
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

// std::from_chars alone would also take "inf", "nan" and a leading part of "12abc".
bool isDecimalNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    const std::size_t intStart = i;
    i = skipDigits(s, i);
    std::size_t digits = i - intStart;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracStart = ++i;
        i = skipDigits(s, i);
        digits += i - fracStart;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const std::size_t expStart = i;
        i = skipDigits(s, i);
        if (i == expStart)
            return false;
    }
    return i == s.size();
}

}  // namespace

std::string formatSingle(float value) {
    if (value == 0.0f)
        value = 0.0f;  // no "-0"
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 7);
    return std::string(buffer.data(), result.ptr);
}

std::optional<float> parseSingle(std::string_view text) {
    if (!isDecimalNumber(text))
        return std::nullopt;
    const bool negative = text.front() == '-';
    if (text.front() == '+' || text.front() == '-')
        text.remove_prefix(1);
    float value = 0.0f;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<SavedPosition> savedWindowPosition(const std::filesystem::path& iniFile) {
    const std::string top = ReadIniValue(kWindowMoveSection, kMainTopKey, iniFile);
    if (top.empty())
        return std::nullopt;
    const auto topValue = parseSingle(top);
    const auto leftValue = parseSingle(ReadIniValue(kWindowMoveSection, kMainLeftKey, iniFile));
    if (!topValue || !leftValue)
        return std::nullopt;
    return SavedPosition{*topValue, *leftValue};
}

bool saveWindowPosition(const std::filesystem::path& iniFile, float top, float left,
                        const std::string& visible) {
    const bool topSaved =
        tryWriteIniValue(kWindowMoveSection, kMainTopKey, formatSingle(top), iniFile);
    const bool leftSaved =
        tryWriteIniValue(kWindowMoveSection, kMainLeftKey, formatSingle(left), iniFile);
    const bool visibleSaved =
        tryWriteIniValue(kWindowMoveSection, kMainVisibleKey, visible, iniFile);
    return topSaved && leftSaved && visibleSaved;
}

}  // namespace tallyro::settings
