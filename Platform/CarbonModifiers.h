#pragma once

// Shortcuts are stored and registered with the Carbon modifier mask, the encoding the stored
// shortcut text has always used. This is the one bridge between that mask and the X core state;
// Qt's modifiers have theirs in Platform/Qt.

#include <cstdint>
#include <optional>

namespace tessary {

namespace carbon {
inline constexpr std::int64_t cmdKey = 0x100;      // Super on Linux
inline constexpr std::int64_t shiftKey = 0x200;
inline constexpr std::int64_t optionKey = 0x800;   // Alt on Linux
inline constexpr std::int64_t controlKey = 0x1000;
inline constexpr std::int64_t functionKey = 0x20000;
// The five bits a shortcut may carry; every constructor keeps only these.
inline constexpr std::int64_t modifierBits = cmdKey | shiftKey | optionKey | controlKey | functionKey;

// Keeps the five modifier bits of a mask and drops everything else.
constexpr std::int64_t reduced(std::int64_t mask) { return mask & modifierBits; }
}  // namespace carbon

// Which core modifier bits stand for Alt and Super on the current keyboard (Mod1 and Mod4 on
// nearly every layout).
struct CoreModifierBits {
    std::uint16_t alt = 1u << 3;
    std::uint16_t super = 1u << 6;
};

// The Carbon mask of an X core state mask: Shift, Control, Alt and Super; Caps Lock, Num Lock and
// every other bit are dropped. There is no X modifier for Fn.
std::int64_t carbonModifiersFromCoreState(std::uint16_t state, CoreModifierBits bits = {});

// The core state that a Carbon mask stands for; nothing when the mask cannot be typed on X11: a
// negative mask, one beyond the five modifier bits, or one with the Fn bit.
std::optional<std::uint16_t> coreStateFromCarbonModifiers(std::int64_t mask, CoreModifierBits bits = {});

}  // namespace tessary
