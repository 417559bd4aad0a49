// The local database over the SQLite C API: opening and checking the file, and the four
// statements of the client.
#include "data/local_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>

namespace tallyro::data {

namespace {

// A second program writing the file (another copy of the client, a database browser) holds its
// lock for milliseconds; waiting longer than this would freeze the window for nothing.
constexpr int kBusyTimeoutMs = 250;

// "order by rowid" costs nothing on a table scan and keeps the stored order even if someone adds
// an index that the planner would otherwise prefer to walk.
constexpr const char* kReadAccountSql =
    "select AutoLogin, UserName, PassWord from [System] order by rowid limit 1";
constexpr const char* kUpdateAccountSql =
    "update [System] set AutoLogin = ?1, PassWord = ?3, UserName = ?2 "
    "where rowid = (select min(rowid) from [System])";
constexpr const char* kInsertAccountSql =
    "insert into [System] (AutoLogin, UserName, PassWord) values (?1, ?2, ?3)";
constexpr const char* kReadSearchListSql = "select GpID, GpName from [SearchList] order by rowid";
// The text is a bound parameter: a quote in it is an ordinary character, while "%" and "_" keep
// their pattern meaning because they end up inside the like pattern.
constexpr const char* kSearchSql =
    "select GpID, GpName from [QzSj] "
    "where GpID like '%' || ?1 || '%' or GpName like '%' || ?1 || '%' order by rowid";

// Initials that hold the text, of rows the code-and-name search did not find.
constexpr const char* kSearchInitialsSql =
    "select GpID, GpName from [QzSj] where Initials like '%' || ?1 || '%' "
    "and not (GpID like '%' || ?1 || '%' or GpName like '%' || ?1 || '%') order by rowid";
constexpr const char* kAddFavouriteSql =
    "insert into [SearchList] (GpID, GpName) select ?1, ?2 "
    "where not exists (select 1 from [SearchList] where GpID = ?1) "
    "and (select count(*) from [SearchList]) < ?3";
constexpr const char* kRemoveFavouriteSql = "delete from [SearchList] where GpID = ?1";
constexpr const char* kAlertTableSql =
    "create table if not exists [WatchAlerts] (GpID text, Level text, Day text)";

struct TableColumns {
    const char* table;
    std::array<const char*, 3> columns;  // unused slots are nullptr
};

constexpr std::array<TableColumns, 3> kSchema{{
    {"System", {"AutoLogin", "UserName", "PassWord"}},
    {"SearchList", {"GpID", "GpName", nullptr}},
    {"QzSj", {"GpID", "GpName", nullptr}},
}};

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    if (text == nullptr) {
        return {};
    }
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))};
}

bool bindText(sqlite3_stmt* stmt, int index, std::string_view text) {
    // SQLITE_STATIC: every caller resets the statement and clears its bindings before the text
    // goes out of scope.
    return sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8) ==
           SQLITE_OK;
}

// Leaves a statement ready for its next use whichever way the caller returns; an unreset
// statement would keep a read lock on the file between calls.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~StatementUse() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* stmt_;
};

bool stepToDone(sqlite3_stmt* stmt) {
    StatementUse use(stmt);
    return sqlite3_step(stmt) == SQLITE_DONE;
}

std::string openFailure(sqlite3* db, int rc) {
    switch (rc & 0xff) {
        case SQLITE_NOTADB:
            return "not a database";
        case SQLITE_CORRUPT:
            return "database file is damaged";
        case SQLITE_CANTOPEN:
            return "file cannot be opened";
        case SQLITE_BUSY:
            return "locked by another program";
        default:
            return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    }
}

