#include "Platform/Qt/QtScheduler.h"

#include <QTimer>
#include <algorithm>

namespace tessary {

QtScheduler::QtScheduler() = default;

QtScheduler::~QtScheduler() = default;

Scheduler::TimePoint QtScheduler::now() const { return Clock::now(); }

ScheduledTask QtScheduler::schedule(Duration delay, std::function<void()> task) {
    const std::uint64_t id = ++nextID_;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    // Whole milliseconds, rounded up, so a task never runs before its delay.
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(std::max(delay, Duration::zero()));
    timer->setInterval(milliseconds);
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, id, task = std::move(task)]() mutable {
        // Forget the timer first (later, from the event loop) so that the task may schedule and
        // cancel freely; keep the closure alive while it runs.
        auto found = timers_.find(id);
        if (found == timers_.end()) return;
        std::unique_ptr<QTimer> timer = std::move(found->second);
        timers_.erase(found);
        std::function<void()> run = std::move(task);
        timer.release()->deleteLater();
        run();
    });
    timer->start();
    timers_.emplace(id, std::move(timer));
    return ScheduledTask{id};
}

void QtScheduler::cancel(ScheduledTask task) {
    auto found = timers_.find(task.id);
    if (found == timers_.end()) return;
    found->second->stop();
    timers_.erase(found);
}

}  // namespace tessary
