#include "Platform/RetryTimer.h"

#include <algorithm>
#include <utility>

namespace tessary {

RetryTimer::RetryTimer(Scheduler& scheduler, std::chrono::milliseconds first, std::chrono::milliseconds longest,
                       std::function<void()> retry)
    : scheduler_(scheduler), first_(first), longest_(longest), retry_(std::move(retry)), delay_(first) {}

RetryTimer::~RetryTimer() { scheduler_.cancel(task_); }

void RetryTimer::failed() {
    if (task_) return;
    task_ = scheduler_.schedule(delay_, [this] {
        task_ = {};
        delay_ = std::min(delay_ * 2, longest_);
        retry_();
    });
}

void RetryTimer::succeeded() {
    cancel();
    delay_ = first_;
}

void RetryTimer::cancel() {
    scheduler_.cancel(task_);
    task_ = {};
}

}  // namespace tessary
