#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessary {

// The SHA-1 digest of the bytes (FIPS 180-4): the name-based UUIDs of monitors, and the names of
// the sync folder's copies set aside, which equal bytes give equal on every machine.
std::array<uint8_t, 20> sha1(const uint8_t* bytes, size_t length);

}  // namespace tessary
