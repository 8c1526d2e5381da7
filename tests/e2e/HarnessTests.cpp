// The harness itself: everything a desktop started ends with it.

#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

#include <xcb/randr.h>

#include <signal.h>

#include <cstdlib>

namespace tessary::e2e {
namespace {

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

// Toolkits read the server's current output state without probing and leave out monitors whose
// output is disconnected there; a second monitor they cannot see keeps windows off it.
TEST(HarnessDesktop, EveryMonitorsOutputIsConnectedWithoutAProbe) {
    if (VirtualDesktop::kind() != VirtualDesktop::Kind::outputs) GTEST_SKIP() << "the right monitor has no output";
    VirtualDesktop desktop(VirtualDesktop::Options{.windowManager = false});
    xcb_connection_t* c = xcb_connect(desktop.display().c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(c), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* monitors = xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr);
    ASSERT_NE(monitors, nullptr);
    EXPECT_EQ(monitors->nMonitors, 2u);
    int outputs = 0;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_output_t* output = xcb_randr_monitor_info_outputs(it.data);
        for (int i = 0; i < xcb_randr_monitor_info_outputs_length(it.data); ++i, ++outputs) {
            auto* info = xcb_randr_get_output_info_reply(
                c, xcb_randr_get_output_info(c, output[i], XCB_CURRENT_TIME), nullptr);
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(info->connection, XCB_RANDR_CONNECTION_CONNECTED) << "monitor at x = " << it.data->x;
            std::free(info);
        }
    }
    EXPECT_EQ(outputs, 2);
    std::free(monitors);
    xcb_disconnect(c);
}

}  // namespace
}  // namespace tessary::e2e
