#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

// What a layout thumbnail draws, as a pure function of the layout and the size it is given, so the
// picture can be checked without painting it. Lengths are logical pixels of the thumbnail.
namespace LayoutThumbnailModel {

// Width : height of every thumbnail.
inline constexpr double aspectRatio = 1.6;

struct ThumbnailZone {
    std::int64_t index = 0;
    Rect rect;
    // Lit: the whole layout is highlighted, or this zone is one of the highlighted ones.
    bool lit = false;
    // Picked: the thumbnail takes clicks and this zone is one of the highlighted ones.
    bool picked = false;

    friend bool operator==(const ThumbnailZone&, const ThumbnailZone&) = default;
};

// The largest 1.6 : 1 size that fits in the given one.
Size fittedSize(Size available);

// The layout's gaps as the thumbnail shows them: a quarter of the real ones, but never under 2.0
// between zones and 2.5 at the border, so that gaps shrink with the picture without vanishing.
double thumbnailSpacing(double spacing);
double thumbnailPadding(double padding);

// The zones laid out in (0, 0, size), in zone order (later zones drawn on top). A size too small
// for the padding gives none: only the background is drawn.
std::vector<ThumbnailZone> zones(const ZoneLayout& layout, Size size, bool highlighted,
                                 const std::set<std::int64_t>& highlightedZones, bool tappable);

// The zone a click at the point lands on: the topmost (last) zone containing it, or -1.
std::int64_t zoneAt(const std::vector<ThumbnailZone>& zones, Point point);

}  // namespace LayoutThumbnailModel

}  // namespace tessary
