#include "WindowEngine/UnfitWindowPlacement.h"

#include "WindowEngine/DisplayProvider.h"

#include <algorithm>
#include <cmath>

namespace tessary {

std::optional<Rect> UnfitWindowPlacement::centeredFrame(Size size, const Rect& in, double tolerance) {
    const double dw = std::fabs(in.width()) - size.width;
    const double dh = std::fabs(in.height()) - size.height;
    if (std::fabs(dw) <= tolerance && std::fabs(dh) <= tolerance) return std::nullopt;
    // std::round takes halves away from zero.
    const double x = in.minX() + std::round(std::max(dw * 0.5, 0.0));
    const double y = in.minY() + std::round(std::max(dh * 0.5, 0.0));
    return Rect(x, y, size.width, size.height);
}

Point UnfitWindowPlacement::keptOn(Point origin, Size size, const Rect& requested, const Rect& workArea) {
    auto axis = [](double at, double extent, double farEdge, double minimum, double maximum) {
        // Whole points inside: a fraction over the edge would still be over it.
        const double first = std::ceil(minimum);
        if (at + extent > maximum) {
            const double atFarEdge = std::floor(farEdge - extent);
            if (atFarEdge >= first) return std::min(at, atFarEdge);
        }
        return std::max(first, std::min(at, std::floor(maximum - extent)));
    };
    return Point{axis(origin.x, size.width, requested.maxX(), workArea.minX(), workArea.maxX()),
                 axis(origin.y, size.height, requested.maxY(), workArea.minY(), workArea.maxY())};
}

Point UnfitWindowPlacement::keptOnWorkArea(Point origin, Size size, const Rect& requested) {
    const auto display = DisplayProvider::display(requested);
    if (!display) return origin;
    return keptOn(origin, size, requested, display->workArea);
}

}  // namespace tessary
