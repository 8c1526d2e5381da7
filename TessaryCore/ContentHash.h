#pragma once

// A 64-bit hash of a file's bytes, for telling whether a document's file still holds what was last
// read or written without keeping those bytes. XXH64 (seed 0): some ten gigabytes a second, so that
// hashing what a save writes costs a small part of encoding it; not for adversarial input.

#include <cstdint>
#include <string_view>

namespace tessary {

std::uint64_t contentHash(std::string_view bytes);

}  // namespace tessary
