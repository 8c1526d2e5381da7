#include "Tessary/services/SaveRetry.h"

namespace tessary {

SaveRetry::SaveRetry(SaveReport& report, std::function<void()> saveAgain, Scheduler& scheduler, Logger log)
    : report_(report),
      saveAgain_(std::move(saveAgain)),
      log_(std::move(log)),
      tries_(scheduler, firstDelay, longestDelay, [this] { saveAgain_(); }) {
    report_.afterRecord = [this] { recorded(); };
    // A save that failed before this existed (the layouts' at start) is owed as well.
    recorded();
}

SaveRetry::~SaveRetry() { report_.afterRecord = nullptr; }

void SaveRetry::recorded() {
    if (!report_.failure()) toldUnsaved_ = false;
    if (report_.failedForNow()) {
        tries_.failed();
    } else {
        tries_.succeeded();
    }
}

bool SaveRetry::flush() {
    if (report_.failedForNow()) {
        tries_.cancel();
        saveAgain_();
    }
    if (!report_.failure()) return true;
    if (!toldUnsaved_) log_.error(report_.unsavedText());
    toldUnsaved_ = true;
    return false;
}

}  // namespace tessary
