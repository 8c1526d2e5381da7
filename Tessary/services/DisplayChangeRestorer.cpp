#include "Tessary/services/DisplayChangeRestorer.h"

namespace tessary {

DisplayChangeRestorer::DisplayChangeRestorer(WindowMemoryService& memory, std::function<bool()> isEnabled,
                                             Scheduler& scheduler)
    : memory_(memory), isEnabled_(std::move(isEnabled)), scheduler_(scheduler) {}

DisplayChangeRestorer::~DisplayChangeRestorer() { scheduler_.cancel(pending_); }

void DisplayChangeRestorer::screensChanged() {
    if (!isEnabled_()) return;
    scheduler_.cancel(pending_);
    pending_ = scheduler_.schedule(quietPeriod, [this] {
        pending_ = {};
        restore();
    });
}

void DisplayChangeRestorer::observe(Screens& screens) {
    screensSubscription_ = screens.onChange([this] { screensChanged(); });
}

void DisplayChangeRestorer::restore() {
    log.notice("display configuration changed; restoring windows");
    memory_.restoreAll();
    if (afterRestore) afterRestore();
}

}  // namespace tessary
