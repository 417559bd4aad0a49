// The delivered database built from data/stocks.csv, checked against the CSV itself, and the
// generator make_stock_db on good and malformed input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "data/local_database.h"
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

TEST(BuiltDatabase, HoldsTheCsvRowsTheFavouritesAndNoRememberedAccount) {
    std::ifstream in(TALLYRO_TEST_STOCKS_CSV);
    Rows csv;  // code, name, initials
    for (std::string line; std::getline(in, line);) {
        std::stringstream fields(line);
        for (auto& field : csv.emplace_back(3))
            std::getline(fields, field, ',');
    }
    csv.erase(csv.begin());  // the header
    ASSERT_EQ(csv.size(), 4911u);
    TempDir dir;
    const auto file = test::copyBuiltDatabase(dir.path());
    EXPECT_NE(LocalDatabase::open(file, nullptr), nullptr);
    EXPECT_EQ(query(file, "select GpID, GpName, Initials from [QzSj]"), csv);
    EXPECT_EQ(query(file, "select * from [System]"), (Rows{{"No", "", ""}}));
    // The favourites carry the names of the stock list.
    EXPECT_EQ(query(file,
                    "select group_concat(GpID, ' ') from (select GpID from [SearchList] s"
                    " join [QzSj] using (GpID, GpName) order by s.rowid)"),
              (Rows{{"sh600000 sh600036 sh600519 sh601318 sz000001 sz000002 sz000858 sh601398"}}));
}

const std::string kHeader = "code,name,initials\n";
const std::string kGoodRows =
    "sh600000,浦发银行,PFYX\nsh600036,招商银行,ZSYX\nsh600519,贵州茅台,GZMT\n"
    "sh601318,中国平安,ZGPA\nsz000001,平安银行,PAYX\nsz000002,万科A,WKA\nsz000858,五粮液,WLY\n"
    "sh601398,工商银行,GSYX\nsz300750,宁德时代,NDSD\n";
const std::string kGoodCsv = kHeader + kGoodRows;

// Runs the generator on dir/stocks.csv (or csv) into dir/QsDate.mdb: its exit code and messages.
std::pair<int, std::string> makeStockDb(const TempDir& dir, const std::string& csv = "stocks.csv") {
    TempDir errors;
    const std::string command = "'" TALLYRO_TEST_MAKE_STOCK_DB "' '" + (dir / csv).string() +
                                "' '" + (dir / "QsDate.mdb").string() + "' 2>'" +
                                (errors / "e").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readFileBytes(errors / "e")};
}

TEST(MakeStockDb, BuildsADatabaseTheClientOpensFromLfOrCrLfWithAByteOrderMark) {
    for (const bool crlf : {false, true}) {
        TempDir dir;
        std::string csv = crlf ? "\xEF\xBB\xBF" : "";
        for (char c : kGoodCsv)
            csv += crlf && c == '\n' ? std::string("\r\n") : std::string(1, c);
        test::writeFileBytes(dir / "stocks.csv", csv);
        const auto [code, errors] = makeStockDb(dir);
        ASSERT_EQ(code, 0) << errors;
        EXPECT_EQ(query(dir / "QsDate.mdb", "select GpName, Initials from [QzSj] limit 1"),
                  (Rows{{"浦发银行", "PFYX"}}));
        auto db = LocalDatabase::open(dir / "QsDate.mdb", nullptr);
        ASSERT_NE(db, nullptr);
        EXPECT_EQ(db->readSearchList().at(5), (StockRow{"sz000002", "万科A"}));
        EXPECT_EQ(db->search("银行").rows.back(), (StockRow{"sh601398", "工商银行"}));
        EXPECT_EQ(db->search("NDSD").total, 0);  // initials are not searched
        EXPECT_EQ(filesIn(dir.path()), 2);
    }
}

TEST(MakeStockDb, RejectsMalformedInputAndLeavesTheOutputAlone) {
    std::vector<std::pair<std::string, std::string>> cases{
        // The file, and what the message must hold: the line, or what is wrong.
        {"", "empty file"},
        {kHeader, "no stocks"},
        {"code,name\n" + kGoodRows, ":1:"},
        {kGoodCsv + "sh600036,招商银行,ZSYX\n", "already on line 3"},
        {kHeader + "sh60000,浦发银行,PFYX\n" + kGoodRows, ":2:"},
        {kHeader + "sh600000,浦发银行,PFYX\n\n" + kGoodRows.substr(27), ":3:"},
        {kHeader + "sh600000,浦发银行,PFYX\nsh600036,招商银行,ZSYX\n", "sh600519"}};
    for (const char* row :
         {"sz300751,迈为股份", "sz300751,迈为股份,MWGF,x", "SZ300751,迈为股份,MWGF",
          "sz30075x,迈为股份,MWGF", "sz300751,,MWGF", "sz300751,\"迈为,股份\",MWGF",
          "sz300751,\xC2\xCE\xCE\xAA,MWGF", "sz300751,迈\xE4\xB8,MWGF"})
        cases.push_back({kGoodCsv + row + "\n", ":11:"});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        TempDir dir;
        test::writeFileBytes(dir / "stocks.csv", cases[i].first);
        // Every other run has a database from an earlier build, which must stay as it was.
        if (i % 2 == 0)
            test::writeFileBytes(dir / "QsDate.mdb", "earlier build");
        const auto [code, errors] = makeStockDb(dir);
        EXPECT_NE(code, 0) << i;
        EXPECT_NE(errors.find(cases[i].second), std::string::npos) << i << ": " << errors;
        EXPECT_EQ(filesIn(dir.path()), i % 2 == 0 ? 2 : 1) << i;
        if (i % 2 == 0)
            EXPECT_EQ(test::readFileBytes(dir / "QsDate.mdb"), "earlier build");
    }
    TempDir dir;
    const auto [code, errors] = makeStockDb(dir, "absent.csv");
    EXPECT_NE(code, 0);
    EXPECT_NE(errors.find("absent.csv"), std::string::npos) << errors;
    EXPECT_EQ(filesIn(dir.path()), 0);
}

}  // namespace
}  // namespace tallyro::data
