// The settings file: lookups, byte-keeping edits, GBK, limits, numbers, killed saves.
#include "child_process.h"
#include "replace_all.h"
#include "settings/extras.h"
#include "settings/ini_values.h"
#include "settings/profile_file.h"
#include "settings/window_settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <limits>
#include <tuple>

namespace tallyro::settings {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

std::string repeat(const std::string& piece, int count) {
    return count > 0 ? piece + repeat(piece, count - 1) : "";
}

const std::string kGbkTrails = "[\x81\x5D]\r\n\x81\x41=1\r\n";  // 乚 ends in ']', 丄 in 'A'
const std::string kNulInside("45\0000", 4);                     // "45", a NUL, "0"
const std::string kUtf16("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0", 18);

TEST(ProfileFile, ReadsTheFirstKeyOfTheFirstMatchingSectionAndWritesItBackUnchanged) {
    const std::string o = "k=0\r\n[o]\r\nk=1\r\n[s]\r\nj=2\r\n",
                      d = "[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n";
    // clang-format off
    using Case = std::tuple<std::string, std::string, std::string, std::optional<std::string>>;
    std::vector<Case> cases{
        // Names without regard to ASCII case and to blanks around them ({}: no value).
        {"  [ windowMOVE ]  \r\n\t mainTop \t=  450 \r\n", " WINDOWMOVE\t", " maintop ", "450"},
        // Keys of their own section only, none before the first; the first duplicate wins.
        {o, "s", "k", {}}, {o, "o", "k", "1"}, {d, "s", "k", "1"}, {d, "s", "j", {}},
        // Comments, lines without '=' or without a name are no keys; '[' without ']' no header.
        {"[s]\r\n;k=1\r\n#k=2\r\nk\r\n=3\r\n", "s", "k", {}},
        {"[s]\r\n;k=1\r\n", "s", ";k", {}}, {"[s]\r\n[Broken\r\nj=5\r\n", "s", "j", "5"},
        {"[s]\r\nk = a=b \r\n", "s", "k", "a=b"}, {"[a]b] trailing\r\nk=v\r\n", "a]b", "k", "v"},
        // GBK, whose trail bytes can look like ASCII; bytes that are no text read as U+FFFD,
        // 0x80 is the euro sign of code page 936 and a lone lead byte at the end is dropped.
        {kGbkTrails, "乚", "丄", "1"}, {kGbkTrails, "乚", "乤", {}},
        {"[s]\r\nk=\xD7\xF3\r\n", "s", "k", "左"},
        {"[s]\r\nk=\xFF\x80\x81\r\n", "s", "k", "\xEF\xBF\xBD€"},
        // A UTF-8 mark makes a UTF-8 file; a UTF-16 file is not understood.
        {"\xEF\xBB\xBF[s]\r\nk=\xE5\xB7\xA6\r\n", "s", "k", "左"},
        {"\xEF\xBB\xBF[s]\nk=a\xC0\xAF\n", "s", "k", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {kUtf16, "s", "k", {}},
        // A lone carriage return ends a line as a line feed does; 0x1A ends the text.
        {"[WindowMove]\rMainTop=450\rMainLeft=3", "windowmove", "mainleft", "3"},
        {"[s]\r\nk=450\x1A", "s", "k", "450"}, {"[s]\nk=1\n\x1A[t]\nj=2\n", "t", "j", {}}};
    // One matching pair of quotes around the trimmed value comes off, nothing else.
    const std::vector<std::pair<std::string, std::string>> quotes{{"'450'", "450"},
        {"\"450'", "\"450'"}, {"\"", "\""}, {"\"\"", ""}, {"\"\"a\"\"", "\"a\""},
        {"a\"b\"", "a\"b\""}, {"  \" 450\t\"  ", " 450\t"}};
    // clang-format on
    for (const auto& [stored, value] : quotes)
        cases.emplace_back("[s]\r\nk=" + stored + "\r\n", "s", "k", value);
    for (const auto& [file, section, key, value] : cases) {
        ProfileFile profile(file);
        EXPECT_EQ(profile.value(section, key), value) << file << section << key;
        if (value && profile.setValue(section, key, *value)) {  // U+FFFD has no GBK form
            EXPECT_EQ(ProfileFile(profile.bytes()).value(section, key), value) << file;
        }
    }
}

TEST(ProfileFile, ChangesOnlyTheKeysValueOrAddsTheKeyWhereItBelongsOrRefusesAndChangesNothing) {
    // File, section, key, value, the file after ("!": refused); '|' is CR LF, LF and CR.
    // clang-format off
    std::vector<std::array<std::string, 5>> cases{
        {";c||junk|[o]|k=keep|   |[s]|  k = 450|j=9||[t]|x=1|", "S", "K", "-1200",
         ";c||junk|[o]|k=keep|   |[s]|  k = -1200|j=9||[t]|x=1|"},
        // After the last non-blank line of the section; a missing last line ending stays missing.
        {"[s]|k=1|; last||[t]|", "s", "j", "2", "[s]|k=1|; last|j=2||[t]|"},
        {"[s]||[t]|", "s", "k", "1", "[s]|k=1||[t]|"}, {"[s]|K=1|", "s", "k", "2", "[s]|K=2|"},
        {"[o]|a=1||", "s", "k", "4", "[o]|a=1||[s]|k=4|"},
        {"[s]|k=1|k=2|[S]|j=3|", "s", "k", "9", "[s]|k=9|k=2|[S]|j=3|"},
        {"[s]|k=1|k=2|[S]|j=3|", "s", "j", "4", "[s]|k=1|k=2|j=4|[S]|j=3|"},
        {"[s]|k=1", "s", "k", "2", "[s]|k=2"}, {"[s]|k=1", "s", "j", "3", "[s]|k=1|j=3|"},
        {kUtf16, "s", "k", "w", "!"}, {"", "s", "k", "中", "[s]\r\nk=\xD6\xD0\r\n"},
        {"[o]", "s", "k", "4", "[o]\r\n[s]\r\nk=4\r\n"},
        {"[s]\nk=1\r\nj=2\n", "s", "k", "5", "[s]\nk=5\r\nj=2\n"},
        {kGbkTrails, "乚", "乤", "2", kGbkTrails + "\x81\x61=2\r\n"},
        {"[s]\r\nv=\xFF\x80\x81\r\nk=1\r\n", "s", "k", "2", "[s]\r\nv=\xFF\x80\x81\r\nk=2\r\n"},
        {"\xEF\xBB\xBF[s]\r\nk=\xE5\xB7\xA6\r\n", "s", "k", "中",
         "\xEF\xBB\xBF[s]\r\nk=\xE4\xB8\xAD\r\n"},
        {"\xEF\xBB\xBF", "s", "k", "😀", "\xEF\xBB\xBF[s]\r\nk=😀\r\n"},
        // A line holding only the key's name is filled in place, unless the key has a line.
        {"[s]| K |j=1|", "s", "k", "2", "[s]| K=2|j=1|"},
        {"[s]|k|k=1|", "s", "k", "2", "[s]|k|k=2|"},
        // What follows the end-of-file mark stays after the last line.
        {"[s]|k=1|\x1A\x1A", "s", "j", "2", "[s]|k=1|j=2|\x1A\x1A"},
        {"[s]|k=1\x1A", "t", "j", "2", "[s]|k=1|[t]|j=2|\x1A"}};
    // clang-format on
    const std::vector<std::array<std::string, 3>> refused{
        {"s", "k", "1|j=2"}, {"s", "k", "a\nb"}, {"s", "k", {"a\0b", 3}}, {"s", "k=j", "1"},
        {"s", ";k", "1"},    {"s", "#k", "1"},   {"s", "[k]", "1"},       {"s", "  ", "1"},
        {"", "k", "1"},      {"s\nt", "k", "1"}, {"s", {"k\0j", 3}, "1"}, {"s", "k", "😀"},
        {"s", "k", "\xFF"},  {"s", "k", "4\x1A"}};
    for (const auto& [section, key, value] : refused)
        cases.push_back({"[s]|k=1|", section, key, value, "!"});
    for (const std::string eol : {"\r\n", "\n", "\r"})
        for (auto row : cases) {
            for (auto& text : row)
                text = test::replaceAll(text, "|", eol);
            ProfileFile profile(row[0]);
            EXPECT_EQ(profile.setValue(row[1], row[2], row[3]), row[4] != "!") << row[0] << row[2];
            EXPECT_EQ(profile.bytes(), row[4] == "!" ? row[0] : row[4]) << row[0] << row[2];
        }
}

TEST(IniValues, WriteKeeps128CharactersAndReadKeeps127BytesOfGbkWithoutSurroundingSpaces) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    // Characters, not bytes, up to a NUL.
    const std::vector<std::pair<std::string, std::string>> written{
        {repeat("x", 128), repeat("x", 128)},
        {repeat("x", 129), repeat("x", 128)},
        {repeat("中", 129), repeat("\xD6\xD0", 128)},
        {kNulInside, "45"}};
    for (const auto& [value, stored] : written) {
        EXPECT_EQ(WriteIniValue("W", "v", value, ini), "");
        EXPECT_EQ(readFileBytes(ini), "[W]\r\nv=" + stored + "\r\n");
    }
    const std::string a = repeat("a", 125);
    // A character cut in half at the limit goes whole; quotes come off before the spaces.
    const std::vector<std::pair<std::string, std::string>> read{
        {a + "aa", a + "aa"},       {a + "aaa", a + "aa"},      {a + "\xD6\xD0", a + "中"},
        {a + "a\xD6\xD0", a + "a"}, {a + "a\xA1\xE8", a + "a"}, {"   450   ", "450"},
        {"\" 450 \"", "450"},       {"4 5 0", "4 5 0"},         {kNulInside, "45"}};
    for (const auto& [stored, value] : read) {
        writeFileBytes(ini, "[W]\r\nv=" + stored + "\r\n");
        EXPECT_EQ(ReadIniValue("w", "V", ini), value) << stored;
    }
    EXPECT_EQ(ReadIniValue("W", "x", ini) + ReadIniValue("X", "v", ini), "");
}

TEST(SettingsDisk, FailedWritesLeaveEverythingAsItWasAndNoTemporaryFile) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    writeFileBytes(ini, "; mine\r\n[s]\r\nk=450\r\n");
    writeFileBytes(dir / "plain", "x");
    fs::create_directory(dir / "folder.ini");
    // A disk full after 8 bytes, in a child so that the limit goes with it.
    const pid_t child = test::forkChild([&] {
        const rlimit limit{8, 8};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        ::_exit(writeProfileString("s", "k", "-1200", ini) ? 0 : 3);
    });
    int status = 0;
    EXPECT_TRUE(::waitpid(child, &status, 0) == child && WEXITSTATUS(status) == 3);
    for (const auto& place :
         {dir / "missing" / "config.ini", dir / "plain" / "config.ini", dir / "folder.ini"})
        EXPECT_FALSE(
            writeProfileString("s", "k", "v", place) || tryWriteIniValue("s", "k", "v", place) ||
            !WriteIniValue("s", "k", "v", place).empty() || readProfileString("s", "k", place) ||
            saveWindowPosition(place, 450.0f, 9000.0f, "中") || savedWindowPosition(place))
            << place;
    EXPECT_TRUE(!ProfileFile::load(dir / "folder.ini") && fs::is_empty(dir / "folder.ini"));
    EXPECT_EQ(readFileBytes(ini) + readFileBytes(dir / "plain"), "; mine\r\n[s]\r\nk=450\r\nx");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
}

