// The stock list, the market data folder and the data shipped with the service.
#include "market_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stock_list.h"
#include "temp_dir.h"

namespace tallyro::service {
namespace {

using test::TempDir;
using test::writeFileBytes;

// What the web server's tests do not reach: malformed stock lines, codes in other forms,
// a watch list without its header and with a bad line, an index without the "s_" prefix.
TEST(MarketData, StockListCodesInOtherFormsAndTheWatchList) {
    TempDir dir;
    writeFileBytes(dir / "stocks.csv",
                   "code,name,initials\r\nsh600000,浦发银行,PFYX\r\nbroken line\r\n"
                   "xx123456,坏代码,HDM\r\nsz000001,,PAYX\r\nsz000002,万科A,WKA\r\n");
    writeFileBytes(dir / "watchlist.csv", "sh600000\nbogus\nSZ000001\n");
    std::string error;
    EXPECT_FALSE(StockList::load(dir / "none.csv", &error));
    EXPECT_NE(error.find("none.csv"), std::string::npos);
    const auto stocks = StockList::load(dir / "stocks.csv", &error);
    ASSERT_TRUE(stocks) << error;
    EXPECT_EQ(std::pair(stocks->entries().size(), stocks->skippedLines()), std::pair(2ul, 3ul));
    EXPECT_EQ(stocks->find("SZ000002")->name, "万科A");
    MarketData market(dir.path(), *stocks);
    EXPECT_EQ(market.analyseStock("SH600000", "d", "t").report.value().name, "浦发银行");
    for (const char* code : {"sh60000", "../bars/sh600000", "sh600000.csv"})
        EXPECT_EQ(market.analyseStock(code, "d", "t").error, AnalysisError::UnknownCode) << code;
    EXPECT_EQ(market.watchlist(), (std::vector<std::string>{"sh600000", "sz000001"}));
    ASSERT_EQ(market.loadWarnings().size(), 1u);
    EXPECT_NE(market.loadWarnings()[0].find("watchlist.csv line 2"), std::string::npos);
    EXPECT_EQ(market.analyseIndex("sh000002", "d", "t").report.value().name, "上证A股指数");
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
