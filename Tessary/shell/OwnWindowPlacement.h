#pragma once

// Where one of the program's own windows opens: inside one display of the program's own display
// list, never across two. Qt's screen list is not asked: where monitors have no RandR output of
// their own (`xrandr --setmonitor`, split ultra-wide displays) Qt sees one screen spanning them,
// and a window centred on it straddles the boundary.
//
// Plain geometry in points (root-window pixels); the Qt side converts.

#include <optional>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

struct OwnWindowPlacement {
    // The display a window opens on: the one under the pointer, else the primary (first) one;
    // none for an empty list.
    static std::optional<DisplayInfo> displayFor(std::optional<Point> pointer, const std::vector<DisplayInfo>& displays);

    // The frame centred in the display's work area; a frame larger than the work area keeps its
    // size and starts at the work area's top left edge on that axis, so its title bar stays reachable.
    static Rect centred(Size frame, const DisplayInfo& display);

    // Whether the frame lies wholly inside one display's frame.
    static bool insideOneDisplay(const Rect& frame, const std::vector<DisplayInfo>& displays);
};

}  // namespace tessary
