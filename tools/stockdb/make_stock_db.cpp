// Build-time generator of the delivered local database: [QzSj] from the stock list CSV, a few
// well-known stocks in [SearchList], and the empty account row of [System].
//
//   make_stock_db <stocks.csv> <output QsDate.mdb>
//
// The database is written under a temporary name beside the output and renamed into place only
// when complete, so an interrupted or failed run never leaves a partial file behind.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

struct Stock {
    std::string code;
    std::string name;
    std::string initials;
};

// The favourites shown under the search box at start-up, in this order.
constexpr std::string_view kFavourites[] = {"sh600000", "sh600036", "sh600519", "sh601318",
                                            "sz000001", "sz000002", "sz000858", "sh601398"};

constexpr std::string_view kHeader = "code,name,initials";

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// Codes are two lower-case market letters and six digits ("sh600000"): the search box takes an
// eight-character text as a complete code.
bool isValidCode(std::string_view code) {
    if (code.size() != 8) {
        return false;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (code[i] < 'a' || code[i] > 'z') {
            return false;
        }
    }
    for (std::size_t i = 2; i < 8; ++i) {
        if (code[i] < '0' || code[i] > '9') {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const auto comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::vector<Stock> readStocks(const std::filesystem::path& csv) {
    std::ifstream in(csv, std::ios::binary);
    if (!in) {
        throw Failure(csv.string() + ": cannot be read");
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        throw Failure(csv.string() + ": read error");
    }
    std::string_view rest = content;
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }

    std::vector<Stock> stocks;
    std::map<std::string, int, std::less<>> lineOfCode;
    int lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto fail = [&](const std::string& why) {
            throw Failure(csv.string() + ":" + std::to_string(lineNumber) + ": " + why);
        };
        if (lineNumber == 1) {
            if (line != kHeader) {
                fail("the header must be \"" + std::string(kHeader) + "\"");
            }
            continue;
        }
        if (line.empty()) {
            fail("empty line");
        }
        if (line.find('"') != std::string_view::npos) {
            fail("quoted fields are not supported");
        }
        const auto fields = splitFields(line);
        if (fields.size() != 3) {
            fail("expected 3 fields (code,name,initials), found " + std::to_string(fields.size()));
        }
        if (!isValidCode(fields[0])) {
            fail("code \"" + std::string(fields[0]) +
                 "\" is not two lower-case letters and six digits");
        }
        if (fields[1].empty()) {
            fail("empty name");
        }
        if (!isValidUtf8(line)) {
            fail("not valid UTF-8");
        }
        for (const char c : line) {
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("control character in the line");
            }
        }
        const auto [it, inserted] = lineOfCode.emplace(std::string(fields[0]), lineNumber);
        if (!inserted) {
            fail("code " + std::string(fields[0]) + " already on line " +
                 std::to_string(it->second));
        }
        stocks.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2])});
    }
    if (lineNumber == 0) {
        throw Failure(csv.string() + ": empty file");
    }
    if (stocks.empty()) {
        throw Failure(csv.string() + ": no stocks after the header");
    }
    return stocks;
}

class Database {
public:
    explicit Database(const std::filesystem::path& file) {
        const int rc = sqlite3_open_v2(file.c_str(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            throw Failure(file.string() + ": cannot create: " + why);
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string why = message != nullptr ? message : sqlite3_errmsg(db_);
            sqlite3_free(message);
            throw Failure(std::string("SQLite: ") + why);
        }
    }

    void insertRows(const char* sql, const std::vector<std::vector<std::string_view>>& rows) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            throw Failure(std::string("SQLite: ") + sqlite3_errmsg(db_));
        }
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                sqlite3_bind_text64(stmt, static_cast<int>(i + 1), row[i].data(), row[i].size(),
                                    SQLITE_TRANSIENT, SQLITE_UTF8);
            }
            if (sqlite3_step(stmt) != SQLITE_DONE) {
                const std::string why = sqlite3_errmsg(db_);
                sqlite3_finalize(stmt);
                throw Failure("SQLite: " + why);
            }
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
    }

    void close() {
        if (sqlite3_close(db_) != SQLITE_OK) {
            throw Failure(std::string("SQLite: ") + sqlite3_errmsg(db_));
        }
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

void writeDatabase(const std::filesystem::path& file, const std::vector<Stock>& stocks,
                   const std::filesystem::path& csv) {
    std::map<std::string_view, const Stock*> byCode;
    for (const auto& stock : stocks) {
        byCode.emplace(stock.code, &stock);
    }
    std::vector<std::vector<std::string_view>> favourites;
    for (const auto code : kFavourites) {
        const auto it = byCode.find(code);
        if (it == byCode.end()) {
            throw Failure(csv.string() + ": favourite " + std::string(code) + " is missing");
        }
        favourites.push_back({it->second->code, it->second->name});
    }
    std::vector<std::vector<std::string_view>> stockRows;
    for (const auto& stock : stocks) {
        stockRows.push_back({stock.code, stock.name, stock.initials});
    }

    Database db(file);
    // Nothing else sees the file until it is renamed, so it needs no rollback journal; the commit
    // still syncs the file, so what is renamed into place is complete on disk.
    db.exec("pragma journal_mode = off; begin");
    db.exec(
        "create table [System] (AutoLogin text, UserName text, PassWord text);"
        "create table [SearchList] (GpID text, GpName text);"
        "create table [QzSj] (GpID text, GpName text, Initials text);"
        "insert into [System] (AutoLogin, UserName, PassWord) values ('No', '', '');");
    db.insertRows("insert into [SearchList] (GpID, GpName) values (?1, ?2)", favourites);
    db.insertRows("insert into [QzSj] (GpID, GpName, Initials) values (?1, ?2, ?3)", stockRows);
    db.exec("commit");
    db.close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_stock_db <stocks.csv> <output database>\n";
        return 2;
    }
    const std::filesystem::path csv = argv[1];
    const std::filesystem::path output = argv[2];
    auto temp = output;
    temp += ".part";
    std::error_code ec;
    try {
        const auto stocks = readStocks(csv);
        std::filesystem::remove(temp, ec);
        writeDatabase(temp, stocks, csv);
        std::filesystem::rename(temp, output, ec);
        if (ec) {
            throw Failure("cannot rename " + temp.string() + " to " + output.string() + ": " +
                          ec.message());
        }
    } catch (const std::exception& e) {
        std::filesystem::remove(temp, ec);
        std::cerr << "make_stock_db: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
