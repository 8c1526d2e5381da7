#include "Tessary/editor/CanvasEditorModel.h"

#include <algorithm>
#include <cmath>

namespace tessary {

CanvasEditorModel::CanvasEditorModel(LayoutEditorModel& model, Confirm confirm)
    : model_(model), confirm_(std::move(confirm)) {
    librarySubscription_ = model_.zones().observe([this] {
        if (takeShownLayout()) changed();
    });
    editorSubscription_ = model_.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::selectedLayoutID) cancelDrag();
        takeShownLayout();
        changed();
    });
    takeShownLayout();
}

bool CanvasEditorModel::takeShownLayout() {
    const ZoneLayout* layout = model_.currentLayout();
    if (layout ? shown_ && *shown_ == *layout : !shown_) return false;
    if (layout) {
        shown_ = *layout;
    } else {
        shown_.reset();
    }
    return true;
}

void CanvasEditorModel::changed() const {
    if (onChange) onChange();
}

void CanvasEditorModel::setSize(Size offered) {
    if (offered == offered_) return;
    offered_ = offered;
    changed();
}

std::optional<CanvasEditorModel::Fit> CanvasEditorModel::fit() const {
    const ZoneLayout* layout = model_.currentLayout();
    const ZoneCanvas* canvas = layout ? layout->kind.canvas() : nullptr;
    if (!canvas) return std::nullopt;
    const Rect area(inset, inset, offered_.width - 2 * inset, offered_.height - 2 * inset);
    const Size reference = canvas->referenceSize;
    Fit fit;
    fit.scale = std::min(area.width() / reference.width, area.height() / reference.height);
    const double width = reference.width * fit.scale;
    const double height = reference.height * fit.scale;
    fit.canvas = Rect(area.minX() + (area.width() - width) / 2, area.minY() + (area.height() - height) / 2, width, height);
    return fit;
}

std::vector<CanvasEditorModel::ZoneView> CanvasEditorModel::zoneViews() const {
    const auto fitted = fit();
    if (!fitted || !fitted->isEditable()) return {};
    const double s = fitted->scale;
    const auto& zones = model_.currentLayout()->kind.canvas()->zones;
    std::vector<ZoneView> views;
    views.reserve(zones.size());
    for (std::size_t i = 0; i < zones.size(); ++i) {
        const Rect& r = zones[i];
        const double w = std::max(r.width() * s, 0.0);
        const double h = std::max(r.height() * s, 0.0);
        const Rect frame(fitted->canvas.minX() + r.minX() * s, fitted->canvas.minY() + r.minY() * s, w, h);
        const auto index = static_cast<std::int64_t>(i);
        views.push_back({index, frame, Rect(frame.maxX() - handleSize, frame.maxY() - handleSize, handleSize, handleSize),
                         model_.selectedZones().contains(index), std::max(11.0, std::min({24.0, w * 0.25, h * 0.25}))});
    }
    return views;
}

CanvasEditorModel::Hit CanvasEditorModel::hit(Point p) const {
    const auto fitted = fit();
    if (!fitted || !fitted->isEditable()) return {};
    const auto views = zoneViews();
    for (auto view = views.rbegin(); view != views.rend(); ++view) {
        if (view->handle.contains(p)) return {Target::handle, view->index};
        if (view->frame.contains(p)) return {Target::zone, view->index};
    }
    if (fitted->canvas.contains(p)) return {Target::background, -1};
    return {};
}

void CanvasEditorModel::press(Point p) {
    cancelDrag();
    pressed_ = true;
    pressPoint_ = p;
    pressHit_ = hit(p);
}

void CanvasEditorModel::moveTo(Point p) {
    if (!pressed_) return;
    const Point translation{p.x - pressPoint_.x, p.y - pressPoint_.y};
    if (!dragging_) {
        if (std::hypot(translation.x, translation.y) < 1) return;
        dragging_ = true;
    }
    if (pressHit_.target == Target::zone) dragZone(pressHit_.index, translation, false);
    if (pressHit_.target == Target::handle) dragZone(pressHit_.index, translation, true);
}

void CanvasEditorModel::release(Point) {
    const bool wasClick = pressed_ && !dragging_;
    const Hit pressed = pressHit_;
    cancelDrag();
    if (wasClick) click(pressed);
}

void CanvasEditorModel::cancelDrag() {
    pressed_ = false;
    dragging_ = false;
    pressHit_ = {};
    dragStart_.clear();
}

void CanvasEditorModel::click(const Hit& hit) {
    if (hit.target == Target::zone) model_.select(hit.index, true);
    if (hit.target == Target::background) model_.setSelectedZones({});
}

void CanvasEditorModel::dragZone(std::int64_t index, Point translation, bool resize) {
    const auto fitted = fit();
    if (!fitted || !fitted->isEditable()) return;
    auto start = dragStart_.find(index);
    if (start == dragStart_.end()) {
        const auto& zones = model_.currentLayout()->kind.canvas()->zones;
        if (index < 0 || index >= static_cast<std::int64_t>(zones.size())) return;
        start = dragStart_.emplace(index, zones[static_cast<std::size_t>(index)]).first;
    }
    const Rect from = start->second;
    const double dx = translation.x / fitted->scale;
    const double dy = translation.y / fitted->scale;
    const Rect to = resize ? Rect(from.x(), from.y(), from.width() + dx, from.height() + dy)
                           : Rect(from.x() + dx, from.y() + dy, from.width(), from.height());
    if (!resize) model_.setSelectedZones({index});
    model_.editCanvas([&](ZoneCanvas& canvas) { return ZoneEdits::setZoneFrame(canvas, index, to); });
}

void CanvasEditorModel::confirmDeleteSelectedZones() {
    if (!confirm_) return;
    std::weak_ptr<int> alive = alive_;
    confirmDeleteSelectedZones(model_, [this, alive](const ConfirmRequest& request, std::function<void()> action) {
        confirm_(request, [alive, action = std::move(action)] {
            if (alive.lock()) action();
        });
    });
}

void CanvasEditorModel::confirmDeleteSelectedZones(LayoutEditorModel& model, const Confirm& confirm) {
    if (model.selectedZones().empty() || !confirm) return;
    confirm({ZoneService::localized("Delete the selected zones?"), ZoneService::localized("This cannot be undone."),
             ZoneService::localized("Delete")},
            [&model] { deleteSelectedZones(model); });
}

void CanvasEditorModel::deleteSelectedZones(LayoutEditorModel& model) {
    const std::set<std::int64_t> selected = model.selectedZones();
    if (selected.empty()) return;
    model.editCanvas([&](ZoneCanvas& canvas) -> Expected<void, ZoneEditError> {
        ZoneEdits::deleteZones(canvas, selected);
        return {};
    });
    model.setSelectedZones({});
}

}  // namespace tessary
