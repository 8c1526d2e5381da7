#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "Tessary/services/InputModifiers.h"

namespace tessary {

// The key that must be held while a window is dragged for the zones to appear.
enum class ActivationModifier { shift, control, command, always };

inline constexpr std::array<ActivationModifier, 4> allActivationModifiers = {
    ActivationModifier::shift, ActivationModifier::control, ActivationModifier::command, ActivationModifier::always};

std::string_view rawValue(ActivationModifier modifier);
std::optional<ActivationModifier> activationModifierFromRawValue(std::string_view raw);
// The name shown in the settings, as Linux desktops name the keys.
std::string_view displayName(ActivationModifier modifier);
// True when the key is among the held modifiers, whatever else is held; always true for `always`.
bool isHeld(ActivationModifier modifier, InputModifiers held);

}  // namespace tessary
