#pragma once

#include <functional>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

// A free-form layout body: rectangles given in a reference space, scaled into the work area by the
// geometry. A zone's number is its position in the list; rectangles may overlap and nothing checks them.
struct ZoneCanvas {
    Size referenceSize;
    std::vector<Rect> zones;

    // Equal reference sizes and the same rectangles, compared as rectangles (standardised), in order.
    friend bool operator==(const ZoneCanvas& a, const ZoneCanvas& b);

    // A non-finite number is an EncodingError.
    json::Json toJSON() const;
    static ZoneCanvas fromJSON(const json::Json& value);
};

}  // namespace tessary

template <>
struct std::hash<tessary::ZoneCanvas> {
    std::size_t operator()(const tessary::ZoneCanvas& canvas) const noexcept;
};
