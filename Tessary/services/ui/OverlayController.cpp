#include "Tessary/services/ui/OverlayController.h"

#include <set>

#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "Tessary/services/ui/ZoneOverlayView.h"

namespace tessary {

OverlayController::OverlayController(Preferences& preferences, Scheduler& scheduler)
    : preferences_(preferences), scheduler_(scheduler) {}

OverlayController::~OverlayController() {
    cancelFlashTimer();
    scheduler_.cancel(releaseTimer_);
}

ZoneOverlayPanel* OverlayController::panel(std::uint32_t displayID) const {
    const auto found = panels_.find(displayID);
    return found == panels_.end() ? nullptr : found->second.get();
}

void OverlayController::cancelFlashTimer() {
    if (flashTimer_) scheduler_.cancel(std::exchange(flashTimer_, ScheduledTask{}));
}

void OverlayController::present(const std::vector<OverlayItem>& items) {
    scheduler_.cancel(std::exchange(releaseTimer_, ScheduledTask{}));
    ++flashGeneration_;
    isShowing_ = true;
    const bool compositing = !isCompositing || isCompositing();

    std::set<std::uint32_t> shown;
    for (const auto& item : items) {
        const std::uint32_t id = item.display.displayID;
        shown.insert(id);
        auto& slot = panels_[id];
        if (!slot) slot = std::make_unique<ZoneOverlayPanel>(item.display, preferences_);
        ZoneOverlayPanel& panel = *slot;
        panel.configure(item.display);
        panel.view().setCompositing(compositing);

        // Panel coordinates: the display frame's top left corner is (0, 0).
        const Rect frame = item.display.frame.standardized();
        std::vector<Zone> zones;
        zones.reserve(item.zones.size());
        for (const auto& zone : item.zones) {
            zones.push_back({zone.index, Rect(zone.rect.x() - frame.minX(), zone.rect.y() - frame.minY(),
                                              zone.rect.width(), zone.rect.height())});
        }
        panel.model().setZones(std::move(zones));
        panel.model().clearHighlight();
    }
    // Shown only once every panel has its zones, so none appears with stale ones.
    for (const auto id : shown) {
        ZoneOverlayPanel& panel = *panels_.at(id);
        if (panel.isOnScreen()) {
            panel.raise();
        } else {
            panel.present();
        }
    }
    // Every map goes first: each panel's shape and pixels cost the server milliseconds.
    for (const auto id : shown) panels_.at(id)->map();
    for (const auto id : shown) panels_.at(id)->reveal();
    for (auto it = panels_.begin(); it != panels_.end();) {
        if (shown.count(it->first) == 0) {
            it->second->withdraw();
            it = panels_.erase(it);
        } else {
            ++it;
        }
    }
}

void OverlayController::show(const std::vector<OverlayItem>& items) {
    dragShowing_ = true;
    cancelFlashTimer();
    flashing_ = false;
    present(items);
}

void OverlayController::setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                                       std::string_view note) {
    for (auto& [id, panel] : panels_) {
        if (id == display.displayID) {
            panel->model().setHighlighted(indices, note);
        } else {
            panel->model().clearHighlight();
        }
    }
}

void OverlayController::hide() {
    dragShowing_ = false;
    if (preview_) {
        // The preview waited under the drag's overlay; it comes back when the drag is done.
        present(*preview_);
        return;
    }
    cancelFlashTimer();
    isShowing_ = false;
    flashing_ = false;
    for (auto& [id, panel] : panels_) panel->withdraw();
    // The pixels stay for the next drag, which usually follows soon; an idle overlay gives them back.
    scheduler_.cancel(releaseTimer_);
    releaseTimer_ = scheduler_.schedule(idleRelease, [this] {
        releaseTimer_ = {};
        for (auto& [id, panel] : panels_) panel->releaseBuffers();
        if (afterIdleRelease) afterIdleRelease();
    });
}

void OverlayController::showPreview(const std::vector<OverlayItem>& items) {
    preview_ = items;
    if (dragShowing_) return;
    cancelFlashTimer();
    flashing_ = false;
    present(items);
}

void OverlayController::hidePreview() {
    if (!preview_) return;
    preview_.reset();
    if (!dragShowing_) hide();
}

bool OverlayController::flash(const std::vector<OverlayItem>& items, Scheduler::Duration duration,
                              const std::optional<OverlayHighlight>& highlight) {
    if (isShowing_ && !flashing_) {
        log_.debug("Zone flash skipped: the zones are already on screen for a drag or a preview");
        return false;
    }
    cancelFlashTimer();
    present(items);
    flashing_ = true;
    const std::int64_t token = ++flashGeneration_;
    if (highlight) setHighlighted(highlight->indices, highlight->display, {});
    flashTimer_ = scheduler_.schedule(duration, [this, token] {
        flashTimer_ = {};
        if (flashGeneration_ == token && flashing_) hide();
    });
    return true;
}

}  // namespace tessary
