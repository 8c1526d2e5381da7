#include "TessaryCore/SHA1.h"

#include <vector>

namespace tessary {

namespace {

uint32_t rotateLeft(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

}  // namespace

std::array<uint8_t, 20> sha1(const uint8_t* bytes, size_t length) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    // The message, a 1 bit, zeros to 56 mod 64 bytes, then the bit length big-endian.
    std::vector<uint8_t> message(bytes, bytes + length);
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    uint64_t bits = static_cast<uint64_t>(length) * 8;
    for (int i = 7; i >= 0; --i) message.push_back(static_cast<uint8_t>(bits >> (i * 8)));

    for (size_t chunk = 0; chunk < message.size(); chunk += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            const uint8_t* p = &message[chunk + 4 * static_cast<size_t>(i)];
            w[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        for (int i = 16; i < 80; ++i) w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6;
            }
            uint32_t next = rotateLeft(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rotateLeft(b, 30), b = a, a = next;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<uint8_t, 20> digest{};
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(h[i] >> (24 - 8 * j));
    }
    return digest;
}

}  // namespace tessary
