// Md5HexDigest against RFC 1321's test suite and digests taken from md5sum(1).
#include "session/md5.h"

#include <gtest/gtest.h>

namespace tallyro::session {
namespace {

// Byte i is (37 * i + 11) mod 256: every value occurs, zeros and high bytes included.
std::string patternBytes(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((37 * i + 11) & 0xff);
    return bytes;
}

// Around the padding edges: a tail of 55 bytes fits with the bit count in one block, 56 needs
// a second one, 64 leaves an empty tail; 1000 bytes hold a zero and every high byte.
TEST(Md5, ReferenceDigestsInUpperCase) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"pw443", "00000FE1006C8CE47A15E096F1E3DE66"},  // every byte keeps both digits
        {patternBytes(55), "D872AA0473A24DA995CE4AC518ADE767"},
        {patternBytes(56), "E23567645846677C205DE80F9779081B"},
        {patternBytes(64), "71E123B70C7AA64826FCFE472694CD1C"},
        {patternBytes(1000), "C3CB8AE118768782AA1896D7FB2827EF"}};
    for (const auto& [input, digest] : cases)
        EXPECT_EQ(Md5HexDigest(input), digest) << input.size() << " bytes";
}

}  // namespace
}  // namespace tallyro::session
