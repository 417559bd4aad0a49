// The service's own copy of the stock list (code, name, initials) and the names of
// the market indices it can analyse.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tallyro::service {

struct StockEntry {
    std::string code;  // "sh600000": market prefix and six digits, lower case
    std::string name;
    std::string initials;
};

class StockList {
public:
    // Reads "code,name,initials" lines after a header line. Lines that do not have
    // three fields or whose code is not a market prefix and six digits are skipped
    // and counted; a file that cannot be read, or holds no valid line, is an error.
    static std::optional<StockList> load(const std::filesystem::path& file, std::string* error);
    static StockList fromEntries(std::vector<StockEntry> entries);

    const StockEntry* find(std::string_view code) const;
    const std::vector<StockEntry>& entries() const { return entries_; }
    size_t skippedLines() const { return skipped_; }

private:
    std::vector<StockEntry> entries_;
    std::unordered_map<std::string, size_t> byCode_;
    size_t skipped_ = 0;
};

// A stock code as the service stores it: "sh" or "sz" and six digits. Upper-case
// prefixes are accepted and folded.
std::optional<std::string> normaliseCode(std::string_view code);

// Market indices, by code without the "s_" prefix the client puts in front:
// "sh000001" is 上证指数, "sh000002" 上证A股指数, "sz399001" 深证成指...
const std::string* indexName(std::string_view code);

}  // namespace tallyro::service
