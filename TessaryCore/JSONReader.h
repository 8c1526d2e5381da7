#pragma once

// Reads JSON text into exactly the value nlohmann::json::parse gives for it, several times faster:
// the same grammar (RFC 8259, an optional UTF-8 byte order mark, a NUL byte ending the text),
// the same UTF-8 and escape rules, the same number types (a non-negative integer is unsigned, a
// negative one signed, one beyond 64 bits or with a fraction or exponent a double; a double that
// overflows is refused), and the last of duplicate keys wins.
//
// The one difference: nesting deeper than maximumDepth is refused, so that hostile input cannot
// exhaust the stack of the recursive readers and writers that come after.

#include <string_view>

#include "TessaryCore/JSONCoding.h"

namespace tessary::json {

class JSONReader {
public:
    static constexpr int maximumDepth = 512;

    enum class Verdict {
        accepted,
        // Not JSON as nlohmann reads it.
        malformed,
        // Arrays and objects nested deeper than maximumDepth.
        tooDeep,
    };

    // The verdict alone, with the value in `value` when accepted (for comparing with nlohmann).
    static Verdict read(std::string_view text, Json& value);

    // The value; a refusal is a DecodingError whose message is the one nlohmann gives.
    static Json parse(std::string_view text);
};

}  // namespace tessary::json
