#include "WindowEngine/SetFrameResult.h"

#include <cmath>

#include "WindowEngine/CoordinateSpace.h"

namespace tessary {

namespace {

constexpr double tolerance = 2.0;

// One axis of a stepped window: its origin and length against the requested ones.
bool takesAxis(double requestedMin, double requestedLength, double min, double length, double step) {
    const double remainder = std::fabs(requestedLength) - length;
    const bool sized = std::fabs(remainder) <= tolerance || (remainder >= 0 && remainder < step);
    if (!sized) return false;
    // Centred as the window engine centres (on whole points, halves away from zero).
    const double centred = requestedMin + std::round(std::max(remainder * 0.5, 0.0));
    return std::fabs(min - centred) <= tolerance;
}

}  // namespace

bool SetFrameResult::succeeded() const { return achieved.has_value() && takes(requested, *achieved, sizeIncrement); }

bool SetFrameResult::takes(const Rect& requested, const Rect& achieved, const std::optional<Size>& sizeIncrement) {
    if (CoordinateSpace::approximatelyEqual(requested, achieved, tolerance)) return true;
    if (!sizeIncrement) return false;
    return takesAxis(requested.minX(), requested.width(), achieved.minX(), achieved.width(), sizeIncrement->width) &&
           takesAxis(requested.minY(), requested.height(), achieved.minY(), achieved.height(), sizeIncrement->height);
}

}  // namespace tessary
