#pragma once

// The small shared helpers of the shortcut module: modifier text, the function keys, scalar to
// text. The mask conversions themselves live with the platform (Platform/CarbonModifiers.h for the
// X core state, Platform/Qt/QtModifiers.h for Qt), the only bridges between the stored Carbon mask
// and an event's modifiers.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace tessary {

// The held modifiers of a Carbon mask as Linux desktops write them, each followed by "+", always
// in the order Ctrl, Alt, Shift, Super, Fn; empty for none. Other bits are ignored.
std::string modifierText(std::int64_t carbonModifiers);

// The key symbols (X keysyms) of F1 to F35.
const std::set<std::uint32_t>& functionKeys();

// The five modifier bits of a mask, without Fn on the keys the system reports with it (F keys,
// arrows, Home, End...), so that a key event, a hot key and a reserved shortcut compare alike.
std::int64_t normalisedModifiers(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);

// A Unicode scalar as UTF-8; nothing for surrogates and values beyond U+10FFFF.
std::optional<std::string> scalarToText(std::int64_t scalar);

}  // namespace tessary
