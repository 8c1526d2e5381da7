#include "WindowEngine/CoordinateSpace.h"

#include <cmath>

namespace tessary {

Rect CoordinateSpace::flip(const Rect& rect, double height) {
    return Rect(rect.minX(), height - rect.maxY(), rect.width(), rect.height());
}

Point CoordinateSpace::flip(Point point, double height) { return Point{point.x, height - point.y}; }

bool CoordinateSpace::approximatelyEqual(const Rect& a, const Rect& b, double tolerance) {
    // Written as "not greater" would let NaN through; "at most" refuses it.
    const auto within = [tolerance](double d) { return std::fabs(d) <= tolerance; };
    // Widths and heights as the platform reads them: of the standardised rectangle.
    return within(a.minX() - b.minX()) && within(a.minY() - b.minY()) &&
           within(std::fabs(a.width()) - std::fabs(b.width())) && within(std::fabs(a.height()) - std::fabs(b.height()));
}

}  // namespace tessary
