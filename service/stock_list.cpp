// Loading the stock list CSV and the table of index names.
#include "stock_list.h"

#include <array>
#include <fstream>
#include <utility>

#include "csv_lines.h"

namespace tallyro::service {

std::optional<std::string> normaliseCode(std::string_view code) {
    if (code.size() != 8) {
        return std::nullopt;
    }
    std::string out(code);
    out[0] = static_cast<char>(out[0] | 0x20);
    out[1] = static_cast<char>(out[1] | 0x20);
    if (out.compare(0, 2, "sh") != 0 && out.compare(0, 2, "sz") != 0) {
        return std::nullopt;
    }
    for (size_t i = 2; i < 8; ++i) {
        if (out[i] < '0' || out[i] > '9') {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<StockList> StockList::load(const std::filesystem::path& file, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error) {
            *error = "cannot read the stock list " + file.string();
        }
        return std::nullopt;
    }
    std::vector<StockEntry> entries;
    size_t skipped = 0;
    CsvLineReader reader(in, "code");
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        std::optional<std::string> code;
        if (fields.size() == 3) {
            code = normaliseCode(fields[0]);
        }
        if (!code || fields[1].empty()) {
            ++skipped;
            continue;
        }
        entries.push_back({*code, fields[1], fields[2]});
    }
    if (entries.empty()) {
        if (error) {
            *error = "the stock list " + file.string() + " holds no stock";
        }
        return std::nullopt;
    }
    StockList list = fromEntries(std::move(entries));
    list.skipped_ = skipped;
    return list;
}

StockList StockList::fromEntries(std::vector<StockEntry> entries) {
    StockList list;
    list.entries_ = std::move(entries);
    for (size_t i = 0; i < list.entries_.size(); ++i) {
        // The first line of a duplicated code wins, as a lookup by code can give only one.
        list.byCode_.emplace(list.entries_[i].code, i);
    }
    return list;
}

const StockEntry* StockList::find(std::string_view code) const {
    const auto normal = normaliseCode(code);
    if (!normal) {
        return nullptr;
    }
    const auto it = byCode_.find(*normal);
    return it == byCode_.end() ? nullptr : &entries_[it->second];
}

const std::string* indexName(std::string_view code) {
    static const std::array<std::pair<std::string, std::string>, 8> kIndices{{
        {"sh000001", "上证指数"},
        {"sh000002", "上证A股指数"},
        {"sh000003", "上证B股指数"},
        {"sh000016", "上证50"},
        {"sh000300", "沪深300"},
        {"sz399001", "深证成指"},
        {"sz399005", "中小板指"},
        {"sz399006", "创业板指"},
    }};
    const auto normal = normaliseCode(code);
    if (!normal) {
        return nullptr;
    }
    for (const auto& [indexCode, name] : kIndices) {
        if (indexCode == *normal) {
            return &name;
        }
    }
    return nullptr;
}

}  // namespace tallyro::service
