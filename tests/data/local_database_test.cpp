// LocalDatabase against small SQLite files built by the tests: opening and its refusals, the
// account row, the favourites, the search statement, and faults from outside while it runs.
#include "data/local_database.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "child_process.h"
#include "sqlite_helpers.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::data {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::query;
using test::Rows;
using test::TempDir;

// The three tables of the delivered database, their names in another letter case (which the
// client must not mind), and some rows.
fs::path makeDatabase(const TempDir& dir, const std::string& sql = {}) {
    test::execSql(dir / "QsDate.mdb",
                  "begin; create table SYSTEM (autologin text, USERNAME text, password text);"
                  "create table searchlist (gpid text, GPNAME text);"
                  "create table qzsj (GPID text, gpname text, Initials text);" +
                      sql + ";commit;");
    return dir / "QsDate.mdb";
}

std::unique_ptr<LocalDatabase> openOrThrow(const fs::path& file) {
    std::string error;
    auto db = LocalDatabase::open(file, &error);
    return db ? std::move(db) : throw std::runtime_error("cannot open: " + error);
}

// Why the file does not open; "" when it does.
std::string refusal(const fs::path& file) {
    std::string error;
    return LocalDatabase::open(file, &error) ? "" : error;
}

std::vector<std::string> codesOf(const SearchResult& result) {
    std::vector<std::string> codes;
    for (const auto& row : result.rows)
        codes.push_back(row.gpId);
    return codes;
}

const std::string kStocksSql =
    "insert into [QzSj] (GpID, GpName) values ('sh600000', '浦发银行'), ('sz000001', '平安银行'),"
    " ('sh601100', 'O''Brien Tech'), ('sz300760', 'ABC科技'), ('sh688001', 'abc lower'),"
    " ('sz002050', 'X_Y Fund'), ('sh603000', '100%纯'), ('sz000002', '万科A'),"
    " (null, '银行甲'), ('sh600009', null), (null, null)";

TEST(LocalDatabaseAccount, FirstSaveCreatesTheRowAndLaterOnesUpdateTheFirstInStoredOrder) {
    TempDir dir;
    const auto file = makeDatabase(dir);
    auto db = openOrThrow(file);
    EXPECT_EQ(db->readAccount(), std::nullopt);
    EXPECT_TRUE(db->readSearchList().empty());
    ASSERT_TRUE(db->saveAccount({"Yes", "张三", "E10ADC3949BA59ABBE56E057F20F883E"}));
    EXPECT_EQ(db->readAccount(), (AccountRow{"Yes", "张三", "E10ADC3949BA59ABBE56E057F20F883E"}));
    // Without rowid 1 the first row is rowid 2, although its values sort last.
    test::execSql(file,
                  "insert into [System] values (null, 'zz', null), ('No', 'aa', 'S');"
                  "delete from [System] where rowid = 1");
    EXPECT_EQ(db->readAccount(), (AccountRow{"", "zz", ""}));
    const AccountRow odd{"No", "o'neil|\"x\"; drop table [System]; --", "ABC'"};
    ASSERT_TRUE(db->saveAccount(odd));
    EXPECT_EQ(query(file, "select rowid, * from [System]"),
              (Rows{{"2", odd.autoLogin, odd.userName, odd.passWord}, {"3", "No", "aa", "S"}}));
    EXPECT_EQ(openOrThrow(file)->readAccount(), odd);
}

