// Strict conversion between UTF-8 and GBK, the code page of the login datagrams
// and of the bytes behind a password digest. Strict because the service decides
// with it: a name that does not convert exactly is refused, never stored mangled.
// The client's pair (src/text/gbk_codec.h) decodes leniently, as a reader must.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyro::service {

// Both directions refuse rather than guess: a byte sequence that is not valid in the
// source encoding, or a character without a code in the target one, gives nothing.
std::optional<std::string> gbkToUtf8(std::string_view gbk);
std::optional<std::string> utf8ToGbk(std::string_view utf8);

bool isValidUtf8(std::string_view text);

}  // namespace tallyro::service
