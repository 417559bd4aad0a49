// The service's market data: bar series from the data folder (or the demo generator),
// the list of suspended stocks, the stock-picking watch list, and the analyses built
// from them for the answer addresses and the pages.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "analysis.h"
#include "bars.h"
#include "live_prices.h"
#include "stock_list.h"

namespace tallyro::service {

struct Series {
    std::vector<Bar> bars;
    bool demo = false;  // generated, not read from a file
    std::string error;  // a data file exists but could not be used
};

enum class AnalysisError { None, UnknownCode, CannotCompute };

struct AnalysisOutcome {
    std::optional<Report> report;
    AnalysisError error = AnalysisError::None;
    std::string detail;  // for the log when the analysis failed
};

// Layout of the data folder:
//   stocks.csv            code,name,initials (loaded separately into the StockList)
//   bars/<code>.csv       date,open,high,low,close,volume, oldest first
//   suspended.csv         code,since,reason
//   watchlist.csv         code (the rows of the stock-picking page)
class MarketData {
public:
    MarketData(std::filesystem::path dataDir, const StockList& stocks);

    const std::filesystem::path& dataDir() const { return dataDir_; }
    // Lines of suspended.csv / watchlist.csv that were skipped, for the start-up log.
    const std::vector<std::string>& loadWarnings() const { return warnings_; }

    Series series(std::string_view code, SeriesKind kind) const;
    bool isSuspended(std::string_view code) const;
    const std::vector<std::string>& watchlist() const { return watchlist_; }
    // Stocks answer with the price of the moment from these, instead of the last
    // daily close; the levels stay those of the daily bars.
    void setLivePrices(const LivePrices* prices) { prices_ = prices; }

    // `date` and `time` are the query time printed into the answer.
    AnalysisOutcome analyseStock(std::string_view code, const std::string& date,
                                 const std::string& time) const;
    // Accepts the client's "s_sh000001" form as well as "sh000001".
    AnalysisOutcome analyseIndex(std::string_view code, const std::string& date,
                                 const std::string& time) const;

private:
    AnalysisOutcome analyse(const std::string& code, const std::string& name, SeriesKind kind,
                            const std::string& date, const std::string& time) const;

    std::filesystem::path dataDir_;
    const StockList& stocks_;
    std::set<std::string> suspended_;
    std::vector<std::string> watchlist_;
    std::vector<std::string> warnings_;
    const LivePrices* prices_ = nullptr;
};

}  // namespace tallyro::service
