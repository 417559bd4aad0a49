// Request heads reaching the web server, whole and cut at a point the first byte
// picks. Properties: a head cut short gives "incomplete" or the answer of the whole;
// nothing waits for more once the bounds are reached; a head read whole has a token
// method, a target without blanks or controls, lower-case token field names, a body
// within its bound, and ends where its blank line ends.
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http_head.h"

using namespace tallyro::service;
using tallyro::fuzz::require;

namespace {

bool isToken(std::string_view text, bool lowerOnly) {
    if (text.empty())
        return false;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool alnum = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') ||
                           (!lowerOnly && b >= 'A' && b <= 'Z');
        if (!alnum && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // Small bounds, so that short inputs reach them.
    HttpHeadLimits limits;
    limits.requestLine = 64 + data[0] % 64;
    limits.headerBytes = 64 + data[0] % 128;
    limits.headerCount = 1 + data[0] % 8;
    limits.body = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const HttpHeadResult whole = readHttpHead(bytes, limits);
    const std::size_t cut = bytes.empty() ? 0 : (data[0] * 131u) % bytes.size();
    const HttpHeadResult part = readHttpHead(bytes.substr(0, cut), limits);
    require(part.status == 0 || part.status == whole.status);
    if (part.status == 200)
        require(part.consumed == whole.consumed);
    if (whole.status == 0)
        require(bytes.size() < limits.requestLine + limits.headerBytes + 2);

    switch (whole.status) {
        case 0: case 400: case 411: case 413: case 414: case 431: case 505:
            return 0;
        case 200:
            break;
        default:
            require(false);
    }
    const HttpHead& head = whole.head;
    require(whole.consumed <= bytes.size() && bytes[whole.consumed - 1] == '\n');
    require(isToken(head.method, false) && !head.target.empty());
    for (const char c : head.target)
        require(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    require(head.headers.size() <= limits.headerCount && head.contentLength <= limits.body);
    for (const auto& [name, value] : head.headers) {
        require(isToken(name, true));
        require(value.find_first_of("\r\n") == std::string::npos);
    }
    require(head.minorVersion == 0 || head.minorVersion == 1);
    require(!head.expectContinue || head.minorVersion == 1);
    return 0;
}
