// Reading an HTTP/1.x request head within bounds.
#include "http_head.h"

#include <algorithm>

namespace tallyro::service {

namespace {

// RFC 9110 token characters: method and field names.
bool isTokenChar(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return true;
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
               return isTokenChar(static_cast<unsigned char>(c));
           });
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// "METHOD SP target SP HTTP/d.d"; 0 when it is one, else the status to answer.
int readRequestLine(std::string_view line, HttpHead& head) {
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) {
        return 400;
    }
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, last - first - 1);
    const std::string_view version = line.substr(last + 1);
    // Raw bytes above 0x7F pass (a Chinese browser may send GBK unencoded); controls,
    // blanks and DEL never belong in a target.
    const bool targetOk = !target.empty() && std::none_of(target.begin(), target.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0x7F;
    });
    if (!isToken(method) || !targetOk) {
        return 400;
    }
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' ||
        version[5] < '0' || version[5] > '9' || version[7] < '0' || version[7] > '9') {
        return 400;
    }
    if (version[5] != '1' || version[7] > '1') {
        return 505;
    }
    head.method = method;
    head.target = target;
    head.minorVersion = version[7] - '0';
    return 0;
}

// "name: value"; 0 when it is one, else 400.
int readHeaderLine(std::string_view line, HttpHead& head) {
    const size_t colon = line.find(':');
    // No blank may stand before the colon (RFC 9112 5.1), and a line that starts with
    // one would continue the previous field (obsolete line folding).
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
        return 400;
    }
    const std::string_view value = trimBlanks(line.substr(colon + 1));
    const bool valueOk = std::none_of(value.begin(), value.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t') || b == 0x7F;
    });
    if (!valueOk) {
        return 400;
    }
    head.headers.emplace_back(lower(line.substr(0, colon)), std::string(value));
    return 0;
}

bool hasToken(std::string_view list, std::string_view token) {
    while (!list.empty()) {
        const size_t comma = list.find(',');
        if (lower(trimBlanks(list.substr(0, comma))) == token) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return false;
}

// What the fields mean for the body and the connection; 0, or the status to answer.
int readFields(HttpHead& head, const HttpHeadLimits& limits) {
    std::optional<std::string_view> length;
    bool close = head.minorVersion == 0;
    for (const auto& [name, value] : head.headers) {
        if (name == "transfer-encoding") {
            return 411;
        }
        if (name == "content-length") {
            // Every copy must be the same run of digits: two lengths could make two
            // parties read two different bodies.
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                (length && *length != value)) {
                return 400;
            }
            length = value;
        } else if (name == "connection") {
            close = close || hasToken(value, "close");
        } else if (name == "expect") {
            if (lower(value) != "100-continue") {
                return 400;
            }
            head.expectContinue = head.minorVersion == 1;
        }
    }
    if (length) {
        const std::string_view digits = length->substr(
            std::min(length->find_first_not_of('0'), length->size()));
        // Twenty digits may not fit in 64 bits; they are too long a body anyway.
        if (digits.size() > 19) {
            return 413;
        }
        head.contentLength = std::stoull(std::string(digits.empty() ? "0" : digits));
        if (head.contentLength > limits.body) {
            return 413;
        }
    }
    head.keepAlive = !close;
    return 0;
}

}  // namespace

std::optional<std::string_view> HttpHead::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

HttpHeadResult readHttpHead(std::string_view bytes, const HttpHeadLimits& limits) {
    HttpHeadResult result;
    // Empty lines before a request are ignored (RFC 9112 2.2); they count toward the
    // request line's bound.
    const size_t start = std::min(bytes.find_first_not_of("\r\n"), bytes.size());
    const size_t lineEnd = bytes.find('\n', start);
    if (lineEnd == std::string_view::npos) {
        result.status = bytes.size() >= limits.requestLine ? 414 : 0;
        return result;
    }
    if (lineEnd >= limits.requestLine) {
        result.status = 414;
        return result;
    }
    if (const int status =
            readRequestLine(withoutCr(bytes.substr(start, lineEnd - start)), result.head)) {
        result.status = status;
        return result;
    }
    // Line by line, so that a head cut anywhere gives the outcome of the whole or
    // nothing yet.
    const size_t fieldsStart = lineEnd + 1;
    size_t pos = fieldsStart;
    for (size_t count = 0;; ++count) {
        const size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) {
            result.status = bytes.size() - fieldsStart >= limits.headerBytes ? 431 : 0;
            return result;
        }
        if (end + 1 - fieldsStart > limits.headerBytes) {
            result.status = 431;
            return result;
        }
        const std::string_view line = withoutCr(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) {
            break;
        }
        if (count == limits.headerCount) {
            result.status = 431;
            return result;
        }
        if (const int status = readHeaderLine(line, result.head)) {
            result.status = status;
            return result;
        }
    }
    if (const int status = readFields(result.head, limits)) {
        result.status = status;
        return result;
    }
    result.status = 200;
    result.consumed = pos;
    return result;
}

const char* httpReason(int status) {
    switch (status) {
        case 100: return "Continue";
        case 200: return "OK";
        case 302: return "Found";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 411: return "Length Required";
        case 413: return "Payload Too Large";
        case 414: return "URI Too Long";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}

}  // namespace tallyro::service
