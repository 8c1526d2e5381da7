#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace tessary {

// The modifier keys held, as a set with one bit per key. Caps Lock, Num Lock and the other lock or
// mode keys are never carried, so the four high bits stay clear.
struct InputModifiers {
    std::uint8_t rawValue = 0;

    static const InputModifiers shift;    // 1
    static const InputModifiers control;  // 2
    static const InputModifiers option;   // 4, Alt on Linux keyboards
    static const InputModifiers command;  // 8, Super on Linux keyboards

    constexpr InputModifiers() = default;
    // Bits outside the four members are dropped.
    constexpr explicit InputModifiers(std::uint8_t raw) : rawValue(raw & 0x0F) {}
    constexpr InputModifiers(std::initializer_list<InputModifiers> members) {
        for (const auto member : members) rawValue |= member.rawValue;
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    // True when every member of the argument is held (and the argument is not empty).
    constexpr bool contains(InputModifiers members) const {
        return members.rawValue != 0 && (rawValue & members.rawValue) == members.rawValue;
    }
    constexpr InputModifiers unionWith(InputModifiers other) const { return InputModifiers(rawValue | other.rawValue); }
    constexpr InputModifiers intersection(InputModifiers other) const {
        return InputModifiers(rawValue & other.rawValue);
    }

    friend constexpr bool operator==(InputModifiers, InputModifiers) = default;
};

inline constexpr InputModifiers InputModifiers::shift{std::uint8_t{1}};
inline constexpr InputModifiers InputModifiers::control{std::uint8_t{2}};
inline constexpr InputModifiers InputModifiers::option{std::uint8_t{4}};
inline constexpr InputModifiers InputModifiers::command{std::uint8_t{8}};

}  // namespace tessary

template <>
struct std::hash<tessary::InputModifiers> {
    std::size_t operator()(tessary::InputModifiers modifiers) const noexcept { return modifiers.rawValue; }
};
