#include "WindowEngine/SetFrameResult.h"

#include <algorithm>
#include <cmath>

#include "WindowEngine/CoordinateSpace.h"

namespace tessary {

namespace {

constexpr double tolerance = 2.0;

// Where one axis of a window starts in the requested span (std::round takes halves away from zero).
double stepAxisOrigin(double requestedMin, double requestedLength, double length, bool centred) {
    if (!centred) return requestedMin;
    return requestedMin + std::round(std::max((std::fabs(requestedLength) - length) * 0.5, 0.0));
}

// One axis of a stepped window: its origin and length against the requested ones.
bool takesAxis(double requestedMin, double requestedLength, double min, double length, double step, bool centred) {
    const double remainder = std::fabs(requestedLength) - length;
    const bool sized = std::fabs(remainder) <= tolerance || (remainder >= 0 && remainder < step);
    if (!sized) return false;
    return std::fabs(min - stepAxisOrigin(requestedMin, requestedLength, length, centred)) <= tolerance;
}

}  // namespace

bool SetFrameResult::succeeded() const {
    return achieved.has_value() && takes(requested, *achieved, sizeIncrement, centred);
}

bool SetFrameResult::takes(const Rect& requested, const Rect& achieved, const std::optional<Size>& sizeIncrement,
                           bool centred) {
    if (CoordinateSpace::approximatelyEqual(requested, achieved, tolerance)) return true;
    if (!sizeIncrement) return false;
    return takesAxis(requested.minX(), requested.width(), achieved.minX(), achieved.width(), sizeIncrement->width,
                     centred) &&
           takesAxis(requested.minY(), requested.height(), achieved.minY(), achieved.height(), sizeIncrement->height,
                     centred);
}

Point SetFrameResult::steppedOrigin(const Rect& requested, Size size, bool centred) {
    return Point{stepAxisOrigin(requested.minX(), requested.width(), size.width, centred),
                 stepAxisOrigin(requested.minY(), requested.height(), size.height, centred)};
}

}  // namespace tessary
