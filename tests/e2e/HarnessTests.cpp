// The harness itself: what the end-to-end tests of dragging rely on, and its clean-up.

#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace tessary::e2e {
namespace {

class Harness : public DesktopTest {};

TEST_F(Harness, ShiftDragOnTheTitleBarMovesTheWindowWithRelativePointerMotion) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "x=300 y=200 w=400 h=300");
    auto before = platform->windows().geometry(window);
    ASSERT_TRUE(before);
    Rect outer = before->outer();
    ASSERT_GT(before->frame.top, 4) << "openbox should decorate the window with a title bar";
    // The middle of the title bar.
    desktop->movePointerTo(static_cast<int>(outer.midX()), static_cast<int>(outer.minY()) + before->frame.top / 2);

    constexpr uint32_t shiftLeft = 0xffe1;
    desktop->pressKey(shiftLeft, true);
    desktop->pressButton(1, true);
    for (int step = 0; step < 10; ++step) desktop->movePointerBy(15, 10);
    desktop->pressButton(1, false);
    desktop->pressKey(shiftLeft, false);

    EXPECT_TRUE(waitFor([&] {
        auto now = platform->windows().outerFrame(window);
        return now && now->origin == Point{outer.x() + 150, outer.y() + 100};
    })) << "now at " << *platform->windows().outerFrame(window);
}

TEST(HarnessCleanUp, EveryProcessEndsWithItsDesktop) {
    std::vector<pid_t> started;
    {
        VirtualDesktop desktop;
        TestClient client = desktop.startClient();
        ASSERT_NE(client.open(""), 0u);
        started = {desktop.serverPid(), desktop.windowManagerPid(), client.pid()};
    }
    for (pid_t pid : started) {
        // Killed and reaped: the pid no longer names a process of ours.
        EXPECT_NE(::kill(pid, 0), 0) << "pid " << pid << " outlived its desktop";
    }
}

}  // namespace
}  // namespace tessary::e2e
