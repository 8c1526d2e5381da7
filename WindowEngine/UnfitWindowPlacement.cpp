#include "WindowEngine/UnfitWindowPlacement.h"

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

}  // namespace tessary
