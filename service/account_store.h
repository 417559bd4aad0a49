// The service's own SQLite database: accounts (name, password digest, blocked flag,
// creation time) and the messages pushed to signed-in clients.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tallyro::service {

struct Account {
    std::string name;    // UTF-8, compared exactly
    std::string digest;  // MD5 of the password's GBK bytes, 32 upper-case hex digits
    bool blocked = false;
    std::string created;  // UTC, YYYY-MM-DDTHH:MM:SSZ
};

struct Message {
    std::int64_t id = 0;
    std::string title;
    std::string body;
    std::string created;
};

struct AccountLookup {
    std::optional<Account> account;
    bool failed = false;  // the database could not answer; `account` is then empty
};

class AccountStore {
public:
    // Opens or creates the database (and its folder). A file that is not a database of
    // this service is refused with an error and left exactly as it was.
    static std::unique_ptr<AccountStore> open(const std::filesystem::path& file,
                                              std::string* error);
    ~AccountStore();
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    enum class AddResult { Added, NameTaken, Failed };
    AddResult addAccount(const std::string& name, const std::string& digest);
    AccountLookup find(const std::string& name);
    // False when there is no such account or the write failed (see lastError()).
    bool setBlocked(const std::string& name, bool blocked);
    bool setDigest(const std::string& name, const std::string& digest);
    std::vector<Account> accounts();

    std::optional<std::int64_t> addMessage(const std::string& title, const std::string& body);
    std::optional<Message> message(std::int64_t id);

    const std::string& lastError() const { return lastError_; }
    const std::filesystem::path& file() const { return file_; }

private:
    AccountStore(sqlite3* db, std::filesystem::path file);
    bool updateOne(const char* sql, const std::string& text, const std::string& name);
    void noteError(const char* what);

    sqlite3* db_;
    std::filesystem::path file_;
    std::string lastError_;
};

}  // namespace tallyro::service
