// What the program left in a folder and in a database file, seen through a connection of the
// data tests' own.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tallyro::test {

using Rows = std::vector<std::vector<std::string>>;

// The rows of one statement, Null as ""; none when the statement does not run.
inline Rows query(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    Rows result;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        auto& row = result.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.push_back(text != nullptr ? text : "");
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

inline long filesIn(const std::filesystem::path& dir) {
    return std::distance(std::filesystem::directory_iterator(dir),
                         std::filesystem::directory_iterator());
}

}  // namespace tallyro::test