// Code or name like '%text%': ASCII letters without case, "%" any run and "_" one character,
// a quote an ordinary character. Favourites come whole, in stored order, Null as "".
TEST(LocalDatabaseSearch, FindsCodeOrNameContainingTheTextAndListsTheFavourites) {
    TempDir dir;
    const auto file = makeDatabase(dir, kStocksSql +
                                            ";insert into [SearchList] values"
                                            " ('sz3', '乙'), (null, '甲'), ('sh6', null)");
    auto db = openOrThrow(file);
    EXPECT_EQ(db->readSearchList(),
              (std::vector<StockRow>{{"sz3", "乙"}, {"", "甲"}, {"sh6", ""}}));
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"银行", {"sh600000", "sz000001", ""}},
        {"000", {"sh600000", "sz000001", "sh603000", "sz000002", "sh600009"}},
        {"abc", {"sz300760", "sh688001"}},
        {"SH60", {"sh600000", "sh601100", "sh603000", "sh600009"}},
        {"o'brien", {"sh601100"}},
        {"'; drop table [QzSj]; --", {}},
        {"100%", {"sh601100", "sh603000"}},
        {"万_A", {"sz000002"}},
        {"科技_", {}},
        {std::string(60000, 'a'), {}},  // longer than SQLite takes as a pattern
        {"", {}}};
    for (const auto& [text, codes] : cases) {
        const auto result = db->search(text);
        EXPECT_EQ(codesOf(result), codes) << text.substr(0, 30);
        EXPECT_EQ(result.total, static_cast<int>(codes.size())) << text.substr(0, 30);
    }
    EXPECT_EQ(db->search("600").rows,
              (std::vector<StockRow>{{"sh600000", "浦发银行"}, {"sh600009", ""}}));
    EXPECT_EQ(query(file, "select count(*) from [QzSj]"), (Rows{{"11"}}));
}

TEST(LocalDatabaseSearch, ListsTheFirstRowsInStoredOrderAndCountsThemAll) {
    TempDir dir;
    std::string sql;
    std::vector<std::string> matching;
    for (int i = 0; i < 60; ++i) {  // codes descend; every third row does not match
        const auto code = "sh6" + std::to_string(99999 - i);
        sql += "insert into [QzSj] values ('" + code + (i % 3 ? "', '目标', '');" : "', '', '');");
        if (i % 3)
            matching.push_back(code);
    }
    // An index the planner would rather walk, in code order.
    auto db =
        openOrThrow(makeDatabase(dir, sql + "create index I on [QzSj] (GpID, GpName); analyze"));
    EXPECT_EQ(codesOf(db->search("目标")),
              decltype(matching)(matching.begin(), matching.begin() + 20));
    for (const auto& [limit, listed] : {std::pair{5, 5}, {100, 40}, {0, 0}, {-1, 0}}) {
        const auto result = db->search("目标", limit);
        EXPECT_EQ(codesOf(result), decltype(matching)(matching.begin(), matching.begin() + listed));
        EXPECT_EQ(result.total, 40) << limit;
    }
}

// The file removed or replaced by a folder while the client runs: saves fail quietly, and
// opening it again is refused without creating anything.
TEST(LocalDatabaseRuntimeFailure, FileRemovedOrReplacedByAFolder) {
    TempDir dir;
    const auto file = makeDatabase(dir, kStocksSql);
    auto db = openOrThrow(file);
    fs::remove(file);
    EXPECT_FALSE(db->saveAccount({"Yes", "user", "DIGEST"}));
    db->search("6");  // may see the open file or nothing
    EXPECT_EQ(refusal(file), "file not found");
    EXPECT_EQ(filesIn(dir.path()), 0);
    fs::create_directory(file);
    EXPECT_FALSE(db->saveAccount({"Yes", "user", "DIGEST"}));
    EXPECT_EQ(refusal(file), "not a regular file");
    EXPECT_TRUE(fs::is_empty(file));
}

