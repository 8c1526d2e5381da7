#include "TessaryCore/ZoneHitTest.h"

#include <cmath>

namespace tessary::ZoneHitTest {

std::optional<Zone> zoneAt(Point point, const std::vector<Zone>& zones) {
    const Zone* best = nullptr;
    double bestArea = 0;
    for (const Zone& zone : zones) {
        if (!zone.rect.contains(point)) continue;
        const double area = zone.rect.width() * zone.rect.height();
        // Only a strictly smaller area replaces the best, so the first listed wins ties.
        if (!best || std::abs(area) < bestArea) {
            best = &zone;
            bestArea = std::abs(area);
        }
    }
    if (!best) return std::nullopt;
    return *best;
}

std::optional<Zone> nearestZone(Point point, const std::vector<Zone>& zones) {
    const Zone* best = nullptr;
    double bestDistance = 0;
    for (const Zone& zone : zones) {
        const Point c = centre(zone.rect);
        const double dx = c.x - point.x;
        const double dy = c.y - point.y;
        const double distance = dx * dx + dy * dy;
        if (!best || distance < bestDistance) {
            best = &zone;
            bestDistance = distance;
        }
    }
    if (!best) return std::nullopt;
    return *best;
}

Point centre(const Rect& rect) { return Point{rect.midX(), rect.midY()}; }

}  // namespace tessary::ZoneHitTest
