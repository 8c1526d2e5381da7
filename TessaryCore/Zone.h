#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// One zone of a display as it lies on screen: its number in the layout (from 0) and its rectangle.
struct Zone {
    std::int64_t index = 0;
    Rect rect;

    // Equal when the indices match and the rectangles are equal once standardised.
    friend bool operator==(const Zone& a, const Zone& b) { return a.index == b.index && rectsEqual(a.rect, b.rect); }

    json::Json toJSON() const;
    static Zone fromJSON(const json::Json& value);
};

// The zones that together make one window frame, in the order they were first added.
struct SpanSelection {
    std::vector<std::int64_t> zoneIndices;

    bool isEmpty() const { return zoneIndices.empty(); }
    bool contains(std::int64_t index) const;
    // Appends the number unless it is already selected.
    void insert(std::int64_t index);
    // Replaces the selection by the single number.
    void select(std::int64_t index);
    void removeAll() { zoneIndices.clear(); }
    // The union of the selected zones' rectangles, in list order; nothing when none is among them.
    std::optional<Rect> unionRect(const std::vector<Zone>& zones) const;

    friend bool operator==(const SpanSelection&, const SpanSelection&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::Zone> {
    std::size_t operator()(const tessary::Zone& zone) const noexcept;
};

template <>
struct std::hash<tessary::SpanSelection> {
    std::size_t operator()(const tessary::SpanSelection& selection) const noexcept;
};