// Reads the column names of one table; an empty list means the table does not exist.
bool readColumns(sqlite3* db, const char* table, std::vector<std::string>* columns,
                 std::string* error) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "select name from pragma_table_info(?1)", -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        *error = openFailure(db, rc);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        columns->push_back(columnText(stmt, 0));
    }
    if (rc != SQLITE_DONE) {
        *error = openFailure(db, rc);
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

bool checkSchema(sqlite3* db, std::string* error) {
    for (const auto& wanted : kSchema) {
        std::vector<std::string> columns;
        if (!readColumns(db, wanted.table, &columns, error)) {
            return false;
        }
        if (columns.empty()) {
            *error = std::string("table [") + wanted.table + "] missing";
            return false;
        }
        for (const char* column : wanted.columns) {
            if (column == nullptr) {
                continue;
            }
            const bool found = std::any_of(columns.begin(), columns.end(), [&](const auto& name) {
                return equalsIgnoreAsciiCase(name, column);
            });
            if (!found) {
                *error =
                    std::string("column ") + column + " of table [" + wanted.table + "] missing";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<LocalDatabase> LocalDatabase::open(const std::filesystem::path& file,
                                                   std::string* error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        *error = "file not found";
        return nullptr;
    }
    if (ec) {
        *error = "file cannot be read: " + ec.message();
        return nullptr;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        *error = "not a regular file";
        return nullptr;
    }

    sqlite3* db = nullptr;
    // Without SQLITE_OPEN_CREATE a file that vanished since the check above is not recreated.
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        *error = openFailure(db, rc);
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<LocalDatabase> database(new LocalDatabase(db));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!checkSchema(db, error) || !database->prepareAll(error)) {
        return nullptr;
    }
    return database;
}

LocalDatabase::LocalDatabase(sqlite3* db) : db_(db) {}

LocalDatabase::~LocalDatabase() {
    for (sqlite3_stmt* stmt :
         {readAccount_, begin_, updateAccount_, insertAccount_, commit_, rollback_, readSearchList_,
          search_, searchInitials_, addFavourite_, removeFavourite_}) {
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db_);
}

bool LocalDatabase::prepareAll(std::string* error) {
    const std::pair<sqlite3_stmt**, const char*> statements[] = {
        {&readAccount_, kReadAccountSql},
        {&begin_, "begin immediate"},
        {&updateAccount_, kUpdateAccountSql},
        {&insertAccount_, kInsertAccountSql},
        {&commit_, "commit"},
        {&rollback_, "rollback"},
        {&readSearchList_, kReadSearchListSql},
        {&search_, kSearchSql},
        {&addFavourite_, kAddFavouriteSql},
        {&removeFavourite_, kRemoveFavouriteSql},
    };
    for (const auto& [stmt, sql] : statements) {
        const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
        if (rc != SQLITE_OK) {
            *error = "unusable tables: " + std::string(sqlite3_errmsg(db_));
            return false;
        }
    }
    return true;
}

std::optional<AccountRow> LocalDatabase::readAccount() {
    StatementUse use(readAccount_);
    if (sqlite3_step(readAccount_) != SQLITE_ROW) {
        return std::nullopt;
    }
    return AccountRow{columnText(readAccount_, 0), columnText(readAccount_, 1),
                      columnText(readAccount_, 2)};
}

bool LocalDatabase::saveAccount(const AccountRow& row) {
    if (runSave(row)) {
        return true;
    }
    // A failed step or commit can leave the transaction open; end it so that nothing of this
    // save is kept and the next call starts clean.
    if (sqlite3_get_autocommit(db_) == 0) {
        stepToDone(rollback_);
    }
    return false;
}

bool LocalDatabase::runSave(const AccountRow& row) {
    if (!stepToDone(begin_)) {
        return false;
    }
    const auto bindRow = [&](sqlite3_stmt* stmt) {
        return bindText(stmt, 1, row.autoLogin) && bindText(stmt, 2, row.userName) &&
               bindText(stmt, 3, row.passWord);
    };
    if (!bindRow(updateAccount_) || !stepToDone(updateAccount_)) {
        return false;
    }
    if (sqlite3_changes(db_) == 0) {
        if (!bindRow(insertAccount_) || !stepToDone(insertAccount_)) {
            return false;
        }
    }
    return stepToDone(commit_);
}

std::vector<StockRow> LocalDatabase::readSearchList() {
    StatementUse use(readSearchList_);
    std::vector<StockRow> rows;
    int rc;
    while ((rc = sqlite3_step(readSearchList_)) == SQLITE_ROW) {
        rows.push_back({columnText(readSearchList_, 0), columnText(readSearchList_, 1)});
    }
    if (rc != SQLITE_DONE) {
        return {};
    }
    return rows;
}

namespace {

// One pass of a search statement: the first rows are read, the rest of the scan only counts.
bool collect(sqlite3_stmt* stmt, std::string_view text, std::size_t wanted, SearchResult* result) {
    StatementUse use(stmt);
    if (!bindText(stmt, 1, text)) {
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (result->rows.size() < wanted) {
            result->rows.push_back({columnText(stmt, 0), columnText(stmt, 1)});
        }
        ++result->total;
    }
    return rc == SQLITE_DONE;
}

bool asciiLetters(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

SearchResult LocalDatabase::search(std::string_view text, int limit, bool byInitials) {
    if (text.empty()) {
        return {};
    }
    SearchResult result;
    const auto wanted = static_cast<std::size_t>(std::max(limit, 0));
    if (!collect(search_, text, wanted, &result)) {
        return {};
    }
    if (byInitials && asciiLetters(text)) {
        // Prepared on first use: a database of an older build has no Initials column, and
        // then the search by initials finds nothing rather than failing the rest.
        if (!searchInitials_ &&
            sqlite3_prepare_v3(db_, kSearchInitialsSql, -1, SQLITE_PREPARE_PERSISTENT,
                               &searchInitials_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(searchInitials_);
            searchInitials_ = nullptr;
            return result;
        }
        SearchResult more;
        if (collect(searchInitials_, text, wanted - std::min(wanted, result.rows.size()), &more)) {
            result.rows.insert(result.rows.end(), more.rows.begin(), more.rows.end());
            result.total += more.total;
        }
    }
    return result;
}

bool LocalDatabase::addFavourite(const StockRow& row, int limit) {
    StatementUse use(addFavourite_);
    return bindText(addFavourite_, 1, row.gpId) && bindText(addFavourite_, 2, row.gpName) &&
           sqlite3_bind_int(addFavourite_, 3, limit) == SQLITE_OK &&
           sqlite3_step(addFavourite_) == SQLITE_DONE && sqlite3_changes(db_) > 0;
}

bool LocalDatabase::removeFavourite(std::string_view gpId) {
    StatementUse use(removeFavourite_);
    return bindText(removeFavourite_, 1, gpId) && sqlite3_step(removeFavourite_) == SQLITE_DONE &&
           sqlite3_changes(db_) > 0;
}

namespace {

// Runs one statement on the alert table, made first where it is missing; `row` is
// called for each result row.
bool onAlerts(sqlite3* db, const char* sql, std::initializer_list<std::string_view> values,
              bool* found) {
    if (sqlite3_exec(db, kAlertTableSql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    int i = 0;
    bool ok = true;
    for (const std::string_view v : values) {
        ok = ok && bindText(stmt, ++i, v);
    }
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        *found = true;
    }
    sqlite3_finalize(stmt);
    return ok && rc == SQLITE_DONE;
}

}  // namespace

bool LocalDatabase::alertGiven(std::string_view gpId, std::string_view level,
                               std::string_view day) {
    bool found = false;
    return onAlerts(db_, "select 1 from [WatchAlerts] where GpID = ?1 and Level = ?2 and Day = ?3",
                    {gpId, level, day}, &found) &&
           found;
}

bool LocalDatabase::markAlert(std::string_view gpId, std::string_view level, std::string_view day) {
    bool unused = false;
    return onAlerts(db_, "delete from [WatchAlerts] where Day < ?1", {day}, &unused) &&
           onAlerts(db_, "insert into [WatchAlerts] values (?1, ?2, ?3)", {gpId, level, day},
                    &unused);
}

}  // namespace tallyro::data
