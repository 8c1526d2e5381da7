#include "Tessary/keyboard/KeyboardSnapController.h"

#include "Tessary/keyboard/ShortcutNames.h"
#include "TessaryCore/ZoneNavigation.h"
#include "WindowEngine/DisplayProvider.h"

#include <algorithm>

namespace tessary {

KeyboardSnapController::KeyboardSnapController(GlobalShortcuts& shortcuts, ZoneService& zones, GlobalInput& input,
                                               DisplaysReader displays, Scheduler& scheduler)
    : shortcuts_(shortcuts),
      zones_(zones),
      input_(input),
      displays_(std::move(displays)),
      scheduler_(scheduler),
      self_(std::make_shared<KeyboardSnapController*>(this)) {}

KeyboardSnapController::~KeyboardSnapController() {
    *self_ = nullptr;
    scheduler_.cancel(refocus_);
}

void KeyboardSnapController::registerShortcuts() {
    if (registered_) return;
    registered_ = true;
    std::weak_ptr<KeyboardSnapController*> weak = self_;
    auto bind = [&](const GlobalShortcuts::Name& name, std::function<void(KeyboardSnapController&)> action) {
        shortcuts_.onKeyDown(name, [weak, action = std::move(action)] {
            if (auto self = weak.lock(); self && *self) action(**self);
        });
    };
    for (int i = 0; i < 9; ++i) {
        bind(ShortcutNames::snapToZone(i), [i](KeyboardSnapController& c) { c.snapFocusedWindow(i); });
    }
    bind(ShortcutNames::nextZone(), [](KeyboardSnapController& c) { c.moveFocusedWindowToNeighbour(+1); });
    bind(ShortcutNames::previousZone(), [](KeyboardSnapController& c) { c.moveFocusedWindowToNeighbour(-1); });
    bind(ShortcutNames::nextDisplay(), [](KeyboardSnapController& c) { c.moveFocusedWindowToDisplay(+1); });
    bind(ShortcutNames::previousDisplay(), [](KeyboardSnapController& c) { c.moveFocusedWindowToDisplay(-1); });
    bind(ShortcutNames::nextLayout(), [](KeyboardSnapController& c) { c.cycleLayout(+1); });
    bind(ShortcutNames::previousLayout(), [](KeyboardSnapController& c) { c.cycleLayout(-1); });
    bind(ShortcutNames::showZones(), [](KeyboardSnapController& c) { c.onShowZones(); });
    bind(ShortcutNames::openEditor(), [](KeyboardSnapController& c) { c.onOpenEditor(); });
    bind(ShortcutNames::restoreAllWindows(), [](KeyboardSnapController& c) { c.onRestoreAll(); });
}

std::optional<std::pair<WindowHandle, WindowInfo>> KeyboardSnapController::focusedWindowContext() {
    WindowEngine& engine = zones_.engine();
    const auto window = engine.focusedWindow();
    if (!window) return std::nullopt;
    const auto info = engine.info(*window);
    if (!info || (zones_.isExcluded && zones_.isExcluded(*info))) return std::nullopt;
    return std::make_pair(*window, *info);
}

void KeyboardSnapController::snapFocusedWindow(std::int64_t zoneIndex) {
    const std::string what = "snap to zone " + std::to_string(zoneIndex + 1);
    const auto window = zones_.engine().focusedWindow();
    if (!window) return failed(what, ZoneService::SnapError::noWindow());
    const auto result = zones_.snap(*window, zoneIndex);
    keepActive(*window);
    if (!result) failed(what, result.error());
}

void KeyboardSnapController::place(const WindowHandle& window, const WindowInfo& info, const DisplayInfo& display,
                                   const Zone& zone) {
    // A terminal takes the zone in character cells: judged as every snap is.
    const auto result = zones_.place(window, info, display, zone);
    keepActive(window);
    if (!result) failed("move to zone " + std::to_string(zone.index + 1), result.error());
}

void KeyboardSnapController::keepActive(const WindowHandle& window) {
    // The shortcut's key grab lasts until its key is let go. metacity, when a window moved during
    // such a grab has its edge come to lie under the pointer (a window too large for a zone at the
    // display's edge is kept flush with it), gives the focus to no window and leaves it so: every
    // later shortcut found no window. A window the user made active meanwhile keeps the focus.
    // Asked again a moment later, not at once: while the focus passes from one window to another
    // openbox names no active window for an instant, and the window the user went to keeps it.
    if (zones_.engine().focusedWindow()) return;
    scheduler_.cancel(refocus_);
    refocus_ = scheduler_.schedule(refocusDelay, [this, window] {
        refocus_ = {};
        WindowEngine& engine = zones_.engine();
        if (engine.focusedWindow()) return;
        log_.debug("the window manager let go of the moved window's focus; activating it again");
        engine.raise(window);
    });
}

void KeyboardSnapController::failed(const std::string& what, const ZoneService::SnapError& error) {
    log_.notice(what + " failed: " + error.description());
    if (onSnapFailed) onSnapFailed(error);
}

void KeyboardSnapController::moveFocusedWindowToNeighbour(std::int64_t step) {
    const auto context = focusedWindowContext();
    if (!context) return;
    const auto display = DisplayProvider::display(context->second.frame, displays_());
    if (!display) return;
    const auto target = ZoneNavigation::zoneAfter(context->second.frame, step, zones_.zones(*display));
    if (!target) return;
    place(context->first, context->second, *display, *target);
}

void KeyboardSnapController::moveFocusedWindowToDisplay(std::int64_t offset) {
    const auto context = focusedWindowContext();
    if (!context) return;
    const std::vector<DisplayInfo> displays = displays_();
    std::vector<DisplayInfo> sorted = displays;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const DisplayInfo& a, const DisplayInfo& b) { return a.frame.minX() < b.frame.minX(); });
    if (sorted.size() < 2) return;
    const Rect frame = context->second.frame;
    const auto current = DisplayProvider::display(frame, displays);
    if (!current) return;
    const auto position = std::find(sorted.begin(), sorted.end(), *current);
    if (position == sorted.end()) return;
    const auto n = static_cast<std::int64_t>(sorted.size());
    const std::int64_t index = ((position - sorted.begin() + offset) % n + n) % n;
    const DisplayInfo& target = sorted[static_cast<std::size_t>(index)];

    const auto occupied = ZoneNavigation::zoneMatching(frame, zones_.zones(*current));
    const std::int64_t keptIndex = occupied ? occupied->index : 0;
    const std::vector<Zone> targetZones = zones_.zones(target);
    if (targetZones.empty()) {
        zones_.engine().setFrame(Rect(target.workArea.minX(), target.workArea.minY(), frame.width(), frame.height()),
                                 context->first);
        keepActive(context->first);
        return;
    }
    auto zone = std::find_if(targetZones.begin(), targetZones.end(),
                             [keptIndex](const Zone& z) { return z.index == keptIndex; });
    place(context->first, context->second, target, zone != targetZones.end() ? *zone : targetZones.front());
}

void KeyboardSnapController::cycleLayout(std::int64_t offset) {
    const std::vector<DisplayInfo> displays = displays_();
    std::optional<DisplayInfo> display;
    if (const auto pointer = input_.pointerLocation()) {
        const auto containing = std::find_if(displays.begin(), displays.end(),
                                             [&](const DisplayInfo& d) { return d.frame.contains(*pointer); });
        if (containing != displays.end()) display = *containing;
    }
    if (!display && !displays.empty()) display = displays.front();
    if (!display) return;
    zones_.cycleLayout(*display, offset);
    onLayoutCycled();
}

}  // namespace tessary
