#include "test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tallyro::test {

std::filesystem::path copyBuiltDatabase(const std::filesystem::path& dir) {
    const std::filesystem::path target = dir / "QsDate.mdb";
    std::filesystem::copy_file(TALLYRO_TEST_STOCK_DB, target,
                               std::filesystem::copy_options::overwrite_existing);
    return target;
}

void execSql(const std::filesystem::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in: " << sql;
    sqlite3_free(error);
    sqlite3_close(handle);
}

}  // namespace tallyro::test
