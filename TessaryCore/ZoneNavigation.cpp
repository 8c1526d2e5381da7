#include "TessaryCore/ZoneNavigation.h"

#include <algorithm>
#include <cmath>

#include "TessaryCore/ZoneHitTest.h"

namespace tessary::ZoneNavigation {

std::optional<Zone> zoneMatching(const Rect& frame, const std::vector<Zone>& zones, double tolerance) {
    const Rect f = frame.standardized();
    for (const Zone& zone : zones) {
        const Rect z = zone.rect.standardized();
        if (std::abs(z.minX() - f.minX()) <= tolerance && std::abs(z.minY() - f.minY()) <= tolerance &&
            std::abs(z.width() - f.width()) <= tolerance && std::abs(z.height() - f.height()) <= tolerance) {
            return zone;
        }
    }
    return ZoneHitTest::zoneAt(ZoneHitTest::centre(frame), zones);
}

std::optional<Zone> zoneAfter(const Rect& frame, std::int64_t step, const std::vector<Zone>& zones) {
    if (zones.empty()) return std::nullopt;
    std::vector<Zone> sorted = zones;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Zone& a, const Zone& b) { return a.index < b.index; });
    const auto current = zoneMatching(frame, zones, defaultTolerance);
    if (!current) return step >= 0 ? sorted.front() : sorted.back();
    const auto n = static_cast<std::int64_t>(sorted.size());
    const auto position = std::find_if(sorted.begin(), sorted.end(),
                                       [&](const Zone& z) { return z.index == current->index; }) - sorted.begin();
    // Reduce the step first: any step, even at the ends of the 64-bit range, wraps without overflow.
    std::int64_t target = (static_cast<std::int64_t>(position) + step % n) % n;
    if (target < 0) target += n;
    return sorted[static_cast<std::size_t>(target)];
}

}  // namespace tessary::ZoneNavigation
