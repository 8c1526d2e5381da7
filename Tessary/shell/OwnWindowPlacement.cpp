#include "Tessary/shell/OwnWindowPlacement.h"

#include <algorithm>

namespace tessary {

std::optional<DisplayInfo> OwnWindowPlacement::displayFor(std::optional<Point> pointer,
                                                       const std::vector<DisplayInfo>& displays) {
    if (displays.empty()) return std::nullopt;
    if (pointer) {
        for (const DisplayInfo& display : displays) {
            if (display.frame.standardized().contains(*pointer)) return display;
        }
    }
    const auto primary = std::find_if(displays.begin(), displays.end(), [](const DisplayInfo& d) { return d.isPrimary; });
    return primary != displays.end() ? *primary : displays.front();
}

Rect OwnWindowPlacement::centred(Size frame, const DisplayInfo& display) {
    const Rect area = display.workArea.isEmpty() ? display.frame.standardized() : display.workArea.standardized();
    auto start = [](double areaStart, double areaLength, double length) {
        return length >= areaLength ? areaStart : areaStart + (areaLength - length) / 2;
    };
    return Rect(start(area.minX(), area.width(), frame.width), start(area.minY(), area.height(), frame.height),
                frame.width, frame.height);
}

bool OwnWindowPlacement::insideOneDisplay(const Rect& frame, const std::vector<DisplayInfo>& displays) {
    const Rect f = frame.standardized();
    return std::any_of(displays.begin(), displays.end(), [&f](const DisplayInfo& display) {
        const Rect d = display.frame.standardized();
        return f.minX() >= d.minX() && f.minY() >= d.minY() && f.maxX() <= d.maxX() && f.maxY() <= d.maxY();
    });
}

}  // namespace tessary
