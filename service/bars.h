// Daily bars: reading them from the data folder's CSV files and the deterministic
// demo series the service falls back on for codes without a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tallyro::service {

struct Bar {
    std::string date;  // YYYY-MM-DD
    double open = 0;
    double high = 0;
    double low = 0;
    double close = 0;
    double volume = 0;
};

struct BarsFile {
    std::vector<Bar> bars;  // oldest first
    std::string error;      // empty when the file was read whole
};

// Reads "date,open,high,low,close,volume" after a header line. One bad line (wrong
// field count, a date out of form or order, a price that is not positive, a high below
// the open/close/low or a low above them) rejects the whole file with an error naming
// the line: a series with a hole in it would give wrong levels silently.
BarsFile readBarsCsv(const std::filesystem::path& file);

enum class SeriesKind { Stock, Index };

// The same code always gives the same series, on every run and machine: the generator
// is seeded from the code and uses only exactly rounded arithmetic. Sessions are the
// weekdays up to kDemoLastSession.
std::vector<Bar> generateDemoBars(std::string_view code, SeriesKind kind, int sessions = 120);

inline constexpr std::string_view kDemoLastSession = "2026-12-04";

// 64-bit FNV-1a of the code, the generator's seed.
std::uint64_t codeSeed(std::string_view code);

}  // namespace tallyro::service
