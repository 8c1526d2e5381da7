// The harness itself: everything a desktop started ends with it.

#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

#include <xcb/randr.h>

#include <signal.h>

#include <cstdlib>
#include <optional>

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

// A tray embeds an icon in a window of its own and places that window afterwards (trayer maps it
// at 1x1 in its corner first): the icon is found only once the tray shows all of it, where a
// click reaches it. The windows stand in for trayer's and the program's, told apart by their pids.
class HarnessTray : public DesktopTest {
protected:
    void SetUp() override { start(VirtualDesktop::Options{.windowManager = false}); }

    xcb_window_t window(xcb_window_t parent, Rect place, int32_t pid, bool mapped = true) {
        xcb_connection_t* c = platform->connection().xcb();
        const xcb_window_t made = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, made, parent, int16_t(place.minX()), int16_t(place.minY()),
                          uint16_t(place.width()), uint16_t(place.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, made, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        if (mapped) xcb_map_window(c, made);
        return made;
    }

    static constexpr int32_t trayPid = 1001, programPid = 1002;
};

TEST_F(HarnessTray, TheIconIsFoundOnlyOnceTheTrayShowsItWhole) {
    struct Case {
        const char* name;
        Rect holder;
        bool iconMapped;
        std::optional<Rect> found;
    };
    const Case cases[] = {
        {"embedded, its holder 1x1 in the tray's corner", Rect(-1, -1, 1, 1), true, std::nullopt},
        {"its holder placed but not yet sized", Rect(73, 1, 1, 22), true, std::nullopt},
        {"placed and sized", Rect(73, 1, 22, 22), true, Rect(1897, 1, 22, 22)},
        {"placed, the icon not mapped", Rect(73, 1, 22, 22), false, std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const xcb_window_t tray = window(platform->connection().root(), Rect(1824, 0, 96, 24), trayPid);
        const xcb_window_t holder = window(tray, test.holder, trayPid);
        window(holder, Rect(0, 0, 22, 22), programPid, test.iconMapped);
        EXPECT_TRUE(trayIconWindow(*platform, trayPid, programPid)) << "the icon is in the tray";
        EXPECT_EQ(e2e::trayIcon(*platform, trayPid, programPid), test.found);
        xcb_destroy_window(platform->connection().xcb(), tray);
    }
}

}  // namespace
}  // namespace tessary::e2e
