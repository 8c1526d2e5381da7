#include <gtest/gtest.h>

#include <vector>

#include "Platform/BurstTimer.h"
#include "Platform/Sim/VirtualScheduler.h"

using namespace tessary;
using namespace std::chrono_literals;

// Notices 50 ms apart for 2.5 s, then quiet: the task runs 1 s into the stream, again 1 s later,
// and once 100 ms after the last notice; nothing waits afterwards.
TEST(BurstTimer, RunsAfterTheQuietAndAtTheLatestTheLongestBurst) {
    VirtualScheduler scheduler;
    std::vector<long> ran;
    const auto start = scheduler.now();
    BurstTimer timer(scheduler, 100ms, 1000ms, [&] {
        ran.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(scheduler.now() - start).count()));
    });
    for (int i = 0; i <= 50; ++i) {
        timer.notice();
        scheduler.advance(50ms);
    }
    scheduler.advance(1s);
    EXPECT_EQ(ran, (std::vector<long>{1000, 2000, 2600}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    timer.notice();
    timer.cancel();
    scheduler.advance(1s);
    EXPECT_EQ(ran.size(), 3u) << "a cancelled burst runs nothing";
}
