// Settings of what the client offers beyond its first design, each with the key
// in config.ini that switches it off: the boss key ([Keys] BossKey=none), the
// tray menu's start-at-login item ([Tray] StartAtLogin=no), the watch list
// ([Watch] Enabled=no) and the search by pinyin initials ([Search] Initials=no).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/global_keys.h"

namespace tallyro::settings {

inline constexpr char kKeysSection[] = "Keys";
inline constexpr char kBossKeyKey[] = "BossKey";
inline constexpr char kDefaultBossKey[] = "Ctrl+Alt+Z";
inline constexpr char kTraySection[] = "Tray";
inline constexpr char kStartAtLoginKey[] = "StartAtLogin";

// "Ctrl+Alt+Z": modifiers (Ctrl, Alt, Shift, Super, in any order and letter case)
// and one key, a letter, a digit or F1 to F12, joined by "+". A chord without
// Ctrl, Alt or Super would take a key from every other program: none.
std::optional<platform::KeyChord> parseKeyChord(std::string_view text);
// The chord as the user reads it: "Ctrl+Alt+Z".
std::string keyChordText(const platform::KeyChord& chord);

struct BossKeySetting {
    std::optional<platform::KeyChord> chord;  // none: the boss key is off
    std::string problem;                      // a value that was refused, and what is used instead
};
// [Keys] BossKey: a chord, "none" for no boss key; missing or empty, Ctrl+Alt+Z.
// A value that is neither is refused for the default, and the problem says so.
BossKeySetting bossKeySetting(const std::filesystem::path& iniFile);

// [Tray] StartAtLogin: "no" takes the start-at-login item off the tray menu.
bool startAtLoginOffered(const std::filesystem::path& iniFile);

inline constexpr char kWatchSection[] = "Watch";
inline constexpr char kSearchSection[] = "Search";

struct WatchSettings {
    bool enabled = true;
    int refreshMinutes = 5;             // [Watch] RefreshMinutes, 1 to 240
    double alertMargin = 0.01;          // [Watch] AlertMargin in percent, 0 to 10
    std::vector<std::string> problems;  // values refused, and what is used instead
};
WatchSettings watchSettings(const std::filesystem::path& iniFile);

// [Search] Initials: "no" turns the search by pinyin initials off.
bool initialsSearch(const std::filesystem::path& iniFile);

}  // namespace tallyro::settings
