#pragma once

#include <array>
#include <compare>
#include <functional>
#include <optional>
#include <set>
#include <string_view>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// The shape of a display, derived from the size of its work area and whether it is the built-in panel.
struct DisplayClass {
    enum Case { standard, ultrawide, superUltrawide, laptop, portrait, large };

    Case value = standard;

    constexpr DisplayClass() = default;
    constexpr DisplayClass(Case c) : value(c) {}

    static constexpr std::array<Case, 6> allCases{standard, ultrawide, superUltrawide, laptop, portrait, large};

    std::string_view rawValue() const;
    static std::optional<DisplayClass> fromRawValue(std::string_view text);
    // "Standard (16:9)", "Ultrawide (21:9)", "Super ultrawide (32:9)", "Laptop screen", "Portrait", "4K / 5K".
    std::string_view displayName() const;

    // The classes of a work area: laptop for the built-in panel; portrait below a ratio of 1,
    // super-ultrawide from 3, ultrawide from 2.2, otherwise standard (not for a built-in panel);
    // large from 3,500,000 square points. Nothing for a size that is not positive.
    static std::set<DisplayClass> displayClasses(bool isBuiltIn, Size size);

    json::Json toJSON() const { return json::Json(std::string(rawValue())); }
    static DisplayClass fromJSON(const json::Json& value);

    friend constexpr bool operator==(DisplayClass, DisplayClass) = default;
    friend constexpr auto operator<=>(DisplayClass a, DisplayClass b) { return a.value <=> b.value; }
};

}  // namespace tessary

template <>
struct std::hash<tessary::DisplayClass> {
    std::size_t operator()(tessary::DisplayClass c) const noexcept { return std::hash<std::string_view>{}(c.rawValue()); }
};
