// Splitting at "|": empty fields kept, and over GBK bytes a "|" that is the second
// byte of a character splits nothing.
#include "text/fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallyro::text {
namespace {

using Fields = std::vector<std::string_view>;

// 0x81 and 0xFE are the first and last lead bytes, 0xFE also the last second byte.
TEST(Fields, PlainSplitKeepsEmptyFieldsAndGbkSplitSkipsTheSecondByteOfACharacter) {
    EXPECT_EQ(splitFields(""), Fields{""});
    EXPECT_EQ(splitFields("a||bc|"), (Fields{"a", "", "bc", ""}));
    const std::pair<std::string, Fields> cases[] = {
        {"\x81||b", {"\x81|", "b"}},       {"\xFE|", {"\xFE|"}},
        {"\x81\xFE|", {"\x81\xFE", ""}},   {" \x81|", {" \x81|"}},
        {"\x81\x7F|x", {"\x81\x7F", "x"}},  // 0x7F cannot follow a lead byte
        {"x|\x81", {"x", "\x81"}},          // a lead byte at the end stands alone
    };
    for (const auto& [bytes, fields] : cases)
        EXPECT_EQ(splitGbkFields(bytes), fields) << bytes;
    // Only the bytes in view count, not the "|" just beyond them.
    EXPECT_EQ(splitGbkFields(std::string_view("a|b|", 3)), (Fields{"a", "b"}));
}

}  // namespace
}  // namespace tallyro::text
