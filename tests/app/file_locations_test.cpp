// Where the settings file and the database live.
#include <gtest/gtest.h>

#include "app/file_locations.h"
#include "temp_dir.h"

namespace tallyro::app {
namespace {

namespace fs = std::filesystem;

TEST(FileLocationsTest, WritableProgramFolderKeepsBothFiles) {
    test::TempDir dir;
    const auto where = locateFiles(dir.path(), dir / "cfg", dir / "data");
    EXPECT_EQ(where.settings, dir / "config.ini");
    EXPECT_EQ(where.database, dir / "QsDate.mdb");
    EXPECT_FALSE(fs::exists(dir / "cfg"));
    // The probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FileLocationsTest, UnwritableProgramFolderUsesTheUsersFoldersAndCopiesTheDatabaseOnce) {
    test::TempDir dir;
    // A program folder that cannot take new files even for root: a path below a regular file.
    const fs::path program = dir / "program";
    fs::create_directory(program);
    test::writeFileBytes(program / "QsDate.mdb", "installed");
    const fs::path readOnly = dir / "mount";
    test::writeFileBytes(readOnly, "");
    EXPECT_FALSE(folderIsWritable(readOnly));
    EXPECT_FALSE(folderIsWritable(dir / "missing"));

    // Simulate the read-only program folder by a locator over a folder that is not one.
    const auto where = locateFiles(readOnly, dir / "cfg", dir / "data");
    EXPECT_EQ(where.settings, dir / "cfg" / "config.ini");
    EXPECT_TRUE(fs::is_directory(dir / "cfg"));
    // No installed database next to a non-folder: nothing to copy, the user's path is named.
    EXPECT_EQ(where.database, dir / "data" / "QsDate.mdb");
}

TEST(FileLocationsTest, CopyKeepsAnExistingUserDatabase) {
    test::TempDir dir;
    const fs::path program = dir / "program";
    fs::create_directory(program);
    test::writeFileBytes(program / "QsDate.mdb", "installed");
    fs::create_directories(dir / "data");
    test::writeFileBytes(dir / "data" / "QsDate.mdb", "user's own");
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    if (folderIsWritable(program)) GTEST_SKIP() << "permission bits do not bind this user (root)";
    const auto where = locateFiles(program, dir / "cfg", dir / "data");
    EXPECT_EQ(test::readFileBytes(where.database), "user's own");
}

}  // namespace
}  // namespace tallyro::app
