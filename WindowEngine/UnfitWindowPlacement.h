#pragma once

#include <optional>

#include "TessaryCore/Geometry.h"

namespace tessary {

// Where to put a window that cannot take the size it was asked for.
class UnfitWindowPlacement {
public:
    UnfitWindowPlacement() = delete;

    // The window's size centred in the requested rectangle on whole points (halves away from
    // zero); a window larger than the rectangle in one direction keeps the rectangle's minimum edge
    // there. Absent when the size is within the tolerance of the rectangle's in both directions.
    static std::optional<Rect> centeredFrame(Size size, const Rect& in, double tolerance);
    // Where a window of `size` at `origin`, asked into `requested`, lies wholly on the work area of
    // the display `requested` is on (DisplayProvider), moved as little as it can be, on whole
    // points; where it would reach past the work area's far edge it ends at the requested frame's
    // far edge instead when it fits there (a zone at the display's far edge keeps the layout's
    // padding, as its neighbours on the other side do); where it is larger than the work area, at
    // the work area's minimum edge. `origin` as it is when no display holds the frame.
    static Point keptOnWorkArea(Point origin, Size size, const Rect& requested);
    static Point keptOn(Point origin, Size size, const Rect& requested, const Rect& workArea);
};

}  // namespace tessary
