// ReadIniValue and WriteIniValue against real files: their size limits, trimming and
// GBK storage.
#include "settings/ini_values.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tallyro::settings {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

std::string repeat(std::string_view piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

class IniValues : public testing::Test {
protected:
    // What the file holds after writing one value into an empty folder.
    std::string stored(const std::string& value) {
        WriteIniValue("WindowMove", "MainVisible", value, ini_);
        const std::string bytes = readFileBytes(ini_);
        const std::string head = "[WindowMove]\r\nMainVisible=";
        EXPECT_TRUE(bytes.starts_with(head) && bytes.ends_with("\r\n")) << bytes;
        return bytes.substr(head.size(), bytes.size() - head.size() - 2);
    }
    // What ReadIniValue gives for a value stored as these bytes.
    std::string readBack(std::string_view storedBytes) {
        writeFileBytes(ini_, "[WindowMove]\r\nMainVisible=" + std::string(storedBytes) + "\r\n");
        return ReadIniValue("WindowMove", "MainVisible", ini_);
    }

    TempDir dir_;
    std::filesystem::path ini_ = dir_ / "config.ini";
};

TEST_F(IniValues, WriteKeepsAtMost128Characters) {
    EXPECT_EQ(stored(repeat("x", 128)), repeat("x", 128));
    EXPECT_EQ(stored(repeat("x", 129)), repeat("x", 128));
    // Characters, not bytes: 129 Chinese characters keep 128, 256 bytes of GBK.
    EXPECT_EQ(stored(repeat("中", 129)), repeat("\xD6\xD0", 128));
}

TEST_F(IniValues, WriteStopsAtNul) {
    EXPECT_EQ(stored(std::string("45\0"
                                 "0",
                                 4)),
              "45");
}

TEST_F(IniValues, ChineseIsWrittenAsGbkAndReadBack) {
    EXPECT_EQ(stored("中"), "\xD6\xD0");
    EXPECT_EQ(ReadIniValue("WindowMove", "MainVisible", ini_), "中");
}

TEST_F(IniValues, ReadKeepsAtMost127BytesOfGbk) {
    EXPECT_EQ(readBack(repeat("a", 127)), repeat("a", 127));
    EXPECT_EQ(readBack(repeat("a", 130)), repeat("a", 127));
    // 125 + 2 bytes fit; at 126 + 2 the character straddles the limit and is dropped whole.
    EXPECT_EQ(readBack(repeat("a", 125) + "\xD6\xD0"), repeat("a", 125) + "中");
    EXPECT_EQ(readBack(repeat("a", 126) + "\xD6\xD0"), repeat("a", 126));
    EXPECT_EQ(readBack(repeat("\xD6\xD0", 64)), repeat("中", 63));
    // A long value read and written again loses its tail and nothing else.
    const std::string value = ReadIniValue("WindowMove", "MainVisible", ini_);
    EXPECT_EQ(stored(value), repeat("\xD6\xD0", 63));
}

TEST_F(IniValues, ReadRemovesSurroundingSpaces) {
    EXPECT_EQ(readBack("   450   "), "450");
    EXPECT_EQ(readBack("\" 450 \""), "450");  // quotes come off first, then the spaces
    EXPECT_EQ(readBack("4 5 0"), "4 5 0");
    EXPECT_EQ(readBack(std::string("45\0"
                                   "0",
                                   4)),
              "45");
}

TEST_F(IniValues, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadIniValue("WindowMove", "MainTop", ini_), "");
    writeFileBytes(ini_, "[Other]\r\nMainTop=1\r\n[WindowMove]\r\nMainLeft=2\r\n");
    EXPECT_EQ(ReadIniValue("Missing", "MainTop", ini_), "");
    EXPECT_EQ(ReadIniValue("WindowMove", "MainTop", ini_), "");
    EXPECT_EQ(ReadIniValue("windowmove", "MAINLEFT", ini_), "2");
}

TEST_F(IniValues, FailedWriteIsReportedOnlyByTheCheckedForm) {
    writeFileBytes(dir_ / "plain", "x");
    const auto below = dir_ / "plain" / "config.ini";
    EXPECT_EQ(WriteIniValue("WindowMove", "MainTop", "450", below), "");
    EXPECT_FALSE(tryWriteIniValue("WindowMove", "MainTop", "450", below));
    EXPECT_TRUE(tryWriteIniValue("WindowMove", "MainTop", "450", ini_));
}

TEST_F(IniValues, ValueWithoutGbkFormIsNotWritten) {
    ASSERT_TRUE(tryWriteIniValue("WindowMove", "MainVisible", "中", ini_));
    const std::string before = readFileBytes(ini_);
    EXPECT_FALSE(tryWriteIniValue("WindowMove", "MainVisible", "\xF0\x9F\x98\x80", ini_));
    EXPECT_EQ(readFileBytes(ini_), before);
}

}  // namespace
}  // namespace tallyro::settings
