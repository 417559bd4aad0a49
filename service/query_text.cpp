// Percent-encoding and the splitting of analysis queries and form bodies.
#include "query_text.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "gbk.h"

namespace tallyro::service {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool passesLiterally(unsigned char c) {
    if (std::isalnum(c)) {
        return true;
    }
    static constexpr std::string_view kAllowed = "-._~!$&'()*+,;=:@/?";
    return c < 0x80 && kAllowed.find(static_cast<char>(c)) != std::string_view::npos;
}

size_t findNoCase(std::string_view haystack, std::string_view needle, size_t from = 0) {
    if (needle.size() > haystack.size()) {
        return std::string_view::npos;
    }
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        bool same = true;
        for (size_t k = 0; k < needle.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(haystack[i + k])) ==
                   std::tolower(static_cast<unsigned char>(needle[k]));
        }
        if (same) {
            return i;
        }
    }
    return std::string_view::npos;
}

size_t rfindNoCase(std::string_view haystack, std::string_view needle) {
    size_t found = std::string_view::npos;
    for (size_t at = findNoCase(haystack, needle); at != std::string_view::npos;
         at = findNoCase(haystack, needle, at + 1)) {
        found = at;
    }
    return found;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && findNoCase(a, b) == 0;
}

std::optional<std::string> decodeValue(std::string_view raw) {
    return queryBytesToText(percentDecode(raw));
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string encodeForLocation(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (passesLiterally(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::optional<std::string> queryBytesToText(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return gbkToUtf8(bytes);
}

AnalysisQuery parseAnalysisQuery(std::string_view query, std::string_view subjectKey) {
    AnalysisQuery result;
    const std::string subjectPrefix = std::string(subjectKey) + "=";
    constexpr std::string_view kUser = "&UserID=";
    constexpr std::string_view kRun = "&PgRun=";

    if (findNoCase(query, subjectPrefix) == 0) {
        const size_t userAt = findNoCase(query, kUser);
        if (userAt != std::string_view::npos) {
            result.subject =
                decodeValue(query.substr(subjectPrefix.size(), userAt - subjectPrefix.size()));
            std::string_view rest = query.substr(userAt + kUser.size());
            const size_t runAt = rfindNoCase(rest, kRun);
            result.user = decodeValue(rest.substr(0, runAt));
            return result;
        }
    }

    // Any other shape: plain "&"-separated pairs.
    size_t start = 0;
    while (start <= query.size()) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, end - start);
        const size_t eq = pair.find('=');
        if (eq != std::string_view::npos) {
            const std::string_view key = pair.substr(0, eq);
            const std::string_view value = pair.substr(eq + 1);
            if (!result.subject && equalNoCase(key, subjectKey)) {
                result.subject = decodeValue(value);
            } else if (!result.user && equalNoCase(key, "UserID")) {
                result.user = decodeValue(value);
            }
        }
        start = end + 1;
    }
    return result;
}

std::map<std::string, std::string> parseFormBody(std::string_view body) {
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start < body.size()) {
        const size_t end = std::min(body.find('&', start), body.size());
        std::string pair(body.substr(start, end - start));
        std::replace(pair.begin(), pair.end(), '+', ' ');
        const size_t eq = pair.find('=');
        const std::string key = percentDecode(pair.substr(0, eq));
        const std::string value =
            eq == std::string::npos ? std::string() : percentDecode(pair.substr(eq + 1));
        if (!key.empty() && isValidUtf8(key) && isValidUtf8(value)) {
            fields.emplace(key, value);
        }
        start = end + 1;
    }
    return fields;
}

}  // namespace tallyro::service
