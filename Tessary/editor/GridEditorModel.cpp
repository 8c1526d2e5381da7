#include "Tessary/editor/GridEditorModel.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "Tessary/services/OverlayModel.h"
#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/ZoneGeometry.h"

namespace tessary {

namespace {

using Axis = ZoneGrid::SplitAxis;

double sum(const std::vector<double>& weights) { return std::accumulate(weights.begin(), weights.end(), 0.0); }

// Splitting a track to move one run re-adds weights in another order; the last bits of an
// untouched cell's edges may differ, which no one sees.
bool nearlyEqual(const Rect& a, const Rect& b) {
    constexpr double noise = 1e-6;
    return std::abs(a.x() - b.x()) < noise && std::abs(a.y() - b.y()) < noise &&
           std::abs(a.width() - b.width()) < noise && std::abs(a.height() - b.height()) < noise;
}

bool looksTheSame(const GridEditorModel::Cell& a, const GridEditorModel::Cell& b) {
    return a.selected == b.selected && a.label == b.label && nearlyEqual(a.frame, b.frame);
}

bool hasPositiveFiniteSize(const Rect& rect) {
    return rect.isFinite() && rect.width() > 0 && rect.height() > 0;
}

}  // namespace

Rect DividerMetrics::handleRect(const ZoneGrid::DividerSegment& segment) const {
    const bool horizontal = segment.axis == Axis::horizontal;
    const double total = sum(horizontal ? grid.rowWeights : grid.columnWeights);
    const double length = horizontal ? inner.height() : inner.width();
    const double origin = horizontal ? inner.minY() : inner.minX();
    const double centre = total > 0 ? origin + segment.position / total * (length + spacing) - spacing / 2 : origin;
    const double thickness = std::max(spacing, 12.0);

    const auto spans = horizontal
                           ? ZoneGeometry::trackSpans(grid.columnWeights, inner.width(), inner.minX(), spacing)
                           : ZoneGeometry::trackSpans(grid.rowWeights, inner.height(), inner.minY(), spacing);
    const auto first = static_cast<std::size_t>(std::max<std::int64_t>(segment.tracks.lowerBound, 0));
    const auto last = static_cast<std::size_t>(std::max<std::int64_t>(segment.tracks.upperBound, 0));
    if (spans.empty() || last >= spans.size() || first > last) return Rect();
    const double start = spans[first].start;
    const double extent = std::max(spans[last].end - start, 1.0);
    if (horizontal) return Rect(start, centre - thickness / 2, extent, thickness);
    return Rect(centre - thickness / 2, start, thickness, extent);
}

double DividerMetrics::weightUnits(double length, Axis axis) const {
    const bool horizontal = axis == Axis::horizontal;
    const double total = sum(horizontal ? grid.rowWeights : grid.columnWeights);
    const double along = horizontal ? inner.height() : inner.width();
    return length * total / std::max(along + spacing, 1.0);
}

ZoneSizeLabel ZoneSizeLabel::make(const Zone& zone, const std::vector<Zone>& onScreen,
                                  const std::optional<Rect>& workArea) {
    const double w = zone.rect.width();
    const double h = zone.rect.height();
    ZoneSizeLabel label;
    label.number = overlaytext::zoneNumber(zone.index);
    label.numberFontSize = std::max(11.0, std::min({28.0, h * 0.25, w / 5}));
    if (!workArea || !hasPositiveFiniteSize(*workArea)) return label;
    // Zones come numbered in order: the same zone on screen is at its own index, which keeps a
    // layout of many thousand zones from costing a search per zone.
    const auto at = static_cast<std::size_t>(zone.index);
    const Zone* screen = zone.index >= 0 && at < onScreen.size() && onScreen[at].index == zone.index ? &onScreen[at] : nullptr;
    if (!screen) {
        const auto found = std::find_if(onScreen.begin(), onScreen.end(), [&](const Zone& z) { return z.index == zone.index; });
        if (found == onScreen.end()) return label;
        screen = &*found;
    }

    const Rect& z = screen->rect;
    label.sizeLine = std::to_string(roundedToInt64(z.width())) + " \u00d7 " + std::to_string(roundedToInt64(z.height())) + " px";
    label.sizeFontSize = std::max(9.0, std::min(h / 6, 11.0));
    if (h >= 84 && w >= 110) {
        label.percentLine = std::to_string(roundedToInt64(z.width() / workArea->width() * 100)) + "% \u00d7 " +
                            std::to_string(roundedToInt64(z.height() / workArea->height() * 100)) + "%";
        label.percentFontSize = h / 6 < 11 ? std::max(h / 6, 9.0) - 1 : 10;
    }
    return label;
}

GridEditorModel::GridEditorModel(LayoutEditorModel& model) : model_(model) {
    librarySubscription_ = model_.zones().observe([this] {
        const ZoneLayout* layout = model_.currentLayout();
        if (layout ? shown_ && *shown_ == *layout : !shown_) return;
        rebuild();
    });
    editorSubscription_ = model_.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::selectedLayoutID) {
            cancelDrag();
            rebuild();
        } else if (property == LayoutEditorModel::Property::selectedZones) {
            rebuild();
        }
    });
    rebuild();
}

void GridEditorModel::setSize(Size offered) {
    if (offered == offered_) return;
    offered_ = offered;
    rebuild();
}

