// The delivered database built from data/stocks.csv, checked against the CSV itself, and the
// generator make_stock_db on good and malformed input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/local_database.h"
#include "sqlite_helpers.h"
#include "temp_dir.h"

namespace tallyro::data {
namespace {

using test::SqliteFile;
using test::TempDir;

const std::filesystem::path kBuiltDatabase = TALLYRO_TEST_STOCK_DB;
const std::filesystem::path kStocksCsv = TALLYRO_TEST_STOCKS_CSV;
const std::filesystem::path kMakeStockDb = TALLYRO_TEST_MAKE_STOCK_DB;

struct CsvStock {
    std::string code;
    std::string name;
    std::string initials;
};

std::vector<CsvStock> readCsv() {
    std::ifstream in(kStocksCsv);
    std::vector<CsvStock> stocks;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        CsvStock stock;
        std::getline(fields, stock.code, ',');
        std::getline(fields, stock.name, ',');
        std::getline(fields, stock.initials, ',');
        stocks.push_back(stock);
    }
    return stocks;
}

const std::vector<CsvStock>& csv() {
    static const auto stocks = readCsv();
    return stocks;
}

std::string asciiLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The matching rule stated plainly: the text occurs in the code or the name, ASCII letters
// compared without case. Only for texts without "%" and "_".
std::vector<StockRow> csvMatches(const std::string& text) {
    const auto needle = asciiLower(text);
    std::vector<StockRow> rows;
    for (const auto& stock : csv()) {
        if (asciiLower(stock.code).find(needle) != std::string::npos ||
            asciiLower(stock.name).find(needle) != std::string::npos) {
            rows.push_back({stock.code, stock.name});
        }
    }
    return rows;
}

// The built database is a build product: tests work on a copy of it.
class BuiltDatabase : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kBuiltDatabase)) << kBuiltDatabase;
        ASSERT_EQ(csv().size(), 4911u);
        file_ = dir_ / "QsDate.mdb";
        std::filesystem::copy_file(kBuiltDatabase, file_);
        std::string error;
        db_ = LocalDatabase::open(file_, &error);
        ASSERT_NE(db_, nullptr) << error;
    }
    TempDir dir_;
    std::filesystem::path file_;
    std::unique_ptr<LocalDatabase> db_;
};

TEST_F(BuiltDatabase, QzSjHoldsTheCsvRowsInCsvOrder) {
    const auto rows = SqliteFile(file_).rows("select GpID, GpName, Initials from [QzSj]");
    ASSERT_EQ(rows.size(), csv().size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i],
                  (std::vector<std::string>{csv()[i].code, csv()[i].name, csv()[i].initials}))
            << "row " << i + 1;
    }
}

TEST_F(BuiltDatabase, AccountRowStartsNotRemembered) {
    EXPECT_EQ(db_->readAccount(), (AccountRow{"No", "", ""}));
    EXPECT_EQ(SqliteFile(file_).rows("select count(*) from [System]")[0][0], "1");
}

TEST_F(BuiltDatabase, FavouritesAreTheWellKnownStocksWithTheirCsvNames) {
    const std::vector<std::string> codes{"sh600000", "sh600036", "sh600519", "sh601318",
                                         "sz000001", "sz000002", "sz000858", "sh601398"};
    std::vector<StockRow> expected;
    for (const auto& code : codes) {
        const auto it = std::find_if(csv().begin(), csv().end(),
                                     [&](const auto& stock) { return stock.code == code; });
        ASSERT_NE(it, csv().end()) << code;
        expected.push_back({it->code, it->name});
    }
    EXPECT_EQ(db_->readSearchList(), expected);
}

TEST_F(BuiltDatabase, SixtyListsTwentyAndCountsEveryMatch) {
    const auto expected = csvMatches("60");
    ASSERT_GT(expected.size(), 20u);
    const auto result = db_->search("60");
    EXPECT_EQ(result.total, static_cast<int>(expected.size()));
    EXPECT_EQ(result.rows, std::vector<StockRow>(expected.begin(), expected.begin() + 20));
}

