#pragma once

// The user's keyboard as the shortcut module needs it: what a key types in the current layout and
// group, which Carbon key code a native key code is, the key-repeat timing and whether a key is
// held. Carbon key codes name physical keys (the stored form of a shortcut).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Platform/Signal.h"

namespace tessary {

struct KeyRepeatTiming {
    std::chrono::milliseconds delay{660};
    std::chrono::milliseconds interval{40};

    friend bool operator==(const KeyRepeatTiming&, const KeyRepeatTiming&) = default;
};

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;

    // The character (UTF-8, one character) the key types without modifiers in the current layout
    // and group; nothing for a code outside the key table, a dead key, or a key that types no
    // character.
    virtual std::optional<std::string> character(std::int64_t carbonKeyCode) const = 0;
    // The Carbon key code of a native key code (an X key code); nothing for keys outside the table.
    virtual std::optional<std::int64_t> carbonKeyCode(std::uint32_t nativeKeyCode) const = 0;
    virtual KeyRepeatTiming keyRepeat() const = 0;
    // Whether the key is held down now.
    virtual bool isKeyDown(std::int64_t carbonKeyCode) const = 0;

    // The layout, group or key mapping changed.
    [[nodiscard]] virtual Subscription onChange(std::function<void()> handler) = 0;
};

}  // namespace tessary
