// The password digest: MD5 (RFC 1321) written as upper-case hexadecimal text.
#pragma once

#include <string>
#include <string_view>

namespace tallyro::session {

// MD5 of the given bytes as 32 upper-case hexadecimal characters: the words A, B, C, D in
// order, each as its four bytes from least to most significant. The login server and the stored
// account row compare this text exactly, so neither the case nor the byte order may change.
//
// The bytes are the password's GBK form (text::utf8ToGbk); callers refuse a password that
// has none instead of digesting something else. Any length is accepted. Pure and thread-safe.
std::string Md5HexDigest(std::string_view bytes);

}  // namespace tallyro::session
