#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "Tessary/services/InputModifiers.h"

namespace tessary {

// The key that extends a drag's selection over every zone the pointer passes; `none` turns
// spanning off.
enum class SpanModifier { control, shift, command, none };

inline constexpr std::array<SpanModifier, 4> allSpanModifiers = {SpanModifier::control, SpanModifier::shift,
                                                                 SpanModifier::command, SpanModifier::none};

std::string_view rawValue(SpanModifier modifier);
std::optional<SpanModifier> spanModifierFromRawValue(std::string_view raw);
// The name shown in the settings and in the overlay's hint, as Linux desktops name the keys.
std::string_view displayName(SpanModifier modifier);
// True when the key is among the held modifiers, whatever else is held; never true for `none`.
bool isHeld(SpanModifier modifier, InputModifiers held);

}  // namespace tessary
