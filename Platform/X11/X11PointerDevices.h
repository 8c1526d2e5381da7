#pragma once

#include <xcb/xinput.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "TessaryCore/ClosedRange.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// What the raw motion of one pointing device says. XInput 2 raw events carry the device's own
// values and nothing of their meaning: a mouse or touchpad (relative axes) reports how far it
// moved; a tablet, touch screen or a virtual machine's pointer (absolute axes with limits) reports
// where it is in its own range, which the server scales onto the screen; and the XTest device,
// which remote desktops, input-sharing tools and scripts drive, reports deltas for relative moves
// and root positions for absolute ones, both under the same relative-looking axes.
struct X11PointerDevice {
    // Only deltas ever come: a mouse or touchpad. Their motion is followed with no request.
    bool relative = false;
    // The ranges of the x and y axes when they are absolute with limits.
    std::optional<ClosedRange<double>> xRange, yRange;

    static X11PointerDevice from(const xcb_input_xi_query_device_reply_t& reply);
    // Classifies by the name and the first two valuators: (mode is relative, lower, upper) each.
    struct Axis {
        bool relativeMode = false;
        double lower = 0, upper = 0;
    };
    static X11PointerDevice from(std::string_view name, std::optional<Axis> x, std::optional<Axis> y);
};

// How the raw motion of each device that is not simply relative is read during one drag, learned
// from the pointer itself: after such motion the pointer is read (one round trip), and when
// exactly one reading of the values the batch carried explains where the pointer is (the values
// as deltas, as root positions, or scaled from the device's range onto the root window), that
// reading follows the rest of the drag with no request. A batch that no reading explains (the
// pointer moved on meanwhile, or two devices moved it) teaches nothing; the pointer read serves.
// A device is taken to move one way through a drag; what was learned is forgotten at the next
// press, since a tool may switch between relative and absolute moves from one drag to the next.
class X11MotionReadings {
public:
    enum class Reading { unknown, deltas, positions, scaled };

    void startDrag();
    // Applies a raw motion of `device` to `location` (clamped to the root of size `root`) when its
    // reading is known, and answers true; else notes what each reading would make of it, from the
    // location the batch started at, and answers false: the pointer must be read.
    bool apply(uint16_t device, const X11PointerDevice& kind, std::optional<double> x, std::optional<double> y,
               Point& location, Size root);
    // The pointer as read after a batch with motion of unknown reading.
    void learn(Point pointer);
    Reading reading(uint16_t device) const;

    // Two readings agree within this (scaling makes fractions, the server whole pixels).
    static constexpr double tolerance = 1.0;

private:
    struct Candidates {
        Point start;
        Point deltas;
        std::optional<Point> positions;
        std::optional<Point> scaled;
    };
    std::map<uint16_t, Reading> readings_;
    std::map<uint16_t, Candidates> pending_;
};

}  // namespace tessary
