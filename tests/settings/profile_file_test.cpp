// Profile files and ReadIniValue/WriteIniValue over them: lookup rules, edits that keep every
// other byte, GBK and odd files, size limits, and saving that never leaves a broken file behind.
#include "settings/profile_file.h"

#include "child_process.h"
#include "settings/ini_values.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <limits>
#include <tuple>

namespace tallyro::settings {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

// The file after one setValue, which must succeed.
std::string afterSet(std::string_view bytes, std::string_view section, std::string_view key,
                     std::string_view value) {
    ProfileFile profile(bytes);
    EXPECT_TRUE(profile.setValue(section, key, value)) << bytes;
    return profile.bytes();
}

std::string repeat(const std::string& piece, int count) {
    return count > 0 ? piece + repeat(piece, count - 1) : "";
}

const std::string kGbkTrails = "[\x81\x5D]\r\n\x81\x41=1\r\n";  // 乚 ends in ']', 丄 in 'A'
const std::string kNulInside("45\0000", 4);                     // "45", a NUL, "0"
const std::string kUtf16("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0", 20);

TEST(ProfileFileLookup, FirstKeyOfTheFirstMatchingSection) {
    const std::optional<std::string> none;
    const std::vector<std::tuple<std::string, std::string, std::string, std::optional<std::string>>>
        cases{
            // Names without regard to ASCII case and to blanks around them.
            {"  [ windowMOVE ]  \r\n\t mainTop \t=  450 \r\n", " WINDOWMOVE\t", " maintop ", "450"},
            {"[s]\r\nk=1\r\n", "s2", "k", none},
            {"[s]\r\nk=1\r\n", "s", "k2", none},
            {"", "s", "k", none},
            // A key belongs to its own section; lines before the first section are no keys.
            {"k=0\r\n[o]\r\nk=1\r\n[s]\r\nj=2\r\n", "s", "k", none},
            {"k=0\r\n[o]\r\nk=1\r\n[s]\r\nj=2\r\n", "o", "k", "1"},
            // The first of duplicates wins; keys of a later duplicate section are not seen.
            {"[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n", "s", "k", "1"},
            {"[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n", "s", "j", none},
            // Comments, lines without '=' or without a name are no keys; '[' without ']' no header.
            {"[s]\r\n;k=1\r\n#k=2\r\nk\r\n=3\r\n", "s", "k", none},
            {"[s]\r\n;k=1\r\n", "s", ";k", none},
            {"[s]\r\n[Broken\r\nj=5\r\n", "s", "j", "5"},
            {"[s]\r\n[Broken\r\nj=5\r\n", "Broken", "j", none},
            {"[a]b] trailing\r\nk=v\r\n", "a]b", "k", "v"},
            {"[s]\r\nk = a=b \r\n", "s", "k", "a=b"},
            // GBK, whose trail bytes can look like ASCII; bytes that are no text read as U+FFFD,
            // 0x80 is the euro sign of code page 936 and a lone lead byte at the end is dropped.
            {kGbkTrails, "乚", "丄", "1"},
            {kGbkTrails, "乚", "乤", none},
            {"[s]\r\nk=\xD7\xF3\r\n", "s", "k", "左"},
            {"[s]\r\nk=\xFF\x80\x81\r\n", "s", "k", "\xEF\xBF\xBD€"},
            // A UTF-8 mark makes a UTF-8 file; a UTF-16 file is not understood.
            {"\xEF\xBB\xBF[s]\r\nk=\xE5\xB7\xA6\r\n", "s", "k", "左"},
            {"\xEF\xBB\xBF[s]\nk=a\xC0\xAF\n", "s", "k", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
            {kUtf16, "s", "k", none}};
    for (const auto& [file, section, key, value] : cases)
        EXPECT_EQ(ProfileFile(file).value(section, key), value) << file << section << key;
    // One matching pair of quotes around the trimmed value comes off, nothing else.
    const std::vector<std::pair<std::string, std::string>> quotes{
        {"\"450\"", "450"}, {"'450'", "450"}, {"  \" 450 \"  ", " 450 "}, {"\"450'", "\"450'"},
        {"\"", "\""},       {"\"\"", ""},     {"\"\"a\"\"", "\"a\""},     {"a\"b\"", "a\"b\""}};
    for (const auto& [stored, read] : quotes)
        EXPECT_EQ(ProfileFile("[s]\r\nk=" + stored + "\r\n").value("s", "k"), read) << stored;
}

TEST(ProfileFileEdit, ChangesOnlyTheKeysValueOrAddsTheKeyWhereItBelongs) {
    // Each row: file, section, key, value, and the file after; '|' is a line ending, tried as
    // CR LF and as LF.
    const std::vector<std::array<std::string, 5>> cases{
        {";c||junk|[o]|k=keep|   |[s]|  k = 450|j=9||[t]|x=1|", "S", "K", "-1200",
         ";c||junk|[o]|k=keep|   |[s]|  k = -1200|j=9||[t]|x=1|"},
        {"[s]|k=1|; last||[t]|", "s", "j", "2", "[s]|k=1|; last|j=2||[t]|"},  // after the last
        {"[s]||[t]|", "s", "k", "1", "[s]|k=1||[t]|"},                        // non-blank line
        {"[o]|a=1||", "s", "k", "4", "[o]|a=1||[s]|k=4|"},
        {"[s]|k=1|k=2|[S]|j=3|", "s", "k", "9", "[s]|k=9|k=2|[S]|j=3|"},
        {"[s]|k=1|k=2|[S]|j=3|", "s", "j", "4", "[s]|k=1|k=2|j=4|[S]|j=3|"},
        {"[s]|k=1", "s", "k", "2", "[s]|k=2"},  // a missing last line ending stays missing
        {"[s]|k=1", "s", "j", "3", "[s]|k=1|j=3|"},
        {"[s]|K=1|", "s", "k", "2", "[s]|K=2|"}};
    for (const std::string eol : {"\r\n", "\n"}) {
        for (auto row : cases) {
            for (auto& text : row) {
                for (std::size_t at; (at = text.find('|')) != text.npos;)
                    text.replace(at, 1, eol);
            }
            EXPECT_EQ(afterSet(row[0], row[1], row[2], row[3]), row[4]) << row[0];
        }
    }
    EXPECT_EQ(afterSet("", "s", "k", "中"), "[s]\r\nk=\xD6\xD0\r\n");
    EXPECT_EQ(afterSet("[o]", "s", "k", "4"), "[o]\r\n[s]\r\nk=4\r\n");
    EXPECT_EQ(afterSet("[s]\nk=1\r\nj=2\n", "s", "k", "5"), "[s]\nk=5\r\nj=2\n");
    EXPECT_EQ(afterSet(kGbkTrails, "乚", "乤", "2"), kGbkTrails + "\x81\x61=2\r\n");
    EXPECT_EQ(afterSet("[s]\r\nv=\xFF\x80\x81\r\nk=1\r\n", "s", "k", "2"),
              "[s]\r\nv=\xFF\x80\x81\r\nk=2\r\n");
    EXPECT_EQ(afterSet("\xEF\xBB\xBF[s]\r\nk=\xE5\xB7\xA6\r\n", "s", "k", "中"),
              "\xEF\xBB\xBF[s]\r\nk=\xE4\xB8\xAD\r\n");
    EXPECT_EQ(afterSet("\xEF\xBB\xBF", "s", "k", "😀"), "\xEF\xBB\xBF[s]\r\nk=😀\r\n");
    EXPECT_EQ(afterSet("", "s", "k", " 450"), "[s]\r\nk=\" 450\"\r\n");
    EXPECT_EQ(afterSet("", "s", "k", "a\"b\""), "[s]\r\nk=a\"b\"\r\n");
}

TEST(ProfileFileEdit, RefusedWritesChangeNothing) {
    const std::vector<std::array<std::string, 3>> refused{
        {"s", "k", "1\r\nj=2"}, {"s", "k", "a\nb"}, {"s", "k", {"a\0b", 3}}, {"s", "k=j", "1"},
        {"s", ";k", "1"},       {"s", "#k", "1"},   {"s", "[k]", "1"},       {"s", "  ", "1"},
        {"", "k", "1"},         {"s\nt", "k", "1"}, {"s", {"k\0j", 3}, "1"}, {"s", "k", "😀"},
        {"s", "k", "\xFF"}};
    for (const auto& [section, key, value] : refused) {
        ProfileFile profile("[s]\r\nk=1\r\n");
        EXPECT_FALSE(profile.setValue(section, key, value)) << key << " = " << value;
        EXPECT_EQ(profile.bytes(), "[s]\r\nk=1\r\n");
    }
    ProfileFile utf16(kUtf16);
    EXPECT_FALSE(utf16.setValue("s", "k", "w"));
    EXPECT_EQ(utf16.bytes(), kUtf16);
}

// Whatever is read, written back and read again gives the same values, in the profile and
// from its bytes; a value written reads back as written, blanks and quotes included.
TEST(ProfileFileRoundTrip, WhatIsReadWritesBackUnchanged) {
    const std::string file =
        "; c\r\n[s]\r\nk = \" 450 \"\r\nq='a'\r\nK=dup\r\ng=\xD7\xF3\r\n[t]\r\nk\t=\t\"\"a\"\"\r\n";
    const std::vector<std::pair<std::string, std::string>> keys{
        {"s", "k"}, {"s", "q"}, {"s", "g"}, {"t", "k"}};
    for (const auto& [section, key] : keys) {
        ProfileFile profile(file);
        ASSERT_TRUE(profile.setValue(section, key, *profile.value(section, key))) << key;
        for (const auto& [otherSection, otherKey] : keys) {
            EXPECT_EQ(ProfileFile(profile.bytes()).value(otherSection, otherKey),
                      ProfileFile(file).value(otherSection, otherKey));
        }
    }
    for (const std::string value :
         {" 450", "450\t", "\"450\"", "'a'", "\"", "a\"b\"", "''", "中"}) {
        ProfileFile profile("[s]\r\nk = old\r\n");
        ASSERT_TRUE(profile.setValue("s", "k", value) && profile.setValue("s", "new", value));
        EXPECT_EQ(profile.value("s", "k"), value);
        EXPECT_EQ(ProfileFile(profile.bytes()).value("s", "new"), value);
    }
}

TEST(IniValues, WriteKeepsAtMost128CharactersUpToANul) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> cases{
        {repeat("x", 128), repeat("x", 128)},
        {repeat("x", 129), repeat("x", 128)},
        {repeat("中", 129), repeat("\xD6\xD0", 128)},
        {kNulInside, "45"}};
    for (const auto& [value, stored] : cases) {  // characters, not bytes; up to a NUL
        EXPECT_EQ(WriteIniValue("W", "v", value, dir / "config.ini"), "");
        EXPECT_EQ(readFileBytes(dir / "config.ini"), "[W]\r\nv=" + stored + "\r\n");
    }
}

TEST(IniValues, ReadKeepsAtMost127BytesOfGbkWithoutSurroundingSpaces) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    const std::string a = repeat("a", 125);
    // A character cut in half at the limit goes whole (also ¤, two bytes in UTF-8 as in GBK);
    // quotes come off before the spaces.
    const std::vector<std::pair<std::string, std::string>> cases{
        {a + "aa", a + "aa"},       {a + "aaa", a + "aa"},      {a + "\xD6\xD0", a + "中"},
        {a + "a\xD6\xD0", a + "a"}, {a + "a\xA1\xE8", a + "a"}, {"   450   ", "450"},
        {"\" 450 \"", "450"},       {"4 5 0", "4 5 0"},         {kNulInside, "45"}};
    for (const auto& [stored, read] : cases) {
        writeFileBytes(ini, "[W]\r\nv=" + stored + "\r\n");
        EXPECT_EQ(ReadIniValue("w", "V", ini), read) << stored;
    }
    // A long value read and written again loses its tail and nothing else.
    writeFileBytes(ini, "[W]\r\nv=" + repeat("\xD6\xD0", 64) + "\r\n");
    WriteIniValue("W", "v", ReadIniValue("W", "v", ini), ini);
    EXPECT_EQ(readFileBytes(ini), "[W]\r\nv=" + repeat("\xD6\xD0", 63) + "\r\n");
    EXPECT_EQ(ReadIniValue("W", "x", ini), "");
    EXPECT_EQ(ReadIniValue("X", "v", ini), "");
}

