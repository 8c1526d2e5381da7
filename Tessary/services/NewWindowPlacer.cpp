#include "Tessary/services/NewWindowPlacer.h"

#include <memory>
#include <string>

namespace tessary {

NewWindowPlacer::NewWindowPlacer(AXWindowObserver& observer, WindowMemoryService& memory,
                                 std::function<bool()> usesAppLevelMemory,
                                 std::function<bool(const WindowInfo&)> isExcluded, WindowEngine& engine,
                                 Scheduler& scheduler)
    : observer_(observer),
      memory_(memory),
      usesAppLevelMemory_(std::move(usesAppLevelMemory)),
      isExcluded_(std::move(isExcluded)),
      engine_(engine),
      scheduler_(scheduler) {}

NewWindowPlacer::~NewWindowPlacer() {
    for (std::uint64_t id : waiting_) scheduler_.cancel(ScheduledTask{id});
    // The observer lives on and would call into this placer with its next window.
    if (started_) {
        observer_.onWindowCreated = nullptr;
        observer_.onWindowDestroyed = nullptr;
    }
}

void NewWindowPlacer::start() {
    started_ = true;
    observer_.onWindowCreated = [this](const WindowHandle& window) { handleWindowCreated(window); };
    observer_.onWindowDestroyed = [this](const WindowHandle& window) { memory_.windowDestroyed(window); };
    observer_.start();
}

void NewWindowPlacer::handleWindowCreated(const WindowHandle& window) {
    // A window just created has not been placed yet: a live placement under its identifier
    // belonged to a closed window whose identifier the desktop handed out again.
    memory_.windowDestroyed(window);

    auto id = std::make_shared<std::uint64_t>(0);
    const ScheduledTask task = scheduler_.schedule(placementDelay, [this, window, id] {
        waiting_.erase(*id);
        place(window);
        // What looks on (a test, a user following the log) learns that the window is the user's now.
        log_.debug("looked at new window " + std::to_string(window.pid));
    });
    *id = task.id;
    waiting_.insert(task.id);
}

void NewWindowPlacer::place(const WindowHandle& window) {
    const auto info = engine_.info(window);
    if (!info) return;  // closed already
    if (!info->isStandard || info->isMinimized) return;
    if (isExcluded_ && isExcluded_(*info)) return;
    if (claimsWindow && claimsWindow(window)) return;

    std::optional<ZonePlacement> placement = applyRules ? applyRules(window) : std::nullopt;
    if (!placement) placement = memory_.restore(window, usesAppLevelMemory_ && usesAppLevelMemory_());
    if (!placement) return;
    if (onPlaced) onPlaced(*placement);
}

}  // namespace tessary
