// Bar files as read from disk, and the deterministic demo series.
#include "bars.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <chrono>
#include <string>

#include "analysis.h"
#include "temp_dir.h"

namespace tallyro::service {
namespace {

using test::TempDir;
using test::writeFileBytes;

constexpr const char* kHeader = "date,open,high,low,close,volume\n";

TEST(ReadBarsCsv, ReadsAFileWithByteOrderMarkAndCrLf) {
    TempDir dir;
    writeFileBytes(dir / "sh600000.csv",
                   "\xEF\xBB\xBF"
                   "date,open,high,low,close,volume\r\n"
                   "2026-12-03,10.79,10.83,10.70,10.77,64593228\r\n"
                   "\r\n"
                   "2026-12-04,10.78,10.80,10.74,10.79,51209283\r\n");
    const BarsFile file = readBarsCsv(dir / "sh600000.csv");
    ASSERT_EQ(file.error, "");
    ASSERT_EQ(file.bars.size(), 2u);
    EXPECT_EQ(file.bars[1].date, "2026-12-04");
    EXPECT_DOUBLE_EQ(file.bars[1].open, 10.78);
    EXPECT_DOUBLE_EQ(file.bars[1].high, 10.80);
    EXPECT_DOUBLE_EQ(file.bars[1].low, 10.74);
    EXPECT_DOUBLE_EQ(file.bars[1].close, 10.79);
    EXPECT_DOUBLE_EQ(file.bars[1].volume, 51209283);
}

struct BrokenLine {
    const char* line;
    const char* why;
};

std::ostream& operator<<(std::ostream& os, const BrokenLine& c) {
    return os << '"' << c.line << '"';
}

class ReadBarsCsvRejects : public ::testing::TestWithParam<BrokenLine> {};

// One bad line rejects the whole file, and the error names line 3 (header, good, bad).
TEST_P(ReadBarsCsvRejects, WholeFileAndNamesTheLine) {
    TempDir dir;
    writeFileBytes(dir / "x.csv", std::string(kHeader) + "2026-12-02,10,11,9,10,100\n" +
                                      GetParam().line + "\n2026-12-07,10,11,9,10,100\n");
    const BarsFile file = readBarsCsv(dir / "x.csv");
    EXPECT_TRUE(file.bars.empty());
    EXPECT_NE(file.error.find("line 3"), std::string::npos) << file.error;
    EXPECT_NE(file.error.find(GetParam().why), std::string::npos) << file.error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadBarsCsvRejects,
    ::testing::Values(BrokenLine{"2026-12-03,10,11,9,10", "6 fields"},
                      BrokenLine{"2026-12-03,10,11,9,10,100,7", "6 fields"},
                      BrokenLine{"03.12.2026,10,11,9,10,100", "YYYY-MM-DD"},
                      BrokenLine{"2026-13-03,10,11,9,10,100", "YYYY-MM-DD"},
                      BrokenLine{"2026-12-02,10,11,9,10,100", "increase"},
                      BrokenLine{"2026-12-01,10,11,9,10,100", "increase"},
                      BrokenLine{"2026-12-03,10,11,9,ten,100", "not a number"},
                      BrokenLine{"2026-12-03,10,11,9,10.5x,100", "not a number"},
                      BrokenLine{"2026-12-03,10,11,9,nan,100", "not a number"},
                      BrokenLine{"2026-12-03,10,11,0,10,100", "positive"},
                      BrokenLine{"2026-12-03,10,11,9,10,-1", "positive"},
                      BrokenLine{"2026-12-03,10,10.5,9,11,100", "enclose"},
                      BrokenLine{"2026-12-03,10,11,10.2,10.1,100", "enclose"}));

TEST(ReadBarsCsv, MissingAndEmptyFilesAreErrors) {
    TempDir dir;
    EXPECT_FALSE(readBarsCsv(dir / "none.csv").error.empty());
    writeFileBytes(dir / "empty.csv", kHeader);
    const BarsFile empty = readBarsCsv(dir / "empty.csv");
    EXPECT_TRUE(empty.bars.empty());
    EXPECT_FALSE(empty.error.empty());
}

TEST(DemoBars, SameCodeGivesTheSameSeries) {
    const auto a = generateDemoBars("sz000002", SeriesKind::Stock);
    const auto b = generateDemoBars("sz000002", SeriesKind::Stock);
    ASSERT_EQ(a.size(), 120u);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].date, b[i].date);
        EXPECT_EQ(a[i].open, b[i].open);
        EXPECT_EQ(a[i].high, b[i].high);
        EXPECT_EQ(a[i].low, b[i].low);
        EXPECT_EQ(a[i].close, b[i].close);
        EXPECT_EQ(a[i].volume, b[i].volume);
    }
}

TEST(DemoBars, DifferentCodesGiveDifferentSeries) {
    const auto a = generateDemoBars("sz000002", SeriesKind::Stock);
    const auto b = generateDemoBars("sz000003", SeriesKind::Stock);
    EXPECT_NE(a.back().close, b.back().close);
}

TEST(DemoBars, FnvSeedMatchesTheReferenceValues) {
    // Published FNV-1a 64 test vectors.
    EXPECT_EQ(codeSeed(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(codeSeed("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(codeSeed("foobar"), 0x85944171f73967e8ULL);
}

class DemoBarsAreValid : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoBarsAreValid, EveryBarIsAPlausibleWeekdaySession) {
    const bool index = std::string(GetParam()).rfind("sh000", 0) == 0;
    const auto bars =
        generateDemoBars(GetParam(), index ? SeriesKind::Index : SeriesKind::Stock, 250);
    ASSERT_EQ(bars.size(), 250u);
    EXPECT_EQ(bars.back().date, kDemoLastSession);
    for (size_t i = 0; i < bars.size(); ++i) {
        const Bar& b = bars[i];
        EXPECT_GT(b.low, 0);
        EXPECT_GE(b.high, std::max(b.open, b.close));
        EXPECT_LE(b.low, std::min(b.open, b.close));
        EXPECT_GE(b.volume, 0);
        if (i > 0) {
            EXPECT_LT(bars[i - 1].date, b.date);
            // A-share daily limit is 10% (20% for some boards): stay well inside it.
            EXPECT_LT(std::abs(b.close / bars[i - 1].close - 1.0), 0.2);
        }
        using namespace std::chrono;
        const int y = std::stoi(b.date.substr(0, 4));
        const unsigned m = static_cast<unsigned>(std::stoi(b.date.substr(5, 2)));
        const unsigned d = static_cast<unsigned>(std::stoi(b.date.substr(8, 2)));
        const weekday wd{sys_days{year{y} / month{m} / day{d}}};
        EXPECT_NE(wd, Saturday) << b.date;
        EXPECT_NE(wd, Sunday) << b.date;
    }
    if (index) {
        EXPECT_GT(bars.front().open, 1500);
    } else {
        EXPECT_LT(bars.front().open, 150);
    }
    // A generated series must give levels, or the demo would answer errors.
    EXPECT_TRUE(computeLevels(bars));
}

INSTANTIATE_TEST_SUITE_P(Codes, DemoBarsAreValid,
                         ::testing::Values("sh600036", "sz000002", "sz300750", "sh688981",
                                           "sh000002", "sh000300"));

}  // namespace
}  // namespace tallyro::service
