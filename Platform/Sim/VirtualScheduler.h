#pragma once

#include <functional>
#include <map>
#include <unordered_map>
#include <utility>

#include "Platform/Scheduler.h"

namespace tessary {

// Virtual time for tests: nothing runs until the test advances the clock.
class VirtualScheduler : public Scheduler {
public:
    TimePoint now() const override { return now_; }
    ScheduledTask schedule(Duration delay, std::function<void()> task) override;
    void cancel(ScheduledTask task) override;

    // Moves the clock forward, running every task that falls due on the way in time order (equal
    // times in scheduling order), each with the clock at its due time; tasks that those tasks
    // schedule run too when they fall due within the span.
    void advance(Duration by);
    // Runs what is due now without moving the clock.
    void runDue() { advance(Duration::zero()); }

    std::size_t pendingCount() const { return tasks_.size(); }
    // The due time of the next task; the current time when nothing is pending.
    TimePoint nextDueTime() const;

private:
    using Key = std::pair<TimePoint, std::uint64_t>;
    TimePoint now_{};
    std::uint64_t nextID_ = 0;
    std::map<Key, std::function<void()>> tasks_;
    std::unordered_map<std::uint64_t, Key> keys_;
};

}  // namespace tessary
