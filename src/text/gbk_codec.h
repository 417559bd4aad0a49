// Conversion between the program's UTF-8 text and GBK, the code page of the
// datagrams, the settings file and the bytes that are digested. The client reads
// what others wrote (a hand-edited config.ini, a server's answer), so decoding
// keeps what it can and marks the rest; the service, which decides whether a name
// or password may exist at all, has its own strict pair (service/gbk.h) that
// refuses instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyro::text {

// UTF-8 to GBK. Returns nothing when a character has no GBK code (or the input is
// not valid UTF-8): callers must refuse such text rather than send a mangled form.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. Bytes that are not valid GBK become U+FFFD; an incomplete
// double-byte character at the end is dropped.
std::string gbkToUtf8(std::string_view gbk);

}  // namespace tallyro::text
