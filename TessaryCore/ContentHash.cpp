#include "TessaryCore/ContentHash.h"

#include <bit>
#include <cstring>

namespace tessary {

namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t prime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t prime5 = 0x27D4EB2F165667C5ULL;

// Little-endian reads, as the algorithm is defined (x86 and ARM Linux are little-endian).
std::uint64_t read64(const char* at) {
    std::uint64_t value;
    std::memcpy(&value, at, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

std::uint64_t read32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
    return value;
}

std::uint64_t round(std::uint64_t accumulator, std::uint64_t input) {
    accumulator += input * prime2;
    return std::rotl(accumulator, 31) * prime1;
}

std::uint64_t mergeRound(std::uint64_t hash, std::uint64_t accumulator) {
    hash ^= round(0, accumulator);
    return hash * prime1 + prime4;
}

}  // namespace

std::uint64_t contentHash(std::string_view bytes) {
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    std::uint64_t hash;
    if (bytes.size() >= 32) {
        // Four independent lanes, so that the multiplications of one stripe overlap.
        std::uint64_t v1 = prime1 + prime2, v2 = prime2, v3 = 0, v4 = 0 - prime1;
        for (const char* const last = end - 32; at <= last; at += 32) {
            v1 = round(v1, read64(at));
            v2 = round(v2, read64(at + 8));
            v3 = round(v3, read64(at + 16));
            v4 = round(v4, read64(at + 24));
        }
        hash = std::rotl(v1, 1) + std::rotl(v2, 7) + std::rotl(v3, 12) + std::rotl(v4, 18);
        hash = mergeRound(hash, v1);
        hash = mergeRound(hash, v2);
        hash = mergeRound(hash, v3);
        hash = mergeRound(hash, v4);
    } else {
        hash = prime5;
    }
    hash += bytes.size();
    for (; end - at >= 8; at += 8) hash = std::rotl(hash ^ round(0, read64(at)), 27) * prime1 + prime4;
    if (end - at >= 4) {
        hash = std::rotl(hash ^ (read32(at) * prime1), 23) * prime2 + prime3;
        at += 4;
    }
    for (; at < end; ++at) hash = std::rotl(hash ^ (static_cast<unsigned char>(*at) * prime5), 11) * prime1;
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    hash ^= hash >> 32;
    return hash;
}

}  // namespace tessary
