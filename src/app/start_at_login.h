// Starting the client when the user logs in: a desktop entry in the user's XDG
// autostart folder, written and removed by the tray menu's "开机启动" item.
#pragma once

#include <filesystem>
#include <string>

namespace tallyro::app {

inline constexpr const char* kDesktopEntryName = "org.tallyro.Tallyro.desktop";

class StartAtLogin {
public:
    // autostartDir: the user's autostart folder ($XDG_CONFIG_HOME/autostart);
    // program: the running program; menuEntry: the menu entry an installation
    // put beside it, whose command the autostart entry runs when it is there.
    StartAtLogin(std::filesystem::path autostartDir, std::filesystem::path program,
                 std::filesystem::path menuEntry);

    // Whether an entry of ours is there.
    bool enabled() const;
    // Writes (atomically) or removes the entry: "" when done, else why not.
    std::string set(bool on) const;

    std::filesystem::path entryFile() const { return dir_ / kDesktopEntryName; }
    // The entry's text: the menu entry's command, or the program's own path.
    std::string entryText() const;

private:
    std::filesystem::path dir_;
    std::filesystem::path program_;
    std::filesystem::path menuEntry_;
};

}  // namespace tallyro::app
