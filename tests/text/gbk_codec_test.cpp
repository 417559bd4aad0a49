// UTF-8 <-> GBK at the boundary of the settings file, checked against code-page 936
// code points.
#include "text/gbk_codec.h"

#include <gtest/gtest.h>

namespace tallyro::text {
namespace {

struct CodecCase {
    const char* utf8;
    const char* gbk;
};

class GbkCodecTable : public testing::TestWithParam<CodecCase> {};

TEST_P(GbkCodecTable, BothDirections) {
    EXPECT_EQ(utf8ToGbk(GetParam().utf8), GetParam().gbk);
    EXPECT_EQ(gbkToUtf8(GetParam().gbk), GetParam().utf8);
}

// 中 D6D0, 左 D7F3, 右 D3D2, 上 C9CF, 是 CAC7, 否 B7F1 (GB 2312); 丄 8141 (GBK
// extension); the euro sign is the single byte 80 in code page 936.
INSTANTIATE_TEST_SUITE_P(Table, GbkCodecTable,
                         testing::Values(CodecCase{"", ""}, CodecCase{"MainTop=450", "MainTop=450"},
                                         CodecCase{"中左右上", "\xD6\xD0\xD7\xF3\xD3\xD2\xC9\xCF"},
                                         CodecCase{"是否", "\xCA\xC7\xB7\xF1"},
                                         CodecCase{"丄", "\x81\x41"}, CodecCase{"€", "\x80"}));

TEST(GbkCodec, TextWithoutGbkFormIsRefused) {
    EXPECT_EQ(utf8ToGbk("\xF0\x9F\x98\x80"), std::nullopt);  // emoji
    EXPECT_EQ(utf8ToGbk("a\xFF"), std::nullopt);             // not UTF-8
    EXPECT_EQ(utf8ToGbk("a\xE4\xB8"), std::nullopt);         // cut short
}

TEST(GbkCodec, DamagedGbkBecomesReplacementCharacters) {
    EXPECT_EQ(gbkToUtf8("a\xFF"
                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    // A lead byte followed by a byte that cannot trail it: only the lead byte is lost.
    EXPECT_EQ(gbkToUtf8("\x81 x"), "\xEF\xBF\xBD x");
    EXPECT_EQ(gbkToUtf8("ab\xD6"), "ab");  // half a character at the end is dropped
    // Long enough to need more than one round of the output buffer.
    EXPECT_EQ(gbkToUtf8(std::string(400, '\xFF')).size(), 1200u);
}

}  // namespace
}  // namespace tallyro::text
