#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "Platform/KeyboardLayout.h"

namespace tessary {

// A US keyboard by default (letters, digits and punctuation type their unshifted character); the
// test changes characters, timing and held keys. Native key codes are the Carbon code plus 8.
class SimKeyboardLayout final : public KeyboardLayout {
public:
    SimKeyboardLayout();

    std::optional<std::string> character(std::int64_t carbonKeyCode) const override;
    std::optional<std::int64_t> carbonKeyCode(std::uint32_t nativeKeyCode) const override;
    KeyRepeatTiming keyRepeat() const override { return timing; }
    bool isKeyDown(std::int64_t carbonKeyCode) const override { return heldKeys.count(carbonKeyCode) != 0; }
    Subscription onChange(std::function<void()> handler) override { return changed_.subscribe(std::move(handler)); }

    // Replaces the characters (an empty text: a dead key) and announces the change.
    void setCharacters(std::map<std::int64_t, std::string> characters);
    static std::uint32_t nativeKeyCode(std::int64_t carbonKeyCode) { return std::uint32_t(carbonKeyCode + 8); }

    KeyRepeatTiming timing;
    std::set<std::int64_t> heldKeys;

private:
    std::map<std::int64_t, std::string> characters_;
    Signal<> changed_;
};

}  // namespace tessary
