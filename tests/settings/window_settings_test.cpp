// The number form of the settings file and the saved window position.
#include "settings/window_settings.h"

#include "child_process.h"
#include "settings/ini_values.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <tuple>

namespace tallyro::settings {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

// The C library's "%.7g" is the reference for the short form, "-0" aside; every half twip
// reads back as it was.
TEST(FormatSingle, ShortFormAgreesWithPrintfAndReadsBack) {
    EXPECT_EQ(formatSingle(-0.0f), "0");
    std::vector<float> values{0.1f, 1234567.0f, 12345678.0f, 123456.7f, 16777216.0f, 0.0001f};
    for (int i = -300000; i <= 300000; ++i) {
        values.push_back(static_cast<float>(i) / 2.0f);
        ASSERT_EQ(parseSingle(formatSingle(values.back())), values.back()) << i;
    }
    for (const float value : values) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.7g", static_cast<double>(value));
        ASSERT_EQ(formatSingle(value), expected) << value;
    }
}

TEST(ParseSingle, TakesOnlyPlainDecimalNumbers) {
    const std::vector<std::pair<std::string, float>> numbers{
        {"450", 450.0f},   {"-1200", -1200.0f}, {"+15", 15.0f},      {"-478.5", -478.5f},
        {".5", 0.5f},      {"5.", 5.0f},        {"007", 7.0f},       {"1e3", 1000.0f},
        {"1E+3", 1000.0f}, {"-2.5e-1", -0.25f}, {"3.4e38", 3.4e38f}, {"0", 0.0f}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(parseSingle(text), value) << text;
    }
    for (const char* text :
         {"",     " ",        " 1",   "1 ",   "12abc", "abc",   "nan", "NaN", "inf",
          "-inf", "infinity", "0x10", "1e",   "1e+",   "e5",    ".",   "-",   "+-1",
          "--1",  "1.2.3",    "1,5",  "1e39", "-1e39", "1e-50", "１２"}) {
        EXPECT_EQ(parseSingle(text), std::nullopt) << text;
    }
    // Only the characters given count, whatever follows them.
    EXPECT_EQ(parseSingle(std::string_view("15", 1)), 1.0f);
}

TEST(SavedWindowPosition, BothNumbersOrNothing) {
    TempDir dir;
    const auto ini = dir / kSettingsFileName;
    const std::string w = "[WindowMove]\r\n";
    const std::vector<std::tuple<std::string, float, float>> saved{
        {w + "MainTop=450\r\nMainLeft=9000\r\n", 450, 9000},
        {w + "MainTop= 450 \r\nMainLeft=  9000\r\n", 450, 9000},
        {w + "MainTop=-1200\r\nMainLeft=-478.5\r\n", -1200, -478.5f},
        {"[windowmove]\nmaintop=15\nMAINLEFT=30\n", 15, 30}};
    for (const auto& [file, top, left] : saved) {
        writeFileBytes(ini, file);
        const auto position = savedWindowPosition(ini);
        ASSERT_TRUE(position) << file;
        EXPECT_EQ(std::pair(position->top, position->left), std::pair(top, left)) << file;
    }
    const std::vector<std::string> unsaved{"",
                                           w + "MainLeft=9000\r\n",
                                           w + "MainTop=\r\nMainLeft=1\r\n",
                                           w + "MainTop=450\r\n",
                                           w + "MainTop=abc\r\nMainLeft=1\r\n",
                                           w + "MainTop=450\r\nMainLeft=12abc\r\n",
                                           "[Window]\r\nMainTop=450\r\nMainLeft=9000\r\n"};
    for (const auto& file : unsaved) {
        writeFileBytes(ini, file);
        EXPECT_FALSE(savedWindowPosition(ini)) << file;
    }
    EXPECT_FALSE(savedWindowPosition(dir / "missing.ini"));
}

// One save leaves exactly what writing the three keys one after another leaves, replacing the
// file once when any key was written and not at all otherwise.
TEST(SaveWindowPosition, LeavesWhatThreeWritesInARowLeave) {
    const std::string none = "<no file>";
    const std::vector<std::string> files{
        none,
        "",
        "; mine\r\n[Other]\r\na=1\r\n\r\n",
        "; kept\n[windowmove]\nmainvisible=\xD6\xD0\nMAINLEFT=1\nMainTop = 2\n",
        "[WindowMove]\r\nMainLeft=1\r\n\r\n[Tail]\r\nx=1\r\n",
        "[WindowMove]\r\nMainTop=1\r\n[Other]\r\n[WINDOWMOVE]\r\nMainLeft=2\r\n",
        "[Other]\na=1\n[WindowMove]\nMainTop=1",
        "[WindowMove]\nMainTop=1\r\n;c\n",
        "\xEF\xBB\xBF[WindowMove]\r\nMainVisible=\xE4\xB8\xAD\r\n",
        {"\xFF\xFE[\0", 4}};
    // A visible text without a GBK form is skipped, in a GBK file.
    for (int run = 0; run < 2 * static_cast<int>(files.size()); ++run) {
        const std::string& file = files[run / 2];
        const std::string visible = run % 2 ? "😀" : "左";
        TempDir dir;
        const auto oneByOne = dir / "reference.ini";
        const auto ini = dir / kSettingsFileName;
        if (file != none) {
            writeFileBytes(oneByOne, file);
            writeFileBytes(ini, file);
            fs::create_hard_link(ini, dir / "link.ini");
        }
        const bool top = tryWriteIniValue(kWindowMoveSection, kMainTopKey, "-478.5", oneByOne);
        const bool left = tryWriteIniValue(kWindowMoveSection, kMainLeftKey, "-1200", oneByOne);
        const bool shown = tryWriteIniValue(kWindowMoveSection, kMainVisibleKey, visible, oneByOne);
        EXPECT_EQ(saveWindowPosition(ini, -478.5f, -1200.0f, visible), top && left && shown);
        ASSERT_EQ(fs::exists(ini), fs::exists(oneByOne)) << file;
        if (fs::exists(ini))
            EXPECT_EQ(readFileBytes(ini), readFileBytes(oneByOne)) << file;
        if (file != none)
            EXPECT_EQ(fs::hard_link_count(ini), top || left || shown ? 1u : 2u) << file;
    }
    TempDir dir;
    writeFileBytes(dir / "plain", "x");
    EXPECT_FALSE(saveWindowPosition(dir / "plain" / kSettingsFileName, 450.0f, 9000.0f, "中"));
    EXPECT_EQ(readFileBytes(dir / "plain"), "x");
}

// A close killed at any moment while it saves: the file is the one from before or the one the
// save wrote, never a torn one, and the temporary files of killed saves do not pile up.
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
    for (int run = 1; run <= 200; ++run) {
        const auto old = readFileBytes(file);
        const float top = 15.0f * static_cast<float>(run);
        writeFileBytes(scratch / kSettingsFileName, old);  // what the save writes uninterrupted
        ASSERT_TRUE(saveWindowPosition(scratch / kSettingsFileName, top, -top, "中"));
        const auto next = readFileBytes(scratch / kSettingsFileName);
        const pid_t child = test::forkChild([&] {
            if (!saveWindowPosition(file, top, -top, "中"))
                ::_exit(1);
        });
        test::killAfter(child, std::chrono::microseconds(delayUs(random)));
        const auto now = readFileBytes(file);
        ASSERT_TRUE(now == old || now == next) << "run " << run << ", " << now.size() << " bytes";
    }
    // The next save clears what killed saves left behind.
    ASSERT_TRUE(saveWindowPosition(file, 450.0f, 9000.0f, "中"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tallyro::settings
