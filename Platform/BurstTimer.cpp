#include "Platform/BurstTimer.h"

#include <algorithm>

namespace tessary {

BurstTimer::BurstTimer(Scheduler& scheduler, std::chrono::milliseconds quiet, std::chrono::milliseconds longest,
                       std::function<void()> ended)
    : scheduler_(scheduler), quiet_(quiet), longest_(longest), ended_(std::move(ended)) {}

BurstTimer::~BurstTimer() { scheduler_.cancel(task_); }

void BurstTimer::notice() {
    const auto now = scheduler_.now();
    if (!start_) start_ = now;
    const auto due = std::min(now + quiet_, *start_ + longest_);
    scheduler_.cancel(task_);
    task_ = scheduler_.schedule(due - now, [this] {
        task_ = {};
        start_.reset();
        ended_();
    });
}

void BurstTimer::cancel() {
    scheduler_.cancel(task_);
    task_ = {};
    start_.reset();
}

}  // namespace tessary
