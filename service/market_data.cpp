// Market data from the data folder and the analyses built on it.
#include "market_data.h"

#include <fstream>

#include "csv_lines.h"

namespace tallyro::service {

namespace {

// Reads the first column of a CSV file with a header line as stock codes.
std::vector<std::string> readCodes(const std::filesystem::path& file,
                                   std::vector<std::string>& warnings) {
    std::vector<std::string> codes;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return codes;
    }
    CsvLineReader reader(in, "code");
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        const auto code = normaliseCode(fields[0]);
        if (!code) {
            warnings.push_back(file.filename().string() + " line " +
                               std::to_string(reader.lineNumber()) + ": not a stock code");
            continue;
        }
        codes.push_back(*code);
    }
    return codes;
}

}  // namespace

MarketData::MarketData(std::filesystem::path dataDir, const StockList& stocks)
    : dataDir_(std::move(dataDir)), stocks_(stocks) {
    for (auto& code : readCodes(dataDir_ / "suspended.csv", warnings_)) {
        suspended_.insert(std::move(code));
    }
    watchlist_ = readCodes(dataDir_ / "watchlist.csv", warnings_);
}

Series MarketData::series(std::string_view code, SeriesKind kind) const {
    Series result;
    const auto normal = normaliseCode(code);
    if (!normal) {
        result.error = "not a stock code";
        return result;
    }
    // The code is checked to be two letters and six digits, so it cannot leave bars/.
    const auto file = dataDir_ / "bars" / (*normal + ".csv");
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        BarsFile read = readBarsCsv(file);
        result.bars = std::move(read.bars);
        result.error = std::move(read.error);
        return result;
    }
    result.bars = generateDemoBars(*normal, kind);
    result.demo = true;
    return result;
}

bool MarketData::isSuspended(std::string_view code) const {
    const auto normal = normaliseCode(code);
    return normal && suspended_.count(*normal) > 0;
}

AnalysisOutcome MarketData::analyseStock(std::string_view code, const std::string& date,
                                         const std::string& time) const {
    const StockEntry* entry = stocks_.find(code);
    if (!entry) {
        AnalysisOutcome out;
        out.error = AnalysisError::UnknownCode;
        out.detail = "unknown stock code";
        return out;
    }
    return analyse(entry->code, entry->name, SeriesKind::Stock, date, time);
}

AnalysisOutcome MarketData::analyseIndex(std::string_view code, const std::string& date,
                                         const std::string& time) const {
    if (code.substr(0, 2) == "s_") {
        code.remove_prefix(2);
    }
    const std::string* name = indexName(code);
    if (!name) {
        AnalysisOutcome out;
        out.error = AnalysisError::UnknownCode;
        out.detail = "unknown index code";
        return out;
    }
    return analyse(*normaliseCode(code), *name, SeriesKind::Index, date, time);
}

AnalysisOutcome MarketData::analyse(const std::string& code, const std::string& name,
                                    SeriesKind kind, const std::string& date,
                                    const std::string& time) const {
    AnalysisOutcome out;
    const Series s = series(code, kind);
    if (!s.error.empty()) {
        out.error = AnalysisError::CannotCompute;
        out.detail = s.error;
        return out;
    }
    const auto levels = computeLevels(s.bars);
    if (!levels) {
        out.error = AnalysisError::CannotCompute;
        out.detail = "too few sessions (" + std::to_string(s.bars.size()) + ") for levels";
        return out;
    }
    const bool index = kind == SeriesKind::Index;
    Levels now = *levels;
    if (prices_ && !index)
        now.close = prices_->price(code, levels->close);
    out.report = buildReport(name, date, time, now, index, !index && isSuspended(code), s.demo);
    return out;
}

}  // namespace tallyro::service
