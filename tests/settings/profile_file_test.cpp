// Profile files: lookup rules, edits that keep every other byte, odd files, and saving
// that never leaves a broken file behind.
#include "settings/profile_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <limits>
#include <vector>

namespace tallyro::settings {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

std::optional<std::string> valueIn(std::string_view bytes, std::string_view section,
                                   std::string_view key) {
    return ProfileFile(bytes).value(section, key);
}

// The file after one setValue, which must succeed.
std::string afterSet(std::string_view bytes, std::string_view section, std::string_view key,
                     std::string_view value) {
    ProfileFile profile(bytes);
    EXPECT_TRUE(profile.setValue(section, key, value));
    return profile.bytes();
}

// Makes writes beyond `bytes` fail with EFBIG, as a full disk would, for one scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(ProfileFileLookup, SectionAndKeyIgnoreCaseAndSurroundingBlanks) {
    const std::string file = "  [ windowMOVE ]  \r\n\t mainTop \t=  450 \r\n";
    EXPECT_EQ(valueIn(file, "WindowMove", "MainTop"), "450");
    EXPECT_EQ(valueIn(file, " WINDOWMOVE\t", " maintop "), "450");
    EXPECT_EQ(valueIn(file, "WindowMov", "MainTop"), std::nullopt);
    EXPECT_EQ(valueIn(file, "WindowMove", "MainTo"), std::nullopt);
}

TEST(ProfileFileLookup, MissingSectionOrKeyGivesNothing) {
    EXPECT_EQ(valueIn("", "WindowMove", "MainTop"), std::nullopt);
    EXPECT_EQ(valueIn("[Other]\r\nMainTop=1\r\n", "WindowMove", "MainTop"), std::nullopt);
    EXPECT_EQ(valueIn("[WindowMove]\r\nMainLeft=1\r\n", "WindowMove", "MainTop"), std::nullopt);
}

TEST(ProfileFileLookup, KeyBelongsOnlyToItsOwnSection) {
    const std::string file = "MainTop=0\r\n[Other]\r\nMainTop=1\r\n[WindowMove]\r\nMainLeft=2\r\n";
    EXPECT_EQ(valueIn(file, "WindowMove", "MainTop"), std::nullopt);
    EXPECT_EQ(valueIn(file, "Other", "MainTop"), "1");
}

TEST(ProfileFileLookup, FirstOfDuplicateSectionsAndKeysWins) {
    const std::string file =
        "[WindowMove]\r\nMainTop=1\r\nMainTop=2\r\n[WindowMove]\r\nMainTop=3\r\nMainLeft=4\r\n";
    EXPECT_EQ(valueIn(file, "WindowMove", "MainTop"), "1");
    // Keys of a later duplicate section are not seen, as under Windows.
    EXPECT_EQ(valueIn(file, "WindowMove", "MainLeft"), std::nullopt);
}

TEST(ProfileFileLookup, CommentsLinesWithoutEqualsAndBrokenHeadersAreNotKeys) {
    const std::string file =
        "[WindowMove]\r\n;MainTop=1\r\n#MainTop=2\r\nMainTop\r\n=3\r\n[Broken\r\nMainLeft=5\r\n";
    EXPECT_EQ(valueIn(file, "WindowMove", "MainTop"), std::nullopt);
    EXPECT_EQ(valueIn(file, "WindowMove", ";MainTop"), std::nullopt);
    // A '[' line without ']' does not open a section, so MainLeft stays in WindowMove.
    EXPECT_EQ(valueIn(file, "WindowMove", "MainLeft"), "5");
    EXPECT_EQ(valueIn(file, "Broken", "MainLeft"), std::nullopt);
}

TEST(ProfileFileLookup, HeaderNameRunsToLastBracket) {
    EXPECT_EQ(valueIn("[a]b] trailing\r\nk=v\r\n", "a]b", "k"), "v");
}

TEST(ProfileFileLookup, ValueKeepsLaterEqualsSigns) {
    EXPECT_EQ(valueIn("[s]\r\nk = a=b \r\n", "s", "k"), "a=b");
}

