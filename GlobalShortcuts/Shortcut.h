#pragma once

// A global shortcut: a Carbon virtual key code and a Carbon modifier mask, the form in which
// shortcuts are stored ({"carbonKeyCode":124,"carbonModifiers":6144}) and registered.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "GlobalShortcuts/Key.h"

namespace tessary {

class KeyboardLayout;
struct LocalEvent;

struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    Shortcut() = default;
    // Keeps only the five modifier bits of the mask.
    Shortcut(std::int64_t keyCode, std::int64_t modifiers);
    Shortcut(Key key, std::int64_t modifiers) : Shortcut(key.rawValue, modifiers) {}

    // The shortcut of a key press or release, without the Fn bit (a recorded shortcut never carries
    // it); nothing for other events and for keys without a Carbon code.
    static std::optional<Shortcut> fromEvent(const LocalEvent& event);

    // The stored text. Decoding keeps the integers as they are (a hand-edited mask keeps its extra
    // bits) and gives nothing, never an exception, for text that is not an object with the two
    // integer members.
    std::string storedText() const;
    static std::optional<Shortcut> fromStoredText(std::string_view text);

    // What the key types in the current layout; nothing for special keys, codes outside 0 to
    // 65535, dead keys and keys that type nothing.
    std::optional<std::string> keyToCharacter(const KeyboardLayout& layout) const;
    // The text a user sees: "Ctrl+Alt+Right", "Ctrl+Alt+Z"; U+FFFD for a key without a name.
    std::string description(const KeyboardLayout& layout) const;
    // Whether the key is one of the named special keys (arrows, F keys, keypad...).
    bool hasSpecialKey() const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
    friend auto operator<=>(const Shortcut&, const Shortcut&) = default;
};

struct ShortcutHash {
    std::size_t operator()(const Shortcut& shortcut) const;
};

}  // namespace tessary
