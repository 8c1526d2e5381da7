#include "Tessary/services/SpanModifier.h"

namespace tessary {

std::string_view rawValue(SpanModifier modifier) {
    switch (modifier) {
    case SpanModifier::control: return "control";
    case SpanModifier::shift: return "shift";
    case SpanModifier::command: return "command";
    case SpanModifier::none: return "none";
    }
    return "control";
}

std::optional<SpanModifier> spanModifierFromRawValue(std::string_view raw) {
    for (const auto modifier : allSpanModifiers) {
        if (rawValue(modifier) == raw) return modifier;
    }
    return std::nullopt;
}

std::string_view displayName(SpanModifier modifier) {
    switch (modifier) {
    case SpanModifier::control: return "Ctrl";
    case SpanModifier::shift: return "Shift";
    case SpanModifier::command: return "Super";
    case SpanModifier::none: return "Off";
    }
    return "Ctrl";
}

bool isHeld(SpanModifier modifier, InputModifiers held) {
    switch (modifier) {
    case SpanModifier::control: return held.contains(InputModifiers::control);
    case SpanModifier::shift: return held.contains(InputModifiers::shift);
    case SpanModifier::command: return held.contains(InputModifiers::command);
    case SpanModifier::none: return false;
    }
    return false;
}

}  // namespace tessary
