#include "app/file_locations.h"

#include <unistd.h>

#include <fstream>

#include <string>
#include <system_error>
#include "app/start_at_login.h"

namespace tallyro::app {

namespace fs = std::filesystem;

bool folderIsWritable(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return false;
    const fs::path probe = dir / (".tallyro-write-probe-" + std::to_string(::getpid()));
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << 'x';
        out.flush();
        if (!out) {
            fs::remove(probe, ec);
            return false;
        }
    }
    fs::remove(probe, ec);
    return true;
}

namespace {

// Copies the installed database into the user's folder through a temporary
// file, so an interrupted first start never leaves half a database behind.
bool copyDatabase(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const fs::path tmp = to.parent_path() / (to.filename().string() + ".part");
    fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    fs::permissions(tmp, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    fs::rename(tmp, to, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

}  // namespace

fs::path installedDatabase(const fs::path& programDir) {
    std::error_code ec;
    for (const fs::path& dir : {programDir, programDir / kInstalledDataDir}) {
        if (fs::is_regular_file(dir / kDatabaseFileName, ec))
            return (dir / kDatabaseFileName).lexically_normal();
    }
    return {};
}

FileLocations locateFiles(const fs::path& programDir, const fs::path& userConfigDir,
                          const fs::path& userDataDir) {
    std::error_code ec;
    const bool installed =
        !fs::exists(programDir / kDatabaseFileName, ec) &&
        fs::is_regular_file(programDir / kInstalledDataDir / kDatabaseFileName, ec);
    FileLocations out =
        !installed && folderIsWritable(programDir)
            ? FileLocations{programDir / kSettingsFileName, programDir / kDatabaseFileName}
            : userFileLocations(programDir, userConfigDir, userDataDir);
    out.autostartDir = userConfigDir.parent_path() / "autostart";
    out.program = programDir / kProgramName;
    const fs::path menuEntry =
        (programDir / kInstalledDataDir / ".." / "applications" / kDesktopEntryName)
            .lexically_normal();
    if (installed && fs::is_regular_file(menuEntry, ec))
        out.menuEntry = menuEntry;
    return out;
}

FileLocations userFileLocations(const fs::path& programDir, const fs::path& userConfigDir,
                                const fs::path& userDataDir) {
    const fs::path installedDb = installedDatabase(programDir);
    std::error_code ec;
    fs::create_directories(userConfigDir, ec);
    fs::create_directories(userDataDir, ec);
    FileLocations out{userConfigDir / kSettingsFileName, userDataDir / kDatabaseFileName};
    if (!folderIsWritable(userConfigDir)) {
        out.notice += "窗口位置无法保存：文件夹 " + programDir.string() + " 和 " +
                      userConfigDir.string() + " 都不可写，下次启动使用默认位置。\n";
    }
    if (!fs::exists(out.database, ec) && !installedDb.empty() && fs::exists(installedDb, ec)) {
        // Without a copy the installed database is still readable; only the
        // remembered account cannot be saved then.
        if (!copyDatabase(installedDb, out.database)) {
            out.database = installedDb;
            out.notice += "账号可能无法记住：文件夹 " + userDataDir.string() +
                          " 不可写，使用安装的数据库 " + installedDb.string() + "。\n";
        }
    }
    return out;
}

}  // namespace tallyro::app
