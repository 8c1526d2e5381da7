#pragma once

#include <optional>

#include "TessaryCore/Geometry.h"

namespace tessary {

// What happened when a window was asked to take a frame.
struct SetFrameResult {
    Rect requested;
    std::optional<Rect> achieved;  // absent when the window could not be read back

    // The window reached the requested frame within 2.0 points on every edge.
    bool succeeded() const;

    friend bool operator==(const SetFrameResult&, const SetFrameResult&) = default;
};

}  // namespace tessary
