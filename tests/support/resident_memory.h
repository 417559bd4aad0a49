// The resident memory of this process, for tests that check that a stream of bad
// input does not make the program grow.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace tallyro::test {

inline std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

// AddressSanitizer keeps freed memory in quarantine, so resident memory grows with
// every free there: growth is only measured in ordinary builds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryIsMeasurable = false;
#else
inline constexpr bool kMemoryIsMeasurable = true;
#endif

inline constexpr std::int64_t kMiB = 1024 * 1024;

}  // namespace tallyro::test
