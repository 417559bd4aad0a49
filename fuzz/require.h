// A broken property ends the run: libFuzzer then reports the input that led to it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tallyro::fuzz {

inline void require(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken at %s:%d\n", file, line);
    std::abort();
}

}  // namespace tallyro::fuzz
