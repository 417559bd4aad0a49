#include "text/fields.h"

namespace tallyro::text {

namespace {

bool gbkLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

bool gbkTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t bar = text.find('|');
        fields.push_back(text.substr(0, bar));
        if (bar == std::string_view::npos)
            return fields;
        text.remove_prefix(bar + 1);
    }
}

std::vector<std::string_view> splitGbkFields(std::string_view bytes) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (gbkLead(b) && i + 1 < bytes.size() &&
            gbkTrail(static_cast<unsigned char>(bytes[i + 1]))) {
            i += 2;
            continue;
        }
        if (b == '|') {
            fields.push_back(bytes.substr(start, i - start));
            start = i + 1;
        }
        ++i;
    }
    fields.push_back(bytes.substr(start));
    return fields;
}

}  // namespace tallyro::text
