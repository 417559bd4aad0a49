// Number conversion and the saved window position.
#include "settings/window_settings.h"

#include "settings/ini_values.h"
#include "settings/profile_file.h"

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
    const auto profile = ProfileFile::load(iniFile);
    if (!profile)
        return std::nullopt;
    const std::string top = iniValue(*profile, kWindowMoveSection, kMainTopKey);
    if (top.empty())
        return std::nullopt;
    const auto topValue = parseSingle(top);
    const auto leftValue = parseSingle(iniValue(*profile, kWindowMoveSection, kMainLeftKey));
    if (!topValue || !leftValue)
        return std::nullopt;
    return SavedPosition{*topValue, *leftValue};
}

bool saveWindowPosition(const std::filesystem::path& iniFile, float top, float left,
                        const std::string& visible) {
    auto profile = ProfileFile::load(iniFile);
    if (!profile)
        return false;
    const bool topSet = setIniValue(*profile, kWindowMoveSection, kMainTopKey, formatSingle(top));
    const bool leftSet =
        setIniValue(*profile, kWindowMoveSection, kMainLeftKey, formatSingle(left));
    const bool visibleSet = setIniValue(*profile, kWindowMoveSection, kMainVisibleKey, visible);
    if (!topSet && !leftSet && !visibleSet)
        return false;
    return profile->save(iniFile) && topSet && leftSet && visibleSet;
}

}  // namespace tallyro::settings
