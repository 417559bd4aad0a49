// A copy of the built stock database in a temporary folder, with helpers to
// change its rows directly, for tests that start the program against it.
#pragma once

#include <filesystem>
#include <string>

namespace tallyro::test {

// Copies the database the build made into `dir` and returns its path.
std::filesystem::path copyBuiltDatabase(const std::filesystem::path& dir);

// Runs SQL on a database file; fails the test on an error.
void execSql(const std::filesystem::path& db, const std::string& sql);

}  // namespace tallyro::test
