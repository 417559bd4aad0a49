// Bar files as read from disk, and the deterministic demo series.
#include "bars.h"

#include <gtest/gtest.h>

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
    const Bar& b = file.bars[1];
    EXPECT_EQ(b.date, "2026-12-04");
    EXPECT_EQ(std::vector({b.open, b.high, b.low, b.close, b.volume}),
              std::vector({10.78, 10.80, 10.74, 10.79, 51209283.0}));
}

// One bad line rejects the whole file, and the error names line 3 (header, good, bad).
TEST(ReadBarsCsv, OneBadLineRejectsTheWholeFileAndIsNamed) {
    TempDir dir;
    for (const auto& [line, why] : {
             std::pair{"2026-12-03,10,11,9,10", "6 fields"},
             std::pair{"2026-12-03,10,11,9,10,100,7", "6 fields"},
             std::pair{"2026/12-03,10,11,9,10,100", "YYYY-MM-DD"},
             std::pair{"2026-13-03,10,11,9,10,100", "YYYY-MM-DD"},
             std::pair{"2026-12-02,10,11,9,10,100", "increase"},
             std::pair{"2026-12-03,10,11,9,10.5x,100", "not a number"},
             std::pair{"2026-12-03,10,11,9,nan,100", "not a number"},
             std::pair{"2026-12-03,10,11,0,10,100", "positive"},
             std::pair{"2026-12-03,10,11,9,10,-1", "positive"},
             std::pair{"2026-12-03,10,10.5,9,11,100", "enclose"},
             std::pair{"2026-12-03,10,11,10.2,10.1,100", "enclose"},
         }) {
        writeFileBytes(dir / "x.csv", std::string(kHeader) + "2026-12-02,10,11,9,10,100\n" + line +
                                          "\n2026-12-07,10,11,9,10,100\n");
        const BarsFile file = readBarsCsv(dir / "x.csv");
        EXPECT_TRUE(file.bars.empty()) << line;
        EXPECT_TRUE(file.error.find("line 3: ") != std::string::npos &&
                    file.error.find(why) != std::string::npos)
            << line << ": " << file.error;
    }
    EXPECT_FALSE(readBarsCsv(dir / "none.csv").error.empty());
    writeFileBytes(dir / "empty.csv", kHeader);
    EXPECT_FALSE(readBarsCsv(dir / "empty.csv").error.empty());
}

// The same code gives the same series (seeded by the published FNV-1a 64 of the code),
// of plausible weekday sessions that give levels, or the demo would answer errors.
TEST(DemoBars, SeriesFollowsTheCodeAndIsPlausible) {
    EXPECT_EQ(codeSeed(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(codeSeed("foobar"), 0x85944171f73967e8ULL);
    const auto close = [](const char* code) {
        return generateDemoBars(code, SeriesKind::Stock).at(119).close;
    };
    EXPECT_EQ(close("sz000002"), close("sz000002"));
    EXPECT_NE(close("sz000002"), close("sz000003"));
    for (const char* code : {"sh600036", "sz300750", "sh000002", "sh000300"}) {
        const bool index = std::string(code).rfind("sh000", 0) == 0;
        const auto bars =
            generateDemoBars(code, index ? SeriesKind::Index : SeriesKind::Stock, 250);
        ASSERT_EQ(bars.size(), 250u);
        EXPECT_EQ(bars.back().date, kDemoLastSession);
        for (size_t i = 0; i < bars.size(); ++i) {
            const Bar& b = bars[i];
            EXPECT_TRUE(b.low > 0 && b.low <= std::min(b.open, b.close) &&
                        b.high >= std::max(b.open, b.close) && b.volume >= 0)
                << code << ' ' << b.date;
            EXPECT_TRUE(i == 0 || (bars[i - 1].date < b.date &&
                                   std::abs(b.close / bars[i - 1].close - 1.0) < 0.2));
            using namespace std::chrono;
            const year_month_day ymd{year{std::stoi(b.date.substr(0, 4))},
                                     month{unsigned(std::stoi(b.date.substr(5, 2)))},
                                     day{unsigned(std::stoi(b.date.substr(8, 2)))}};
            EXPECT_LT(weekday{sys_days{ymd}}.iso_encoding(), 6u) << b.date;
        }
        EXPECT_TRUE(index ? bars.front().open > 1500 : bars.front().open < 150) << code;
        EXPECT_TRUE(computeLevels(bars)) << code;
    }
}

}  // namespace
}  // namespace tallyro::service
