// The head of an HTTP/1.x request (request line and header fields), read from the
// bytes of a connection as they arrive, within fixed bounds: what does not fit is
// refused with the status code that says why, before any more of it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tallyro::service {

struct HttpHeadLimits {
    std::size_t requestLine = 8 * 1024;  // longer: 414
    std::size_t headerBytes = 8 * 1024;  // the header fields after the request line; more: 431
    std::size_t headerCount = 100;       // more fields: 431
    std::uint64_t body = 16 * 1024;      // a longer declared body: 413
};

struct HttpHead {
    std::string method;
    std::string target;  // as sent, still percent-encoded
    int minorVersion = 1;
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::uint64_t contentLength = 0;
    bool keepAlive = true;      // HTTP/1.1 without "Connection: close"
    bool expectContinue = false;

    // The first field of this name (lower case), or nothing.
    std::optional<std::string_view> header(std::string_view name) const;
};

// The outcome of reading a head. `status` 0 while the head is incomplete, 200 when it
// is complete, otherwise the error to answer before the connection is closed: 400
// (malformed), 411 (a transfer coding: bodies must state their length), 413, 414,
// 431, 505 (a version other than 1.0 and 1.1).
struct HttpHeadResult {
    int status = 0;
    std::size_t consumed = 0;  // bytes of the head, including its blank line
    HttpHead head;             // when status is 200
};

// Reads the head at the start of `bytes`, ignoring empty lines before it. Line ends
// may be CRLF or a bare LF. The result is the same however the bytes were split
// into calls; a caller that keeps what it received needs never hold more than
// limits.requestLine + limits.headerBytes bytes before an answer.
HttpHeadResult readHttpHead(std::string_view bytes, const HttpHeadLimits& limits = {});

// The reason phrase of the status codes this server sends.
const char* httpReason(int status);

}  // namespace tallyro::service
