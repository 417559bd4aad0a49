// Line reader for the service's small CSV files: comma-separated fields without
// quoting, LF or CRLF line ends, an optional UTF-8 byte-order mark, blank lines skipped.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace tallyro::service {

class CsvLineReader {
public:
    explicit CsvLineReader(std::istream& in) : in_(in) {}

    // Fills `fields` with the next non-blank line's fields; false at the end of input.
    bool next(std::vector<std::string>& fields);
    // 1-based number of the line last returned by next().
    size_t lineNumber() const { return line_; }

private:
    std::istream& in_;
    size_t line_ = 0;
};

}  // namespace tallyro::service