void GridEditorModel::setWorkArea(std::optional<Rect> workArea) {
    if (workArea == workArea_) return;
    workArea_ = workArea;
    rebuild();
}

void GridEditorModel::rebuild() {
    std::vector<Cell> cells;
    std::vector<ZoneGrid::DividerSegment> dividers;
    std::vector<Rect> handles;
    std::optional<DividerMetrics> metrics;

    const ZoneLayout* layout = model_.currentLayout();
    if (layout) {
        shown_ = *layout;
    } else {
        shown_.reset();
    }
    const ZoneGrid* grid = layout ? layout->kind.grid() : nullptr;
    const Rect area(inset, inset, offered_.width - 2 * inset, offered_.height - 2 * inset);
    if (grid && hasPositiveFiniteSize(area)) {
        const std::vector<Zone> onScreen =
            workArea_ ? ZoneGeometry::zones(*layout, *workArea_) : std::vector<Zone>();
        for (const Zone& zone : ZoneGeometry::zones(*layout, area)) {
            const double w = std::max(zone.rect.width(), 1.0);
            const double h = std::max(zone.rect.height(), 1.0);
            const Rect frame(zone.rect.midX() - w / 2, zone.rect.midY() - h / 2, w, h);
            cells.push_back({zone, frame, model_.selectedZones().contains(zone.index),
                             ZoneSizeLabel::make(zone, onScreen, workArea_)});
        }
        const Rect inner = area.insetBy(layout->padding, layout->padding);
        if (!inner.isNull() && inner.isFinite()) {
            metrics = DividerMetrics{*grid, layout->spacing, inner};
            dividers = grid->dividers();
            handles.reserve(dividers.size());
            for (const auto& divider : dividers) handles.push_back(metrics->handleRect(divider));
        }
    }

    // Handles are invisible and the gaps lie within the old and new frames of the cells beside
    // them, so the changed cells are all there is to repaint.
    repaint_.clear();
    const std::size_t common = std::min(cells.size(), cells_.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (looksTheSame(cells[i], cells_[i])) continue;
        repaint_.push_back(cells_[i].frame);
        if (!nearlyEqual(cells[i].frame, cells_[i].frame)) repaint_.push_back(cells[i].frame);
    }
    for (std::size_t i = common; i < cells_.size(); ++i) repaint_.push_back(cells_[i].frame);
    for (std::size_t i = common; i < cells.size(); ++i) repaint_.push_back(cells[i].frame);

    cells_ = std::move(cells);
    dividers_ = std::move(dividers);
    handles_ = std::move(handles);
    metrics_ = std::move(metrics);
    if (!repaint_.empty() && onRepaint) onRepaint(repaint_);
}

std::optional<ZoneGrid::DividerSegment> GridEditorModel::segment(Point p) const {
    std::optional<std::size_t> best;
    double bestDistance = 0;
    for (std::size_t i = 0; i < dividers_.size(); ++i) {
        const Rect& handle = handles_[i];
        if (!handle.contains(p)) continue;
        const double distance = dividers_[i].axis == Axis::vertical ? std::abs(p.x - handle.midX())
                                                                     : std::abs(p.y - handle.midY());
        if (!best || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    if (!best) return std::nullopt;
    return dividers_[*best];
}

void GridEditorModel::click(Point p) {
    if (segment(p)) return;
    for (const Cell& cell : cells_) {
        if (cell.frame.contains(p)) {
            model_.select(cell.zone.index, true);
            return;
        }
    }
    model_.setSelectedZones({});
}

void GridEditorModel::press(Point p) {
    cancelDrag();
    pressed_ = true;
    pressPoint_ = p;
}

void GridEditorModel::moveTo(Point p, bool wholeLine) {
    if (!pressed_) return;
    if (!dragging_) {
        // The gesture's minimum distance: a smaller motion is still a click.
        if (std::hypot(p.x - pressPoint_.x, p.y - pressPoint_.y) < 1) return;
        dragging_ = true;
    }
    dragDivider(p, wholeLine);
}

void GridEditorModel::release(Point p) {
    const bool wasClick = pressed_ && !dragging_;
    cancelDrag();
    if (wasClick) click(p);
}

void GridEditorModel::cancelDrag() {
    pressed_ = false;
    dragging_ = false;
    dragged_.reset();
}

void GridEditorModel::dragDivider(Point location, bool wholeLine) {
    if (!metrics_) return;
    ZoneGrid::DividerSegment segment;
    if (dragged_) {
        segment = *dragged_;
    } else if (auto found = this->segment(pressPoint_)) {
        segment = *found;
    } else {
        return;
    }
    const bool vertical = segment.axis == Axis::vertical;
    const double along = vertical ? location.x - metrics_->inner.minX() : location.y - metrics_->inner.minY();
    const double target = metrics_->weightUnits(along + metrics_->spacing / 2, segment.axis);
    const double tolerance = metrics_->weightUnits(snapTolerance, segment.axis);

    std::optional<double> applied;
    model_.editGrid([&](ZoneGrid& grid) -> Expected<void, ZoneEditError> {
        auto moved = ZoneEdits::moveDivider(grid, segment, target, tolerance, wholeLine);
        if (!moved) return unexpected(moved.error());
        applied = *moved;
        return {};
    });
    if (applied) segment.position = *applied;
    dragged_ = segment;
}

}  // namespace tessary
