#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/LayoutKind.h"

namespace tessary {

// The shapes a new layout can start from, each building a body for a given number of zones.
struct LayoutTemplate {
    enum Case { focus, columns, rows, grid, priorityGrid, blank };

    // The largest zone count a template builds. The editor offers up to 9; counts read from files
    // or synchronised values are clamped so that a stored million cannot build a billion cells.
    static constexpr std::int64_t maximumZoneCount = 100;

    Case value = focus;

    constexpr LayoutTemplate() = default;
    constexpr LayoutTemplate(Case c) : value(c) {}

    static constexpr std::array<Case, 6> allCases{focus, columns, rows, grid, priorityGrid, blank};

    // "focus", "columns", "rows", "grid", "priorityGrid", "blank".
    std::string_view rawValue() const;
    static std::optional<LayoutTemplate> fromRawValue(std::string_view text);
    // The name shown for the template and given to a layout made from it.
    std::string_view displayName() const;

    // The body for n zones: n below 1 counts as 1, above maximumZoneCount as maximumZoneCount.
    LayoutKind kind(std::int64_t zoneCount) const;

    json::Json toJSON() const { return json::Json(std::string(rawValue())); }
    // An unknown name is a DecodingError.
    static LayoutTemplate fromJSON(const json::Json& value);

    friend constexpr bool operator==(LayoutTemplate, LayoutTemplate) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::LayoutTemplate> {
    std::size_t operator()(tessary::LayoutTemplate t) const noexcept {
        return std::hash<std::string_view>{}(t.rawValue());
    }
};
