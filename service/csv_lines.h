// Line reader for the service's small CSV files: comma-separated fields without
// quoting, LF or CRLF line ends, an optional UTF-8 byte-order mark, blank lines skipped.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace tallyro::service {

class CsvLineReader {
public:
    // A first line whose first field is `header` is a header and is skipped.
    explicit CsvLineReader(std::istream& in, std::string header = {})
        : in_(in), header_(std::move(header)) {}

    // Fills `fields` with the next non-blank line's fields; false at the end of input.
    bool next(std::vector<std::string>& fields);
    // 1-based number of the line last returned by next().
    size_t lineNumber() const { return line_; }

private:
    std::istream& in_;
    std::string header_;
    size_t line_ = 0;
    bool first_ = true;
};

}  // namespace tallyro::service