struct QuoteCase {
    const char* stored;
    const char* read;
};

class ProfileFileQuotes : public testing::TestWithParam<QuoteCase> {};

// One matching pair of quotes around the trimmed value is removed, nothing else.
TEST_P(ProfileFileQuotes, MatchingPairIsRemoved) {
    EXPECT_EQ(valueIn(std::string("[s]\r\nk=") + GetParam().stored + "\r\n", "s", "k"),
              GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileFileQuotes,
                         testing::Values(QuoteCase{"\"450\"", "450"}, QuoteCase{"'450'", "450"},
                                         QuoteCase{"  \" 450 \"  ", " 450 "},
                                         QuoteCase{"\"450'", "\"450'"}, QuoteCase{"\"", "\""},
                                         QuoteCase{"\"\"", ""}, QuoteCase{"\"\"a\"\"", "\"a\""},
                                         QuoteCase{"a\"b\"", "a\"b\""}, QuoteCase{"", ""}));

class ProfileFileLineEndings : public testing::TestWithParam<std::string> {
protected:
    std::string join(std::initializer_list<std::string_view> lines) const {
        std::string out;
        for (auto line : lines)
            out.append(line).append(GetParam());
        return out;
    }
};

TEST_P(ProfileFileLineEndings, ReplacingAValueKeepsEveryOtherLine) {
    const std::string before =
        join({"; settings of the window", "", "junk line without equals", "[Other]", "MainTop=keep",
              "   ", "[WindowMove]", "  MainTop = 450", "MainLeft=9000", "", "[Tail]", "x=1"});
    const std::string after =
        join({"; settings of the window", "", "junk line without equals", "[Other]", "MainTop=keep",
              "   ", "[WindowMove]", "  MainTop = -1200", "MainLeft=9000", "", "[Tail]", "x=1"});
    EXPECT_EQ(afterSet(before, "windowmove", "MAINTOP", "-1200"), after);
}

TEST_P(ProfileFileLineEndings, NewKeyGoesAfterLastNonBlankLineOfItsSection) {
    const std::string before =
        join({"[WindowMove]", "MainTop=450", "; last comment", "", "", "[Tail]", "x=1"});
    const std::string after = join({"[WindowMove]", "MainTop=450", "; last comment",
                                    "MainLeft=9000", "", "", "[Tail]", "x=1"});
    EXPECT_EQ(afterSet(before, "WindowMove", "MainLeft", "9000"), after);
}

TEST_P(ProfileFileLineEndings, NewKeyInEmptySectionFollowsHeader) {
    EXPECT_EQ(afterSet(join({"[WindowMove]", "", "[Tail]"}), "WindowMove", "MainTop", "1"),
              join({"[WindowMove]", "MainTop=1", "", "[Tail]"}));
}

TEST_P(ProfileFileLineEndings, NewSectionIsAppendedInTheFilesStyle) {
    EXPECT_EQ(afterSet(join({"[Other]", "a=1", ""}), "WindowMove", "MainTop", "450"),
              join({"[Other]", "a=1", "", "[WindowMove]", "MainTop=450"}));
}

TEST_P(ProfileFileLineEndings, DuplicateKeyWritesTheFirstAndNewKeyGoesToFirstSection) {
    const std::string before =
        join({"[WindowMove]", "MainTop=1", "MainTop=2", "[windowmove]", "MainLeft=3"});
    EXPECT_EQ(afterSet(before, "WindowMove", "MainTop", "9"),
              join({"[WindowMove]", "MainTop=9", "MainTop=2", "[windowmove]", "MainLeft=3"}));
    EXPECT_EQ(afterSet(before, "WindowMove", "MainLeft", "4"),
              join({"[WindowMove]", "MainTop=1", "MainTop=2", "MainLeft=4", "[windowmove]",
                    "MainLeft=3"}));
}

INSTANTIATE_TEST_SUITE_P(CrLfAndLf, ProfileFileLineEndings, testing::Values("\r\n", "\n"),
                         [](const auto& info) { return info.param == "\n" ? "Lf" : "CrLf"; });

TEST(ProfileFileEdit, EmptyFileGetsSectionAndKeyWithCrLf) {
    EXPECT_EQ(afterSet("", "WindowMove", "MainTop", "450"), "[WindowMove]\r\nMainTop=450\r\n");
}

TEST(ProfileFileEdit, FileWithoutTrailingNewline) {
    const std::string file = "[WindowMove]\nMainTop=1";
    // Replacing the last line keeps the missing newline missing.
    EXPECT_EQ(afterSet(file, "WindowMove", "MainTop", "2"), "[WindowMove]\nMainTop=2");
    // Adding after it has to end that line first, in the file's own style.
    EXPECT_EQ(afterSet(file, "WindowMove", "MainLeft", "3"),
              "[WindowMove]\nMainTop=1\nMainLeft=3\n");
    EXPECT_EQ(afterSet("[Other]", "WindowMove", "MainTop", "4"),
              "[Other]\r\n[WindowMove]\r\nMainTop=4\r\n");
}

TEST(ProfileFileEdit, MixedLineEndingsAreKeptLineByLine) {
    const std::string before = "[WindowMove]\nMainTop=1\r\nMainLeft=2\n";
    EXPECT_EQ(afterSet(before, "WindowMove", "MainTop", "5"),
              "[WindowMove]\nMainTop=5\r\nMainLeft=2\n");
}

TEST(ProfileFileEdit, ReplacedKeyKeepsTheFilesSpelling) {
    EXPECT_EQ(afterSet("[windowmove]\r\nmaintop=1\r\n", "WindowMove", "MainTop", "2"),
              "[windowmove]\r\nmaintop=2\r\n");
}

// Values whose blanks or quotes reading would take off go inside double quotes;
// found by the settings fuzz target, which writes what it reads.
TEST(ProfileFileEdit, EveryValueReadsBackAsWritten) {
    for (const std::string value : {" 450", "450\t", "\"450\"", "'a'", "\"", "a\"b\"", "''"}) {
        ProfileFile profile("[s]\r\nk = old\r\n");
        ASSERT_TRUE(profile.setValue("s", "k", value)) << value;
        EXPECT_EQ(profile.value("s", "k"), value);
        ASSERT_TRUE(profile.setValue("s", "new", value));
        EXPECT_EQ(ProfileFile(profile.bytes()).value("s", "new"), value);
    }
    EXPECT_EQ(afterSet("", "s", "k", " 450"), "[s]\r\nk=\" 450\"\r\n");
    EXPECT_EQ(afterSet("", "s", "k", "a\"b\""), "[s]\r\nk=a\"b\"\r\n");
}

TEST(ProfileFileEdit, RefusedWritesChangeNothing) {
    const std::string file = "[WindowMove]\r\nMainTop=1\r\n";
    for (auto [section, key, value] : {std::tuple{"WindowMove", "MainTop", "1\r\nMainLeft=2"},
                                       {"WindowMove", "MainTop", "a\nb"},
                                       {"WindowMove", "Main=Top", "1"},
                                       {"WindowMove", ";MainTop", "1"},
                                       {"WindowMove", "[MainTop]", "1"},
                                       {"WindowMove", "  ", "1"},
                                       {"", "MainTop", "1"},
                                       {"Window\nMove", "MainTop", "1"},
                                       {"WindowMove", "MainTop", "\xF0\x9F\x98\x80"},
                                       {"WindowMove", "MainTop", "\xFF"}}) {
        ProfileFile profile(file);
        EXPECT_FALSE(profile.setValue(section, key, value)) << key << " = " << value;
        EXPECT_EQ(profile.bytes(), file);
    }
    ProfileFile profile(file);
    EXPECT_FALSE(profile.setValue("WindowMove", "MainTop", std::string_view("a\0b", 3)));
}

TEST(ProfileFileGbk, ChineseIsStoredAsGbkBytes) {
    // GB 2312 row 54, cell 48: 中 is D6 D0; 左 is D7 F3.
    EXPECT_EQ(afterSet("", "WindowMove", "MainVisible", "中"),
              "[WindowMove]\r\nMainVisible=\xD6\xD0\r\n");
    EXPECT_EQ(valueIn("[WindowMove]\r\nMainVisible=\xD7\xF3\r\n", "WindowMove", "MainVisible"),
              "左");
}

TEST(ProfileFileGbk, TrailBytesThatLookLikeAsciiAreNotSyntax) {
    // 0x81 0x5D is 乚, whose trail byte is ']'; 0x81 0x41 is 丄 and 0x81 0x61 is 乤,
    // whose trail bytes are 'A' and 'a': they must not match each other.
    const std::string file = "[\x81\x5D]\r\n\x81\x41=1\r\n";
    EXPECT_EQ(valueIn(file, "乚", "丄"), "1");
    EXPECT_EQ(valueIn(file, "乚", "乤"), std::nullopt);
    EXPECT_EQ(afterSet(file, "乚", "乤", "2"), file + "\x81\x61=2\r\n");
}

TEST(ProfileFileGbk, InvalidBytesReadAsReplacementAndSurviveOtherWrites) {
    const std::string file = "[WindowMove]\r\nMainVisible=\xFF\x80\x81\r\nMainTop=1\r\n";
    // 0xFF is no GBK byte; 0x80 is the euro sign of code page 936; a lone lead byte at
    // the end of a line is dropped.
    EXPECT_EQ(valueIn(file, "WindowMove", "MainVisible"), "\xEF\xBF\xBD€");
    EXPECT_EQ(afterSet(file, "WindowMove", "MainTop", "2"),
              "[WindowMove]\r\nMainVisible=\xFF\x80\x81\r\nMainTop=2\r\n");
}

TEST(ProfileFileBom, Utf8MarkMakesAUtf8FileThatKeepsItsMark) {
    const std::string file = "\xEF\xBB\xBF[WindowMove]\r\nMainVisible=\xE5\xB7\xA6\r\n";
    EXPECT_EQ(valueIn(file, "WindowMove", "MainVisible"), "左");
    EXPECT_EQ(afterSet(file, "WindowMove", "MainVisible", "中"),
              "\xEF\xBB\xBF[WindowMove]\r\nMainVisible=\xE4\xB8\xAD\r\n");
    // Text outside GBK is fine in a UTF-8 file; broken UTF-8 in it reads as U+FFFD.
    EXPECT_EQ(afterSet("\xEF\xBB\xBF", "s", "k", "\xF0\x9F\x98\x80"),
              "\xEF\xBB\xBF[s]\r\nk=\xF0\x9F\x98\x80\r\n");
    EXPECT_EQ(valueIn("\xEF\xBB\xBF[s]\nk=a\xC0\xAF\n", "s", "k"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(ProfileFileBom, Utf16FileIsNeitherReadNorWritten) {
    constexpr char kUtf16[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0";
    const std::string file(kUtf16, sizeof kUtf16 - 1);  // the literal's own NUL is not part of it
    EXPECT_EQ(valueIn(file, "s", "k"), std::nullopt);
    ProfileFile profile(file);
    EXPECT_FALSE(profile.setValue("s", "k", "w"));
    EXPECT_EQ(profile.bytes(), file);
}

TEST(ProfileFileDisk, RoundTripThroughARealFile) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    EXPECT_EQ(readProfileString("WindowMove", "MainTop", ini), std::nullopt);
    ASSERT_TRUE(writeProfileString("WindowMove", "MainTop", "450", ini));
    ASSERT_TRUE(writeProfileString("WindowMove", "MainLeft", "9000", ini));
    ASSERT_TRUE(writeProfileString("WindowMove", "MainTop", "-1200", ini));
    EXPECT_EQ(readFileBytes(ini), "[WindowMove]\r\nMainTop=-1200\r\nMainLeft=9000\r\n");
    EXPECT_EQ(readProfileString("windowmove", "maintop", ini), "-1200");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ProfileFileDisk, WriteIntoAMissingFolderOrBelowAFileFails) {
    TempDir dir;
    writeFileBytes(dir / "plain", "not a folder");
    EXPECT_FALSE(writeProfileString("s", "k", "v", dir / "missing" / "config.ini"));
    EXPECT_FALSE(writeProfileString("s", "k", "v", dir / "plain" / "config.ini"));
    EXPECT_EQ(readProfileString("s", "k", dir / "plain" / "config.ini"), std::nullopt);
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(readFileBytes(dir / "plain"), "not a folder");
}

TEST(ProfileFileDisk, FailedWriteLeavesOldFileAndNoTemporaryFile) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    const std::string old = "; mine\r\n[WindowMove]\r\nMainTop=450\r\n";
    writeFileBytes(ini, old);
    {
        FileSizeLimit limit(8);
        EXPECT_FALSE(writeProfileString("WindowMove", "MainTop", "-1200", ini));
    }
    EXPECT_EQ(readFileBytes(ini), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Temporary files of saves that were killed go at the next save; nothing else does.
TEST(ProfileFileDisk, NextSaveRemovesOnlyLeftoverTemporaryFilesOfItsOwnNaming) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    writeFileBytes(ini, "[s]\nk=1\n");
    // No process number can reach the largest pid_t: such a process is gone.
    const std::string gone = std::to_string(std::numeric_limits<pid_t>::max());
    const std::string self = std::to_string(::getpid());
    const std::string live = std::to_string(::getppid());
    const std::vector<std::string> leftovers = {".config.ini." + gone + "-0.tmp",
                                                ".config.ini." + gone + "-4294967295.tmp",
                                                ".config.ini." + self + "-99999.tmp"};
    const std::vector<std::string> kept = {
        ".config.ini." + live + "-0.tmp",  // maybe saving right now
        ".other.ini." + gone + "-0.tmp",
        ".config.ini.bak." + gone + "-0.tmp",
        "config.ini." + gone + "-0.tmp",
        ".config.ini." + gone + ".tmp",
        ".config.ini.-0.tmp",
        ".config.ini." + gone + "-.tmp",
        ".config.ini.0" + gone + "-0.tmp",
        ".config.ini." + gone + "-00.tmp",
        ".config.ini.0-0.tmp",
        ".config.ini.+1-0.tmp",
        ".config.ini.99999999999-0.tmp",
        ".config.ini." + gone + "-0.tmp.bak",
        ".config.ini." + gone + "-0.TMP",
        "other.tmp"};
    for (const auto& name : leftovers)
        writeFileBytes(dir / name, "old");
    for (const auto& name : kept)
        writeFileBytes(dir / name, "other");
    const auto folderLikeOurs = dir / (".config.ini." + gone + "-1.tmp");
    fs::create_directory(folderLikeOurs);
    fs::create_symlink(dir / kept.back(), dir / (".config.ini." + gone + "-2.tmp"));

    ASSERT_TRUE(writeProfileString("s", "k", "2", ini));
    EXPECT_EQ(readFileBytes(ini), "[s]\nk=2\n");
    for (const auto& name : leftovers)
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const auto& name : kept)
        EXPECT_EQ(readFileBytes(dir / name), "other") << name;
    EXPECT_TRUE(fs::is_directory(folderLikeOurs));
    EXPECT_TRUE(fs::is_symlink(dir / (".config.ini." + gone + "-2.tmp")));
}

TEST(ProfileFileDisk, SomethingThatIsNotAFileIsNeverReplaced) {
    TempDir dir;
    fs::create_directory(dir / "config.ini");
    EXPECT_FALSE(ProfileFile::load(dir / "config.ini").has_value());
    EXPECT_FALSE(writeProfileString("s", "k", "v", dir / "config.ini"));
    EXPECT_TRUE(fs::is_directory(dir / "config.ini"));
}

TEST(ProfileFileDisk, ReplacementKeepsPermissionsAndSymbolicLinks) {
    TempDir dir;
    const auto real = dir / "real.ini";
    writeFileBytes(real, "[s]\nk=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, dir / "config.ini");
    ASSERT_TRUE(writeProfileString("s", "k", "2", dir / "config.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_EQ(readFileBytes(real), "[s]\nk=2\n");
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace tallyro::settings