TEST(SettingsDisk, FailedWritesLeaveEverythingAsItWasAndNoTemporaryFile) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    writeFileBytes(ini, "; mine\r\n[s]\r\nk=450\r\n");
    writeFileBytes(dir / "plain", "x");
    fs::create_directory(dir / "folder.ini");
    // A disk full after 8 bytes, in a child so that the limit goes with it.
    const pid_t child = test::forkChild([&] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 8;
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        ::_exit(writeProfileString("s", "k", "-1200", ini) ? 0 : 3);
    });
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    for (const auto& place :
         {dir / "missing" / "config.ini", dir / "plain" / "config.ini", dir / "folder.ini"}) {
        EXPECT_FALSE(writeProfileString("s", "k", "v", place)) << place;
        EXPECT_FALSE(tryWriteIniValue("s", "k", "v", place)) << place;
        EXPECT_EQ(WriteIniValue("s", "k", "v", place), "");
    }
    EXPECT_EQ(readProfileString("s", "k", dir / "plain" / "config.ini"), std::nullopt);
    EXPECT_FALSE(ProfileFile::load(dir / "folder.ini"));
    EXPECT_EQ(readFileBytes(ini), "; mine\r\n[s]\r\nk=450\r\n");
    EXPECT_EQ(readFileBytes(dir / "plain"), "x");
    EXPECT_TRUE(fs::is_empty(dir / "folder.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
}

// Temporary files of saves that were killed go at the next save; nothing else does.
TEST(SettingsDisk, NextSaveRemovesOnlyLeftoverTemporaryFilesOfItsOwnNaming) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    writeFileBytes(ini, "[s]\nk=1\n");
    // No process number can reach the largest pid_t: such a process is gone.
    const std::string gone = ".config.ini." + std::to_string(std::numeric_limits<pid_t>::max());
    const std::string ours = ".config.ini." + std::to_string(::getpid());
    const std::vector<std::string> leftovers = {gone + "-0.tmp", gone + "-4294967295.tmp",
                                                ours + "-99999.tmp"};
    const std::vector<std::string> kept = {
        ".config.ini." + std::to_string(::getppid()) + "-0.tmp",  // maybe saving right now
        ".other.ini" + gone.substr(11) + "-0.tmp",
        ".config.ini.bak" + gone.substr(11) + "-0.tmp",
        gone.substr(1) + "-0.tmp",
        gone + ".tmp",
        ".config.ini.-0.tmp",
        gone + "-.tmp",
        ".config.ini.0" + gone.substr(12) + "-0.tmp",
        gone + "-00.tmp",
        ".config.ini.0-0.tmp",
        ".config.ini.+1-0.tmp",
        ".config.ini.99999999999-0.tmp",
        gone + "-0.tmp.bak",
        gone + "-0.TMP",
        "other.tmp"};
    for (const auto& name : leftovers)
        writeFileBytes(dir / name, "old");
    for (const auto& name : kept)
        writeFileBytes(dir / name, "other");
    fs::create_directory(dir / (gone + "-1.tmp"));
    fs::create_symlink(dir / "other.tmp", dir / (gone + "-2.tmp"));

    ASSERT_TRUE(writeProfileString("s", "k", "2", ini));
    EXPECT_EQ(readFileBytes(ini), "[s]\nk=2\n");
    for (const auto& name : leftovers)
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const auto& name : kept)
        EXPECT_EQ(readFileBytes(dir / name), "other") << name;
    EXPECT_TRUE(fs::is_directory(dir / (gone + "-1.tmp")));
    EXPECT_TRUE(fs::is_symlink(dir / (gone + "-2.tmp")));
}

TEST(SettingsDisk, ReplacementKeepsPermissionsAndSymbolicLinks) {
    TempDir dir;
    const auto real = dir / "real.ini";
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    writeFileBytes(real, "[s]\nk=1\n");
    fs::permissions(real, perms);
    fs::create_symlink(real, dir / "config.ini");
    ASSERT_TRUE(writeProfileString("s", "k", "2", dir / "config.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_EQ(readFileBytes(real), "[s]\nk=2\n");
    EXPECT_EQ(readProfileString("S", "K", dir / "config.ini"), "2");
    EXPECT_EQ(fs::status(real).permissions(), perms);
}

}  // namespace
}  // namespace tallyro::settings
