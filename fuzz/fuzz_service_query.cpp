// Query strings and form bodies reaching the service. Properties: decoding never
// grows the text; an encoded address decodes back to its bytes and holds only what
// a URI may carry; every value taken out of a query or a body is valid UTF-8.
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "gbk.h"
#include "query_text.h"

using namespace tallyro::service;

namespace {

using tallyro::fuzz::require;

bool uriSafe(std::string_view s) {
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || std::string_view("\"#<>[\\]^`{|}").find(c) != s.npos)
            return false;
    }
    return true;
}

void requireText(const std::optional<std::string>& value) {
    require(!value || isValidUtf8(*value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    require(percentDecode(bytes).size() <= bytes.size());
    const std::string encoded = encodeForLocation(bytes);
    require(uriSafe(encoded));
    require(percentDecode(encoded) == bytes);

    requireText(queryBytesToText(bytes));
    for (const char* subject : {"GpID", "DaPan"}) {
        const AnalysisQuery query = parseAnalysisQuery(bytes, subject);
        requireText(query.subject);
        requireText(query.user);
    }
    for (const auto& [key, value] : parseFormBody(bytes)) {
        require(!key.empty() && isValidUtf8(key) && isValidUtf8(value));
    }
    return 0;
}
