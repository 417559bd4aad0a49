// Strict GBK <-> UTF-8 through iconv.
#include "gbk.h"

#include <iconv.h>

#include <cerrno>

namespace tallyro::service {

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view input) {
    if (input.empty()) {
        return std::string();
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out;
    // A GBK character is at most 2 bytes and its UTF-8 form at most 3 (BMP only), so
    // twice the input plus a little always holds the result in either direction.
    out.resize(input.size() * 2 + 4);
    char* inPtr = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const bool ok = rc != static_cast<size_t>(-1) && inLeft == 0;
    // Flush any shift state; neither encoding has one, but iconv asks for it.
    if (ok) {
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    }
    iconv_close(cd);
    if (!ok) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::optional<std::string> gbkToUtf8(std::string_view gbk) {
    return convert("UTF-8", "GBK", gbk);
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    if (!isValidUtf8(utf8)) {
        return std::nullopt;
    }
    return convert("GBK", "UTF-8", utf8);
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace tallyro::service
