// Small UTF-8 helpers: stepping through characters and checking that text is
// well-formed (settings written and read, addresses the browser reached).
#pragma once

#include <cstddef>
#include <string_view>

namespace tallyro::text {

// Length of the well-formed UTF-8 sequence that starts at s[i], or 0 when the bytes
// there are not one (stray continuation byte, overlong form, surrogate, cut short).
inline std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;   // allowed range of the second byte
    unsigned char high = 0xBF;  // (narrower after E0, ED, F0 and F4)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char b = byte(i + k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

inline bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = utf8SequenceLength(s, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

}  // namespace tallyro::text
