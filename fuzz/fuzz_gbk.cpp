// GBK both ways, and the splitting of GBK datagrams into fields. Properties:
// decoding never gives invalid UTF-8; text that has a GBK form comes back unchanged;
// fields joined again give the bytes; the fields of encoded text are the encoded
// fields of the text; the service's strict conversion agrees with the client's
// wherever it gives a result.
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "gbk.h"
#include "text/fields.h"
#include "text/gbk_codec.h"
#include "text/utf8.h"

using namespace tallyro;

namespace {

using tallyro::fuzz::require;

std::string join(const std::vector<std::string_view>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '|';
        out.append(fields[i]);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The bytes as GBK.
    const std::string decoded = text::gbkToUtf8(bytes);
    require(text::isValidUtf8(decoded));
    const auto gbkFields = text::splitGbkFields(bytes);
    require(join(gbkFields) == bytes);
    if (const auto strict = service::gbkToUtf8(bytes))
        require(*strict == decoded);

    // The bytes as UTF-8.
    const auto encoded = text::utf8ToGbk(bytes);
    require(!encoded || text::isValidUtf8(bytes));
    const auto strictEncoded = service::utf8ToGbk(bytes);
    require(strictEncoded == encoded);
    if (!encoded)
        return 0;
    require(text::gbkToUtf8(*encoded) == bytes);
    const auto textFields = text::splitFields(bytes);
    const auto encodedFields = text::splitGbkFields(*encoded);
    require(textFields.size() == encodedFields.size());
    // Each decode opens a converter: the count shows a bar taken for a trail byte or
    // a trail byte taken for a bar, the first field where the split fell.
    require(text::gbkToUtf8(encodedFields[0]) == textFields[0]);
    return 0;
}
