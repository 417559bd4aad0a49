// Query strings and addresses as they travel: the analysis requests arrive with the
// stock code and account name unencoded (a name may hold "&" or a space), answers
// leave in a Location header that must be a valid URI reference.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tallyro::service {

// Decodes every "%XX"; a "%" not followed by two hex digits stays as it is. "+" is
// left alone: the client never encodes a space as "+".
std::string percentDecode(std::string_view text);

// Encodes every byte a URI may not carry literally (controls, space, non-ASCII bytes,
// '"', '#', '%', '<', '>', '[', '\', ']', '^', '`', '{', '|', '}'), upper-case hex.
// Reserved characters such as "&", "=", "?" and "/" pass unchanged.
std::string encodeForLocation(std::string_view bytes);

// Query bytes as text: UTF-8 when they are valid UTF-8, otherwise GBK (the code page
// a Chinese Windows browser may use), otherwise nothing.
std::optional<std::string> queryBytesToText(std::string_view bytes);

struct AnalysisQuery {
    std::optional<std::string> subject;  // GpID or DaPan, decoded
    std::optional<std::string> user;     // UserID, decoded
};

// Splits "<subjectKey>=<code>&UserID=<name>&PgRun=<n>" where <name> may itself hold
// "&": the name runs from the first "&UserID=" to the last "&PgRun=". Queries in any
// other order are split at "&" with the first occurrence of each key taken. Keys are
// matched without regard to case. A value whose bytes are neither UTF-8 nor GBK is
// absent.
AnalysisQuery parseAnalysisQuery(std::string_view query, std::string_view subjectKey);

// application/x-www-form-urlencoded: "+" is a space, then percent-decoding. Values
// that are not UTF-8 are absent. The first occurrence of a key wins.
std::map<std::string, std::string> parseFormBody(std::string_view body);

}  // namespace tallyro::service
