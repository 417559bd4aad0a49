// A fresh folder under the system's temporary directory, removed with everything
// in it when the object goes away.
#pragma once

#include <filesystem>

namespace tallyro::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

// Whole-file helpers for checking what the program wrote, byte for byte.
std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace tallyro::test
