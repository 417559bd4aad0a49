// Direct SQLite access for the data tests: building test databases and looking at what the
// program left in them, through a connection of their own.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tallyro::test {

// Marks a Null field in queryRows' result.
inline const std::string kNull = "<null>";

class SqliteFile {
public:
    explicit SqliteFile(const std::filesystem::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) {
            throw std::runtime_error("cannot open " + file.string());
        }
    }
    ~SqliteFile() { sqlite3_close(db_); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    void exec(const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            std::string why = message != nullptr ? message : "?";
            sqlite3_free(message);
            throw std::runtime_error(why + " in: " + sql);
        }
    }

    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        }
        std::vector<std::vector<std::string>> result;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = sqlite3_column_text(stmt, i);
                row.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : kNull);
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return result;
    }

private:
    sqlite3* db_ = nullptr;
};

// The three tables as the delivered database has them.
inline constexpr const char* kSchemaSql =
    "create table [System] (AutoLogin text, UserName text, PassWord text);"
    "create table [SearchList] (GpID text, GpName text);"
    "create table [QzSj] (GpID text, GpName text, Initials text);";

}  // namespace tallyro::test
