#include "Tessary/services/ActivationModifier.h"

namespace tessary {

std::string_view rawValue(ActivationModifier modifier) {
    switch (modifier) {
    case ActivationModifier::shift: return "shift";
    case ActivationModifier::control: return "control";
    case ActivationModifier::command: return "command";
    case ActivationModifier::always: return "always";
    }
    return "shift";
}

std::optional<ActivationModifier> activationModifierFromRawValue(std::string_view raw) {
    for (const auto modifier : allActivationModifiers) {
        if (rawValue(modifier) == raw) return modifier;
    }
    return std::nullopt;
}

std::string_view displayName(ActivationModifier modifier) {
    switch (modifier) {
    case ActivationModifier::shift: return "Shift";
    case ActivationModifier::control: return "Ctrl";
    case ActivationModifier::command: return "Super";
    case ActivationModifier::always: return "Always, no key needed";
    }
    return "Shift";
}

bool isHeld(ActivationModifier modifier, InputModifiers held) {
    switch (modifier) {
    case ActivationModifier::shift: return held.contains(InputModifiers::shift);
    case ActivationModifier::control: return held.contains(InputModifiers::control);
    case ActivationModifier::command: return held.contains(InputModifiers::command);
    case ActivationModifier::always: return true;
    }
    return false;
}

}  // namespace tessary
