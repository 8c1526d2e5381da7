#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Screens.h"
#include "TessaryCore/Geometry.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// The connected displays, and the display for a point or a rectangle. The list is built from the
// screens again whenever their generation changes, and served from memory in between.
//
// Process-wide, like the desktop it describes: the program hands its Screens back end to
// setScreens() once at start-up; without one there are no screens. Tests either do the same with
// a SimScreens or set displaysOverride. Main thread only.
class DisplayProvider {
public:
    DisplayProvider() = delete;

    // When present, displays() returns this list unchanged (services run on made-up displays).
    static inline std::optional<std::vector<DisplayInfo>> displaysOverride;

    // Not owned; nullptr for none.
    static void setScreens(const Screens* screens);
    static const Screens* screens();

    // The override when present; otherwise one entry per screen with a display number, in the
    // screens' order, the first screen being the primary one.
    static std::vector<DisplayInfo> displays();
    // The height of the first screen's frame; 0 without screens.
    static double primaryHeight();
    // The first display whose frame contains the point (right and bottom edges excluded).
    static std::optional<DisplayInfo> display(Point containing);
    // The display with the largest intersection with the rectangle (the first on ties); when none
    // intersects, the one whose centre is nearest to the rectangle's. Absent only for an empty list.
    static std::optional<DisplayInfo> display(const Rect& rect, const std::vector<DisplayInfo>& in);
    static std::optional<DisplayInfo> display(const Rect& rect);
    // The identifier displays() gives the display with that number; the identifier of an unknown
    // monitor ("vendor0-model0-serial0") when no screen has that number.
    static std::string stableIdentifier(std::uint32_t displayID);

    // The display list built from a list of screens (what displays() does without override).
    static std::vector<DisplayInfo> displays(const std::vector<Screen>& screens);
    // The identifier of a monitor on its own: its UUID; else, with EDID, "vendorV-modelM-serialS";
    // else its connector name.
    static std::string baseIdentifier(const Screen& screen);
};

}  // namespace tessary
