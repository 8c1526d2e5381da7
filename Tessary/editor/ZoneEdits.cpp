#include "Tessary/editor/ZoneEdits.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace tessary {

std::string ZoneEditError::description() const {
    return grid_ ? grid_->description() : "nonFiniteNumber";
}

namespace ZoneEdits {

namespace {

// Positions closer than this are the same cut (the grid's own tolerance).
constexpr double samePosition = 1e-9;

}  // namespace

Expected<std::optional<double>, ZoneEditError> moveDivider(ZoneGrid& grid, const ZoneGrid::DividerSegment& segment,
                                                           double target, double tolerance, bool wholeLine) {
    if (!std::isfinite(target) || !std::isfinite(tolerance)) return unexpected(ZoneEditError::nonFiniteNumber());
    std::vector<ZoneGrid::DividerSegment> same = grid.dividers();
    std::erase_if(same, [&](const ZoneGrid::DividerSegment& d) { return d.axis != segment.axis; });
    std::vector<ZoneGrid::DividerSegment> moving;
    for (const auto& d : same) {
        if (std::abs(d.position - segment.position) < samePosition && (wholeLine || d.tracks == segment.tracks)) {
            moving.push_back(d);
        }
    }
    if (moving.empty()) return std::optional<double>();

    const auto& weights = segment.axis == ZoneGrid::SplitAxis::horizontal ? grid.rowWeights : grid.columnWeights;
    const double margin = dividerMargin * std::accumulate(weights.begin(), weights.end(), 0.0);
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    for (const auto& d : moving) {
        lo = std::max(lo, d.travel.lowerBound + margin);
        hi = std::min(hi, d.travel.upperBound - margin);
    }
    if (!(lo < hi)) return std::optional<double>();
    double t = std::min(std::max(target, lo), hi);

    const ZoneGrid::DividerSegment* nearest = nullptr;
    for (const auto& d : same) {
        if (std::find(moving.begin(), moving.end(), d) != moving.end()) continue;
        if (!nearest || std::abs(d.position - t) < std::abs(nearest->position - t)) nearest = &d;
    }
    if (nearest && std::abs(nearest->position - t) <= tolerance && lo <= nearest->position &&
        nearest->position <= hi) {
        t = nearest->position;
    }

    ZoneGrid work = grid;
    for (const auto& d : moving) {
        if (auto moved = work.moveDivider(d, t); !moved) return unexpected(ZoneEditError(moved.error()));
    }
    grid = std::move(work);
    return std::optional<double>(t);
}

Expected<void, ZoneEditError> setZoneFrame(ZoneCanvas& canvas, std::int64_t index, const Rect& frame) {
    if (!frame.isFinite()) return unexpected(ZoneEditError::nonFiniteNumber());
    if (index < 0 || index >= static_cast<std::int64_t>(canvas.zones.size())) return {};
    const Size r = canvas.referenceSize;
    const double width = std::max(std::min(std::abs(frame.width()), r.width), minimumZoneWidth);
    const double height = std::max(std::min(std::abs(frame.height()), r.height), minimumZoneHeight);
    const double x = std::max(std::min(frame.x(), r.width - width), 0.0);
    const double y = std::max(std::min(frame.y(), r.height - height), 0.0);
    const Rect result(x, y, width, height);
    // A reference size that is not finite (a hand-edited file) could still bring one in.
    if (!result.isFinite()) return unexpected(ZoneEditError::nonFiniteNumber());
    canvas.zones[static_cast<std::size_t>(index)] = result;
    return {};
}

Expected<void, ZoneEditError> addZone(ZoneCanvas& canvas) {
    const Size r = canvas.referenceSize;
    const auto n = static_cast<std::int64_t>(canvas.zones.size());
    const double w = 0.4 * r.width;
    const double h = 0.4 * r.height;
    const double step = static_cast<double>(n % 5) * 40;
    ZoneCanvas work = canvas;
    work.zones.emplace_back((r.width - w) * 0.5 + step, (r.height - h) * 0.5 + step, w, h);
    if (auto set = setZoneFrame(work, n, work.zones.back()); !set) return set;
    canvas = std::move(work);
    return {};
}

void deleteZones(ZoneCanvas& canvas, const std::set<std::int64_t>& indices) {
    std::vector<Rect> kept;
    kept.reserve(canvas.zones.size());
    for (std::size_t i = 0; i < canvas.zones.size(); ++i) {
        if (!indices.contains(static_cast<std::int64_t>(i))) kept.push_back(canvas.zones[i]);
    }
    canvas.zones = std::move(kept);
}

}  // namespace ZoneEdits

}  // namespace tessary
