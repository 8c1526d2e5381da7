#include "GlobalShortcuts/Utilities.h"

#include "GlobalShortcuts/Key.h"
#include "Platform/CarbonModifiers.h"

namespace tessary {

std::string modifierText(std::int64_t carbonModifiers) {
    std::string text;
    if (carbonModifiers & carbon::controlKey) text += "Ctrl+";
    if (carbonModifiers & carbon::optionKey) text += "Alt+";
    if (carbonModifiers & carbon::shiftKey) text += "Shift+";
    if (carbonModifiers & carbon::cmdKey) text += "Super+";
    if (carbonModifiers & carbon::functionKey) text += "Fn+";
    return text;
}

const std::set<std::uint32_t>& functionKeys() {
    static const std::set<std::uint32_t> keys = [] {
        constexpr std::uint32_t kF1 = 0xffbe;  // XK_F1; F1 to F35 are consecutive
        std::set<std::uint32_t> set;
        for (std::uint32_t n = 0; n < 35; ++n) set.insert(kF1 + n);
        return set;
    }();
    return keys;
}

std::int64_t normalisedModifiers(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) {
    std::int64_t mask = carbon::reduced(carbonModifiers);
    if (Key::functionModifierKeys().count(Key{carbonKeyCode})) mask &= ~carbon::functionKey;
    return mask;
}

std::optional<std::string> scalarToText(std::int64_t scalar) {
    if (scalar < 0 || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) return std::nullopt;
    const auto c = static_cast<std::uint32_t>(scalar);
    std::string text;
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | (c >> 18));
        text += char(0x80 | ((c >> 12) & 0x3F));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
    return text;
}

}  // namespace tessary
