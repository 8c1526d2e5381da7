#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <vector>

#include "Platform/Qt/QtScheduler.h"
#include "Platform/Sim/VirtualScheduler.h"

using namespace tessary;
using namespace std::chrono_literals;

namespace {

double secondsSince(Scheduler::TimePoint start, Scheduler::TimePoint t) {
    return std::chrono::duration<double>(t - start).count();
}

}  // namespace

TEST(VirtualScheduler, RunsDueTasksInTimeOrderWithTheClockAtTheirDueTime) {
    VirtualScheduler scheduler;
    const auto start = scheduler.now();
    std::vector<std::pair<std::string, double>> ran;
    const auto note = [&](std::string name) {
        return [&, name] { ran.emplace_back(name, secondsSince(start, scheduler.now())); };
    };
    scheduler.schedule(2s, note("b"));
    scheduler.schedule(1s, note("a1"));
    scheduler.schedule(1s, note("a2"));  // same time: scheduling order
    scheduler.schedule(-5s, note("now"));
    scheduler.schedule(5s, note("late"));

    scheduler.advance(2s);
    EXPECT_EQ(ran, (std::vector<std::pair<std::string, double>>{{"now", 0}, {"a1", 1}, {"a2", 1}, {"b", 2}}));
    EXPECT_EQ(secondsSince(start, scheduler.now()), 2);
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    EXPECT_EQ(secondsSince(start, scheduler.nextDueTime()), 5);
}

TEST(VirtualScheduler, TasksScheduledByTasksRunWhenTheyFallDueWithinTheSpan) {
    VirtualScheduler scheduler;
    int count = 0;
    std::function<void()> tick = [&] {
        ++count;
        scheduler.schedule(1s, tick);
    };
    scheduler.schedule(1s, tick);
    scheduler.advance(5s);
    EXPECT_EQ(count, 5);
    // A zero delay from inside a task runs within the same advance, without moving the clock.
    bool nested = false;
    scheduler.schedule(0s, [&] { scheduler.schedule(0s, [&] { nested = true; }); });
    scheduler.runDue();
    EXPECT_TRUE(nested);
}

TEST(VirtualScheduler, CancelledTasksNeverRunAndCancellingTwiceIsHarmless) {
    VirtualScheduler scheduler;
    bool ran = false;
    ScheduledTask first;
    first = scheduler.schedule(1s, [&] { ran = true; });
    // A task may cancel a later one.
    scheduler.schedule(500ms, [&] { scheduler.cancel(first); });
    scheduler.advance(2s);
    EXPECT_FALSE(ran);
    scheduler.cancel(first);
    scheduler.cancel(ScheduledTask{});
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(QtScheduler, RunsTasksOnTheEventLoopInDueOrderAndHonoursCancel) {
    int argc = 1;
    char name[] = "PlatformTests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    QtScheduler scheduler;
    const auto start = scheduler.now();
    std::vector<std::string> ran;
    QEventLoop loop;
    scheduler.schedule(30ms, [&] { ran.push_back("later"); });
    scheduler.schedule(0ms, [&] {
        ran.push_back("first");
        // Scheduling from inside a task works.
        scheduler.schedule(1ms, [&] { ran.push_back("nested"); });
    });
    const ScheduledTask cancelled = scheduler.schedule(10ms, [&] { ran.push_back("cancelled"); });
    scheduler.cancel(cancelled);
    scheduler.schedule(60ms, [&] { loop.quit(); });
    // A deadline, not a measurement: the loop ends early when the last task runs.
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();

    EXPECT_EQ(ran, (std::vector<std::string>{"first", "nested", "later"}));
    EXPECT_GE(scheduler.now() - start, 30ms);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}
