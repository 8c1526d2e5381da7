#include "Platform/CarbonModifiers.h"

namespace tessary {

namespace {
constexpr std::uint16_t kShift = 1u << 0;
constexpr std::uint16_t kControl = 1u << 2;
}  // namespace

std::int64_t carbonModifiersFromCoreState(std::uint16_t state, CoreModifierBits bits) {
    std::int64_t mask = 0;
    if (state & kShift) mask |= carbon::shiftKey;
    if (state & kControl) mask |= carbon::controlKey;
    if (bits.alt && (state & bits.alt)) mask |= carbon::optionKey;
    if (bits.super && (state & bits.super)) mask |= carbon::cmdKey;
    return mask;
}

std::optional<std::uint16_t> coreStateFromCarbonModifiers(std::int64_t mask, CoreModifierBits bits) {
    if (mask < 0 || (mask & ~carbon::modifierBits) || (mask & carbon::functionKey)) return std::nullopt;
    std::uint16_t state = 0;
    if (mask & carbon::shiftKey) state |= kShift;
    if (mask & carbon::controlKey) state |= kControl;
    if (mask & carbon::optionKey) state |= bits.alt;
    if (mask & carbon::cmdKey) state |= bits.super;
    return state;
}

}  // namespace tessary
