// The stock list, the market data folder and the data shipped with the service.
#include "market_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "stock_list.h"
#include "temp_dir.h"

namespace tallyro::service {
namespace {

using test::TempDir;
using test::writeFileBytes;

// Malformed stock lines, codes in other forms, a watch list without its header and with a
// bad line, an index without the "s_" prefix.
TEST(MarketData, StockListCodesInOtherFormsAndTheWatchList) {
    TempDir dir;
    writeFileBytes(dir / "stocks.csv",
                   "code,name,initials\r\nsh600000,浦发银行,PFYX\r\nbroken line\r\n"
                   "xx123456,坏代码,HDM\r\nsz000001,,PAYX\r\nsz000002,万科A,WKA\r\n");
    writeFileBytes(dir / "watchlist.csv", "sh600000\nbogus\nSZ000001\n");
    std::string error;
    EXPECT_TRUE(!StockList::load(dir / "none.csv", &error) && error.find("none.csv") != error.npos);
    const auto stocks = StockList::load(dir / "stocks.csv", &error);
    ASSERT_TRUE(stocks) << error;
    EXPECT_EQ(std::pair(stocks->entries().size(), stocks->skippedLines()), std::pair(2ul, 3ul));
    EXPECT_EQ(stocks->find("SZ000002")->name, "万科A");
    MarketData market(dir.path(), *stocks);
    EXPECT_EQ(market.analyseStock("SH600000", "d", "t").report.value().name, "浦发银行");
    for (const char* code : {"sh60000", "../bars/sh600000", "sh600000.csv"})
        EXPECT_EQ(market.analyseStock(code, "d", "t").error, AnalysisError::UnknownCode) << code;
    EXPECT_EQ(market.watchlist(), (std::vector<std::string>{"sh600000", "sz000001"}));
    EXPECT_TRUE(market.loadWarnings().size() == 1 &&
                market.loadWarnings()[0].find("watchlist.csv line 2") != std::string::npos);
    EXPECT_EQ(market.analyseIndex("sh000002", "d", "t").report.value().name, "上证A股指数");
}

// 2026-12-07 is a Monday; a time of that week in Shanghai as Unix milliseconds.
std::int64_t shanghai(int day, int hour, int minute) {
    return 1'796'572'800'000 + ((day * 24 + hour) * 60 + minute) * 60'000LL;
}

// A price per code and time, within 2 % of the close, still between sessions; pins expire.
TEST(LivePrices, SimulatedWithinTheDayAndPinnedForAWhile) {
    const double open = simulatedPrice("sh600000", 10, shanghai(0, 9, 30));
    EXPECT_TRUE(open == simulatedPrice("sh600000", 10, shanghai(0, 9, 30)) &&
                open != simulatedPrice("sh600004", 10, shanghai(0, 9, 30)));
    std::set<double> seen;
    for (int m = 0; m < 120; m += 5) {
        const double p = simulatedPrice("sh600000", 10, shanghai(0, 9, 30) + m * 60'000);
        // Whole cents.
        EXPECT_TRUE(p >= 9.82 && p <= 10.18 && std::abs(p * 100 - std::round(p * 100)) < 1e-9) << p;
        seen.insert(p);
    }
    EXPECT_GT(seen.size(), 10u);
    // Still over lunch, the night and the weekend: where the last session stopped.
    const auto at = [](int day, int hour, int minute) {
        return simulatedPrice("sh600000", 10, shanghai(day, hour, minute));
    };
    EXPECT_TRUE(at(0, 12, 0) == at(0, 13, 0) && at(5, 12, 0) == at(4, 15, 0) &&
                at(7, 9, 0) == at(4, 15, 0));

    std::int64_t now = shanghai(0, 10, 0);
    LivePrices prices([&] { return now; });
    prices.pin("sh600000", 9.5, 10);
    EXPECT_EQ(std::pair(prices.price("sh600000", 10), prices.price("sh600004", 10)),
              std::pair(9.5, simulatedPrice("sh600004", 10, now)));
    now += 10 * 60'000 - 1;
    EXPECT_EQ(prices.pinned("sh600000"), 9.5);
    now += 1;
    EXPECT_EQ(prices.pinned("sh600000"), std::nullopt);
    prices.pin("sh600000", 9.5, 10);
    EXPECT_TRUE(prices.unpin("sh600000") && !prices.unpin("sh600000"));
    // A stock answers with its price of the moment; the levels stay the bars'.
    const StockList stocks =
        *StockList::load(std::filesystem::path(TALLYRO_SERVICE_DATA_DIR) / "stocks.csv", nullptr);
    MarketData market(TALLYRO_SERVICE_DATA_DIR, stocks);
    const Report daily = *market.analyseStock("sh600000", "d", "t").report;
    market.setLivePrices(&prices);
    prices.pin("sh600000", 1.23, 10);
    const Report live = *market.analyseStock("sh600000", "d", "t").report;
    EXPECT_EQ(std::pair(live.levels.close, live.levels.support),
              std::pair(1.23, daily.levels.support));
}

// The data the build puts next to the program: every sample is analysed from its own bars.
TEST(ShippedData, EverySampleIsAnalysedFromItsBars) {
    const std::filesystem::path dir = TALLYRO_SERVICE_DATA_DIR;
    std::string error;
    const auto stocks = StockList::load(dir / "stocks.csv", &error);
    ASSERT_TRUE(stocks) << error;
    EXPECT_EQ(std::pair(stocks->entries().size(), stocks->skippedLines()), std::pair(4911ul, 0ul));
    MarketData market(dir, *stocks);
    EXPECT_TRUE(market.loadWarnings().empty());
    for (const auto& entry : std::filesystem::directory_iterator(dir / "bars")) {
        const std::string code = entry.path().stem().string();
        EXPECT_GE(readBarsCsv(entry.path()).bars.size(), 60u) << code;
        const auto out = indexName(code) ? market.analyseIndex(code, "d", "t")
                                         : market.analyseStock(code, "d", "t");
        ASSERT_TRUE(out.report) << code << ": " << out.detail;
        EXPECT_FALSE(out.report->demo) << code;
    }
    for (const char* code : {"sh600083", "sh600090"})
        EXPECT_TRUE(market.isSuspended(code) && stocks->find(code)) << code;
}

}  // namespace
}  // namespace tallyro::service
