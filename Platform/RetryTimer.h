#pragma once

// Tries again what failed for a cause that may pass: `first` after a failure, then twice as long
// after each failure that follows, up to `longest`. A failure while a try waits keeps the pace of
// the tries; a success forgets them, so nothing is scheduled while things work and an idle program
// keeps no timer.

#include <chrono>
#include <functional>

#include "Platform/Scheduler.h"

namespace tessary {

class RetryTimer final {
public:
    // `retry` runs on the main loop and reports its outcome through failed() or succeeded().
    RetryTimer(Scheduler& scheduler, std::chrono::milliseconds first, std::chrono::milliseconds longest,
               std::function<void()> retry);
    ~RetryTimer();
    RetryTimer(const RetryTimer&) = delete;
    RetryTimer& operator=(const RetryTimer&) = delete;

    void failed();
    void succeeded();
    // The waiting try will not run (it is about to be made another way); the pace is kept.
    void cancel();
    bool isPending() const { return static_cast<bool>(task_); }

private:
    Scheduler& scheduler_;
    std::chrono::milliseconds first_;
    std::chrono::milliseconds longest_;
    std::function<void()> retry_;
    ScheduledTask task_;
    std::chrono::milliseconds delay_;
};

}  // namespace tessary
