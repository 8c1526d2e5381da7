#pragma once

#include <memory>
#include <unordered_map>

#include "Platform/Scheduler.h"

class QTimer;

namespace tessary {

// Precise single-shot Qt timers on the thread's event loop (the main loop).
class QtScheduler : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    TimePoint now() const override;
    ScheduledTask schedule(Duration delay, std::function<void()> task) override;
    void cancel(ScheduledTask task) override;

    std::size_t pendingCount() const { return timers_.size(); }

private:
    std::uint64_t nextID_ = 0;
    std::unordered_map<std::uint64_t, std::unique_ptr<QTimer>> timers_;
};

}  // namespace tessary
