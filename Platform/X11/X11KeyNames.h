#pragma once

// The fixed table from a Carbon virtual key code (the stored form of a shortcut's key: a physical
// position on an ANSI keyboard) to the XKB name of the key at that position (AC01, RGHT, TLDE...),
// which the current keymap resolves to a key code. Codes without a name (Fn, keypad Clear, and
// anything a hand edit invents) cannot be grabbed or named.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tessary {

std::optional<std::string_view> xkbKeyName(std::int64_t carbonKeyCode);
std::optional<std::int64_t> carbonKeyCodeOfXkbName(std::string_view name);
// The Carbon code of the first name in the table that `isTheKey` accepts (a keymap's own answer
// for a name, aliases included).
std::optional<std::int64_t> carbonKeyCodeWhere(const std::function<bool(std::string_view name)>& isTheKey);

}  // namespace tessary
