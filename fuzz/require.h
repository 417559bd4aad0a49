// A broken property ends the run: libFuzzer then reports the input that led to it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tallyro::fuzz {

inline void require(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken at %s:%d\n", file, line);
    std::abort();
}

// A file of this name in a folder of the run's own, removed when the run ends;
// in memory where there is a tmpfs, since a save flushes to the disk.
inline std::filesystem::path scratchFile(const char* name) {
    namespace fs = std::filesystem;
    const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
    std::string pattern = (base / "tallyro-fuzz-XXXXXX").string();
    const char* dir = ::mkdtemp(pattern.data());
    require(dir != nullptr);
    static const fs::path folder = dir;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(folder, ec);
    });
    return folder / name;
}

}  // namespace tallyro::fuzz
