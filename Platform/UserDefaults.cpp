#include "Platform/UserDefaults.h"

#include <cmath>

namespace tessary {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isValidUTF8(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::optional<bool> UserDefaults::boolValue(std::string_view key) const {
    const auto value = object(key);
    if (value && std::holds_alternative<bool>(*value)) return std::get<bool>(*value);
    return std::nullopt;
}

std::optional<std::int64_t> UserDefaults::integerValue(std::string_view key) const {
    const auto value = object(key);
    if (value && std::holds_alternative<std::int64_t>(*value)) return std::get<std::int64_t>(*value);
    return std::nullopt;
}

std::optional<double> UserDefaults::doubleValue(std::string_view key) const {
    const auto value = object(key);
    if (!value) return std::nullopt;
    if (std::holds_alternative<double>(*value)) return std::get<double>(*value);
    if (std::holds_alternative<std::int64_t>(*value)) return static_cast<double>(std::get<std::int64_t>(*value));
    return std::nullopt;
}

std::optional<std::string> UserDefaults::stringValue(std::string_view key) const {
    const auto value = object(key);
    if (value && std::holds_alternative<std::string>(*value)) return std::get<std::string>(*value);
    return std::nullopt;
}

std::optional<std::string> UserDefaults::dataValue(std::string_view key) const {
    const auto value = object(key);
    if (value && std::holds_alternative<UserDefaultsData>(*value)) return std::get<UserDefaultsData>(*value).bytes;
    return std::nullopt;
}

bool UserDefaults::isStorable(std::string_view key, const UserDefaultsValue& value) {
    if (!isValidUTF8(key)) return false;
    if (const auto* number = std::get_if<double>(&value)) return std::isfinite(*number);
    if (const auto* text = std::get_if<std::string>(&value)) return isValidUTF8(*text);
    return true;
}

}  // namespace tessary
