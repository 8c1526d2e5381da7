#include "TessaryCore/ZoneGeometry.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tessary::ZoneGeometry {

namespace {

// The block of tracks a zone covers; `inside` turns false when any of its cells lies outside the tracks.
struct Extent {
    std::size_t firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
    bool present = false;
    bool inside = true;

    void add(std::size_t r, std::size_t c, bool withinTracks) {
        inside = inside && withinTracks;
        if (!present) {
            present = true;
            firstRow = lastRow = r;
            firstColumn = lastColumn = c;
            return;
        }
        lastRow = r;  // rows are walked in order
        firstColumn = std::min(firstColumn, c);
        lastColumn = std::max(lastColumn, c);
    }
};

void appendGridZones(const ZoneGrid& grid, const Rect& area, double spacing, std::vector<Zone>& out) {
    const std::vector<TrackSpan> columns = trackSpans(grid.columnWeights, area.width(), area.minX(), spacing);
    const std::vector<TrackSpan> rows = trackSpans(grid.rowWeights, area.height(), area.minY(), spacing);

    // A valid grid numbers its zones 0 to k - 1 with k at most the number of cells, so the extents
    // are indexed by number; larger numbers, found only in grids stored broken, go to a map.
    std::size_t cellCount = 0;
    for (const auto& row : grid.cellZones) cellCount += row.size();
    std::vector<Extent> extents(cellCount);
    std::map<std::int64_t, Extent> outliers;
    for (std::size_t r = 0; r < grid.cellZones.size(); ++r) {
        const auto& row = grid.cellZones[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::int64_t zone = row[c];
            if (zone < 0) continue;
            const bool withinTracks = r < rows.size() && c < columns.size();
            if (static_cast<std::uint64_t>(zone) < cellCount) extents[static_cast<std::size_t>(zone)].add(r, c, withinTracks);
            else outliers[zone].add(r, c, withinTracks);
        }
    }

    const auto emit = [&](std::int64_t index, const Extent& e) {
        if (!e.present || !e.inside) return;
        const double x = columns[e.firstColumn].start;
        const double y = rows[e.firstRow].start;
        const double width = std::max(columns[e.lastColumn].end - x, 0.0);
        const double height = std::max(rows[e.lastRow].end - y, 0.0);
        out.push_back(Zone{index, Rect(x, y, width, height)});
    };
    out.reserve(out.size() + std::min<std::size_t>(cellCount, 64));
    for (std::size_t n = 0; n < extents.size(); ++n) emit(static_cast<std::int64_t>(n), extents[n]);
    for (const auto& [n, e] : outliers) emit(n, e);
}

void appendCanvasZones(const ZoneCanvas& canvas, const Rect& area, std::vector<Zone>& out) {
    const Size reference = canvas.referenceSize;
    if (!(reference.width > 0) || !(reference.height > 0)) return;
    const double sx = area.width() / reference.width;
    const double sy = area.height() / reference.height;
    out.reserve(canvas.zones.size());
    for (std::size_t i = 0; i < canvas.zones.size(); ++i) {
        const Rect z = canvas.zones[i].standardized();
        out.push_back(Zone{static_cast<std::int64_t>(i),
                           Rect(area.minX() + sx * z.minX(), area.minY() + sy * z.minY(), sx * z.width(),
                                sy * z.height())});
    }
}

}  // namespace

std::vector<Zone> zones(const ZoneLayout& layout, const Rect& rect) {
    std::vector<Zone> out;
    const Rect area = rect.insetBy(layout.padding, layout.padding).standardized();
    // A work area or gap that is not finite (from a broken display report or a hand-edited file)
    // would only produce rectangles no window can take.
    if (!(area.width() > 0) || !(area.height() > 0) || !area.isFinite()) return out;
    if (const ZoneGrid* grid = layout.kind.grid()) {
        if (!std::isfinite(layout.spacing)) return out;
        appendGridZones(*grid, area, layout.spacing, out);
    } else {
        appendCanvasZones(*layout.kind.canvas(), area, out);
    }
    // Extreme weights or reference sizes can still overflow in the arithmetic above.
    std::erase_if(out, [](const Zone& zone) { return !zone.rect.isFinite(); });
    return out;
}

std::vector<TrackSpan> trackSpans(const std::vector<double>& weights, double length, double origin, double spacing) {
    std::vector<TrackSpan> spans;
    spans.reserve(weights.size());
    double total = 0;
    for (double w : weights) total += w;
    if (!(total > 0)) {
        spans.assign(weights.size(), TrackSpan{origin, origin});
        return spans;
    }
    const double unit = (length + spacing) / total;
    double before = 0;
    for (double w : weights) {
        const double after = before + w;
        spans.push_back(TrackSpan{origin + unit * before, origin + unit * after - spacing});
        before = after;
    }
    return spans;
}

}  // namespace tessary::ZoneGeometry
