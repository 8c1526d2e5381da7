#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "TessaryCore/Zone.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// One display's part of an overlay: the display and its zones, in the desktop space (points,
// origin at the top left of the primary display), as laid out in its work area.
struct OverlayItem {
    DisplayInfo display;
    std::vector<Zone> zones;

    friend bool operator==(const OverlayItem&, const OverlayItem&) = default;
};

// How a drag (and the layout editor's preview) shows, highlights and hides the zone overlay.
class OverlayPresenting {
public:
    virtual ~OverlayPresenting() = default;

    // One overlay per listed display, in front of every window, drawing that display's zones with
    // no highlight; overlays of displays not listed go away. A display listed twice gets the later
    // item's zones.
    virtual void show(const std::vector<OverlayItem>& items) = 0;
    // The display's overlay highlights exactly these zone indices; every other overlay none. `note`
    // is what its hint says of them beyond their numbers (a dragged window that does not fit them);
    // empty for the usual advice.
    virtual void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                                std::string_view note) = 0;
    // Takes every overlay off the screen.
    virtual void hide() = 0;
};

}  // namespace tessary
