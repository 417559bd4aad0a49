// The service's CSV files: the line reader, the bars of a data file and the levels
// computed from them, and the stock list. Properties: fields never hold a comma or a
// line break, line numbers only grow; a bars file is read whole or rejected with a
// line named, and whatever it holds, the levels stay finite and ordered.
#include <unistd.h>

#include "require.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis.h"
#include "bars.h"
#include "csv_lines.h"
#include "stock_list.h"

using namespace tallyro::service;
namespace fs = std::filesystem;

namespace {

using tallyro::fuzz::require;

const fs::path& dataFile() {
    static const fs::path file = tallyro::fuzz::scratchFile("sh600000.csv");
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::istringstream in(bytes);
    CsvLineReader reader(in, "date");
    std::vector<std::string> fields;
    std::size_t lastLine = 0;
    while (reader.next(fields)) {
        require(reader.lineNumber() > lastLine);
        lastLine = reader.lineNumber();
        require(!fields.empty());
        for (const std::string& field : fields)
            require(field.find_first_of(",\n") == std::string::npos);
    }

    {
        std::ofstream out(dataFile(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        require(static_cast<bool>(out));
    }
    const BarsFile file = readBarsCsv(dataFile());
    require(file.error.empty() != file.bars.empty());
    for (std::size_t i = 0; i < file.bars.size(); ++i) {
        const Bar& bar = file.bars[i];
        require(bar.low > 0 && bar.low <= std::min(bar.open, bar.close) &&
                bar.high >= std::max(bar.open, bar.close));
        require(i == 0 || file.bars[i - 1].date < bar.date);
    }
    if (const auto levels = computeLevels(file.bars)) {
        require(std::isfinite(levels->pressure) && std::isfinite(levels->support));
        require(levels->support > 0 && levels->support < levels->close &&
                levels->close < levels->pressure);
    }

    std::string error;
    if (const auto stocks = StockList::load(dataFile(), &error)) {
        for (const StockEntry& entry : stocks->entries())
            require(normaliseCode(entry.code) == entry.code && stocks->find(entry.code));
    }
    return 0;
}
