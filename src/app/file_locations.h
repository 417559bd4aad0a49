// Where the settings file and the local database live: in the program's folder
// when it is writable, otherwise in the user's own folders, with the database
// copied there from the installed one on first use.
#pragma once

#include <filesystem>
#include <string>

#include "settings/window_settings.h"

namespace tallyro::app {

using settings::kSettingsFileName;

inline constexpr const char* kDatabaseFileName = "QsDate.mdb";
inline constexpr const char* kProgramName = "tallyro";

struct FileLocations {
    std::filesystem::path settings;
    std::filesystem::path database;
    // Empty when both files can be kept; otherwise, for the user, what cannot be saved
    // in this run and which folders refused it. The program runs on either way.
    std::string notice;
    // For starting at login: the user's autostart folder, the program, and the
    // menu entry installed beside it (empty when not installed). An empty
    // autostart folder offers no starting at login.
    std::filesystem::path autostartDir;
    std::filesystem::path program;
    std::filesystem::path menuEntry;
};

// The folder of the installed data relative to the program's folder
// (../share/tallyro for a program in bin/).
inline constexpr const char* kInstalledDataDir = TALLYRO_BIN_TO_DATA;

// The database the program came with: the one in the program's folder (a build
// tree or a copied folder), else the one in the installed data folder. Empty
// when there is neither.
std::filesystem::path installedDatabase(const std::filesystem::path& programDir);

// userConfigDir and userDataDir are the per-user folders for the program (for
// example ~/.config/Tallyro and ~/.local/share/Tallyro); they are created when needed.
// The autostart folder is the one beside userConfigDir.
// An installed program (its database in the installed data folder, none beside
// it) always uses them, even when its folder is writable, as /usr/bin is for root.
FileLocations locateFiles(const std::filesystem::path& programDir,
                          const std::filesystem::path& userConfigDir,
                          const std::filesystem::path& userDataDir);

// The per-user places, used when the program's folder is not writable: the
// folders are created and the installed database is copied over on first use.
// Where a user folder cannot take files either, the settings are not saved (the
// next start uses the defaults) or the installed database is used as it is, and
// the notice says so, naming the folders.
FileLocations userFileLocations(const std::filesystem::path& programDir,
                                const std::filesystem::path& userConfigDir,
                                const std::filesystem::path& userDataDir);

// True when a file can really be created in the folder (permission bits alone
// say nothing for root or on read-only mounts).
bool folderIsWritable(const std::filesystem::path& dir);

}  // namespace tallyro::app
