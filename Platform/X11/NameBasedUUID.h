#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "TessaryCore/SHA1.h"

namespace tessary {

using UUIDBytes = std::array<uint8_t, 16>;

// The namespace of Tessary's monitor identifiers (a random UUID, fixed forever: changing it would
// change every stored display key).
inline constexpr UUIDBytes kMonitorUUIDNamespace = {0xe4, 0x03, 0xf1, 0x8b, 0xbb, 0xcf, 0x41, 0x61,
                                                    0x94, 0x35, 0x12, 0x95, 0xc0, 0x02, 0x06, 0xa2};

// A name-based (version 5, SHA-1) UUID of `name` in a namespace (RFC 4122 section 4.3), in the
// upper-case 8-4-4-4-12 text form.
std::string nameBasedUUID(const UUIDBytes& space, const uint8_t* name, size_t length);

}  // namespace tessary
