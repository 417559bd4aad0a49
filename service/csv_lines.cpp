// Line reader for the service's CSV files.
#include "csv_lines.h"

namespace tallyro::service {

bool CsvLineReader::next(std::vector<std::string>& fields) {
    std::string text;
    while (std::getline(in_, text)) {
        ++line_;
        if (line_ == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) {
            text.erase(0, 3);
        }
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        fields.clear();
        size_t start = 0;
        while (true) {
            const size_t comma = text.find(',', start);
            fields.push_back(
                text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
        const bool isHeader = first_ && !header_.empty() && fields[0] == header_;
        first_ = false;
        if (isHeader)
            continue;
        return true;
    }
    return false;
}

}  // namespace tallyro::service
