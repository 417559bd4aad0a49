// The account database on real SQLite files.
#include "account_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <tuple>

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
        EXPECT_EQ(store->addAccount("demo", "X"), AccountStore::AddResult::NameTaken);
        EXPECT_EQ(store->addAccount("Demo", "OLD"), AccountStore::AddResult::Added);
        EXPECT_EQ(store->addAccount("张三", kAbcDigest), AccountStore::AddResult::Added);
        EXPECT_TRUE(store->setDigest("Demo", kAbcDigest));
        EXPECT_TRUE(store->setBlocked("张三", true));
        EXPECT_TRUE(store->setBlocked("张三", true));  // an unchanged value is still a success
        EXPECT_FALSE(store->setBlocked("nobody", true) || store->setDigest("nobody", "X"));
        EXPECT_EQ(store->addMessage("维护通知", "今晚停机"), 1);
        EXPECT_EQ(store->addMessage("second", ""), 2);
    }
    auto store = AccountStore::open(dir / "sub" / "accounts.db", &error);
    ASSERT_TRUE(store) << error;
    const auto demo = store->find("demo").account.value();
    // Created like 2026-12-06T18:48:35Z.
    EXPECT_EQ(std::tuple(demo.digest, demo.blocked, demo.created.size()),
              std::tuple(kAbcDigest, false, 20u));
    EXPECT_EQ(std::pair(store->find("Demo").account->digest, store->find("张三").account->blocked),
              std::pair(std::string(kAbcDigest), true));
    EXPECT_FALSE(store->find("DEMO ").account || store->find("DEMO ").failed);
    // Quotes reach SQLite as bound text, never as SQL.
    EXPECT_FALSE(store->find("x' OR '1'='1").account);
    EXPECT_EQ(store->message(1).value().title + '|' + store->message(1)->body, "维护通知|今晚停机");
    EXPECT_TRUE(!store->message(3) && store->accounts().size() == 3u);
}

// No database, another program's database, a newer layout, a folder that is a file: each
// is refused with a reason, left as it was and not held open.
TEST(AccountStore, FilesItCannotUseAreRefusedAndLeftAlone) {
    TempDir dir;
    const std::string garbage(4096, '\x5A');
    writeFileBytes(dir / "garbage.db", garbage);
    writeFileBytes(dir / "plain", "x");
    for (const auto& [file, sql] : {std::pair{"foreign.db", "CREATE TABLE accounts (id, email)"},
                                    std::pair{"newer.db", "PRAGMA user_version = 7"}}) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((dir / file).string().c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    using Fds = std::filesystem::directory_iterator;
    const auto openFiles = [] { return std::distance(Fds("/proc/self/fd"), Fds{}); };
    const auto filesBefore = openFiles();
    for (const auto& [file, reason] :
         {std::pair{"garbage.db", "garbage.db"}, std::pair{"foreign.db", "layout"},
          std::pair{"newer.db", "newer"}, std::pair{"plain/accounts.db", "plain"}}) {
        std::string error;
        EXPECT_FALSE(AccountStore::open(dir / file, &error)) << file;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    EXPECT_EQ(readFileBytes(dir / "garbage.db"), garbage);
    EXPECT_EQ(openFiles(), filesBefore);
}

}  // namespace
}  // namespace tallyro::service
