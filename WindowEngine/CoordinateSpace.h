#pragma once

#include "TessaryCore/Geometry.h"

namespace tessary {

// The desktop space: origin at the top left of the primary display, x right, y down, in points.
// flip converts to and from a bottom-left, y-up space of the given height (the primary display's);
// the same formula serves both ways.
class CoordinateSpace {
public:
    CoordinateSpace() = delete;

    static Rect flip(const Rect& rect, double height);
    static Point flip(Point point, double height);

    // Minimum x, minimum y, width and height each differ by at most the tolerance; a difference
    // that is not a number fails.
    static bool approximatelyEqual(const Rect& a, const Rect& b, double tolerance);
};

}  // namespace tessary