TEST_F(BuiltDatabase, SearchThenSaveThenSearch) {
    // A search between saves must not keep the file locked.
    db_->search("6");
    ASSERT_TRUE(db_->saveAccount({"Yes", "user", "E10ADC3949BA59ABBE56E057F20F883E"}));
    EXPECT_EQ(db_->search("银行").total, static_cast<int>(csvMatches("银行").size()));
    EXPECT_EQ(db_->readAccount(), (AccountRow{"Yes", "user", "E10ADC3949BA59ABBE56E057F20F883E"}));
}

class BuiltDatabaseSearch : public BuiltDatabase,
                            public testing::WithParamInterface<const char*> {};

TEST_P(BuiltDatabaseSearch, AgreesWithTheCsv) {
    const auto expected = csvMatches(GetParam());
    const auto result = db_->search(GetParam());
    EXPECT_EQ(result.total, static_cast<int>(expected.size()));
    const auto listed = std::min<std::size_t>(expected.size(), 20);
    EXPECT_EQ(result.rows, std::vector<StockRow>(expected.begin(), expected.begin() + listed));
}

INSTANTIATE_TEST_SUITE_P(Texts, BuiltDatabaseSearch,
                         testing::Values("6", "60", "600519", "sh600519", "SH600519", "Sz00000",
                                         "st", "ST", "银行", "茅台", "A", "b", "zzzz", "'",
                                         "sh6005190"));

// ---- make_stock_db -------------------------------------------------------------------------

const std::string kGoodCsv =
    "code,name,initials\n"
    "sh600000,浦发银行,PFYX\n"
    "sh600036,招商银行,ZSYX\n"
    "sh600519,贵州茅台,GZMT\n"
    "sh601318,中国平安,ZGPA\n"
    "sz000001,平安银行,PAYX\n"
    "sz000002,万科A,WKA\n"
    "sz000858,五粮液,WLY\n"
    "sh601398,工商银行,GSYX\n"
    "sz300750,宁德时代,NDSD\n";

struct ToolRun {
    int exitCode;
    std::string errors;
};

ToolRun runTool(const TempDir& dir, const std::filesystem::path& csvFile,
                const std::filesystem::path& output) {
    const auto errFile = dir / "stderr.txt";
    const std::string command = "'" + kMakeStockDb.string() + "' '" + csvFile.string() + "' '" +
                                output.string() + "' 2>'" + errFile.string() + "'";
    const int status = std::system(command.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readFileBytes(errFile)};
    std::filesystem::remove(errFile);
    return run;
}

TEST(MakeStockDb, BuildsADatabaseTheClientOpens) {
    TempDir dir;
    test::writeFileBytes(dir / "stocks.csv", kGoodCsv);
    const auto run = runTool(dir, dir / "stocks.csv", dir / "QsDate.mdb");
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    std::string error;
    auto db = LocalDatabase::open(dir / "QsDate.mdb", &error);
    ASSERT_NE(db, nullptr) << error;
    EXPECT_EQ(db->readAccount(), (AccountRow{"No", "", ""}));
    EXPECT_EQ(db->readSearchList().size(), 8u);
    EXPECT_EQ(db->readSearchList()[5], (StockRow{"sz000002", "万科A"}));
    const auto result = db->search("银行");
    EXPECT_EQ(result.total, 4);
    EXPECT_EQ(result.rows.back(), (StockRow{"sh601398", "工商银行"}));
    EXPECT_EQ(db->search("NDSD").total, 0);  // initials are not searched
    db.reset();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"QsDate.mdb", "stocks.csv"}));
}

TEST(MakeStockDb, AcceptsCrLfLinesAndAByteOrderMark) {
    TempDir dir;
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : kGoodCsv) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    test::writeFileBytes(dir / "stocks.csv", crlf);
    const auto run = runTool(dir, dir / "stocks.csv", dir / "QsDate.mdb");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(SqliteFile(dir / "QsDate.mdb").rows("select GpName, Initials from [QzSj] limit 1"),
              (std::vector<std::vector<std::string>>{{"浦发银行", "PFYX"}}));
}

