#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UUID.h"

namespace tessary {

// Where one window was last snapped.
struct WindowPlacement {
    // The text form of the display's key ("ID@WxH").
    std::string displayKey;
    // The layout assigned to that display at the time.
    UUID layoutID;
    // The zones (from 0), in selection order.
    std::vector<std::int64_t> zoneIndices;
    Date updatedAt;

    WindowPlacement() = default;
    // Stores the time rounded to whole milliseconds and the display key as valid UTF-8.
    WindowPlacement(std::string displayKey, UUID layoutID, std::vector<std::int64_t> zoneIndices, Date updatedAt);

    json::Json toJSON() const;
    static WindowPlacement fromJSON(const json::Json& value);

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// A list of zone numbers as JSON, and back (strict integers).
json::Json encodeZoneIndices(const std::vector<std::int64_t>& indices);

}  // namespace tessary

template <>
struct std::hash<tessary::WindowPlacement> {
    std::size_t operator()(const tessary::WindowPlacement& placement) const noexcept;
};
