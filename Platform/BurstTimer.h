#pragma once

// Runs a task once a burst of notices is over: `quiet` after the last notice, and at the latest
// `longest` after the first, so that a steady stream still gets through. For watchers of files that
// others write, whose reader must come after a writer's last step. Nothing is scheduled between
// bursts.

#include <chrono>
#include <functional>
#include <optional>

#include "Platform/Scheduler.h"

namespace tessary {

class BurstTimer final {
public:
    BurstTimer(Scheduler& scheduler, std::chrono::milliseconds quiet, std::chrono::milliseconds longest,
               std::function<void()> ended);
    ~BurstTimer();
    BurstTimer(const BurstTimer&) = delete;
    BurstTimer& operator=(const BurstTimer&) = delete;

    // A notice of the burst: the task waits for `quiet` more, within the burst's `longest`.
    void notice();
    // The burst is forgotten; the task will not run for it.
    void cancel();

private:
    Scheduler& scheduler_;
    Scheduler::Duration quiet_;
    Scheduler::Duration longest_;
    std::function<void()> ended_;
    ScheduledTask task_;
    std::optional<Scheduler::TimePoint> start_;
};

}  // namespace tessary
