// Md5HexDigest against Qt's MD5 over random inputs: every length of the first few
// blocks, every single byte, and a large input on either side of a block edge.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <random>
#include <string>

#include "session/md5.h"

namespace tallyro::session {
namespace {

TEST(Md5DifferentialTest, AgreesWithQtOnEveryLengthAndByteAndOneMebibyteAndOneByteMore) {
    std::mt19937 rng(20100901);
    std::vector<std::string> inputs;
    for (std::size_t length = 0; length <= 300; ++length)
        inputs.emplace_back(length, '\0');
    inputs.emplace_back((std::size_t{1} << 20) + 1, '\0');
    for (std::string& bytes : inputs)
        for (char& b : bytes)
            b = static_cast<char>(rng());
    inputs.push_back(inputs.back().substr(0, std::size_t{1} << 20));
    for (int value = 0; value < 256; ++value)
        inputs.emplace_back(1, static_cast<char>(value));
    for (const std::string& bytes : inputs) {
        const auto qt =
            QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5);
        ASSERT_EQ(Md5HexDigest(bytes), qt.toHex().toUpper().toStdString())
            << bytes.size() << " bytes";
    }
}

}  // namespace
}  // namespace tallyro::session
