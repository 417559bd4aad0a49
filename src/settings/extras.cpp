#include "settings/extras.h"

#include <cctype>
#include <vector>

#include "settings/ini_values.h"
#include "settings/window_settings.h"

namespace tallyro::settings {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool isKey(const std::string& key) {
    if (key.size() == 1)
        return std::isalnum(static_cast<unsigned char>(key[0])) != 0;
    if (key.size() < 2 || key.size() > 3 || key[0] != 'F')
        return false;
    for (std::size_t i = 1; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i])))
            return false;
    }
    const int n = std::stoi(key.substr(1));
    return n >= 1 && n <= 12 && key[1] != '0';
}

}  // namespace

std::optional<platform::KeyChord> parseKeyChord(std::string_view text) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t plus = text.find('+', start);
        parts.push_back(upper(trimmed(text.substr(start, plus - start))));
        if (plus == std::string_view::npos)
            break;
        start = plus + 1;
    }
    platform::KeyChord chord;
    chord.key = parts.back();
    parts.pop_back();
    for (const std::string& m : parts) {
        bool* flag = m == "CTRL" || m == "CONTROL"               ? &chord.ctrl
                     : m == "ALT"                                ? &chord.alt
                     : m == "SHIFT"                              ? &chord.shift
                     : m == "SUPER" || m == "WIN" || m == "META" ? &chord.super
                                                                 : nullptr;
        if (!flag || *flag)
            return std::nullopt;  // not a modifier, or one named twice
        *flag = true;
    }
    if (!isKey(chord.key) || !(chord.ctrl || chord.alt || chord.super))
        return std::nullopt;
    return chord;
}

std::string keyChordText(const platform::KeyChord& chord) {
    std::string text;
    text += chord.ctrl ? "Ctrl+" : "";
    text += chord.alt ? "Alt+" : "";
    text += chord.shift ? "Shift+" : "";
    text += chord.super ? "Super+" : "";
    return text + chord.key;
}

BossKeySetting bossKeySetting(const std::filesystem::path& iniFile) {
    const std::string value(trimmed(ReadIniValue(kKeysSection, kBossKeyKey, iniFile)));
    if (upper(value) == "NONE")
        return {};
    if (!value.empty()) {
        if (auto chord = parseKeyChord(value))
            return {chord, ""};
    }
    BossKeySetting setting{parseKeyChord(kDefaultBossKey), ""};
    if (!value.empty()) {
        setting.problem = std::string("config.ini [Keys] BossKey: \"") + value +
                          "\" is not a key like Ctrl+Alt+Z or none; using " + kDefaultBossKey;
    }
    return setting;
}

namespace {

// A whole number or a decimal within [low, high]; nothing for anything else.
std::optional<double> number(std::string_view text, double low, double high) {
    const auto value = parseSingle(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return *value;
}

}  // namespace

WatchSettings watchSettings(const std::filesystem::path& iniFile) {
    WatchSettings w;
    w.enabled = upper(trimmed(ReadIniValue(kWatchSection, "Enabled", iniFile))) != "NO";
    const std::string minutes(trimmed(ReadIniValue(kWatchSection, "RefreshMinutes", iniFile)));
    if (!minutes.empty()) {
        const auto m = number(minutes, 1, 240);
        if (m && *m == static_cast<int>(*m))
            w.refreshMinutes = static_cast<int>(*m);
        else
            w.problems.push_back("config.ini [Watch] RefreshMinutes: \"" + minutes +
                                 "\" is not a whole number of minutes from 1 to 240; using 5");
    }
    const std::string margin(trimmed(ReadIniValue(kWatchSection, "AlertMargin", iniFile)));
    if (!margin.empty()) {
        if (const auto m = number(margin, 0, 10))
            w.alertMargin = *m / 100;
        else
            w.problems.push_back("config.ini [Watch] AlertMargin: \"" + margin +
                                 "\" is not a percentage from 0 to 10; using 1");
    }
    return w;
}

bool initialsSearch(const std::filesystem::path& iniFile) {
    return upper(trimmed(ReadIniValue(kSearchSection, "Initials", iniFile))) != "NO";
}

bool startAtLoginOffered(const std::filesystem::path& iniFile) {
    return upper(trimmed(ReadIniValue(kTraySection, kStartAtLoginKey, iniFile))) != "NO";
}

}  // namespace tallyro::settings
