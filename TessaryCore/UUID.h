#pragma once

// A 128-bit identifier of layouts, rules, workspaces and their entries. Its text form is the
// standard 36 characters in groups 8-4-4-4-12, written in upper case; reading accepts either case.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/JSONCoding.h"

namespace tessary {

class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The nil identifier (all zero).
    constexpr UUID() = default;
    constexpr explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

    // A new random (version 4) identifier.
    static UUID random();
    // The 36-character form, hexadecimal digits in either case; nothing for anything else.
    static std::optional<UUID> parsing(std::string_view text);

    const Bytes& bytes() const { return bytes_; }
    // Upper case, 8-4-4-4-12: the form the documents and tombstones use.
    std::string uuidString() const;

    json::Json toJSON() const { return json::Json(uuidString()); }
    // Throws json::DecodingError for a value that is not an identifier's text.
    static UUID fromJSON(const json::Json& value);

    friend constexpr bool operator==(const UUID&, const UUID&) = default;
    friend constexpr std::strong_ordering operator<=>(const UUID&, const UUID&) = default;

private:
    Bytes bytes_{};
};

std::ostream& operator<<(std::ostream& os, const UUID& id);

}  // namespace tessary

template <>
struct std::hash<tessary::UUID> {
    std::size_t operator()(const tessary::UUID& id) const noexcept;
};
