#include "Tessary/services/WindowMemoryService.h"

#include <string>

#include "TessaryCore/Date.h"
#include "TessaryCore/HomeMerge.h"

namespace tessary {

WindowMemoryService::WindowMemoryService(ZoneService& zones, DisplaysReader displays,
                                         JSONDocumentStore<WindowPlacementMemory> store, Scheduler& scheduler)
    : zones_(zones), engine_(zones.engine()), displays_(std::move(displays)), store_(std::move(store)), scheduler_(scheduler) {
    store_.mergeOutsideChanges(HomeMerge::memory);
    documentTrouble_ = loadDocument(store_, persistent_, log, ZoneService::localized("no remembered window placements"));
    if (persistent_.byWindow.size() > WindowPlacementMemory::maxWindowEntries) {
        // Only a file written elsewhere holds more; the first record keeps the newest, as ever.
        log.notice(store_.url().string() + " holds " + std::to_string(persistent_.byWindow.size()) +
                   " window placements; the oldest beyond " + std::to_string(WindowPlacementMemory::maxWindowEntries) +
                   " are dropped when the next window is remembered");
    }
}

WindowMemoryService::~WindowMemoryService() { scheduler_.cancel(saveTask_); }

void WindowMemoryService::remember(const WindowHandle& window, const DisplayInfo& display,
                                   const std::vector<std::int64_t>& zoneIndices) {
    const DisplayKey key = display.displayKey();
    const auto layout = zones_.library().layout(key);
    if (!layout || zoneIndices.empty()) return;

    const WindowPlacement placement(key.description(), layout->id, zoneIndices, Date::now());
    live_[window] = placement;

    const auto info = engine_.info(window);
    if (!info || !info->bundleIdentifier) return;
    persistent_.record(placement, *info->bundleIdentifier, info->title);
    scheduleSave();
}

void WindowMemoryService::forget(const WindowHandle& window) {
    live_.erase(window);
    const auto info = engine_.info(window);
    if (!info || !info->bundleIdentifier) return;
    if (persistent_.forgetWindow(*info->bundleIdentifier, info->title)) scheduleSave();
}

std::optional<ZonePlacement> WindowMemoryService::restore(const WindowHandle& window, bool appLevel) {
    const auto info = engine_.info(window);
    if (!info) {
        live_.erase(window);
        return std::nullopt;
    }
    // Windows the user excluded stay where they are, also after a display change.
    if (zones_.isExcluded && zones_.isExcluded(*info)) return std::nullopt;

    std::optional<WindowPlacement> chosen;
    if (auto found = live_.find(window); found != live_.end()) {
        chosen = found->second;
    } else if (info->bundleIdentifier) {
        chosen = appLevel ? persistent_.placement(*info->bundleIdentifier, info->title)
                          : persistent_.windowPlacement(*info->bundleIdentifier, info->title);
        // Remembered under another form of the application's identifier (an older class, say).
        if (!chosen) chosen = persistent_.placement(zones_.applicationTest(*info), info->title, appLevel);
    }
    if (!chosen) return std::nullopt;

    std::optional<DisplayInfo> display;
    for (DisplayInfo& candidate : displays_()) {
        if (candidate.displayKey().description() == chosen->displayKey) {
            display = std::move(candidate);
            break;
        }
    }
    if (!display) return std::nullopt;

    const std::vector<Zone> zones = zones_.zones(*display);
    const SpanSelection selection = selectionOfExistingZones(chosen->zoneIndices, zones);
    const auto target = selection.unionRect(zones);
    if (!target) return std::nullopt;
    if (engine_.isInPlace(window, info->frame, *target)) return std::nullopt;

    const SetFrameResult result = engine_.setFrame(*target, window);
    if (!result.succeeded()) {
        return std::nullopt;
    }
    live_[window] = *chosen;
    return ZonePlacement{std::move(*display), selection.zoneIndices};
}

int WindowMemoryService::restoreAll() {
    int moved = 0;
    for (const WindowHandle& window : engine_.allWindows()) {
        if (restore(window, false)) ++moved;
    }
    log.notice("restoreAll moved " + std::to_string(moved) + " windows");
    return moved;
}

void WindowMemoryService::flush() {
    if (!saveTask_) return;
    scheduler_.cancel(saveTask_);
    saveTask_ = {};
    save();
}

void WindowMemoryService::windowDestroyed(const WindowHandle& window) { live_.erase(window); }

void WindowMemoryService::scheduleSave() {
    scheduler_.cancel(saveTask_);
    saveTask_ = scheduler_.schedule(saveDelay, [this] {
        saveTask_ = {};
        save();
    });
}

void WindowMemoryService::save() { saveReport_.save(store_, persistent_, log); }

void WindowMemoryService::saveAgain() {
    // A change waiting for its delay goes out with it.
    scheduler_.cancel(saveTask_);
    saveTask_ = {};
    save();
}

void WindowMemoryService::takeOutsideChanges() {
    if (auto merged = store_.outsideChange(persistent_)) persistent_ = std::move(*merged);
}

}  // namespace tessary
