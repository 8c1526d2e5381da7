#include "Tessary/shell/LayoutThumbnailModel.h"

#include <algorithm>
#include <cmath>

#include "TessaryCore/ZoneGeometry.h"

namespace tessary::LayoutThumbnailModel {

Size fittedSize(Size available) {
    const double width = std::max(0.0, available.width);
    const double height = std::max(0.0, available.height);
    if (!std::isfinite(width) || !std::isfinite(height)) return {0, 0};
    if (width / aspectRatio <= height) return {width, width / aspectRatio};
    return {height * aspectRatio, height};
}

double thumbnailSpacing(double spacing) { return std::max(spacing * 0.25, 2.0); }
double thumbnailPadding(double padding) { return std::max(padding * 0.25, 2.5); }

std::vector<ThumbnailZone> zones(const ZoneLayout& layout, Size size, bool highlighted,
                                 const std::set<std::int64_t>& highlightedZones, bool tappable) {
    ZoneLayout scaled = layout;
    scaled.spacing = thumbnailSpacing(layout.spacing);
    scaled.padding = thumbnailPadding(layout.padding);
    std::vector<ThumbnailZone> result;
    for (const Zone& zone : ZoneGeometry::zones(scaled, Rect(0, 0, size.width, size.height))) {
        const bool chosen = highlightedZones.contains(zone.index);
        result.push_back({zone.index, zone.rect, highlighted || chosen, tappable && chosen});
    }
    return result;
}

std::int64_t zoneAt(const std::vector<ThumbnailZone>& zones, Point point) {
    for (auto it = zones.rbegin(); it != zones.rend(); ++it) {
        if (it->rect.standardized().contains(point)) return it->index;
    }
    return -1;
}

}  // namespace tessary::LayoutThumbnailModel
