#pragma once

// Tries a document's failed save again, so that a change made while its folder could not be written
// (a full disk, a home remounted read-only) reaches the file once it can, as the user was told: first
// `firstDelay` after the failure, then twice as long after each failure, up to `longestDelay`, for as
// long as the last save failed for a cause that may pass (SaveReport::failedForNow). Nothing is
// scheduled while saves work, so an idle program keeps no timer. A refusal that no try can change (a
// newer version's file, one unread at the start) is not tried again.
//
// flush() is the last try, when the program quits: what still cannot be saved is logged once,
// naming the document and the cause.

#include <chrono>
#include <functional>

#include "Platform/Logger.h"
#include "Platform/RetryTimer.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/SaveReport.h"

namespace tessary {

class SaveRetry final {
public:
    static constexpr std::chrono::milliseconds firstDelay{1000};
    static constexpr std::chrono::milliseconds longestDelay{30000};

    // Follows the report's outcomes (its afterRecord hook); `saveAgain` saves the document as it is
    // now and records the outcome in that report. Both must outlive this.
    SaveRetry(SaveReport& report, std::function<void()> saveAgain, Scheduler& scheduler, Logger log);
    ~SaveRetry();
    SaveRetry(const SaveRetry&) = delete;
    SaveRetry& operator=(const SaveRetry&) = delete;

    // Whether a try is scheduled.
    bool isPending() const { return tries_.isPending(); }
    // Tries at once when the last save failed; true when nothing is left unsaved.
    bool flush();

private:
    void recorded();

    SaveReport& report_;
    std::function<void()> saveAgain_;
    Logger log_;
    RetryTimer tries_;
    // The unsaved document was logged at a way out; said once until a save works.
    bool toldUnsaved_ = false;
};

}  // namespace tessary
