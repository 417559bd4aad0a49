// Splitting messages and answers into their "|"-separated fields.
#pragma once

#include <string_view>
#include <vector>

namespace tallyro::text {

// Splits at every "|", keeping empty fields: "a||b" gives "a", "", "b". Safe for
// UTF-8, where "|" is never part of another character.
std::vector<std::string_view> splitFields(std::string_view text);

// The same over GBK bytes, where "|" (0x7C) may also be the second byte of a
// double-byte character: such a byte belongs to its character and splits nothing.
// A lead byte without a valid second byte stands alone, as a decoder reads it.
std::vector<std::string_view> splitGbkFields(std::string_view bytes);

}  // namespace tallyro::text