TEST(SettingsDisk, NextSaveRemovesOnlyLeftoverTemporaryFilesAndKeepsLinksAndPermissions) {
    TempDir dir;
    const auto real = dir / "real.ini";
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    writeFileBytes(real, "[s]\nk=1\n");
    fs::permissions(real, perms);
    fs::create_symlink(real, dir / "config.ini");
    // In the names '#' is a process that is gone (the largest pid_t), '@' this one, '^' its parent.
    const auto named = [](std::string name) {
        name = test::replaceAll(name, "#", std::to_string(std::numeric_limits<pid_t>::max()));
        name = test::replaceAll(name, "@", std::to_string(::getpid()));
        return test::replaceAll(name, "^", std::to_string(::getppid()));
    };
    const std::vector<std::string> leftovers{".real.ini.#-0.tmp", ".real.ini.#-4294967295.tmp",
                                             ".real.ini.@-99999.tmp"};
    const std::vector<std::string> kept{
        ".real.ini.^-0.tmp",     ".other.ini.#-0.tmp", ".real.ini.bak.#-0.tmp",
        "real.ini.#-0.tmp",      ".real.ini.#.tmp",    ".real.ini.-0.tmp",
        ".real.ini.#-.tmp",      ".real.ini.0#-0.tmp", ".real.ini.#-00.tmp",
        ".real.ini.0-0.tmp",     ".real.ini.+1-0.tmp", ".real.ini.99999999999-0.tmp",
        ".real.ini.#-0.tmp.bak", ".real.ini.#-0.TMP",  "other.tmp"};
    for (const auto* names : {&leftovers, &kept})
        for (const auto& name : *names)
            writeFileBytes(dir / named(name), name);
    fs::create_directory(dir / named(".real.ini.#-1.tmp"));
    fs::create_symlink(dir / "other.tmp", dir / named(".real.ini.#-2.tmp"));
    ASSERT_TRUE(writeProfileString("s", "k", "2", dir / "config.ini"));
    EXPECT_EQ(readFileBytes(real), "[s]\nk=2\n");
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini") && fs::status(real).permissions() == perms);
    for (const auto& name : kept)
        EXPECT_EQ(readFileBytes(dir / named(name)), name);
    // The leftovers are gone: the kept names, the folder, the link, real.ini and config.ini.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), kept.size() + 4);
    EXPECT_TRUE(fs::is_directory(dir / named(".real.ini.#-1.tmp")) &&
                fs::is_symlink(dir / named(".real.ini.#-2.tmp")));
}

