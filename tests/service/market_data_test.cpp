// The stock list, the market data folder and the analyses built from it, on real files
// in a temporary folder; and a check of the data shipped with the service.
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

std::string flatBars(int sessions, double close) {
    std::string text = "date,open,high,low,close,volume\n";
    for (int i = 0; i < sessions; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "2026-%02d-%02d,%.2f,%.2f,%.2f,%.2f,1000\n", 1 + i / 28,
                      1 + i % 28, close, close + 0.5, close - 0.5, close);
        text += line;
    }
    return text;
}

class MarketFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "bars");
        writeFileBytes(dir_ / "stocks.csv",
                       "code,name,initials\nsh600000,浦发银行,PFYX\nsz000001,平安银行,PAYX\n"
                       "sh600090,*ST济堂,*STJT\nsh600004,白云机场,BYJC\n");
        writeFileBytes(dir_ / "suspended.csv", "code,since,reason\nsh600090,2026-12-01,核查\n");
        writeFileBytes(dir_ / "watchlist.csv", "code\nsh600000\nbogus\nsz000001\n");
        writeFileBytes(dir_ / "bars" / "sh600000.csv", flatBars(30, 10.0));
        writeFileBytes(dir_ / "bars" / "sh600004.csv", flatBars(10, 10.0));
        std::string error;
        auto list = StockList::load(dir_ / "stocks.csv", &error);
        ASSERT_TRUE(list) << error;
        stocks_ = std::move(*list);
    }

    TempDir dir_;
    StockList stocks_;
};

TEST_F(MarketFolder, StockFromItsBarsFileIsNotDemo) {
    MarketData market(dir_.path(), stocks_);
    const auto out = market.analyseStock("sh600000", "2026-12-06", "14:35:02");
    ASSERT_TRUE(out.report);
    EXPECT_FALSE(out.report->demo);
    EXPECT_EQ(out.report->name, "浦发银行");
    EXPECT_DOUBLE_EQ(out.report->levels.close, 10.0);
    EXPECT_DOUBLE_EQ(out.report->levels.pressure, 10.5);
}

TEST_F(MarketFolder, UpperCaseCodeIsTheSameStock) {
    MarketData market(dir_.path(), stocks_);
    const auto out = market.analyseStock("SH600000", "d", "t");
    ASSERT_TRUE(out.report);
    EXPECT_EQ(out.report->name, "浦发银行");
}

TEST_F(MarketFolder, StockWithoutAFileUsesTheMarkedDemoSeries) {
    MarketData market(dir_.path(), stocks_);
    const auto out = market.analyseStock("sz000001", "d", "t");
    ASSERT_TRUE(out.report);
    EXPECT_TRUE(out.report->demo);
}

TEST_F(MarketFolder, UnknownCodesAreUnknown) {
    MarketData market(dir_.path(), stocks_);
    for (const char* code : {"sh999999", "", "sh60000", "../bars/sh600000", "sh600000.csv"}) {
        const auto out = market.analyseStock(code, "d", "t");
        EXPECT_FALSE(out.report) << code;
        EXPECT_EQ(out.error, AnalysisError::UnknownCode) << code;
    }
}

TEST_F(MarketFolder, TooShortOrDamagedSeriesCannotBeComputed) {
    writeFileBytes(dir_ / "bars" / "sz000001.csv", "date,open,high,low,close,volume\nrubbish\n");
    MarketData market(dir_.path(), stocks_);
    const auto shortSeries = market.analyseStock("sh600004", "d", "t");
    EXPECT_EQ(shortSeries.error, AnalysisError::CannotCompute);
    const auto damaged = market.analyseStock("sz000001", "d", "t");
    EXPECT_EQ(damaged.error, AnalysisError::CannotCompute);
    EXPECT_NE(damaged.detail.find("line 2"), std::string::npos) << damaged.detail;
}

