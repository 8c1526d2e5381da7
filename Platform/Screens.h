#pragma once

// The connected monitors, as the desktop reports them, and notice of every change.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Signal.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

struct Screen {
    // The desktop's number for the monitor; screens without one are not displays.
    std::optional<std::uint32_t> displayNumber;
    // Both in the desktop space (origin top left of the primary monitor, y down, in points): a back
    // end converts before handing them out, so nothing above it flips.
    Rect frame;
    Rect workArea;  // the frame without panels, docks and the menu bar
    // The monitor's UUID in its standard upper-case 8-4-4-4-12 text form, when the back end can make
    // one (on X11: name-based, from the EDID).
    std::optional<std::string> uuid;
    // From the EDID; 0 when unknown.
    std::uint32_t vendorNumber = 0;
    std::uint32_t modelNumber = 0;
    std::uint32_t serialNumber = 0;
    // Whether the numbers above came from the monitor at all (false: no EDID).
    bool hasEDID = false;
    // The connector or monitor name ("DP-1", "eDP-1"), unique among connected monitors.
    std::string connectorName;
    // The name shown to the user ("DELL U2720Q").
    std::string localizedName;
    bool isBuiltIn = false;

    friend bool operator==(const Screen&, const Screen&) = default;
};

class Screens {
public:
    virtual ~Screens() = default;

    // Every connected monitor; the primary one first.
    virtual std::vector<Screen> screens() const = 0;
    // A number that changes whenever screens() gives another list, so that what is built from the
    // list can be kept until then. No two lists in the process share one (nextGeneration()), not
    // even those of two objects that happen to occupy the same address one after the other.
    virtual std::uint64_t generation() const = 0;

    // Called after the arrangement, a monitor's work area or the set of monitors changed.
    [[nodiscard]] virtual Subscription onChange(std::function<void()> handler) = 0;

protected:
    static std::uint64_t nextGeneration() {
        static std::uint64_t last = 0;
        return ++last;
    }
};

}  // namespace tessary
