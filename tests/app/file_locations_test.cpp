// Where the settings file and the database live: beside a copied program, or in the
// user's folders for an installed one or a program folder that takes no file.
#include <gtest/gtest.h>

#include "app/file_locations.h"
#include "temp_dir.h"

namespace tallyro::app {
namespace {

namespace fs = std::filesystem;

std::string both(const FileLocations& where) {
    return where.settings.string() + " " + where.database.string();
}

TEST(FileLocationsTest, AWritableProgramFolderKeepsBothFilesAndOneThatIsNotSendsThemAway) {
    test::TempDir dir;
    EXPECT_EQ(both(locateFiles(dir.path(), dir / "cfg", dir / "data")),
              both({dir / "config.ini", dir / "QsDate.mdb"}));
    EXPECT_TRUE(fs::is_empty(dir.path()));  // the probe leaves nothing behind
    // Below a regular file nothing can be created, whoever runs the test.
    test::writeFileBytes(dir / "plain", "");
    EXPECT_FALSE(folderIsWritable(dir / "plain") || folderIsWritable(dir / "missing"));
    EXPECT_EQ(both(locateFiles(dir / "plain", dir / "cfg", dir / "data")),
              both({dir / "cfg" / "config.ini", dir / "data" / "QsDate.mdb"}));
}

// An installed tree: the program in bin/, its database under share/. The program's folder
// is writable here, as /usr/bin is for root, and still takes no file; the user's copy of
// the database, which holds the remembered account, is made once.
TEST(FileLocationsTest, InstalledProgramWorksInTheUserFoldersOnACopyOfItsDatabase) {
    test::TempDir dir;
    const fs::path bin = dir / "usr" / "bin", shared = (bin / kInstalledDataDir).lexically_normal();
    fs::create_directories(bin);
    fs::create_directories(shared);
    test::writeFileBytes(shared / "QsDate.mdb", "installed");
    EXPECT_EQ(installedDatabase(bin), shared / "QsDate.mdb");
    const auto where = locateFiles(bin, dir / "cfg", dir / "data");
    EXPECT_EQ(both(where), both({dir / "cfg" / "config.ini", dir / "data" / "QsDate.mdb"}));
    EXPECT_EQ(test::readFileBytes(where.database), "installed");
    EXPECT_TRUE(fs::is_directory(dir / "cfg") && fs::is_empty(bin) && where.notice.empty());
    EXPECT_FALSE(fs::exists(dir / "data" / "QsDate.mdb.part"));
    test::writeFileBytes(where.database, "user's own");
    EXPECT_EQ(test::readFileBytes(locateFiles(bin, dir / "cfg", dir / "data").database),
              "user's own");
    // A database beside the program makes it a copied folder again.
    test::writeFileBytes(bin / "QsDate.mdb", "copied");
    EXPECT_EQ(installedDatabase(bin), bin / "QsDate.mdb");
    EXPECT_EQ(locateFiles(bin, dir / "cfg", dir / "data").database, bin / "QsDate.mdb");
}

TEST(FileLocationsTest, WithoutAnyWritableFolderTheInstalledDatabaseIsUsedAndTheUserIsTold) {
    test::TempDir dir;
    fs::create_directory(dir / "program");
    test::writeFileBytes(dir / "program" / "QsDate.mdb", "installed");
    test::writeFileBytes(dir / "home", "a file where the folders should be");
    const fs::path cfg = dir / "home" / "cfg", data = dir / "home" / "data";
    const auto where = userFileLocations(dir / "program", cfg, data);
    EXPECT_EQ(both(where), both({cfg / "config.ini", dir / "program" / "QsDate.mdb"}));
    for (const auto& folder : {dir / "program", cfg, data})
        EXPECT_NE(where.notice.find(folder.string()), std::string::npos) << where.notice;
    EXPECT_EQ(test::readFileBytes(dir / "home"), "a file where the folders should be");
}

}  // namespace
}  // namespace tallyro::app
