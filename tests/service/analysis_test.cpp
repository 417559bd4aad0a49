// Bar files, the demo series, levels of hand-made series, the advice and the payloads.
#include "analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "bars.h"
#include "temp_dir.h"

namespace tallyro::service {
namespace {

using test::TempDir;
using test::writeFileBytes;

// Every session trades 9.5 to 10.5 and closes at 10: no swing points anywhere.
std::vector<Bar> flatSeries(size_t sessions) {
    return std::vector<Bar>(sessions, Bar{"day", 10.0, 10.5, 9.5, 10.0, 1000});
}

TEST(SwingPoints, NeedThreeSessionsOnEachSideAndCountFlatTopsOnce) {
    auto bars = flatSeries(30);
    bars[2].high = 12.0;                   // only two sessions before it
    bars[10].high = bars[11].high = 12.0;  // a flat top counts at its first session
    bars[18].high = 12.0;                  // cancelled by the higher high three later
    bars[21].high = 12.5;
    bars[27].high = 12.0;               // only two sessions after it
    bars[15].low = bars[26].low = 8.0;  // three after 26: counts
    EXPECT_EQ(swingHighs(bars, 3), (std::vector<size_t>{10, 21}));
    EXPECT_EQ(swingLows(bars, 3), (std::vector<size_t>{15, 26}));
}

TEST(ComputeLevels, NearestSwingPointsAroundTheClose) {
    auto bars = flatSeries(40);
    bars[8].high = 12.0;
    bars[20].high = 11.0;  // nearer above the close than 12
    bars[14].low = 8.0;
    bars[26].low = 9.0;  // nearer below the close than 8
    const Levels levels = computeLevels(bars).value();
    EXPECT_EQ(std::tuple(levels.close, levels.pressure, levels.support, levels.ma20,
                         levels.pressureBasis, levels.supportBasis),
              std::tuple(10.0, 11.0, 9.0, 10.0, LevelBasis::SwingPoint, LevelBasis::SwingPoint));
    // The last three sessions rise to 11.8: 11 is now below the close and no pressure.
    std::fill(bars.begin() + 37, bars.end(), Bar{"late", 11.0, 11.9, 10.9, 11.8, 1000});
    EXPECT_DOUBLE_EQ(computeLevels(bars).value().pressure, 12.0);
}

// Without a swing point the 60-session window's extreme, or at a new high two ATRs, counts.
TEST(ComputeLevels, WindowExtremeOrTwoAverageTrueRangesWithoutASwingPoint) {
    // A window low of 0.004 would be published as 0.00.
    EXPECT_TRUE(!computeLevels(flatSeries(19)) && computeLevels(flatSeries(20)) &&
                !computeLevels(std::vector<Bar>(30, Bar{"d", 0.01, 0.05, 0.004, 0.01, 0})));
    auto bars = flatSeries(80);
    bars[10].high = 11.0;  // 70 sessions back: outside the window
    bars[78].high = 13.0;  // in the last three sessions: no swing
    Levels levels = computeLevels(bars).value();
    EXPECT_EQ(std::tuple(levels.pressure, levels.pressureBasis, levels.support),
              std::tuple(13.0, LevelBasis::WindowExtreme, 9.5));
    bars = flatSeries(30);
    bars.back() = Bar{"last", 12.0, 13.0, 12.0, 13.0, 1000};
    levels = computeLevels(bars).value();
    // True ranges of the last 14 sessions: 13 of 1.0 and the last max(1, 13-10, 12-10) = 3,
    // so ATR = 16/14 and the pressure is 13 + 2 * 16/14.
    EXPECT_NEAR(levels.pressure, 13.0 + 32.0 / 14.0, 1e-9);
    EXPECT_EQ(std::pair(levels.pressureBasis, levels.supportBasis),
              std::pair(LevelBasis::Volatility, LevelBasis::WindowExtreme));
    // Without any range the projection is still one per cent away.
    levels = computeLevels(std::vector<Bar>(30, Bar{"d", 10.0, 10.0, 10.0, 10.0, 0})).value();
    EXPECT_EQ(std::pair(levels.pressure, levels.support), std::pair(10.1, 9.9));
}

// Support 10, pressure 14: quarters end at 11 and start at 13; at or past a level is across.
TEST(Payloads, PositionAdviceSeparatorsUnitsAndRounding) {
    std::vector<Position> positions;
    for (const double close : {10.0, 10.01, 11.0, 11.01, 12.99, 13.0, 13.99, 14.0})
        positions.push_back(positionBetween({.close = close, .pressure = 14.0, .support = 10.0}));
    using enum Position;
    EXPECT_EQ(positions, (std::vector{BelowSupport, NearSupport, NearSupport, Middle, Middle,
                                      NearPressure, NearPressure, AbovePressure}));
    EXPECT_EQ(formatFixed(0.125, 1) + ' ' + formatFixed(2.675, 2) + ' ' + formatFixed(-0.001, 2) +
                  ' ' + formatFixed(3.0, 0),
              "0.1 2.67 0.00 3");  // 2.675 is 2.67499999... in binary

    Levels levels{.close = 10.0, .pressure = 12.0, .support = 9.0, .ma20 = 9.5};
    const auto stockAt = [&](double close, const char* name = "A") {
        levels.close = close;
        return stockPayload(
            buildReport(name, "2026-12-06", "14:35:02", levels, false, false, false));
    };
    const std::string stock = stockAt(10.0, "A|B?C");
    EXPECT_EQ(stock.rfind("A｜B？C|2026-12-06|14:35:02|12.00|20.00|10.00|9.00|10.00|", 0), 0u)
        << stock;
    // Above the 20-day average, and the stop 3 % under the support; a price that went
    // through a level says so, and how far as a share of the level.
    for (const auto& [payload, text] : {std::pair{stock, "下距支撑10.00％"},
                                        {stock, "上方"},
                                        {stock, "8.73元"},
                                        {stockAt(8.5), "已触及支撑位9.00元，低于支撑5.56％"},
                                        {stockAt(12.5), "已触及压力位12.00元，高于压力4.17％"}})
        EXPECT_NE(payload.find(text), std::string::npos) << text;
    levels.close = 10.0;
    const Report suspended = buildReport("x", "d", "t", levels, false, true, true);
    EXPECT_TRUE(suspended.advice.at(0).rfind("该股票目前停牌", 0) == 0 &&
                suspended.advice.at(1).rfind("【演示数据】", 0) == 0);
    EXPECT_NE(stockPayload(suspended).find("|12.00||10.00|"), std::string::npos);
    levels.close = 3089.114;
    const std::string index =
        indexPayload(buildReport("上证指数", "d", "t", levels, true, false, false));
    EXPECT_TRUE(index.find("|3089.11|") != std::string::npos &&
                index.find("元") == std::string::npos)
        << index;
}

constexpr const char* kHeader = "date,open,high,low,close,volume\n";

// A BOM, CR LF and blank lines are read; a bad line 3 (header, good, bad) rejects the file.
TEST(ReadBarsCsv, ReadsBomAndCrLfAndOneBadLineRejectsTheWholeFile) {
    TempDir dir;
    writeFileBytes(dir / "sh600000.csv",
                   "\xEF\xBB\xBF"
                   "date,open,high,low,close,volume\r\n"
                   "2026-12-03,10.79,10.83,10.70,10.77,64593228\r\n\r\n"
                   "2026-12-04,10.78,10.80,10.74,10.79,51209283\r\n");
    const BarsFile file = readBarsCsv(dir / "sh600000.csv");
    ASSERT_EQ(file.bars.size(), 2u) << file.error;
    const Bar& b = file.bars[1];
    EXPECT_EQ(std::tuple(b.date, b.open, b.high, b.low, b.close, b.volume),
              std::tuple("2026-12-04", 10.78, 10.80, 10.74, 10.79, 51209283.0));
    for (const auto& [line, why] : {std::pair{"2026/12-03,10,11,9,10,100", "YYYY-MM-DD"},
                                    {"2026-13-03,10,11,9,10,100", "YYYY-MM-DD"},
                                    {"2026-12-02,10,11,9,10,100", "increase"},
                                    {"2026-12-03,10,11,9,10.5x,100", "not a number"},
                                    {"2026-12-03,10,11,0,10,100", "positive"},
                                    {"2026-12-03,10,11,9,10,-1", "positive"},
                                    {"2026-12-03,10,10.5,9,11,100", "enclose"}}) {
        writeFileBytes(dir / "x.csv", std::string(kHeader) + "2026-12-02,10,11,9,10,100\n" + line +
                                          "\n2026-12-07,10,11,9,10,100\n");
        const BarsFile bad = readBarsCsv(dir / "x.csv");
        EXPECT_TRUE(bad.bars.empty() && bad.error.find("line 3: ") != std::string::npos &&
                    bad.error.find(why) != std::string::npos)
            << line << ": " << bad.error;
    }
    writeFileBytes(dir / "empty.csv", kHeader);
    EXPECT_FALSE(readBarsCsv(dir / "empty.csv").error.empty());
}

// Seeded by FNV-1a 64 of the code: plausible weekday sessions that give levels.
TEST(DemoBars, SeriesFollowsTheCodeAndIsPlausible) {
    EXPECT_EQ(codeSeed(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(codeSeed("foobar"), 0x85944171f73967e8ULL);
    const auto close = [](auto code) {
        return generateDemoBars(code, SeriesKind::Stock)[119].close;
    };
    EXPECT_TRUE(close("sz000002") == close("sz000002") && close("sz000002") != close("sz000003"));
    for (const auto& [code, kind] :
         {std::pair{"sz300750", SeriesKind::Stock}, {"sh000300", SeriesKind::Index}}) {
        const auto bars = generateDemoBars(code, kind, 250);
        EXPECT_EQ(bars.back().date, kDemoLastSession);
        for (size_t i = 1; i < bars.size(); ++i) {
            const Bar& b = bars[i];
            std::tm tm{};
            strptime(b.date.c_str(), "%Y-%m-%d", &tm);
            EXPECT_TRUE(b.low > 0 && b.low <= std::min(b.open, b.close) &&
                        b.high >= std::max(b.open, b.close) && b.volume >= 0 &&
                        bars[i - 1].date < b.date &&
                        std::abs(b.close / bars[i - 1].close - 1.0) < 0.2 &&
                        std::mktime(&tm) != -1 && tm.tm_wday % 6 != 0)
                << code << ' ' << b.date;
        }
        EXPECT_TRUE(computeLevels(bars)) << code;
    }
}

}  // namespace
}  // namespace tallyro::service
