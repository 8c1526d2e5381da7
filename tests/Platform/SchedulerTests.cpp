#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <vector>

#include "Platform/Qt/QtScheduler.h"
#include "tests/Platform/QtCoreApplication.h"

using namespace tessary;
using namespace std::chrono_literals;


TEST(QtScheduler, RunsTasksOnTheEventLoopInDueOrderAndHonoursCancel) {
    qttest::qtCoreApplication();

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
