#pragma once

#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

// Turns layouts into zone rectangles. Pure functions that never fail: degenerate input gives no zones.
namespace ZoneGeometry {

// One track along an axis, in points.
struct TrackSpan {
    double start = 0;
    double end = 0;

    friend bool operator==(const TrackSpan&, const TrackSpan&) = default;
};

// The zones of the layout inside the rectangle (usually a display's work area), in zone-number order.
// The rectangle is inset by the padding; a grid is divided by its weights with the spacing between
// tracks, a canvas scaled from its reference size. A rectangle or gap that is not finite gives no
// zones, and no zone ever carries a non-finite rectangle.
//
// A grid read from a file that breaks the grid rules still lays out: a zone is produced for every
// non-negative number present in the cells whose cells all lie within the tracks.
std::vector<Zone> zones(const ZoneLayout& layout, const Rect& rect);

// One span per weight along an axis of the given length starting at origin: neighbouring tracks are
// spacing apart, the first starts at origin and the last ends at origin + length. Every span is
// (origin, origin) when the weights do not add up to more than 0.
std::vector<TrackSpan> trackSpans(const std::vector<double>& weights, double length, double origin, double spacing);

}  // namespace ZoneGeometry

}  // namespace tessary
