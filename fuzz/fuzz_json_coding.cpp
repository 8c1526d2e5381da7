#include <cstddef>
#include <cstdint>
#include <string_view>

#include "TessaryCore/JSONCoding.h"

// Arbitrary bytes through the strict readers: only DecodingError may come out.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessary::json;
    try {
        const Json value = parse(std::string_view(reinterpret_cast<const char*>(data), size));
        try { (void)decodeRect(value); } catch (const DecodingError&) {}
        try { (void)asInt64Array(value, "n"); } catch (const DecodingError&) {}
        try { (void)dumpPretty(value); } catch (const EncodingError&) {}
    } catch (const DecodingError&) {
    }
    return 0;
}