TEST_F(MarketFolder, SuspendedListAndWatchListAreRead) {
    MarketData market(dir_.path(), stocks_);
    EXPECT_TRUE(market.isSuspended("sh600090"));
    EXPECT_FALSE(market.isSuspended("sh600000"));
    EXPECT_EQ(market.watchlist(), (std::vector<std::string>{"sh600000", "sz000001"}));
    ASSERT_EQ(market.loadWarnings().size(), 1u);
    EXPECT_NE(market.loadWarnings()[0].find("watchlist.csv line 3"), std::string::npos);
    const auto out = market.analyseStock("sh600090", "d", "t");
    ASSERT_TRUE(out.report);
    EXPECT_TRUE(out.report->suspended);
}

TEST_F(MarketFolder, IndicesByClientCodeWithOrWithoutPrefix) {
    MarketData market(dir_.path(), stocks_);
    const auto first = market.analyseIndex("s_sh000001", "d", "t");
    ASSERT_TRUE(first.report);
    EXPECT_EQ(first.report->name, "上证指数");
    EXPECT_TRUE(first.report->index);
    const auto second = market.analyseIndex("sh000002", "d", "t");
    ASSERT_TRUE(second.report);
    EXPECT_EQ(second.report->name, "上证A股指数");
    EXPECT_EQ(market.analyseIndex("s_sh600000", "d", "t").error, AnalysisError::UnknownCode);
}

TEST(StockList, SkipsMalformedLinesAndFindsByCode) {
    TempDir dir;
    writeFileBytes(dir / "stocks.csv",
                   "code,name,initials\r\nsh600000,浦发银行,PFYX\r\nbroken line\r\n"
                   "xx123456,坏代码,HDM\r\nsz000001,,PAYX\r\nsz000002,万科A,WKA\r\n");
    std::string error;
    const auto list = StockList::load(dir / "stocks.csv", &error);
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->entries().size(), 2u);
    EXPECT_EQ(list->skippedLines(), 3u);
    ASSERT_NE(list->find("SZ000002"), nullptr);
    EXPECT_EQ(list->find("sz000002")->name, "万科A");
    EXPECT_EQ(list->find("sz000001"), nullptr);
}

TEST(StockList, MissingOrEmptyListIsAnError) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(StockList::load(dir / "none.csv", &error));
    EXPECT_NE(error.find("none.csv"), std::string::npos);
    writeFileBytes(dir / "empty.csv", "code,name,initials\n");
    EXPECT_FALSE(StockList::load(dir / "empty.csv", &error));
}

// The data the build puts next to the program: the repository's stock list and the
// service's sample files. Every sample and watch-list stock must give an analysis.
TEST(ShippedData, EverySampleAndWatchListStockIsAnalysed) {
    const std::filesystem::path dir = TALLYRO_SERVICE_DATA_DIR;
    std::string error;
    const auto stocks = StockList::load(dir / "stocks.csv", &error);
    ASSERT_TRUE(stocks) << error;
    EXPECT_EQ(stocks->entries().size(), 4911u);
    EXPECT_EQ(stocks->skippedLines(), 0u);
    MarketData market(dir, *stocks);
    EXPECT_TRUE(market.loadWarnings().empty());
    EXPECT_FALSE(market.watchlist().empty());
    for (const auto& code : market.watchlist()) {
        const auto out = market.analyseStock(code, "d", "t");
        EXPECT_TRUE(out.report) << code << ": " << out.detail;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir / "bars")) {
        const std::string code = entry.path().stem().string();
        const BarsFile file = readBarsCsv(entry.path());
        EXPECT_EQ(file.error, "") << code;
        EXPECT_GE(file.bars.size(), 60u) << code;
        const bool index = indexName(code) != nullptr;
        const auto out =
            index ? market.analyseIndex(code, "d", "t") : market.analyseStock(code, "d", "t");
        ASSERT_TRUE(out.report) << code << ": " << out.detail;
        EXPECT_FALSE(out.report->demo) << code;
    }
    for (const char* code : {"sh600083", "sh600090"}) {
        EXPECT_TRUE(market.isSuspended(code));
        EXPECT_NE(stocks->find(code), nullptr) << code;
    }
}

}  // namespace
}  // namespace tallyro::service
