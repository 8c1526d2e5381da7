#pragma once

#include <optional>

#include "TessaryCore/Geometry.h"

namespace tessary {

// What happened when a window was asked to take a frame.
struct SetFrameResult {
    SetFrameResult() = default;
    SetFrameResult(const Rect& requested, std::optional<Rect> achieved = std::nullopt,
                   std::optional<Size> sizeIncrement = std::nullopt, bool centred = false)
        : requested(requested), achieved(achieved), sizeIncrement(sizeIncrement), centred(centred) {}

    Rect requested;
    std::optional<Rect> achieved;  // absent when the window could not be read back
    // The step in which the window's size changes (a terminal's character cell), when it declares
    // one; such a window takes the largest size that fits, not always the one asked for.
    std::optional<Size> sizeIncrement;
    // Whether such a window, smaller than the frame, belongs centred in it (the centring preference
    // when the engine set it); otherwise at the frame's origin.
    bool centred = false;
    // Nobody could carry out the move: no window manager runs. Never set when the frame was taken.
    bool unanswered = false;
    // The window manager held the window short of the frame to keep the invisible shadow the
    // window draws around itself on the screen. Never set when the frame was taken.
    bool shadowKeptOnScreen = false;

    // The window reached the requested frame: see takes().
    bool succeeded() const;

    // Whether a window that ended at `achieved` took `requested`: every edge within 2.0 points; or,
    // for a window with a size step, on each axis a size smaller by less than one step, placed
    // (within 2.0 points) where steppedOrigin() puts it.
    static bool takes(const Rect& requested, const Rect& achieved, const std::optional<Size>& sizeIncrement,
                      bool centred);
    // Where a window of `size` belongs in `requested`: centred on whole points (halves away from
    // zero, never before the frame's minimum edges), or at the frame's origin.
    static Point steppedOrigin(const Rect& requested, Size size, bool centred);

    friend bool operator==(const SetFrameResult&, const SetFrameResult&) = default;
};

}  // namespace tessary
