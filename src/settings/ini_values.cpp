// The settings-file wrappers over the profile file.
#include "settings/ini_values.h"

#include "settings/profile_file.h"
#include "text/gbk_codec.h"
#include "text/utf8.h"

#include <string_view>

namespace tallyro::settings {
namespace {

constexpr std::size_t kWriteLimitChars = 128;
constexpr std::size_t kReadLimitBytes = 127;  // a 128-byte buffer less its closing NUL

// Ill-formed bytes count as one character each; such a value is refused later anyway.
std::size_t characterLength(std::string_view s, std::size_t i) {
    const std::size_t length = text::utf8SequenceLength(s, i);
    return length == 0 ? 1 : length;
}

std::string_view beforeNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

std::string_view firstCharacters(std::string_view s, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t n = 0; n < count && end < s.size(); ++n)
        end += characterLength(s, end);
    return s.substr(0, end);
}

// The longest start of s whose GBK form fits in limit bytes. A character without a GBK
// form (possible only in a UTF-8 settings file) is counted as two bytes.
std::string_view firstGbkBytes(std::string_view s, std::size_t limit) {
    std::size_t end = 0;
    std::size_t used = 0;
    while (end < s.size()) {
        const std::size_t length = characterLength(s, end);
        std::size_t width = 1;
        if (length > 1) {
            const auto gbk = text::utf8ToGbk(s.substr(end, length));
            width = gbk ? gbk->size() : 2;
        }
        if (used + width > limit)
            break;
        used += width;
        end += length;
    }
    return s.substr(0, end);
}

std::string_view trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == s.npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string iniValue(const ProfileFile& profile, const std::string& section,
                     const std::string& key) {
    const auto value = profile.value(section, key);
    if (!value)
        return "";
    return std::string(trimSpaces(beforeNul(firstGbkBytes(*value, kReadLimitBytes))));
}

bool setIniValue(ProfileFile& profile, const std::string& section, const std::string& key,
                 const std::string& value) {
    return profile.setValue(section, key, beforeNul(firstCharacters(value, kWriteLimitChars)));
}

bool tryWriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                      const std::filesystem::path& file) {
    auto profile = ProfileFile::load(file);
    return profile && setIniValue(*profile, section, key, value) && profile->save(file);
}

std::string WriteIniValue(const std::string& section, const std::string& key,
                          const std::string& value, const std::filesystem::path& file) {
    tryWriteIniValue(section, key, value, file);
    return "";
}

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::filesystem::path& file) {
    const auto profile = ProfileFile::load(file);
    return profile ? iniValue(*profile, section, key) : "";
}

}  // namespace tallyro::settings
