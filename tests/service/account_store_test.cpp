// The account database on real SQLite files.
#include "account_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include <sqlite3.h>

#include "temp_dir.h"

namespace tallyro::service {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";

TEST(AccountStore, AccountsAndMessagesSurviveReopening) {
    TempDir dir;
    std::string error;
    {
        auto store = AccountStore::open(dir / "sub" / "accounts.db", &error);
        ASSERT_TRUE(store) << error;
        EXPECT_EQ(store->addAccount("demo", kAbcDigest), AccountStore::AddResult::Added);
        EXPECT_EQ(store->addAccount("张三", kAbcDigest), AccountStore::AddResult::Added);
        EXPECT_TRUE(store->setBlocked("张三", true));
        EXPECT_EQ(store->addMessage("维护通知", "今晚停机"), 1);
        EXPECT_EQ(store->addMessage("second", ""), 2);
    }
    auto store = AccountStore::open(dir / "sub" / "accounts.db", &error);
    ASSERT_TRUE(store) << error;
    const auto demo = store->find("demo");
    ASSERT_TRUE(demo.account);
    EXPECT_EQ(demo.account->digest, kAbcDigest);
    EXPECT_FALSE(demo.account->blocked);
    EXPECT_EQ(demo.account->created.size(), 20u);  // 2026-12-06T18:48:35Z
    EXPECT_TRUE(store->find("张三").account->blocked);
    const auto message = store->message(1);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->title, "维护通知");
    EXPECT_EQ(message->body, "今晚停机");
    EXPECT_FALSE(store->message(3));
    EXPECT_EQ(store->accounts().size(), 2u);
}

TEST(AccountStore, NamesAreExactAndUnique) {
    TempDir dir;
    auto store = AccountStore::open(dir / "a.db", nullptr);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->addAccount("demo", kAbcDigest), AccountStore::AddResult::Added);
    EXPECT_EQ(store->addAccount("demo", "X"), AccountStore::AddResult::NameTaken);
    EXPECT_EQ(store->addAccount("Demo", kAbcDigest), AccountStore::AddResult::Added);
    EXPECT_EQ(store->addAccount("demo ", kAbcDigest), AccountStore::AddResult::Added);
    EXPECT_EQ(store->find("demo").account->digest, kAbcDigest);
    const auto none = store->find("DEMO");
    EXPECT_FALSE(none.account);
    EXPECT_FALSE(none.failed);
    // Quotes reach SQLite as bound text, never as SQL.
    EXPECT_FALSE(store->find("x' OR '1'='1").account);
}

TEST(AccountStore, UpdatesOfMissingAccountsFailWithAReason) {
    TempDir dir;
    auto store = AccountStore::open(dir / "a.db", nullptr);
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->setBlocked("nobody", true));
    EXPECT_NE(store->lastError().find("nobody"), std::string::npos);
    EXPECT_FALSE(store->setDigest("nobody", kAbcDigest));
    ASSERT_EQ(store->addAccount("demo", "OLD"), AccountStore::AddResult::Added);
    EXPECT_TRUE(store->setDigest("demo", kAbcDigest));
    EXPECT_EQ(store->find("demo").account->digest, kAbcDigest);
    EXPECT_TRUE(store->setBlocked("demo", true));
    EXPECT_TRUE(store->setBlocked("demo", true));  // unchanged value is still a success
    EXPECT_TRUE(store->setBlocked("demo", false));
    EXPECT_FALSE(store->find("demo").account->blocked);
}

TEST(AccountStore, FileThatIsNoDatabaseIsRefusedAndLeftAlone) {
    TempDir dir;
    const std::string garbage(4096, '\x5A');
    writeFileBytes(dir / "accounts.db", garbage);
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    const auto filesBefore = openFiles();
    std::string error;
    EXPECT_FALSE(AccountStore::open(dir / "accounts.db", &error));
    EXPECT_NE(error.find("accounts.db"), std::string::npos) << error;
    EXPECT_EQ(readFileBytes(dir / "accounts.db"), garbage);
    // The refused file is not held open by a connection left behind.
    EXPECT_EQ(openFiles(), filesBefore);
}

TEST(AccountStore, ForeignDatabaseWithAnotherAccountsTableIsRefused) {
    TempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "other.db").string().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE accounts (id INTEGER, email TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(AccountStore::open(dir / "other.db", &error));
    EXPECT_NE(error.find("layout"), std::string::npos) << error;
}

TEST(AccountStore, DatabaseOfANewerVersionIsRefused) {
    TempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "new.db").string().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(AccountStore::open(dir / "new.db", &error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
}

TEST(AccountStore, FolderThatCannotHoldTheFileIsAnError) {
    TempDir dir;
    writeFileBytes(dir / "plain", "x");
    std::string error;
    EXPECT_FALSE(AccountStore::open(dir / "plain" / "accounts.db", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tallyro::service
