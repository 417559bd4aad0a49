// Md5HexDigest against Qt's MD5 over random inputs: every length of the first few blocks
// and two large inputs on either side of a block edge.
#include "session/md5.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace tallyro::session {
namespace {

std::string qtDigest(std::string_view bytes) {
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toUpper().toStdString();
}

std::string randomBytes(std::mt19937& rng, std::size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (auto& b : bytes) {
        b = static_cast<char>(byte(rng));
    }
    return bytes;
}

TEST(Md5DifferentialTest, RandomInputsOfEveryLengthUpTo300Bytes) {
    std::mt19937 rng(20100901);
    constexpr int kPerLength = 8;
    int mismatches = 0;
    for (std::size_t length = 0; length <= 300; ++length) {
        for (int i = 0; i < kPerLength; ++i) {
            const std::string bytes = randomBytes(rng, length);
            const std::string expected = qtDigest(bytes);
            const std::string actual = Md5HexDigest(bytes);
            if (actual != expected) {
                ADD_FAILURE() << "length " << length << ", input " << i << ": " << actual
                              << " != " << expected;
                if (++mismatches == 10)
                    return;
            }
        }
    }
}

TEST(Md5DifferentialTest, EverySingleByteValue) {
    for (int value = 0; value < 256; ++value) {
        const std::string bytes(1, static_cast<char>(value));
        EXPECT_EQ(Md5HexDigest(bytes), qtDigest(bytes)) << "byte " << value;
    }
}

TEST(Md5DifferentialTest, OneMebibyteAndOneByteMore) {
    std::mt19937 rng(4116);
    const std::string bytes = randomBytes(rng, (std::size_t{1} << 20) + 1);
    const std::string_view whole(bytes);
    EXPECT_EQ(Md5HexDigest(whole.substr(0, std::size_t{1} << 20)),
              qtDigest(whole.substr(0, std::size_t{1} << 20)));
    EXPECT_EQ(Md5HexDigest(whole), qtDigest(whole));
}

}  // namespace
}  // namespace tallyro::session
