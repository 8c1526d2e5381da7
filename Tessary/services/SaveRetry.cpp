#include "Tessary/services/SaveRetry.h"

#include <algorithm>

namespace tessary {

SaveRetry::SaveRetry(SaveReport& report, std::function<void()> saveAgain, Scheduler& scheduler, Logger log)
    : report_(report), saveAgain_(std::move(saveAgain)), scheduler_(scheduler), log_(std::move(log)) {
    report_.afterRecord = [this] { recorded(); };
    // A save that failed before this existed (the layouts' at start) is owed as well.
    recorded();
}

SaveRetry::~SaveRetry() {
    report_.afterRecord = nullptr;
    scheduler_.cancel(task_);
}

void SaveRetry::recorded() {
    if (!report_.failure()) toldUnsaved_ = false;
    if (!report_.failedForNow()) {
        scheduler_.cancel(task_);
        task_ = {};
        delay_ = firstDelay;
        return;
    }
    // A change that fails while a try waits keeps the pace of the tries.
    if (task_) return;
    task_ = scheduler_.schedule(delay_, [this] {
        task_ = {};
        delay_ = std::min(delay_ * 2, longestDelay);
        saveAgain_();
    });
}

bool SaveRetry::flush() {
    if (report_.failedForNow()) {
        scheduler_.cancel(task_);
        task_ = {};
        saveAgain_();
    }
    if (!report_.failure()) return true;
    if (!toldUnsaved_) log_.error(report_.unsavedText());
    toldUnsaved_ = true;
    return false;
}

}  // namespace tessary
