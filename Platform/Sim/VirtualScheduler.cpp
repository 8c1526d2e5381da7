#include "Platform/Sim/VirtualScheduler.h"

#include <algorithm>

namespace tessary {

ScheduledTask VirtualScheduler::schedule(Duration delay, std::function<void()> task) {
    const std::uint64_t id = ++nextID_;
    const Key key{now_ + std::max(delay, Duration::zero()), id};
    tasks_.emplace(key, std::move(task));
    keys_.emplace(id, key);
    return ScheduledTask{id};
}

void VirtualScheduler::cancel(ScheduledTask task) {
    auto found = keys_.find(task.id);
    if (found == keys_.end()) return;
    tasks_.erase(found->second);
    keys_.erase(found);
}

void VirtualScheduler::advance(Duration by) {
    const TimePoint target = now_ + std::max(by, Duration::zero());
    while (!tasks_.empty() && tasks_.begin()->first.first <= target) {
        auto next = tasks_.begin();
        now_ = next->first.first;
        std::function<void()> task = std::move(next->second);
        keys_.erase(next->first.second);
        tasks_.erase(next);
        task();
    }
    now_ = target;
}

Scheduler::TimePoint VirtualScheduler::nextDueTime() const {
    return tasks_.empty() ? now_ : tasks_.begin()->first.first;
}

}  // namespace tessary
