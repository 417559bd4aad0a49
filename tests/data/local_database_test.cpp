// LocalDatabase on small files with faults from outside; the built database and make_stock_db.
#include "data/local_database.h"
#include "replace_all.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <cstdio>

#include "child_process.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::data {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

// The rows of one statement, Null as ""; none when the statement does not run.
Rows query(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    Rows rows;
    const auto add = [](void* out, int n, char** values, char**) {
        auto& row = static_cast<Rows*>(out)->emplace_back();
        for (int i = 0; i < n; ++i)
            row.push_back(values[i] != nullptr ? values[i] : "");
        return 0;
    };
    sqlite3_exec(db, sql.c_str(), add, &rows, nullptr);
    sqlite3_close(db);
    return rows;
}

long filesIn(const fs::path& dir) {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// The three tables, their names in another letter case (which must not matter).
fs::path makeDatabase(const TempDir& dir, const std::string& sql = {}) {
    test::execSql(dir / "QsDate.mdb",
                  "begin; create table SYSTEM (autologin text, USERNAME text, password text);"
                  "create table searchlist (gpid text, GPNAME text);"
                  "create table qzsj (GPID text, gpname text, Initials text);" +
                      sql + ";commit;");
    return dir / "QsDate.mdb";
}

// The listed codes ("-" for a Null one) and, after "=", the number of all matches.
std::string listed(const SearchResult& result) {
    std::string out;
    for (const auto& row : result.rows)
        out += (row.gpId.empty() ? "-" : row.gpId) + " ";
    return out + "=" + std::to_string(result.total);
}

const std::string kStocksSql =
    "insert into [QzSj] (GpID, GpName) values ('sh600000', '浦发银行'), ('sz000001', '平安银行'),"
    " ('sh601100', 'O''Brien Tech'), ('sz300760', 'ABC科技'), ('sh688001', 'abc lower'),"
    " ('sz002050', 'X_Y Fund'), ('sh603000', '100%纯'), ('sz000002', '万科A'),"
    " (null, '银行甲'), ('sh600009', null), (null, null);"
    "insert into [SearchList] values ('sz3', '乙'), (null, '甲'), ('sh6', null);"
    // Sixty descending codes, every third matching on its initials only; an index in code order.
    "with recursive n(i) as (values (0) union all select i + 1 from n where i < 59) insert into"
    " [QzSj] select 'sh6' || (99999 - i), iif(i % 3, '目标', ''), iif(i % 3, '', '目标') from n;"
    "create index I on [QzSj] (GpID, GpName); analyze";

TEST(LocalDatabaseAccount, FirstSaveCreatesTheRowAndLaterOnesUpdateTheFirstInStoredOrder) {
    TempDir dir;
    const auto file = makeDatabase(dir);
    auto db = LocalDatabase::open(file, nullptr);
    EXPECT_EQ(db->readAccount(), std::nullopt);
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
}

// Like '%text%', ASCII case ignored, "%" and "_" wildcards, a quote plain, in stored order.
TEST(LocalDatabaseSearch, FindsCodeOrNameContainingTheTextAndListsTheFavourites) {
    TempDir dir;
    const auto file = makeDatabase(dir, kStocksSql);
    std::string matching;
    for (int i = 0; i < 60; ++i)
        matching += i % 3 ? "sh6" + std::to_string(99999 - i) + " " : "";
    auto db = LocalDatabase::open(file, nullptr);
    EXPECT_EQ(db->readSearchList(),
              (std::vector<StockRow>{{"sz3", "乙"}, {"", "甲"}, {"sh6", ""}}));
    // The last text is longer than SQLite takes as a pattern.
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases{
        {"银行", "sh600000 sz000001 - =3"}, {"abc", "sz300760 sh688001 =2"}, {"o'brien", "sh601100 =1"},
        {"000", "sh600000 sz000001 sh603000 sz000002 sh600009 =5"}, {"万_A", "sz000002 =1"}, {"", "=0"},
        {"SH60", "sh600000 sh601100 sh603000 sh600009 =4"}, {"'; drop table [QzSj]; --", "=0"},
        {"100%", "sh601100 sh603000 =2"}, {"科技_", "=0"}, {std::string(60000, 'a'), "=0"}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(listed(db->search(text)), expected) << text.substr(0, 30);
    EXPECT_EQ(db->search("600").rows,
              (std::vector<StockRow>{{"sh600000", "浦发银行"}, {"sh600009", ""}}));
    EXPECT_EQ(listed(db->search("目标")), matching.substr(0, 9 * 20) + "=40");
    for (const auto& [limit, count] : {std::pair{5, 5}, {100, 40}, {0, 0}, {-1, 0}})
        EXPECT_EQ(listed(db->search("目标", limit)), matching.substr(0, 9 * count) + "=40");
}

TEST(LocalDatabaseWatch, FavouritesAndAlertMarks) {
    TempDir dir;
    auto db =
        LocalDatabase::open(makeDatabase(dir, "insert into searchlist values ('a', 'A')"), nullptr);
    EXPECT_TRUE(db->addFavourite({"b", "B"}, 3) && db->addFavourite({"c", "C"}, 3));
    EXPECT_FALSE(db->addFavourite({"d", "D"}, 3) || db->addFavourite({"a", "A"}, 5));
    EXPECT_TRUE(db->removeFavourite("a") && !db->removeFavourite("a"));
    EXPECT_TRUE(db->addFavourite({"a", "A"}, 3));
    EXPECT_EQ(db->readSearchList(), (std::vector<StockRow>{{"b", "B"}, {"c", "C"}, {"a", "A"}}));
    EXPECT_FALSE(db->alertGiven("a", "支撑位", "2026-12-07"));
    EXPECT_TRUE(db->markAlert("a", "支撑位", "2026-12-07") &&
                db->alertGiven("a", "支撑位", "2026-12-07") &&
                !db->alertGiven("a", "压力位", "2026-12-07"));
    EXPECT_TRUE(db->markAlert("b", "压力位", "2026-12-08"));
    EXPECT_EQ(query(dir / "QsDate.mdb", "select count(*) from [WatchAlerts]"), (Rows{{"1"}}));
}

TEST(LocalDatabaseFault, GivesTheReasonOrAFailedSaveAndChangesNothing) {
    // The fault, and the reason open gives ("": it opens and only the save fails).
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> faults{
        {"begin immediate", ""}, {"begin; select count(*) from [System]", ""},
        {"begin exclusive", "locked by another program"}, {"write-protected", ""},
        {"truncated to half", "database file is damaged"}, {"zero bytes", "table [System] missing"},
        {"garbage", "not a database"}, {"removed", "file not found"},
        {"a device", "not a regular file"}, {"drop table [QzSj]", "table [QzSj] missing"},
        {"drop table [SearchList]", "table [SearchList] missing"},
        {"alter table [System] drop PassWord", "column PassWord of table [System] missing"},
        {"alter table [QzSj] rename GpName to Name", "column GpName of table [QzSj] missing"},
        {"drop table [System]; create view [System] as select 1 AutoLogin, 1 UserName, 1 PassWord",
         "unusable tables: cannot modify System because it is a view"}};
    // clang-format on
    for (const auto& [fault, reason] : faults) {
        SCOPED_TRACE(fault);
        TempDir dir;
        // Enough rows for the tables to span many pages.
        const auto file = makeDatabase(
            dir,
            "insert into [System] values ('No', 'o', 'O'); with recursive n(i) as (values (0)"
            " union all select i + 1 from n where i < 399) insert into [QzSj] select 'sh6' ||"
            " (10000 + i), '', '' from n");
        std::optional<test::HoldingChild> other;  // another process's transaction holds its lock
        if (fault.starts_with("begin")) {
            other.emplace([&] {
                sqlite3* db = nullptr;
                sqlite3_open(file.c_str(), &db);
                sqlite3_exec(db, fault.c_str(), nullptr, nullptr, nullptr);
            });
        } else if (fault == "write-protected") {  // root ignores the bits: be uid 65534 meanwhile
            ::chmod(file.c_str(), 0444);
            ::chmod(dir.path().c_str(), 0755);
            ASSERT_TRUE(::geteuid() != 0 || ::seteuid(65534) == 0);
        } else if (fault == "truncated to half" || fault == "zero bytes") {
            fs::resize_file(file, fault == "zero bytes" ? 0 : fs::file_size(file) / 2);
        } else if (fault == "removed" || fault == "a device") {
            fs::remove(file);
            if (fault == "a device")
                fs::create_symlink("/dev/null", file);
        } else if (fault == "garbage") {
            test::writeFileBytes(file, std::string(4096, 'Z'));
        } else {
            test::execSql(file, fault);
        }
        const auto before = test::readFileBytes(file);
        std::string error;
        auto db = LocalDatabase::open(file, &error);
        EXPECT_EQ(db ? "" : error, reason);
        if (db) {
            EXPECT_FALSE(db->saveAccount({"Yes", "new", "NEW"}));
            EXPECT_EQ(db->readAccount(), (AccountRow{"No", "o", "O"}));
            EXPECT_EQ(db->search("sh61").total, 400);
        }
        other.reset();
        (void)!::seteuid(0);
        EXPECT_EQ(test::readFileBytes(file), before);
        EXPECT_EQ(filesIn(dir.path()), fault != "removed");
        // Without the lock the next save works: the failed one left no transaction open.
        EXPECT_TRUE(!db || !fault.starts_with("begin") || db->saveAccount({"Yes", "new", "NEW"}));
        EXPECT_TRUE(fault == "truncated to half" || fault == "garbage" ||
                    query(file, "pragma integrity_check") == Rows{{"ok"}});
    }
}

// Saves killed at any moment leave a sound file whose `sql` rows are the old ones or the new.
template <class Save, class RowsOf>
void expectWholeOrNothing(const fs::path& file, const std::string& sql, Save save, RowsOf rowsOf) {
    Rows old = rowsOf(0);
    // The first connection afterwards rolls back what a killed save left in its journal.
    const auto sound = [&](int run) {
        const auto now = query(file, "pragma integrity_check; " + sql);
        const bool whole = now == old || now == rowsOf(run);
        old = now;
        return whole;
    };
    EXPECT_EQ(test::firstUnsoundKilledSave(200, std::chrono::microseconds(3000), save, sound), 0);
}

TEST(LocalDatabaseKilledSave, LeavesTheOldRowsOrTheNewOnesAndASoundFile) {
    TempDir dir;
    const auto file = makeDatabase(dir,
                                   "insert into [System] values ('No', 'user0', 'D0');"
                                   "insert into searchlist values ('a', 'A')");
    const auto rowOf = [](int run) -> std::vector<std::string> {
        return {run % 2 ? "Yes" : "No", "user" + std::to_string(run), "D" + std::to_string(run)};
    };
    const auto saveAccount = [&](int run) {
        const auto row = rowOf(run);
        return LocalDatabase::open(file, nullptr)->saveAccount({row[0], row[1], row[2]});
    };
    expectWholeOrNothing(file, "select * from [System]", saveAccount, [&](int run) {
        return Rows{{"ok"}, rowOf(run)};
    });
    const auto saveFavourite = [&](int run) {
        auto db = LocalDatabase::open(file, nullptr);
        return run % 2 ? db->addFavourite({"b", "B"}, 50) : db->removeFavourite("b");
    };
    expectWholeOrNothing(file, "select * from [SearchList]", saveFavourite, [](int run) {
        return run % 2 ? Rows{{"ok"}, {"a", "A"}, {"b", "B"}} : Rows{{"ok"}, {"a", "A"}};
    });
}

// The stock list as CSV, the remembered account, and the favourites joined to the stock list.
const std::string kDump =
    "select 'code,name,initials' || group_concat(x'0a' || GpID || ',' || GpName || ',' || Initials,"
    " '') || x'0a' from [QzSj]; select * from [System]; select group_concat(GpID, ' ') from (select"
    " GpID from [SearchList] s join [QzSj] using (GpID, GpName) order by s.rowid)";
const std::string kFavourites =
    "sh600000 sh600036 sh600519 sh601318 sz000001 sz000002 sz000858 sh601398";

// By initials, letters only, after the code-and-name matches; without the column, none.
TEST(BuiltDatabase, HoldsTheCsvRowsTheFavouritesAndNoAccountAndFindsByInitials) {
    TempDir dir;
    const auto file = test::copyBuiltDatabase(dir.path());
    EXPECT_EQ(
        query(file, kDump),
        (Rows{{test::readFileBytes(TALLYRO_TEST_STOCKS_CSV)}, {"No", "", ""}, {kFavourites}}));
    auto db = LocalDatabase::open(file, nullptr);
    EXPECT_EQ(listed(db->search("pfyh", 20, true)), "sh600000 =1");
    EXPECT_EQ(listed(db->search("PfYh", 20, false)), "=0");
    EXPECT_EQ(listed(db->search("cqyh", 20, true)), "sh601963 =1");  // 重庆银行, not ZQYX
    const SearchResult banks = db->search("yh", 20, true);
    EXPECT_TRUE(banks.rows.size() == 20u && banks.total > 20) << banks.total;
    // "sz" is in every Shenzhen code, and in the initials of a few Shanghai names.
    const SearchResult sz = db->search("sz", 5000, true);
    const int codes = db->search("sz", 0, false).total;
    EXPECT_GT(sz.total, codes);
    EXPECT_EQ(sz.rows[codes - 1].gpId.substr(0, 2) + sz.rows[codes].gpId.substr(0, 2), "szsh");
    EXPECT_EQ(listed(db->search("6y", 20, true)), "=0");
    TempDir old;
    test::execSql(old / "QsDate.mdb",
                  "create table [System] (AutoLogin, UserName, PassWord);"
                  "create table [SearchList] (GpID, GpName);"
                  "create table [QzSj] (GpID, GpName); insert into [QzSj] values ('sh1', 'ab');");
    EXPECT_EQ(listed(LocalDatabase::open(old / "QsDate.mdb", nullptr)->search("ab", 20, true)),
              "sh1 =1");
}

const std::string kHeader = "code,name,initials\n";
const std::string kGoodCsv =
    kHeader +
    "sh600000,浦发银行,PFYX\nsh600036,招商银行,ZSYX\nsh600519,贵州茅台,GZMT\n"
    "sh601318,中国平安,ZGPA\nsz000001,平安银行,PAYX\nsz000002,万科A,WKA\n"
    "sz000858,五粮液,WLY\nsh601398,工商银行,GSYX\nsz300750,宁德时代,NDSD\n";

// Bad input leaves only the CSV and an earlier build's database, unchanged.
TEST(MakeStockDb, BuildsFromGoodInputAndRejectsMalformedInputLeavingTheOutputAlone) {
    const auto rows = kGoodCsv.substr(kHeader.size());
    // clang-format off
    std::vector<std::pair<std::string, std::string>> cases{{kGoodCsv, ""},
        {"\xEF\xBB\xBF" + test::replaceAll(kGoodCsv, "\n", "\r\n"), ""},
        {"", "empty file"}, {kHeader, "no stocks"}, {"code,name\n" + rows, ":1:"},
        {kGoodCsv + "sh600036,招商银行,ZSYX\n", "already on line 3"},
        {kHeader + "sh60000,浦发银行,PFYX\n" + rows, ":2:"},
        {kHeader + "sh600000,浦发银行,PFYX\n\n" + rows.substr(27), ":3:"},
        {kHeader + "sh600000,浦发银行,PFYX\nsh600036,招商银行,ZSYX\n", "sh600519"}};
    // clang-format on
    for (const char* row :
         {"sz300751,迈为股份", "sz300751,迈为股份,MWGF,x", "SZ300751,迈为股份,MWGF",
          "sz30075x,迈为股份,MWGF", "sz300751,,MWGF", "sz300751,\"迈为,股份\",MWGF",
          "sz300751,\xC2\xCE\xCE\xAA,MWGF", "sz300751,迈\xE4\xB8,MWGF"})
        cases.push_back({kGoodCsv + row + "\n", ":11:"});
    cases.push_back({kGoodCsv, "absent.csv"});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [csv, message] = cases[i];
        TempDir dir;
        test::writeFileBytes(dir / "stocks.csv", csv);
        const auto input = dir / (message == "absent.csv" ? "absent.csv" : "stocks.csv");
        if (i % 2 == 0)
            test::writeFileBytes(dir / "QsDate.mdb", "earlier build");
        const std::string command = "'" TALLYRO_TEST_MAKE_STOCK_DB "' '" + input.string() + "' '" +
                                    (dir / "QsDate.mdb").string() + "' 2>&1";
        std::string errors(4096, '\0');
        FILE* out = ::popen(command.c_str(), "r");
        errors.resize(std::fread(errors.data(), 1, errors.size(), out));
        EXPECT_EQ(::pclose(out) == 0, message.empty()) << i << ": " << errors;
        EXPECT_NE(errors.find(message), std::string::npos) << i << ": " << errors;
        EXPECT_EQ(filesIn(dir.path()), 1 + (message.empty() || i % 2 == 0)) << i;
        if (message.empty())
            EXPECT_EQ(query(dir / "QsDate.mdb", kDump),
                      (Rows{{kGoodCsv}, {"No", "", ""}, {kFavourites}}));
        else
            EXPECT_EQ(test::readFileBytes(dir / "QsDate.mdb"), i % 2 ? "" : "earlier build") << i;
    }
}

}  // namespace
}  // namespace tallyro::data
