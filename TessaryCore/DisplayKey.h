#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// One display in one arrangement: its stable identifier and its work-area size in whole points.
// The text form ("ID@WIDTHxHEIGHT") keys layout assignments and remembered placements.
struct DisplayKey {
    std::string displayID;
    std::int64_t workAreaWidth = 0;
    std::int64_t workAreaHeight = 0;

    DisplayKey() = default;
    DisplayKey(std::string id, std::int64_t width, std::int64_t height)
        : displayID(std::move(id)), workAreaWidth(width), workAreaHeight(height) {}
    // Rounds each dimension to the nearest whole point, halves away from zero. A dimension that is
    // not a number keys as 0; one beyond the 64-bit range saturates at the range's end.
    DisplayKey(std::string id, Size workAreaSize);

    std::string description() const;
    // The inverse of description(); nothing when the text is not in that form.
    static std::optional<DisplayKey> parsing(std::string_view text);

    json::Json toJSON() const;
    static DisplayKey fromJSON(const json::Json& value);

    friend bool operator==(const DisplayKey&, const DisplayKey&) = default;
};

// Rounds to a whole number, halves away from zero, without undefined behaviour for any input.
std::int64_t roundedToInt64(double value);

// Feeds one value into a running hash (the order of feeding matters).
inline void hashCombine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace tessary

template <>
struct std::hash<tessary::DisplayKey> {
    std::size_t operator()(const tessary::DisplayKey& key) const noexcept;
};
