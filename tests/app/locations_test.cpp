// Where the settings file and the database live, and the service's addresses.
#include <gtest/gtest.h>

#include "app/file_locations.h"
#include "app/server_addresses.h"
#include "temp_dir.h"
#include "text/gbk_codec.h"

namespace tallyro::app {
namespace {

namespace fs = std::filesystem;

std::string both(const FileLocations& where) {
    return where.settings.string() + " " + where.database.string();
}

// The program's folder (bin/ beside share/) takes no file, even writable by root.
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
    EXPECT_TRUE(fs::is_directory(dir / "cfg") && fs::is_empty(bin) && where.notice.empty() &&
                !fs::exists(dir / "data" / "QsDate.mdb.part"));
    test::writeFileBytes(where.database, "user's own");
    EXPECT_EQ(test::readFileBytes(locateFiles(bin, dir / "cfg", dir / "data").database),
              "user's own");
    // A database beside the program makes it a copied folder again.
    test::writeFileBytes(bin / "QsDate.mdb", "copied");
    EXPECT_TRUE(installedDatabase(bin) == bin / "QsDate.mdb" &&
                locateFiles(bin, dir / "cfg", dir / "data").database == bin / "QsDate.mdb");
}

TEST(FileLocationsTest, ProgramFolderThenUserFoldersThenTheInstalledDatabaseAndANotice) {
    test::TempDir dir;
    fs::create_directory(dir / "program");
    EXPECT_EQ(both(locateFiles(dir / "program", dir / "cfg", dir / "data")),
              both({dir / "program" / "config.ini", dir / "program" / "QsDate.mdb"}));
    EXPECT_TRUE(fs::is_empty(dir / "program"));  // the probe leaves nothing behind
    test::writeFileBytes(dir / "home", "a file where the folders should be");
    EXPECT_FALSE(folderIsWritable(dir / "home") || folderIsWritable(dir / "missing"));
    EXPECT_EQ(both(locateFiles(dir / "home", dir / "cfg", dir / "data")),
              both({dir / "cfg" / "config.ini", dir / "data" / "QsDate.mdb"}));
    test::writeFileBytes(dir / "program" / "QsDate.mdb", "installed");
    const fs::path cfg = dir / "home" / "cfg", data = dir / "home" / "data";
    const auto where = userFileLocations(dir / "program", cfg, data);
    EXPECT_EQ(both(where), both({cfg / "config.ini", dir / "program" / "QsDate.mdb"}));
    for (const auto& folder : {dir / "program", cfg, data})
        EXPECT_NE(where.notice.find(folder.string()), std::string::npos) << where.notice;
    EXPECT_EQ(test::readFileBytes(dir / "home"), "a file where the folders should be");
}

const context::Deployment kBuiltIn{"127.0.0.1", 4116, "http://127.0.0.1:8340"};

std::string used(const context::Deployment& d) {
    return d.loginHost + " " + std::to_string(d.loginPort) + " " + d.webBase;
}

// In GBK after another section: the value used, or the built-in one and why.
TEST(ServerAddresses, EachValueIsTakenOrRefusedNamingTheKeyAndFallsToTheNextSource) {
    // Key, the outcome ("=" for the value itself, "=x" for x), the values.
    // clang-format off
    const std::tuple<std::string, std::string, std::vector<std::string>> groups[] = {
        {"LoginHost", "=", {"10.0.0.2", "255.255.255.255"}}, {"LoginHost", "is empty", {""}},
        {"LoginHost", "holds a blank", {"10.0. 0.2"}}, {"LoginHost", "is not an IPv4 address like "
         "127.0.0.1", {"10.0.0", "10.0.0.2.1", "10.0.0.256", "10.0.0.02", "10..0.2", "login.x"}},
        {"LoginPort", "=", {"1", "65535"}}, {"LoginPort", "=5000", {"\"5000\""}},
        {"LoginPort", "is not a port number from 1 to 65535",
         {"", "0", "65536", "99999999999", "+80", "８０"}},
        {"WebBase", "=", {"http://10.0.0.2:80", "https://web.example.com", "http://[::1]:8340"}},
        {"WebBase", "=http://Web:8340", {"HTTP://Web:8340/"}}, {"WebBase", "holds a blank",
         {"http://a b"}}, {"WebBase", "is not an http or https address", {"ftp://x", "web.x", ""}},
        {"WebBase", "has no valid host",
         {"http://", "http://:8340", "http://[::1", "http://[::1]x", "http://x!y"}},
        {"WebBase", "has a port that is not from 1 to 65535",
         {"http://x:0", "http://x:", "http://x:65536", "http://x:port"}},
        {"WebBase", "has a path, query or fragment after the host",
         {"http://x//", "http://x/web", "http://x?a=1", "http://x#top"}},
        {"WebBase", "holds a user name", {"http://me@x"}}};
    // clang-format on
    test::TempDir dir;
    for (const auto& [key, expected, values] : groups) {
        const int k = key == kLoginHostKey ? 0 : (key == kLoginPortKey ? 1 : 2);
        for (const std::string& v : values) {
            test::writeFileBytes(
                dir / "config.ini",
                *text::utf8ToGbk("[WindowMove]\r\nWebBase=http://x\r\n[server]\r\n" + key + "=" +
                                 v + "\r\n"));
            const auto got =
                resolveServerAddresses(kBuiltIn, serverSection(dir / "config.ini"), {});
            std::string want[] = {"127.0.0.1", "4116", "http://127.0.0.1:8340"};
            std::vector<std::string> said{"config.ini [Server] " + key + ": \"" + v + "\" " +
                                          expected + "; using " + want[k]};
            if (expected.starts_with("=")) {
                want[k] = expected == "=" ? v : expected.substr(1);
                said.clear();
            }
            EXPECT_EQ(used(got.deployment), want[0] + " " + want[1] + " " + want[2]) << v;
            EXPECT_EQ(got.problems, said) << key << "=" << v;
        }
    }
    // The command line over the file over the built-in values; a refused value falls to the next.
    auto got = resolveServerAddresses(kBuiltIn, {"10.0.0.1", "5001", "http://file"},
                                      {"10.0.0.9", std::nullopt, "http://line:1"});
    EXPECT_EQ(used(got.deployment) + " " + std::to_string(got.problems.size()),
              "10.0.0.9 5001 http://line:1 0");
    // No file gives nothing.
    EXPECT_EQ(
        used(resolveServerAddresses(kBuiltIn, serverSection("/no/config.ini"), {}).deployment),
        used(kBuiltIn));
    got =
        resolveServerAddresses(kBuiltIn, {"10.0.0.1", "port", std::nullopt}, {"", "0", "ftp://x"});
    EXPECT_EQ(used(got.deployment), "10.0.0.1 4116 http://127.0.0.1:8340");
    EXPECT_EQ(got.problems,
              (std::vector<std::string>{
                  "--login-host: \"\" is empty; using 10.0.0.1",
                  "--login-port: \"0\" is not a port number from 1 to 65535; using 4116",
                  "config.ini [Server] LoginPort: \"port\" is not a port number from 1 to "
                  "65535; using 4116",
                  "--web-base: \"ftp://x\" is not an http or https address; using "
                  "http://127.0.0.1:8340"}));
}

}  // namespace
}  // namespace tallyro::app
