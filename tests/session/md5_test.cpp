// Md5HexDigest against RFC 1321's own test suite and digests taken from md5sum(1).
#include "session/md5.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace tallyro::session {
namespace {

struct DigestCase {
    std::string_view name;
    std::string_view input;
    std::string_view digest;
};

void PrintTo(const DigestCase& c, std::ostream* os) {
    *os << c.name;
}

bool isUpperHex(std::string_view text) {
    for (char ch : text) {
        if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F')))
            return false;
    }
    return true;
}

class Md5TextTest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(Md5TextTest, MatchesReferenceDigestInUpperCase) {
    const std::string digest = Md5HexDigest(GetParam().input);
    EXPECT_EQ(digest, GetParam().digest);
    EXPECT_EQ(digest.size(), 32u);
    EXPECT_TRUE(isUpperHex(digest)) << digest;
}

using namespace std::string_view_literals;

// RFC 1321 appendix A.5, upper-cased.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321Suite, Md5TextTest,
    ::testing::Values(
        DigestCase{"Empty", "", "D41D8CD98F00B204E9800998ECF8427E"},
        DigestCase{"A", "a", "0CC175B9C0F1B6A831C399E269772661"},
        DigestCase{"Abc", "abc", "900150983CD24FB0D6963F7D28E17F72"},
        DigestCase{"MessageDigest", "message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        DigestCase{"Alphabet", "abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        DigestCase{"Alphanumerics",
                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                   "D174AB98D277D9F5A5611C2C9F419D9F"},
        DigestCase{"EightyDigits",
                   "1234567890123456789012345678901234567890"
                   "1234567890123456789012345678901234567890",
                   "57EDF4A22BE3C955AC49DA2E2107B67A"}),
    [](const auto& info) { return std::string(info.param.name); });

// Digests from md5sum(1).
INSTANTIATE_TEST_SUITE_P(
    BytesNotText, Md5TextTest,
    ::testing::Values(
        // Upper-case input is different bytes, so a different digest.
        DigestCase{"UpperCaseAbc", "ABC", "902FBDD2B1DF0C4F70B4A5D23525E932"},
        // "中" in GBK: bytes above 0x7F must not be sign-extended into the words.
        DigestCase{"GbkZhong", "\xD6\xD0", "5301DA37E5FFCA1823A5CEF67488D4BF"},
        // A NUL inside the bytes is data, not an end marker.
        DigestCase{"EmbeddedNul", "a\0b"sv, "70350F6027BCE3713F6B76473084309B"},
        // Starts with five zero digits: every byte keeps both of its digits.
        DigestCase{"LeadingZeros", "pw443", "00000FE1006C8CE47A15E096F1E3DE66"}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
    std::size_t length;
    std::string_view digest;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.length << " bytes";
}

// Byte i is (37 * i + 11) mod 256: every value occurs, zeros and high bytes included, and
// no two neighbouring words are alike, so a misplaced word or byte changes the digest.
std::string patternBytes(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>((37 * i + 11) & 0xff);
    }
    return bytes;
}

class Md5LengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(Md5LengthTest, MatchesReferenceDigest) {
    EXPECT_EQ(Md5HexDigest(patternBytes(GetParam().length)), GetParam().digest);
}

TEST_P(Md5LengthTest, DoesNotDependOnWhereTheBytesSit) {
    // The same bytes one position into a larger buffer, so the blocks are read unaligned and
    // the byte after the end is not part of the message.
    std::string buffer = "#" + patternBytes(GetParam().length) + "#";
    const std::string_view view(buffer.data() + 1, GetParam().length);
    EXPECT_EQ(Md5HexDigest(view), GetParam().digest);
}

// Around the padding edges: 55 is the longest tail that fits with its bit count in one block,
// 56 to 63 need a second one, and 64 and 128 leave an empty tail.
INSTANTIATE_TEST_SUITE_P(PaddingBoundaries, Md5LengthTest,
                         ::testing::Values(LengthCase{55, "D872AA0473A24DA995CE4AC518ADE767"},
                                           LengthCase{56, "E23567645846677C205DE80F9779081B"},
                                           LengthCase{57, "1FE5E4A27E12484D7203D0B60C21C51F"},
                                           LengthCase{63, "4775B66278A8FC132FF80923378216CD"},
                                           LengthCase{64, "71E123B70C7AA64826FCFE472694CD1C"},
                                           LengthCase{65, "5949948F26E35203661075214FAA3966"},
                                           LengthCase{119, "87F72C7241C5FE218BB4DF8C0ABA3232"},
                                           LengthCase{120, "BF240B8B7407FBA3805ADEEC63A03B77"},
                                           LengthCase{127, "520BDC2DBAB7C25D64263FFB242D9E98"},
                                           LengthCase{128, "3E93B378458B77DA96B2357C3BDA8CC2"},
                                           LengthCase{129, "D1AE06BBF9128955A34BEDB6231EEE62"},
                                           LengthCase{1000, "C3CB8AE118768782AA1896D7FB2827EF"}),
                         [](const auto& info) { return std::to_string(info.param.length); });

TEST(Md5Test, MillionLettersA) {
    EXPECT_EQ(Md5HexDigest(std::string(1'000'000, 'a')), "7707D6AE4E027C70EEA2A935C2296F21");
}

TEST(Md5Test, RepeatedCallsGiveTheSameDigest) {
    // Nothing of one computation may leak into the next, whatever lengths come in between.
    const std::string first = Md5HexDigest("abc");
    Md5HexDigest(patternBytes(57));
    Md5HexDigest("");
    EXPECT_EQ(Md5HexDigest("abc"), first);
}

}  // namespace
}  // namespace tallyro::session
