// Level computation on hand-made bar series, the advice position, and the payloads.
#include "analysis.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace tallyro::service {
namespace {

// Every session trades 9.5 to 10.5 and closes at 10: no swing points anywhere.
std::vector<Bar> flatSeries(size_t sessions) {
    std::vector<Bar> bars(sessions);
    for (size_t i = 0; i < sessions; ++i) {
        bars[i] = Bar{"day" + std::to_string(i), 10.0, 10.5, 9.5, 10.0, 1000};
    }
    return bars;
}

void setHigh(std::vector<Bar>& bars, size_t i, double high) {
    bars[i].high = high;
}
void setLow(std::vector<Bar>& bars, size_t i, double low) {
    bars[i].low = low;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(sep, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

TEST(SwingPoints, PeakAndTroughAreFound) {
    auto bars = flatSeries(30);
    setHigh(bars, 10, 12.0);
    setLow(bars, 15, 8.0);
    EXPECT_EQ(swingHighs(bars, 3), std::vector<size_t>{10});
    EXPECT_EQ(swingLows(bars, 3), std::vector<size_t>{15});
}

TEST(SwingPoints, FlatTopCountsOnceAtItsFirstSession) {
    auto bars = flatSeries(30);
    setHigh(bars, 10, 12.0);
    setHigh(bars, 11, 12.0);
    EXPECT_EQ(swingHighs(bars, 3), std::vector<size_t>{10});
}

TEST(SwingPoints, HigherHighWithinThreeSessionsCancelsThePeak) {
    auto bars = flatSeries(30);
    setHigh(bars, 10, 12.0);
    setHigh(bars, 13, 12.5);  // three sessions later: 10 is not the highest of its seven
    EXPECT_EQ(swingHighs(bars, 3), std::vector<size_t>{13});
}

TEST(SwingPoints, SessionsWithoutThreeNeighboursOnEachSideAreNotSwings) {
    auto bars = flatSeries(30);
    setHigh(bars, 2, 12.0);   // only two sessions before it
    setHigh(bars, 27, 12.0);  // only two sessions after it
    setLow(bars, 26, 8.0);    // three after it: counts
    EXPECT_TRUE(swingHighs(bars, 3).empty());
    EXPECT_EQ(swingLows(bars, 3), std::vector<size_t>{26});
}

TEST(ComputeLevels, NearestSwingPointsAroundTheClose) {
    auto bars = flatSeries(40);
    setHigh(bars, 8, 12.0);
    setHigh(bars, 20, 11.0);  // nearer above the close than 12
    setLow(bars, 14, 8.0);
    setLow(bars, 26, 9.0);  // nearer below the close than 8
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    EXPECT_DOUBLE_EQ(levels->close, 10.0);
    EXPECT_DOUBLE_EQ(levels->pressure, 11.0);
    EXPECT_DOUBLE_EQ(levels->support, 9.0);
    EXPECT_EQ(levels->pressureBasis, LevelBasis::SwingPoint);
    EXPECT_EQ(levels->supportBasis, LevelBasis::SwingPoint);
    EXPECT_DOUBLE_EQ(levels->ma20, 10.0);
}

TEST(ComputeLevels, SwingHighBelowTheCloseIsNoPressure) {
    auto bars = flatSeries(40);
    setHigh(bars, 10, 12.0);
    setHigh(bars, 20, 11.0);  // a swing high, but under the final close
    // The last three sessions rise to 11.8; being the last three they are no swings.
    for (size_t i = 37; i < 40; ++i) {
        bars[i] = Bar{"late", 11.0, 11.9, 10.9, 11.8, 1000};
    }
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    EXPECT_DOUBLE_EQ(levels->close, 11.8);
    EXPECT_DOUBLE_EQ(levels->pressure, 12.0);
}

TEST(ComputeLevels, PeakInTheLastThreeSessionsFallsBackToTheWindowHigh) {
    auto bars = flatSeries(30);
    setHigh(bars, 28, 13.0);
    setLow(bars, 12, 8.0);
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    EXPECT_DOUBLE_EQ(levels->pressure, 13.0);
    EXPECT_EQ(levels->pressureBasis, LevelBasis::WindowExtreme);
    EXPECT_DOUBLE_EQ(levels->support, 8.0);
}

TEST(ComputeLevels, SwingPointsOlderThanTheWindowAreIgnored) {
    auto bars = flatSeries(80);
    setHigh(bars, 10, 11.0);  // 70 sessions back: outside the 60-session window
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    EXPECT_DOUBLE_EQ(levels->pressure, 10.5);
    EXPECT_EQ(levels->pressureBasis, LevelBasis::WindowExtreme);
}

TEST(ComputeLevels, CloseAtANewHighProjectsTwoAverageTrueRanges) {
    auto bars = flatSeries(30);
    bars.back() = Bar{"last", 12.0, 13.0, 12.0, 13.0, 1000};
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    // True ranges of the last 14 sessions: 13 of 1.0 and the last max(1, 13-10, 12-10) = 3,
    // so ATR = 16/14 and the pressure is 13 + 2 * 16/14.
    EXPECT_NEAR(levels->pressure, 13.0 + 32.0 / 14.0, 1e-9);
    EXPECT_EQ(levels->pressureBasis, LevelBasis::Volatility);
    EXPECT_DOUBLE_EQ(levels->support, 9.5);
    EXPECT_EQ(levels->supportBasis, LevelBasis::WindowExtreme);
}

TEST(ComputeLevels, ProjectionIsAtLeastOnePercentAway) {
    auto bars = flatSeries(30);
    for (auto& bar : bars) {
        bar = Bar{bar.date, 10.0, 10.0, 10.0, 10.0, 0};  // no range at all
    }
    const auto levels = computeLevels(bars);
    ASSERT_TRUE(levels);
    EXPECT_DOUBLE_EQ(levels->pressure, 10.1);
    EXPECT_DOUBLE_EQ(levels->support, 9.9);
}

TEST(ComputeLevels, NeedsTwentySessions) {
    EXPECT_FALSE(computeLevels(flatSeries(19)));
    EXPECT_TRUE(computeLevels(flatSeries(20)));
    EXPECT_FALSE(computeLevels({}));
}

TEST(ComputeLevels, SupportThatWouldPublishAsZeroIsRefused) {
    auto bars = flatSeries(30);
    for (auto& bar : bars) {
        bar = Bar{bar.date, 0.01, 0.05, 0.01, 0.01, 0};
    }
    // The close is the window's low, so the support is projected two true ranges
    // (2 x 0.04) below 0.01: under zero.
    EXPECT_FALSE(computeLevels(bars));
}

struct PositionCase {
    double close;
    Position expected;
};

std::ostream& operator<<(std::ostream& os, const PositionCase& c) {
    return os << "close " << c.close;
}

class PositionBetweenLevels : public ::testing::TestWithParam<PositionCase> {};

// Support 10, pressure 14: the lower quarter ends at 11, the upper one starts at 13.
TEST_P(PositionBetweenLevels, QuartersNextToTheLevels) {
    Levels levels;
    levels.support = 10.0;
    levels.pressure = 14.0;
    levels.close = GetParam().close;
    EXPECT_EQ(positionBetween(levels), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PositionBetweenLevels,
                         ::testing::Values(PositionCase{10.5, Position::NearSupport},
                                           PositionCase{11.0, Position::NearSupport},
                                           PositionCase{11.01, Position::Middle},
                                           PositionCase{12.99, Position::Middle},
                                           PositionCase{13.0, Position::NearPressure},
                                           PositionCase{13.9, Position::NearPressure}));

Levels sampleLevels() {
    Levels levels;
    levels.close = 10.0;
    levels.pressure = 12.0;
    levels.support = 9.0;
    levels.ma20 = 9.5;
    return levels;
}

TEST(StockPayload, NineFieldsWithPercentagesFromThePublishedPrices) {
    const Report r =
        buildReport("浦发银行", "2026-12-06", "14:35:02", sampleLevels(), false, false, false);
    const auto fields = split(stockPayload(r), '|');
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], "浦发银行");
    EXPECT_EQ(fields[1], "2026-12-06");
    EXPECT_EQ(fields[2], "14:35:02");
    EXPECT_EQ(fields[3], "12.00");
    EXPECT_EQ(fields[4], "20.00");
    EXPECT_EQ(fields[5], "10.00");
    EXPECT_EQ(fields[6], "9.00");
    EXPECT_EQ(fields[7], "10.00");
    // Middle position, above the 20-day average, and the risk paragraph.
    EXPECT_EQ(split(fields[8], '<').size(), 5u);  // two "<br><br>" separators
    EXPECT_NE(fields[8].find("上方"), std::string::npos);
    EXPECT_EQ(fields[8].find('?'), std::string::npos);
}

TEST(StockPayload, SuspendedStockHasAnEmptyFieldFourAndTheRestFilled) {
    const Report r =
        buildReport("*ST济堂", "2026-12-06", "14:35:02", sampleLevels(), false, true, false);
    const auto fields = split(stockPayload(r), '|');
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[4], "");
    EXPECT_EQ(fields[3], "12.00");
    EXPECT_EQ(fields[7], "10.00");
    EXPECT_EQ(fields[8].rfind("该股票目前停牌", 0), 0u);
}

TEST(StockPayload, DemoDataIsMarkedInTheAdvice) {
    const Report r = buildReport("x", "d", "t", sampleLevels(), false, false, true);
    EXPECT_EQ(r.advice.front().rfind("【演示数据】", 0), 0u);
}

TEST(StockPayload, SeparatorsInsideFieldsAreReplaced) {
    const Report r = buildReport("A|B?C", "d", "t", sampleLevels(), false, false, false);
    const auto fields = split(stockPayload(r), '|');
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], "A｜B？C");
}