// The C library is the reference: "%.7g" for the short form ("-0" aside), strtof for reading.
TEST(WindowSettings, NumbersTakeTheShortFormAndASaveLeavesWhatThreeWritesInARowLeave) {
    EXPECT_EQ(formatSingle(-0.0f), "0");
    std::vector<float> values{0.1f, 1234567.0f, 12345678.0f, 123456.7f, 16777216.0f, 0.0001f};
    for (int i = -300000; i <= 300000; ++i)
        values.push_back(static_cast<float>(i) / 2.0f);
    for (const float value : values) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.7g", static_cast<double>(value));
        ASSERT_EQ(formatSingle(value), expected) << value;
        ASSERT_EQ(parseSingle(expected), std::strtof(expected, nullptr)) << expected;
    }
    for (const char* text : {"450", "-1200", "+15", "-478.5", ".5", "5.", "007", "1e3", "1E+3",
                             "-2.5e-1", "3.4e38", "0"})
        EXPECT_EQ(parseSingle(text), std::strtof(text, nullptr)) << text;
    for (const char* text :
         {"",     " ",        " 1",   "1 ",   "12abc", "abc",   "nan", "NaN", "inf",
          "-inf", "infinity", "0x10", "1e",   "1e+",   "e5",    ".",   "-",   "+-1",
          "--1",  "1.2.3",    "1,5",  "1e39", "-1e39", "1e-50", "１２"})
        EXPECT_EQ(parseSingle(text), std::nullopt) << text;
    // Only the characters given count, whatever follows them.
    EXPECT_EQ(parseSingle(std::string_view("15", 1)), 1.0f);
    // One save leaves what three writes leave, replacing the file once if any key was written.
    const std::string none = "<no file>", w = "[WindowMove]\r\n";
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> files{
        {none, "-"}, {"", "-"}, {{"\xFF\xFE[\0", 4}, "-"}, {w + "MainTop=450\r\n", "-"},
        {"; kept\n[windowmove]\nmainvisible=\xD6\xD0\nMAINLEFT=1\nMainTop = 2\n", "2 1"},
        {w + "MainLeft=1\r\n\r\n[Tail]\r\nx=1\r\n", "-"},
        {w + "MainTop=1\r\n[Other]\r\n[WINDOWMOVE]\r\nMainLeft=2\r\n", "-"},
        {"\xEF\xBB\xBF[WindowMove]\r\nMainVisible=\xE4\xB8\xAD\r\n", "-"},
        {w + "MainTop=abc\r\nMainLeft=1\r\n", "-"}, {w + "MainTop=4\r\nMainLeft=12abc\r\n", "-"}};
    // clang-format on
    for (const auto& [file, before] : files)
        for (const std::string visible : {"左", "😀"}) {
            TempDir dir;
            const auto ref = dir / "reference.ini";
            const auto ini = dir / kSettingsFileName;
            const auto position = [&] {
                const auto saved = savedWindowPosition(ini);
                return saved ? formatSingle(saved->top) + " " + formatSingle(saved->left) : "-";
            };
            if (file != none) {
                writeFileBytes(ref, file);
                writeFileBytes(ini, file);
                fs::create_hard_link(ini, dir / "link.ini");
            }
            EXPECT_EQ(position(), before) << file;
            const bool top = tryWriteIniValue(kWindowMoveSection, kMainTopKey, "-478.5", ref);
            const bool left = tryWriteIniValue(kWindowMoveSection, kMainLeftKey, "-1200", ref);
            const bool shown = tryWriteIniValue(kWindowMoveSection, kMainVisibleKey, visible, ref);
            EXPECT_EQ(saveWindowPosition(ini, -478.5f, -1200.0f, visible), top && left && shown);
            ASSERT_EQ(fs::exists(ini), fs::exists(ref)) << file;
            EXPECT_EQ(readFileBytes(ini), readFileBytes(ref)) << file;
            EXPECT_EQ(fs::hard_link_count(ini), top || left || shown ? 1u : 2u) << file;
            EXPECT_EQ(position(), top && left ? "-478.5 -1200" : before) << file;
        }
}

