#pragma once

// Byte-level helpers shared by JSONReader and JSONWriter: the scan for bytes a JSON string carries
// unchanged, and UTF-8 validation with the rules nlohmann applies both when reading and writing
// (Unicode's well-formed sequences: no overlong forms, no surrogates, nothing beyond U+10FFFF).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tessary::json::text {

// Printable ASCII other than the quote and the backslash.
inline constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> table{};
    for (int c = 0x20; c < 0x80; ++c) table[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    return table;
}();

// Whether any of the eight bytes of a word needs attention: a control byte, a quote, a backslash
// or a non-ASCII byte. (Each term sets the high bit of such a byte; borrows only ever mark bytes
// after a true match, which cannot turn a word without one into a word with one.)
inline bool hasSpecialByte(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    const std::uint64_t quote = w ^ (ones * '"');
    const std::uint64_t backslash = w ^ (ones * '\\');
    return ((((w - ones * 0x20) & ~w) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash) | w) &
            highs) != 0;
}

// Past the run of plain bytes that starts at p. Eight bytes at a time while none needs attention.
inline const char* skipPlain(const char* p, const char* end) {
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        if (hasSpecialByte(w)) break;
        p += 8;
    }
    while (p != end && plainBytes[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// The length of the well-formed UTF-8 sequence at p, whose first byte is not ASCII; 0 when it is
// ill-formed, with `bad` at the first byte that breaks it, or at `end` when the text stops inside it.
inline std::size_t utf8Sequence(const char* p, const char* end, const char*& bad) {
    const auto lead = static_cast<unsigned char>(*p);
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        bad = p;
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (static_cast<std::size_t>(end - p) <= i) {
            bad = end;
            return 0;
        }
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < low || c > high) {
            bad = p + i;
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

}  // namespace tessary::json::text
