// The number form of the settings file and the saved window position.
#include "settings/window_settings.h"

#include "child_process.h"
#include "settings/ini_values.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace tallyro::settings {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

struct FormatCase {
    float value;
    const char* text;
};

class FormatSingleTable : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatSingleTable, ShortForm) {
    EXPECT_EQ(formatSingle(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatSingleTable,
    testing::Values(FormatCase{450.0f, "450"}, FormatCase{-1200.0f, "-1200"},
                    FormatCase{478.5f, "478.5"}, FormatCase{-478.5f, "-478.5"},
                    FormatCase{0.0f, "0"}, FormatCase{-0.0f, "0"}, FormatCase{0.1f, "0.1"},
                    FormatCase{1234567.0f, "1234567"}, FormatCase{12345678.0f, "1.234568e+07"},
                    FormatCase{1000000.0f, "1000000"}, FormatCase{123456.7f, "123456.7"},
                    FormatCase{16777216.0f, "1.677722e+07"}, FormatCase{0.0001f, "0.0001"}));

// The C library's "%.7g" is the reference for the short form.
TEST(FormatSingle, AgreesWithPrintfOverTwipValues) {
    for (int i = -300000; i <= 300000; i += 7) {
        const float value = static_cast<float>(i) / 2.0f;
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.7g", static_cast<double>(value));
        ASSERT_EQ(formatSingle(value), value == 0.0f ? "0" : expected) << i;
    }
}

TEST(FormatSingle, TwipValuesRoundTrip) {
    for (int i = -200000; i <= 200000; ++i) {
        const float value = static_cast<float>(i) / 2.0f;
        ASSERT_EQ(parseSingle(formatSingle(value)), value) << i;
    }
}

struct ParseCase {
    const char* text;
    std::optional<float> value;
};

class ParseSingleTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseSingleTable, Value) {
    EXPECT_EQ(parseSingle(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ParseSingleTable,
                         testing::Values(ParseCase{"450", 450.0f}, ParseCase{"-1200", -1200.0f},
                                         ParseCase{"+15", 15.0f}, ParseCase{"478.5", 478.5f},
                                         ParseCase{"-478.5", -478.5f}, ParseCase{".5", 0.5f},
                                         ParseCase{"5.", 5.0f}, ParseCase{"007", 7.0f},
                                         ParseCase{"1e3", 1000.0f}, ParseCase{"1E+3", 1000.0f},
                                         ParseCase{"-2.5e-1", -0.25f}, ParseCase{"3.4e38", 3.4e38f},
                                         ParseCase{"0", 0.0f}));

INSTANTIATE_TEST_SUITE_P(
    NotNumbers, ParseSingleTable,
    testing::Values(ParseCase{"", {}}, ParseCase{" ", {}}, ParseCase{" 1", {}}, ParseCase{"1 ", {}},
                    ParseCase{"12abc", {}}, ParseCase{"abc", {}}, ParseCase{"nan", {}},
                    ParseCase{"NaN", {}}, ParseCase{"inf", {}}, ParseCase{"-inf", {}},
                    ParseCase{"infinity", {}}, ParseCase{"0x10", {}}, ParseCase{"1e", {}},
                    ParseCase{"1e+", {}}, ParseCase{"e5", {}}, ParseCase{".", {}},
                    ParseCase{"-", {}}, ParseCase{"+-1", {}}, ParseCase{"--1", {}},
                    ParseCase{"1.2.3", {}}, ParseCase{"1,5", {}}, ParseCase{"1e39", {}},
                    ParseCase{"-1e39", {}}, ParseCase{"1e-50", {}}, ParseCase{"１２", {}}));

struct PositionCase {
    const char* name;
    const char* file;  // nullptr: no file at all
    std::optional<SavedPosition> position;
};

class SavedWindowPositionTable : public testing::TestWithParam<PositionCase> {};

TEST_P(SavedWindowPositionTable, Position) {
    TempDir dir;
    const auto ini = dir / kSettingsFileName;
    if (GetParam().file)
        writeFileBytes(ini, GetParam().file);
    const auto position = savedWindowPosition(ini);
    ASSERT_EQ(position.has_value(), GetParam().position.has_value());
    if (position) {
        EXPECT_EQ(position->top, GetParam().position->top);
        EXPECT_EQ(position->left, GetParam().position->left);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SavedWindowPositionTable,
    testing::Values(
        PositionCase{"NoFile", nullptr, {}}, PositionCase{"EmptyFile", "", {}},
        PositionCase{"Saved", "[WindowMove]\r\nMainTop=450\r\nMainLeft=9000\r\n",
                     SavedPosition{450, 9000}},
        PositionCase{"SpacesAround", "[WindowMove]\r\nMainTop= 450 \r\nMainLeft=  9000\r\n",
                     SavedPosition{450, 9000}},
        PositionCase{"Negative", "[WindowMove]\r\nMainTop=-1200\r\nMainLeft=-478.5\r\n",
                     SavedPosition{-1200, -478.5f}},
        PositionCase{"OtherCase", "[windowmove]\nmaintop=15\nMAINLEFT=30\n", SavedPosition{15, 30}},
        PositionCase{"TopEmpty", "[WindowMove]\r\nMainTop=\r\nMainLeft=9000\r\n", {}},
        PositionCase{"TopMissing", "[WindowMove]\r\nMainLeft=9000\r\n", {}},
        PositionCase{"LeftMissing", "[WindowMove]\r\nMainTop=450\r\n", {}},
        PositionCase{"LeftEmpty", "[WindowMove]\r\nMainTop=450\r\nMainLeft=\r\n", {}},
        PositionCase{"TopNotANumber", "[WindowMove]\r\nMainTop=abc\r\nMainLeft=9000\r\n", {}},
        PositionCase{"LeftNotANumber", "[WindowMove]\r\nMainTop=450\r\nMainLeft=12abc\r\n", {}},
        PositionCase{"OtherSection", "[Window]\r\nMainTop=450\r\nMainLeft=9000\r\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveWindowPosition, CreatesTheFileWithTheThreeKeysInOrder) {
    TempDir dir;
    const auto ini = dir / kSettingsFileName;
    ASSERT_TRUE(saveWindowPosition(ini, 450.0f, 9000.0f, "中"));
    EXPECT_EQ(readFileBytes(ini),
              "[WindowMove]\r\nMainTop=450\r\nMainLeft=9000\r\nMainVisible=\xD6\xD0\r\n");
}

// Counts what the kernel reports for the files of one folder: opens, files created,
// files renamed into place.
class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_CREATE | IN_MOVED_TO), 0);
    }
    ~FolderWatch() { close(fd_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Events of this kind since the last call, for this name or (nullptr) any; the
    // kernel queues them before the system call that causes them returns.
    int take(std::uint32_t kind, const char* name = nullptr) {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                events_.emplace_back(e->mask, e->len ? std::string(e->name) : std::string());
                p += sizeof(inotify_event) + e->len;
            }
        }
        return static_cast<int>(std::erase_if(events_, [&](const auto& e) {
            return (e.first & kind) != 0 && (name == nullptr || e.second == name);
        }));
    }

private:
    int fd_;
    std::vector<std::pair<std::uint32_t, std::string>> events_;
};

struct SaveCase {
    const char* name;
    const char* file;  // nullptr: no file at all
};

class SaveWindowPositionTable : public testing::TestWithParam<SaveCase> {};

// One save reads the file once and replaces it once, and leaves exactly what writing
// the three keys one after another leaves.
TEST_P(SaveWindowPositionTable, OneReplaceLeavesWhatThreeWritesLeave) {
    TempDir dir;
    const auto oneByOne = dir / "reference.ini";
    const auto ini = dir / kSettingsFileName;
    if (GetParam().file) {
        writeFileBytes(oneByOne, GetParam().file);
        writeFileBytes(ini, GetParam().file);
    }
    const bool topWritten = tryWriteIniValue(kWindowMoveSection, kMainTopKey, "-478.5", oneByOne);
    const bool leftWritten = tryWriteIniValue(kWindowMoveSection, kMainLeftKey, "-1200", oneByOne);
    const bool visibleWritten =
        tryWriteIniValue(kWindowMoveSection, kMainVisibleKey, "左", oneByOne);
    const bool allWritten = topWritten && leftWritten && visibleWritten;

    FolderWatch watch(dir.path());
    EXPECT_EQ(saveWindowPosition(ini, -478.5f, -1200.0f, "左"), allWritten);
    EXPECT_EQ(watch.take(IN_OPEN, kSettingsFileName), GetParam().file ? 1 : 0);
    EXPECT_EQ(watch.take(IN_MOVED_TO, kSettingsFileName), allWritten ? 1 : 0);
    EXPECT_EQ(watch.take(IN_CREATE), allWritten ? 1 : 0);  // the one temporary file
    ASSERT_EQ(std::filesystem::exists(ini), std::filesystem::exists(oneByOne));
    if (std::filesystem::exists(ini)) {
        EXPECT_EQ(readFileBytes(ini), readFileBytes(oneByOne));
    }

    if (allWritten) {
        const auto position = savedWindowPosition(ini);
        EXPECT_EQ(watch.take(IN_OPEN, kSettingsFileName), 1);
        ASSERT_TRUE(position);
        EXPECT_EQ(position->top, -478.5f);
        EXPECT_EQ(position->left, -1200.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SaveWindowPositionTable,
    testing::Values(
        SaveCase{"NoFile", nullptr}, SaveCase{"EmptyFile", ""},
        SaveCase{"NoSection", "; mine\r\n[Other]\r\na=1\r\n\r\n"},
        SaveCase{"KeysInOtherCaseAndOrder",
                 "; kept\n[windowmove]\nmainvisible=\xD6\xD0\nMAINLEFT=1\nMainTop = 2\n"},
        SaveCase{"SomeKeysMissing", "[WindowMove]\r\nMainLeft=1\r\n\r\n[Tail]\r\nx=1\r\n"},
        SaveCase{"DuplicateSections",
                 "[WindowMove]\r\nMainTop=1\r\n[Other]\r\n[WINDOWMOVE]\r\nMainLeft=2\r\n"},
        SaveCase{"NoFinalNewline", "[Other]\na=1\n[WindowMove]\nMainTop=1"},
        SaveCase{"MixedLineEndings", "[WindowMove]\nMainTop=1\r\n;c\n"},
        SaveCase{"Utf8WithMark", "\xEF\xBB\xBF[WindowMove]\r\nMainVisible=\xE4\xB8\xAD\r\n"},
        SaveCase{"Utf16NeverWritten", "\xFF\xFE[\0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveWindowPosition, UnwritablePlaceIsReportedAndHarmless) {
    TempDir dir;
    writeFileBytes(dir / "plain", "x");
    EXPECT_FALSE(saveWindowPosition(dir / "plain" / kSettingsFileName, 450.0f, 9000.0f, "中"));
    EXPECT_EQ(readFileBytes(dir / "plain"), "x");
}

// A close killed at any moment while it saves: the file is the one from before or the one
// the save wrote, never a torn one, and the temporary files of killed saves do not pile up.
TEST(SaveWindowPosition, KilledAtAnyMomentLeavesTheOldFileOrTheNewOne) {
    TempDir dir;
    TempDir scratch;
    const auto file = dir / kSettingsFileName;
    std::string comments;
    for (int i = 0; i < 300; ++i)  // a file of several pages, so a torn write would show
        comments += "; line " + std::to_string(i) + " kept byte for byte\r\n";
    writeFileBytes(file, "[Other]\r\n" + comments + "[WindowMove]\r\nMainTop=0\r\n");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayUs(0, 2000);
    int kept = 0;
    int replaced = 0;
    for (int run = 1; run <= 200; ++run) {
        const auto old = readFileBytes(file);
        const float top = 15.0f * static_cast<float>(run);
        // What the save writes when it is not interrupted.
        writeFileBytes(scratch / kSettingsFileName, old);
        ASSERT_TRUE(saveWindowPosition(scratch / kSettingsFileName, top, -top, "中"));
        const auto next = readFileBytes(scratch / kSettingsFileName);

        const pid_t child = test::forkChild([&] {
            if (!saveWindowPosition(file, top, -top, "中"))
                ::_exit(1);
        });
        test::killAfter(child, std::chrono::microseconds(delayUs(random)));
        const auto now = readFileBytes(file);
        ASSERT_TRUE(now == old || now == next) << "run " << run << ", " << now.size() << " bytes";
        ++(now == next ? replaced : kept);
    }
    RecordProperty("kept", kept);
    RecordProperty("replaced", replaced);
    // The next save clears what killed saves left behind.
    ASSERT_TRUE(saveWindowPosition(file, 450.0f, 9000.0f, "中"));
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::filesystem::path>{kSettingsFileName});
}

}  // namespace
}  // namespace tallyro::settings
