// SQLite storage of accounts and pushed messages.
#include "account_store.h"

#include <sqlite3.h>

#include <utility>

namespace tallyro::service {

namespace {

constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
    name    TEXT PRIMARY KEY NOT NULL,
    digest  TEXT NOT NULL,
    blocked INTEGER NOT NULL DEFAULT 0,
    created TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS messages (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    title   TEXT NOT NULL,
    body    TEXT NOT NULL,
    created TEXT NOT NULL
);
)sql";

constexpr const char* kNow = "strftime('%Y-%m-%dT%H:%M:%SZ','now')";

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    void bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    int step() { return sqlite3_step(stmt_); }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

Account readAccount(const Statement& s) {
    return Account{s.text(0), s.text(1), s.integer(2) != 0, s.text(3)};
}

}  // namespace

std::unique_ptr<AccountStore> AccountStore::open(const std::filesystem::path& file,
                                                 std::string* error) {
    const auto fail = [&](const std::string& why) -> std::unique_ptr<AccountStore> {
        if (error) {
            *error = "cannot use the account database " + file.string() + ": " + why;
        }
        return nullptr;
    };
    std::error_code ec;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), ec);
    }
    // Every refusal below closes with sqlite3_close_v2: a statement still in scope there
    // would make a plain sqlite3_close refuse, leaving the connection and its file open.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.string().c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        return fail(why);
    }
    // The operator's command line may write while the server runs; wait for its lock.
    sqlite3_busy_timeout(db, 3000);

    // Reading the version is the first access to the file: a file that is not a
    // database fails here, before anything could be written to it.
    int version = -1;
    {
        Statement s(db, "PRAGMA user_version");
        if (!s.ok() || s.step() != SQLITE_ROW) {
            const std::string why = sqlite3_errmsg(db);
            sqlite3_close_v2(db);
            return fail(why);
        }
        version = static_cast<int>(s.integer(0));
    }
    if (version > kSchemaVersion) {
        sqlite3_close_v2(db);
        return fail("it was written by a newer version of the service");
    }
    char* message = nullptr;
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : "schema could not be created";
        sqlite3_free(message);
        sqlite3_close_v2(db);
        return fail(why);
    }
    // A foreign database may hold tables of these names with other columns.
    for (const char* probe : {"SELECT name, digest, blocked, created FROM accounts LIMIT 0",
                              "SELECT id, title, body, created FROM messages LIMIT 0"}) {
        Statement s(db, probe);
        if (!s.ok()) {
            const std::string why = sqlite3_errmsg(db);
            sqlite3_close_v2(db);
            return fail("unexpected table layout (" + why + ")");
        }
    }
    if (version < kSchemaVersion) {
        sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
    }
    return std::unique_ptr<AccountStore>(new AccountStore(db, file));
}

AccountStore::AccountStore(sqlite3* db, std::filesystem::path file)
    : db_(db), file_(std::move(file)) {}

AccountStore::~AccountStore() {
    sqlite3_close(db_);
}

void AccountStore::noteError(const char* what) {
    lastError_ = std::string(what) + ": " + sqlite3_errmsg(db_);
}

AccountStore::AddResult AccountStore::addAccount(const std::string& name,
                                                 const std::string& digest) {
    Statement s(db_, std::string("INSERT INTO accounts (name, digest, blocked, created) "
                                 "VALUES (?1, ?2, 0, ") +
                         kNow + ")");
    if (!s.ok()) {
        noteError("add account");
        return AddResult::Failed;
    }
    s.bind(1, name);
    s.bind(2, digest);
    const int rc = s.step();
    if (rc == SQLITE_DONE) {
        return AddResult::Added;
    }
    if (sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_PRIMARYKEY) {
        return AddResult::NameTaken;
    }
    noteError("add account");
    return AddResult::Failed;
}

AccountLookup AccountStore::find(const std::string& name) {
    AccountLookup result;
    Statement s(db_, "SELECT name, digest, blocked, created FROM accounts WHERE name = ?1");
    if (!s.ok()) {
        noteError("find account");
        result.failed = true;
        return result;
    }
    s.bind(1, name);
    const int rc = s.step();
    if (rc == SQLITE_ROW) {
        result.account = readAccount(s);
    } else if (rc != SQLITE_DONE) {
        noteError("find account");
        result.failed = true;
    }
    return result;
}

bool AccountStore::updateOne(const char* sql, const std::string& text, const std::string& name) {
    Statement s(db_, sql);
    if (!s.ok()) {
        noteError("update account");
        return false;
    }
    s.bind(1, text);
    s.bind(2, name);
    if (s.step() != SQLITE_DONE) {
        noteError("update account");
        return false;
    }
    if (sqlite3_changes(db_) != 1) {
        lastError_ = "no account named " + name;
        return false;
    }
    return true;
}

bool AccountStore::setBlocked(const std::string& name, bool blocked) {
    return updateOne("UPDATE accounts SET blocked = CAST(?1 AS INTEGER) WHERE name = ?2",
                     blocked ? "1" : "0", name);
}

bool AccountStore::setDigest(const std::string& name, const std::string& digest) {
    return updateOne("UPDATE accounts SET digest = ?1 WHERE name = ?2", digest, name);
}

std::vector<Account> AccountStore::accounts() {
    std::vector<Account> all;
    Statement s(db_, "SELECT name, digest, blocked, created FROM accounts ORDER BY created, name");
    if (!s.ok()) {
        noteError("list accounts");
        return all;
    }
    while (s.step() == SQLITE_ROW) {
        all.push_back(readAccount(s));
    }
    return all;
}

std::optional<std::int64_t> AccountStore::addMessage(const std::string& title,
                                                     const std::string& body) {
    Statement s(db_, std::string("INSERT INTO messages (title, body, created) VALUES (?1, ?2, ") +
                         kNow + ")");
    if (!s.ok()) {
        noteError("add message");
        return std::nullopt;
    }
    s.bind(1, title);
    s.bind(2, body);
    if (s.step() != SQLITE_DONE) {
        noteError("add message");
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(db_);
}

std::optional<Message> AccountStore::message(std::int64_t id) {
    Statement s(db_, "SELECT id, title, body, created FROM messages WHERE id = ?1");
    if (!s.ok()) {
        noteError("read message");
        return std::nullopt;
    }
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return Message{s.integer(0), s.text(1), s.text(2), s.text(3)};
}

}  // namespace tallyro::service
