// Daily bars from CSV files, and the demo series generator.
#include "bars.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>

#include "csv_lines.h"

namespace tallyro::service {

namespace {

bool parseNumber(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && std::isfinite(value);
}

bool isIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    const int month = (text[5] - '0') * 10 + (text[6] - '0');
    const int day = (text[8] - '0') * 10 + (text[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string lineError(const std::filesystem::path& file, size_t line, const std::string& what) {
    return file.filename().string() + " line " + std::to_string(line) + ": " + what;
}

// splitmix64: small, fast and fully specified, so the series cannot change with the
// standard library's distributions.
class DemoRandom {
public:
    explicit DemoRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t nextBits() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 53 random bits.
    double uniform() { return static_cast<double>(nextBits() >> 11) * 0x1.0p-53; }
    // Sum of four uniforms scaled to unit variance: close enough to a normal draw for
    // price noise, and free of log/cos, whose last bit may differ between libraries.
    double gaussLike() {
        const double sum = uniform() + uniform() + uniform() + uniform();
        return (sum - 2.0) * 1.7320508075688772;
    }

private:
    std::uint64_t state_;
};

double cents(double value) {
    return std::round(value * 100.0) / 100.0;
}

std::vector<std::string> weekdaysEndingAt(std::string_view last, int count) {
    using namespace std::chrono;
    const int y = std::stoi(std::string(last.substr(0, 4)));
    const unsigned m = static_cast<unsigned>(std::stoi(std::string(last.substr(5, 2))));
    const unsigned d = static_cast<unsigned>(std::stoi(std::string(last.substr(8, 2))));
    sys_days day{year{y} / month{m} / std::chrono::day{d}};
    std::vector<std::string> dates;
    while (static_cast<int>(dates.size()) < count) {
        const weekday wd{day};
        if (wd != Saturday && wd != Sunday) {
            const year_month_day ymd{day};
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                          static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
            dates.emplace_back(text);
        }
        day -= days{1};
    }
    std::reverse(dates.begin(), dates.end());
    return dates;
}

}  // namespace

BarsFile readBarsCsv(const std::filesystem::path& file) {
    BarsFile result;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        result.error = "cannot read " + file.string();
        return result;
    }
    CsvLineReader reader(in, "date");
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        const size_t line = reader.lineNumber();
        if (fields.size() != 6) {
            result.error = lineError(file, line, "expected 6 fields");
            break;
        }
        Bar bar;
        bar.date = fields[0];
        if (!isIsoDate(bar.date)) {
            result.error = lineError(file, line, "date is not YYYY-MM-DD");
            break;
        }
        if (!result.bars.empty() && bar.date <= result.bars.back().date) {
            result.error = lineError(file, line, "dates must increase");
            break;
        }
        if (!parseNumber(fields[1], bar.open) || !parseNumber(fields[2], bar.high) ||
            !parseNumber(fields[3], bar.low) || !parseNumber(fields[4], bar.close) ||
            !parseNumber(fields[5], bar.volume)) {
            result.error = lineError(file, line, "a field is not a number");
            break;
        }
        if (bar.open <= 0 || bar.high <= 0 || bar.low <= 0 || bar.close <= 0 || bar.volume < 0) {
            result.error = lineError(file, line, "prices must be positive");
            break;
        }
        if (bar.high < std::max({bar.open, bar.close, bar.low}) ||
            bar.low > std::min(bar.open, bar.close)) {
            result.error = lineError(file, line, "high/low do not enclose open and close");
            break;
        }
        result.bars.push_back(bar);
    }
    if (!result.error.empty()) {
        result.bars.clear();
    } else if (result.bars.empty()) {
        result.error = file.filename().string() + ": no bars";
    }
    return result;
}

std::uint64_t codeSeed(std::string_view code) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : code) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::vector<Bar> generateDemoBars(std::string_view code, SeriesKind kind, int sessions) {
    if (sessions <= 0) {
        return {};
    }
    const std::uint64_t seed = codeSeed(code);
    DemoRandom random(seed);
    const bool index = kind == SeriesKind::Index;
    // Stocks start between 3 and 100 RMB, indices between 2000 and 4000 points.
    const double start = index ? 2000.0 + static_cast<double>(seed % 200000) / 100.0
                               : 3.0 + static_cast<double>(seed % 9700) / 100.0;
    const double volatility = index ? 0.011 : 0.022;
    const double maxDrift = index ? 0.003 : 0.006;
    const double volumeBase = index ? 3.0e10 : 2.0e7;

    const auto dates = weekdaysEndingAt(kDemoLastSession, sessions);
    std::vector<Bar> bars;
    bars.reserve(dates.size());
    double previousClose = start;
    double drift = 0;
    int regimeLeft = 0;
    for (const auto& date : dates) {
        if (regimeLeft == 0) {
            // Trends of 8 to 20 sessions give the series the swings a real chart has.
            regimeLeft = 8 + static_cast<int>(random.nextBits() % 13);
            drift = (random.uniform() - 0.5) * 2.0 * maxDrift;
        }
        --regimeLeft;
        // A pull back towards the start level keeps a long series in a plausible range.
        const double pull = -0.02 * (previousClose / start - 1.0);
        Bar bar;
        bar.date = date;
        bar.open = cents(previousClose * (1.0 + 0.3 * volatility * random.gaussLike()));
        const double change = drift + pull + volatility * random.gaussLike();
        bar.close = cents(bar.open * (1.0 + change));
        bar.high = cents(std::max(bar.open, bar.close) *
                         (1.0 + 0.45 * volatility * std::abs(random.gaussLike())));
        bar.low = cents(std::min(bar.open, bar.close) *
                        (1.0 - 0.45 * volatility * std::abs(random.gaussLike())));
        bar.open = std::max(bar.open, 0.01);
        bar.close = std::max(bar.close, 0.01);
        bar.low = std::clamp(bar.low, 0.01, std::min(bar.open, bar.close));
        bar.high = std::max({bar.high, bar.open, bar.close});
        bar.volume = std::floor(volumeBase * (0.6 + 0.8 * random.uniform()) *
                                (1.0 + 3.0 * std::abs(change)));
        bars.push_back(bar);
        previousClose = bar.close;
    }
    return bars;
}

}  // namespace tallyro::service
