#pragma once

#include <optional>

#include "TessaryCore/Geometry.h"

namespace tessary {

// What happened when a window was asked to take a frame.
struct SetFrameResult {
    SetFrameResult() = default;
    SetFrameResult(const Rect& requested, std::optional<Rect> achieved = std::nullopt,
                   std::optional<Size> sizeIncrement = std::nullopt)
        : requested(requested), achieved(achieved), sizeIncrement(sizeIncrement) {}

    Rect requested;
    std::optional<Rect> achieved;  // absent when the window could not be read back
    // The step in which the window's size changes (a terminal's character cell), when it declares
    // one; such a window takes the largest size that fits, not always the one asked for.
    std::optional<Size> sizeIncrement;

    // The window reached the requested frame: see takes().
    bool succeeded() const;

    // Whether a window that ended at `achieved` took `requested`: every edge within 2.0 points; or,
    // for a window with a size step, on each axis a size smaller by less than one step with the
    // remainder shared on both sides (within 2.0 points of the centred position).
    static bool takes(const Rect& requested, const Rect& achieved, const std::optional<Size>& sizeIncrement);

    friend bool operator==(const SetFrameResult&, const SetFrameResult&) = default;
};

}  // namespace tessary
