#pragma once

// Every delay goes through a Scheduler: Qt timers in the program, virtual time in tests.

#include <chrono>
#include <cstdint>
#include <functional>

namespace tessary {

// Names one scheduled task; 0 is never used, so a default-constructed token names none.
struct ScheduledTask {
    std::uint64_t id = 0;

    explicit operator bool() const { return id != 0; }
    friend bool operator==(const ScheduledTask&, const ScheduledTask&) = default;
};

class Scheduler {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Duration = std::chrono::nanoseconds;

    virtual ~Scheduler() = default;

    // A monotonic clock (the continuous clock delays are measured on).
    virtual TimePoint now() const = 0;

    // Runs the task once on the main loop after at least the delay (a negative delay counts as
    // zero). Tasks due at the same time run in the order they were scheduled.
    virtual ScheduledTask schedule(Duration delay, std::function<void()> task) = 0;

    // The task will not run. Cancelling a task that ran or was cancelled already does nothing.
    virtual void cancel(ScheduledTask task) = 0;
};

}  // namespace tessary