struct BadCsv {
    const char* name;
    std::string content;
    const char* where;  // expected in the message: the line, or what is wrong

    friend void PrintTo(const BadCsv& bad, std::ostream* os) { *os << bad.name; }
};

class MakeStockDbRejects : public testing::TestWithParam<BadCsv> {};

TEST_P(MakeStockDbRejects, ExitsNonZeroAndLeavesTheOutputAlone) {
    TempDir dir;
    test::writeFileBytes(dir / "stocks.csv", GetParam().content);
    // A database from an earlier build stays as it was.
    test::writeFileBytes(dir / "QsDate.mdb", "earlier build");
    const auto run = runTool(dir, dir / "stocks.csv", dir / "QsDate.mdb");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find(GetParam().where), std::string::npos) << run.errors;
    EXPECT_EQ(test::readFileBytes(dir / "QsDate.mdb"), "earlier build");
    EXPECT_FALSE(std::filesystem::exists(dir / "QsDate.mdb.part"));
}

const std::string kHeader = "code,name,initials\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, MakeStockDbRejects,
    testing::Values(
        BadCsv{"EmptyFile", "", "empty file"}, BadCsv{"HeaderOnly", kHeader, "no stocks"},
        BadCsv{"WrongHeader", "code,name\n" + kGoodCsv.substr(kHeader.size()), ":1:"},
        BadCsv{"TwoFields", kGoodCsv + "sz300751,迈为股份\n", ":11:"},
        BadCsv{"FourFields", kGoodCsv + "sz300751,迈为股份,MWGF,x\n", ":11:"},
        BadCsv{"ShortCode", kHeader + "sh60000,浦发银行,PFYX\n" + kGoodCsv.substr(kHeader.size()),
               ":2:"},
        BadCsv{"UpperCaseMarket", kGoodCsv + "SZ300751,迈为股份,MWGF\n", ":11:"},
        BadCsv{"LetterInDigits", kGoodCsv + "sz30075x,迈为股份,MWGF\n", ":11:"},
        BadCsv{"EmptyName", kGoodCsv + "sz300751,,MWGF\n", ":11:"},
        BadCsv{"DuplicateCode", kGoodCsv + "sh600036,招商银行,ZSYX\n", "already on line 3"},
        BadCsv{"BlankLineInside",
               kHeader + "sh600000,浦发银行,PFYX\n\n" + kGoodCsv.substr(kHeader.size() + 27),
               ":3:"},
        BadCsv{"QuotedField", kGoodCsv + "sz300751,\"迈为,股份\",MWGF\n", ":11:"},
        BadCsv{"NotUtf8", kGoodCsv + "sz300751,\xC2\xCE\xCE\xAA,MWGF\n", ":11:"},
        BadCsv{"TruncatedUtf8", kGoodCsv + "sz300751,迈\xE4\xB8,MWGF\n", ":11:"},
        BadCsv{"FavouriteMissing", kHeader + "sh600000,浦发银行,PFYX\nsh600036,招商银行,ZSYX\n",
               "sh600519"}),
    [](const auto& info) { return info.param.name; });

TEST(MakeStockDb, MalformedCsvCreatesNoOutputFile) {
    TempDir dir;
    test::writeFileBytes(dir / "stocks.csv", kGoodCsv + "sz300751,迈为股份\n");
    EXPECT_NE(runTool(dir, dir / "stocks.csv", dir / "QsDate.mdb").exitCode, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(MakeStockDb, MissingInputFails) {
    TempDir dir;
    const auto run = runTool(dir, dir / "absent.csv", dir / "QsDate.mdb");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("absent.csv"), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(dir / "QsDate.mdb"));
}

}  // namespace
}  // namespace tallyro::data
