#include "app/start_at_login.h"

#include <fstream>
#include <system_error>

namespace tallyro::app {

namespace fs = std::filesystem;

namespace {

// The Exec line of a desktop entry, or "" when it has none.
std::string execOf(const fs::path& entry) {
    std::ifstream in(entry);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Exec="))
            return line.substr(5);
    }
    return "";
}

// A path as an Exec field takes it: as it is, or quoted with the characters
// that quoting keeps special escaped, and every backslash doubled again for the
// entry's own string escapes.
std::string execPath(const std::string& path) {
    if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos)
        return path;
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        if (c == '\\')
            quoted += "\\\\\\";
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

StartAtLogin::StartAtLogin(fs::path autostartDir, fs::path program, fs::path menuEntry)
    : dir_(std::move(autostartDir)), program_(std::move(program)), menuEntry_(std::move(menuEntry)) {}

bool StartAtLogin::enabled() const {
    std::error_code ec;
    return fs::is_regular_file(entryFile(), ec);
}

std::string StartAtLogin::entryText() const {
    std::string exec = menuEntry_.empty() ? "" : execOf(menuEntry_);
    if (exec.empty())
        exec = execPath(program_.string());
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tallyro\n"
           "Comment=Pressure level, support level and advice for Shanghai and Shenzhen stocks\n"
           "Exec=" + exec + "\n"
           "Icon=tallyro\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string StartAtLogin::set(bool on) const {
    std::error_code ec;
    if (!on) {
        fs::remove(entryFile(), ec);
        return ec ? entryFile().string() + ": " + ec.message() : "";
    }
    fs::create_directories(dir_, ec);
    const fs::path part = dir_ / (std::string(kDesktopEntryName) + ".part");
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << entryText();
        if (!out.flush())
            return part.string() + ": cannot be written";
    }
    fs::rename(part, entryFile(), ec);
    if (ec) {
        fs::remove(part, ec);
        return entryFile().string() + ": cannot be written";
    }
    return "";
}

}  // namespace tallyro::app