TEST(WindowSettings, SaveKilledAtAnyMomentLeavesTheOldFileOrTheNewOne) {
    TempDir dir;
    const auto file = dir / kSettingsFileName;
    const auto scratch = dir / "scratch.ini";
    // A file of several pages, so that a torn write would show.
    auto old = "[Other]\r\n;" + std::string(20000, 'x') + "\r\n[WindowMove]\r\nMainTop=0\r\n";
    writeFileBytes(file, old);
    const auto save = [&](int run, const fs::path& ini = {}) {
        return saveWindowPosition(ini.empty() ? file : ini, static_cast<float>(run), -1.0f, "中");
    };
    const auto whole = [&](int run) {  // the file as before, or as the save leaves a copy
        writeFileBytes(scratch, old);
        save(run, scratch);
        const auto now = readFileBytes(file);
        const bool oldOrNew = now == old || now == readFileBytes(scratch);
        old = now;
        return oldOrNew;
    };
    EXPECT_EQ(test::firstUnsoundKilledSave(200, std::chrono::microseconds(2000), save, whole), 0);
    // The next save clears what killed saves left behind.
    ASSERT_TRUE(saveWindowPosition(file, 450.0f, 9000.0f, "中"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

// A chord is modifiers, one of them Ctrl, Alt or Super, and one key; then the setting.
TEST(Extras, KeyChordsAndTheBossKeySetting) {
    std::string read;
    for (const char* text :
         {"Ctrl+Alt+Z", " ctrl + shift + f12 ", "Super+7", "Alt+Control+a", "Z", "Shift+Z",
          "Ctrl+Ctrl+Z", "Ctrl+", "Ctrl+F13", "Ctrl+F0", "Ctrl+Alt+Z+X", "Hyper+Z", "Ctrl+ZZ", ""})
        read += (parseKeyChord(text) ? keyChordText(*parseKeyChord(text)) : "-") + " ";
    EXPECT_EQ(read, "Ctrl+Alt+Z Ctrl+Shift+F12 Super+7 Ctrl+Alt+A - - - - - - - - - - ");
    TempDir dir;
    const auto ini = dir / "config.ini";
    const auto setting = [&](const char* value) {
        if (value)
            writeFileBytes(ini, std::string("[Keys]\r\nBossKey=") + value + "\r\n");
        const BossKeySetting s = bossKeySetting(ini);
        return (s.chord ? keyChordText(*s.chord) : "off") + (s.problem.empty() ? "" : " !");
    };
    read.clear();  // written in turn, so in this order
    for (const char* value : {static_cast<const char*>(nullptr), "", "None", "Alt+Shift+B", "Q"})
        read += setting(value) + ", ";
    EXPECT_EQ(read, "Ctrl+Alt+Z, Ctrl+Alt+Z, off, Alt+Shift+B, Ctrl+Alt+Z !, ");
    EXPECT_TRUE(startAtLoginOffered(ini));
    writeFileBytes(ini, "[Tray]\r\nStartAtLogin= No \r\n");
    EXPECT_FALSE(startAtLoginOffered(ini));
}

}  // namespace
}  // namespace tallyro::settings
