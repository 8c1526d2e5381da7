#include "Platform/X11/NameBasedUUID.h"

#include <vector>

namespace tessary {

std::string nameBasedUUID(const UUIDBytes& space, const uint8_t* name, size_t length) {
    std::vector<uint8_t> input(space.begin(), space.end());
    input.insert(input.end(), name, name + length);
    auto digest = sha1(input.data(), input.size());
    UUIDBytes uuid{};
    for (size_t i = 0; i < 16; ++i) uuid[i] = digest[i];
    uuid[6] = static_cast<uint8_t>((uuid[6] & 0x0F) | 0x50);  // version 5
    uuid[8] = static_cast<uint8_t>((uuid[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char* const hex = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(hex[uuid[i] >> 4]);
        text.push_back(hex[uuid[i] & 0x0F]);
    }
    return text;
}

}  // namespace tessary