TEST(IndexPayload, LevelsInPointsWithoutCurrency) {
    Levels levels;
    levels.close = 3089.114;
    levels.pressure = 3300.0;
    levels.support = 2900.0;
    levels.ma20 = 3000.0;
    const Report r = buildReport("上证指数", "2026-12-06", "14:35:02", levels, true, false, false);
    const std::string payload = indexPayload(r);
    const auto fields = split(payload, '|');
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[3], "3300.00");
    EXPECT_EQ(fields[5], "3089.11");
    EXPECT_EQ(fields[6], "2900.00");
    EXPECT_EQ(payload.find("RMB"), std::string::npos);
    EXPECT_EQ(payload.find("元"), std::string::npos);
}

struct FixedCase {
    double value;
    int decimals;
    const char* text;
};

std::ostream& operator<<(std::ostream& os, const FixedCase& c) {
    return os << c.text;
}

class FormatFixed : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixed, DecimalPointAndRounding) {
    EXPECT_EQ(formatFixed(GetParam().value, GetParam().decimals), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatFixed,
                         ::testing::Values(FixedCase{10.5, 2, "10.50"}, FixedCase{0.125, 1, "0.1"},
                                           FixedCase{2.675, 2,
                                                     "2.67"} /* 2.67499999... in binary */,
                                           FixedCase{-0.001, 2, "0.00"}, FixedCase{3.0, 0, "3"}));

}  // namespace
}  // namespace tallyro::service
