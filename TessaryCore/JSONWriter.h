#pragma once

// Writes a value byte for byte as nlohmann's dump(indent, ' ', false, error_handler_t::strict)
// does, several times faster: keys in the order of the object's map, strings escaped as nlohmann
// escapes them (UTF-8 kept as it is), doubles in nlohmann's own shortest round-trip form, a
// non-finite double as null. Text that is not valid UTF-8 is refused with nlohmann's message.

#include <string>

#include "TessaryCore/JSONCoding.h"

namespace tessary::json {

class JSONWriter {
public:
    enum class Style {
        // Two-space indentation, as dump(2).
        pretty,
        // No whitespace, as dump(-1).
        compact,
    };

    // Throws EncodingError when a string or key is not valid UTF-8.
    static std::string write(const Json& value, Style style);
};

}  // namespace tessary::json
