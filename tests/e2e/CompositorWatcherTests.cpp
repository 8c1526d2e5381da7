#include "Platform/X11/X11CompositorWatcher.h"
#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

namespace tessary::e2e {
namespace {

using CompositorWatcherTest = DesktopTest;

// A compositing manager started and stopped under the watcher is followed from the server's notices,
// and asking costs no request.
TEST_F(CompositorWatcherTest, FollowsACompositorStartingAndStoppingWithoutAsking) {
    X11CompositorWatcher watcher(platform->connection());
    int notices = 0;
    const Subscription counted = watcher.onChange([&] { ++notices; });
    EXPECT_FALSE(watcher.isCompositing());

    ChildProcess compositor = desktop->start({"sh", "-c", "exec xcompmgr 2>/dev/null"});
    EXPECT_TRUE(waitFor([&] { return watcher.isCompositing(); }));
    const uint64_t before = platform->connection().requestCount();
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(watcher.isCompositing());
    EXPECT_EQ(platform->connection().requestCount(), before);

    compositor.kill();
    EXPECT_TRUE(waitFor([&] { return !watcher.isCompositing(); }));
    EXPECT_EQ(notices, 2);
}

}  // namespace
}  // namespace tessary::e2e
