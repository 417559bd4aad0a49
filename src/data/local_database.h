// The local database "QsDate.mdb" (an SQLite file): the remembered account in [System], the
// favourites in [SearchList] and the stock list in [QzSj], and the only four statements the
// client runs against them.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tallyro::data {

struct StockRow {
    std::string gpId;
    std::string gpName;

    friend bool operator==(const StockRow&, const StockRow&) = default;
};

struct AccountRow {
    std::string autoLogin;
    std::string userName;
    std::string passWord;

    friend bool operator==(const AccountRow&, const AccountRow&) = default;
};

struct SearchResult {
    std::vector<StockRow> rows;
    int total = 0;  // every matching row, not only those in rows
};

// One connection for the whole run. Every call is complete in itself: no statement stays open
// between calls, so other processes can read and write the file in between. Runtime failures
// (file removed or replaced, disk full, locked by another program) give false or an empty result;
// nothing here throws. One thread at a time: the connection is opened without SQLite's mutexes.
class LocalDatabase {
public:
    // Opens an existing database file read-write; never creates one. On failure returns nullptr
    // and puts the reason in *error ("file not found", "not a database", "table [QzSj] missing",
    // ...); the caller names the file. Checks the three tables and the columns the client uses.
    static std::unique_ptr<LocalDatabase> open(const std::filesystem::path& file,
                                               std::string* error);

    ~LocalDatabase();
    LocalDatabase(const LocalDatabase&) = delete;
    LocalDatabase& operator=(const LocalDatabase&) = delete;

    // The first row of [System]; nullopt when the table has no row or cannot be read. Null
    // fields read as "".
    std::optional<AccountRow> readAccount();

    // Writes all three fields into the first row of [System] in one transaction, creating the
    // row when the table is empty. False when nothing was written.
    bool saveAccount(const AccountRow& row);

    // Every row of [SearchList] in stored order; empty when it cannot be read.
    std::vector<StockRow> readSearchList();

    // Rows of [QzSj] whose GpID or GpName is like '%text%' (ASCII letters without regard to
    // case; "%" and "_" in text are wildcards, everything else is literal), in stored order: at
    // most limit of them in rows, the full number of matches in total. Empty text, or a failure,
    // gives an empty result. With byInitials, text of ASCII letters alone also finds the rows
    // whose pinyin initials (column Initials) hold it, after the others, in stored order too;
    // limit and total cover both.
    SearchResult search(std::string_view text, int limit = 20, bool byInitials = false);

    // Favourites, changed by the watch list: one statement each, so a kill at any moment
    // leaves the list as it was or as it is to be. addFavourite appends the row when its
    // code is not in the list yet and the list holds fewer than `limit`; removeFavourite
    // takes every row of the code away. False when nothing changed.
    bool addFavourite(const StockRow& row, int limit);
    bool removeFavourite(std::string_view gpId);

    // The alerts given, a mark (code, level, Shanghai day) each, in a table [WatchAlerts]
    // made on first use; marking a day forgets the marks of earlier days. False when the
    // mark cannot be read or kept (a read-only database).
    bool alertGiven(std::string_view gpId, std::string_view level, std::string_view day);
    bool markAlert(std::string_view gpId, std::string_view level, std::string_view day);

private:
    explicit LocalDatabase(sqlite3* db);
    bool prepareAll(std::string* error);
    bool runSave(const AccountRow& row);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* readAccount_ = nullptr;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* updateAccount_ = nullptr;
    sqlite3_stmt* insertAccount_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* rollback_ = nullptr;
    sqlite3_stmt* readSearchList_ = nullptr;
    sqlite3_stmt* search_ = nullptr;
    sqlite3_stmt* searchInitials_ = nullptr;
    sqlite3_stmt* addFavourite_ = nullptr;
    sqlite3_stmt* removeFavourite_ = nullptr;
};

}  // namespace tallyro::data
