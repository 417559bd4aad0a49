// UTF-8 <-> GBK at the boundary of the settings file, checked against code-page 936
// code points.
#include "text/gbk_codec.h"

#include <gtest/gtest.h>

namespace tallyro::text {
namespace {

// 中 D6D0, 左 D7F3, 右 D3D2, 上 C9CF (GB 2312); 丄 8141 (GBK extension); the euro
// sign is the single byte 80 in code page 936. Text without a GBK form is refused.
TEST(GbkCodec, BothDirectionsAndTextWithoutGbkFormIsRefused) {
    const std::pair<const char*, const char*> table[] = {
        {"", ""},
        {"MainTop=450", "MainTop=450"},
        {"中左右上", "\xD6\xD0\xD7\xF3\xD3\xD2\xC9\xCF"},
        {"丄", "\x81\x41"},
        {"€", "\x80"}};
    for (const auto& [utf8, gbk] : table) {
        EXPECT_EQ(utf8ToGbk(utf8), gbk) << utf8;
        EXPECT_EQ(gbkToUtf8(gbk), utf8) << utf8;
    }
    for (const char* refused : {"\xF0\x9F\x98\x80", "a\xFF", "a\xE4\xB8"})  // emoji, not UTF-8, cut
        EXPECT_EQ(utf8ToGbk(refused), std::nullopt) << refused;
}

TEST(GbkCodec, DamagedGbkBecomesReplacementCharacters) {
    // A lead byte followed by a byte that cannot trail it: only the lead byte is lost;
    // half a character at the end is dropped.
    EXPECT_EQ(gbkToUtf8("a\xFF|\x81 x|ab\xD6"), "a\xEF\xBF\xBD|\xEF\xBF\xBD x|ab");
    // Long enough to need more than one round of the output buffer.
    EXPECT_EQ(gbkToUtf8(std::string(400, '\xFF')).size(), 1200u);
}

}  // namespace
}  // namespace tallyro::text