// Does to the file what another program or the file system would; the returned object keeps
// the fault in place (a lock held by another process, root rights given up) until it goes away.
std::shared_ptr<void> inflict(const std::string& fault, const fs::path& file) {
    if (fault.starts_with(
            "begin")) {  // another process's transaction: a RESERVED or EXCLUSIVE lock
        return std::make_shared<test::HoldingChild>([&] {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            if (sqlite3_exec(db, fault.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                ::_exit(1);
        });
    }
    if (fault == "write-protected") {  // root ignores the bits, so the test is uid 65534 meanwhile
        ::chmod(file.c_str(), 0444);
        ::chmod(file.parent_path().c_str(), 0755);
        if (::geteuid() == 0 && ::seteuid(65534) != 0)
            throw std::runtime_error("cannot give up root for the write-protected case");
        return std::shared_ptr<void>(nullptr, [](void*) { (void)!::seteuid(0); });
    }
    if (fault == "truncated to half" || fault == "zero bytes")
        fs::resize_file(file, fault == "zero bytes" ? 0 : fs::file_size(file) / 2);
    else if (fault == "garbage")
        test::writeFileBytes(file, std::string(4096, 'Z'));
    else
        test::execSql(file, fault);
    return nullptr;
}

TEST(LocalDatabaseFault, GivesTheReasonOrAFailedSaveAndChangesNothing) {
    // The fault, and the reason open gives ("": it opens and only the save fails).
    const std::vector<std::pair<std::string, std::string>> faults{
        {"begin immediate", ""},
        {"begin; select count(*) from [System]", ""},  // reading: the commit cannot get the file
        {"begin exclusive", "locked by another program"},
        {"write-protected", ""},
        {"truncated to half", "database file is damaged"},
        {"zero bytes", "table [System] missing"},  // an empty SQLite database: no tables at all
        {"garbage", "not a database"},
        {"drop table [QzSj]", "table [QzSj] missing"},
        {"drop table [SearchList]", "table [SearchList] missing"},
        {"alter table [System] drop PassWord", "column PassWord of table [System] missing"},
        {"alter table [QzSj] rename GpName to Name", "column GpName of table [QzSj] missing"}};
    for (const auto& [fault, reason] : faults) {
        SCOPED_TRACE(fault);
        TempDir dir;
        std::string stocks;
        for (int i = 0; i < 400; ++i)  // enough rows for the tables to span many pages
            stocks += "insert into [QzSj] values ('sh6" + std::to_string(10000 + i) + "', '', '');";
        const auto file =
            makeDatabase(dir, "insert into [System] values ('No', 'o', 'O');" + stocks);
        auto guard = inflict(fault, file);
        const auto before = test::readFileBytes(file);
        EXPECT_EQ(refusal(file), reason);
        auto db = LocalDatabase::open(file, nullptr);
        if (db) {
            EXPECT_EQ(db->readAccount(), (AccountRow{"No", "o", "O"}));
            EXPECT_FALSE(db->saveAccount({"Yes", "new", "NEW"}));
            EXPECT_EQ(db->readAccount(), (AccountRow{"No", "o", "O"}));
            EXPECT_EQ(db->search("sh61").total, 400);
        }
        guard.reset();
        EXPECT_EQ(test::readFileBytes(file), before);
        EXPECT_EQ(filesIn(dir.path()), 1);
        if (db && fault.starts_with("begin"))  // the failed save left no transaction open
            EXPECT_TRUE(db->saveAccount({"Yes", "new", "NEW"}));
        if (fault != "truncated to half" && fault != "garbage")
            EXPECT_EQ(query(file, "pragma integrity_check"), (Rows{{"ok"}}));
    }
}

// The save killed at any moment: the file stays a sound database whose row is the one from
// before the save or the one it wrote, never a mix of the two.
TEST(LocalDatabaseKilledSave, LeavesTheOldRowOrTheNewOneAndASoundFile) {
    TempDir dir;
    const auto file = makeDatabase(dir, "insert into [System] values ('No', 'user0', 'D0');");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    std::vector<std::string> row{"No", "user0", "D0"};
    for (int run = 1; run <= 200; ++run) {
        const std::vector<std::string> next{run % 2 ? "Yes" : "No", "user" + std::to_string(run),
                                            "D" + std::to_string(run)};
        const pid_t child = test::forkChild([&] {
            auto db = LocalDatabase::open(file, nullptr);
            if (!db || !db->saveAccount({next[0], next[1], next[2]}))
                ::_exit(1);
        });
        test::killAfter(child, std::chrono::microseconds(delayUs(random)));
        // The first connection afterwards rolls back what a killed save left in its journal.
        ASSERT_EQ(query(file, "pragma integrity_check"), (Rows{{"ok"}})) << "run " << run;
        const auto rows = query(file, "select * from [System]");
        ASSERT_TRUE(rows == Rows{row} || rows == Rows{next}) << "run " << run;
        row = rows[0];
    }
}

}  // namespace
}  // namespace tallyro::data
