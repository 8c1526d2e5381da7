#include "Platform/X11/X11Property.h"
#include "tests/e2e/harness/DesktopTest.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace tessary::e2e {
namespace {

class X11Displays : public DesktopTest {};

TEST_F(X11Displays, AChangedMonitorArrangementIsAnnounced) {
    int notices = 0;
    auto subscription = platform->screens().onChange([&] { ++notices; });
    // On the desktop of real outputs the monitor goes with its output (unplugged); one made by
    // xrandr --setmonitor goes with its definition.
    const bool outputs = VirtualDesktop::kind() == VirtualDesktop::Kind::outputs;
    const auto deadline = Clock::now() + 10s;
    ASSERT_TRUE(desktop->deleteMonitor("tessary-right"));
    if (outputs) {
        ASSERT_TRUE(desktop->run({"xrandr", "--output", "DUMMY1", "--off"}, deadline));
    }
    EXPECT_TRUE(waitFor([&] { return notices > 0 && platform->screens().screens().size() == 1u; }));
    notices = 0;
    if (outputs) {
        ASSERT_TRUE(desktop->run({"xrandr", "--output", "DUMMY1", "--mode", "1920x1080", "--pos", "1920x0"}, deadline));
    }
    ASSERT_TRUE(desktop->setMonitor({"tessary-right", 1920, 0, 1920, 1080}, outputs ? "DUMMY1" : "none"));
    EXPECT_TRUE(waitFor([&] { return notices > 0 && platform->screens().screens().size() == 2u; }));
}

class X11Events : public DesktopTest {
protected:
    void SetUp() override {
        VirtualDesktop::Options options;
        options.windowManager = false;
        start(options);
        c = platform->connection().xcb();
        window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, platform->connection().root(), 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        roundTrip(c);
        other = xcb_connect(desktop->display().c_str(), nullptr);
        handler = platform->connection().addEventHandler([this](const xcb_generic_event_t& event) {
            const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
            if ((event.response_type & 0x7f) == XCB_CLIENT_MESSAGE && message.window == window) {
                seen.push_back(int(message.data.data32[0]));
            }
        });
    }
    void TearDown() override {
        platform->connection().removeEventHandler(handler);
        xcb_disconnect(other);
        DesktopTest::TearDown();
    }

    static void roundTrip(xcb_connection_t* connection) {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    bool readable(std::chrono::milliseconds wait) {
        pollfd descriptor{platform->fileDescriptor(), POLLIN, 0};
        return ::poll(&descriptor, 1, int(wait.count())) > 0;
    }
    // Another client sends our window messages numbered first to first + count - 1; returns once
    // the server has sent them all.
    void send(int first, int count) {
        for (int i = first; i < first + count; ++i) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = window;
            message.type = XCB_ATOM_INTEGER;
            message.data.data32[0] = uint32_t(i);
            xcb_send_event(other, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        }
        roundTrip(other);
    }
    static std::vector<int> numbers(int first, int count) {
        std::vector<int> all(std::size_t(count), 0);
        std::iota(all.begin(), all.end(), first);
        return all;
    }

    xcb_connection_t* c = nullptr;
    xcb_connection_t* other = nullptr;
    xcb_window_t window = 0;
    int handler = 0;
    std::vector<int> seen;
};

// The main loop reads the socket only when it is readable; before it sleeps it takes what xcb read
// while a caller waited for a reply, which the descriptor no longer shows.
TEST_F(X11Events, EventsReadDuringAReplyWaitAreDispatchedBeforeTheLoopSleeps) {
    send(0, 3);
    roundTrip(c);
    ASSERT_FALSE(readable(0ms)) << "xcb was to have read the events with the reply";
    platform->processPendingEvents(X11Connection::Read::queuedOnly);
    EXPECT_EQ(seen, numbers(0, 3));
}

// What a timer or a widget asked of the server outside a pass (nothing queued to dispatch) leaves
// before the loop sleeps, not at its next wake-up, which may be a pointer motion away.
TEST_F(X11Events, RequestsMadeBetweenPassesLeaveBeforeTheLoopSleeps) {
    const uint32_t value = 52;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_INTEGER, 32, 1, &value);
    platform->processPendingEvents(X11Connection::Read::queuedOnly);
    // Read from another connection until it shows: once sent, the request is carried out, but the
    // server may first serve the other connection's read; never sent, it never shows.
    const auto deadline = Clock::now() + 2s;
    std::optional<uint32_t> shown;
    while (!shown && Clock::now() < deadline) {
        XcbPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
            other, xcb_get_property(other, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_INTEGER, 0, 1), nullptr));
        ASSERT_TRUE(property);
        if (xcb_get_property_value_length(property.get()) == 4)
            shown = *static_cast<const uint32_t*>(xcb_get_property_value(property.get()));
        else
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(shown, value) << "the request stayed in the program's buffer";
}

// A burst larger than one read of the socket: the loop, turning as the program's does (a pass for
// each time the descriptor is readable, one before it sleeps), dispatches all of it, in order,
// before it sleeps.
TEST_F(X11Events, ABurstLargerThanOneReadIsDispatchedWholeAndInOrder) {
    send(0, 600);  // 600 events of 32 bytes; xcb reads at most 4 kB at a time
    const auto deadline = Clock::now() + 5s;
    while (readable(100ms) && Clock::now() < deadline) platform->processPendingEvents();
    platform->processPendingEvents(X11Connection::Read::queuedOnly);
    EXPECT_EQ(seen, numbers(0, 600));
}

class X11Windows_ : public DesktopTest {};

TEST_F(X11Windows_, WindowsWithoutAProcessPropertyAreTracedThroughTheXResourceExtension) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "pid=none");
    EXPECT_EQ(platform->windows().processID(window), client.pid());
}

TEST_F(X11Windows_, AVanishedWindowGivesAbsentAnswersAndNoUnexpectedError) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "");
    client.close(window);
    X11Windows& windows = platform->windows();
    uint64_t expectedBefore = platform->connection().expectedErrorCount();
    EXPECT_FALSE(windows.outerFrame(window));
    EXPECT_FALSE(windows.title(window));
    EXPECT_FALSE(windows.isStandard(window));
    EXPECT_FALSE(windows.processID(window));
    EXPECT_FALSE(windows.moveTo(window, Point{10, 10}, 500ms));
    EXPECT_FALSE(windows.resizeTo(window, Size{300, 300}, 500ms));
    EXPECT_FALSE(windows.exists(window));
    platform->processPendingEvents();
    EXPECT_GT(platform->connection().expectedErrorCount(), expectedBefore);
    EXPECT_EQ(platform->connection().unexpectedErrorCount(), 0u);
}

TEST_F(X11Windows_, AMoveFarOffScreenEndsWhenTheWindowManagerHasSaidSo) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "x=100 y=100 w=400 h=300");
    X11Windows& windows = platform->windows();
    ASSERT_TRUE(windows.moveTo(window, Point{-3000, -3000}, 5s));
    auto kept = windows.outerFrame(window);
    ASSERT_TRUE(kept);
    if (desktop->windowManager().keepsWindowsOnScreen) {
        // It moves this one, but not all the way.
        ASSERT_NE(kept->origin, (Point{-3000, -3000}));
    } else {
        ASSERT_EQ(kept->origin, (Point{-3000, -3000}));
    }
    // Asked again, it does nothing and announces nothing. The call must still end when the window
    // manager has handled it, not at the time-out (a minute: the test program's own limit).
    EXPECT_TRUE(windows.moveTo(window, Point{-3000, -3000}, 60s));
    EXPECT_EQ(windows.outerFrame(window), kept);
}

// After a move of ours the frame is read from the window manager's answer instead of being asked
// again. Some window managers (fluxbox) move the frame through a whole title bar drag without a
// word to the client and tell it only at the drop: during the drag, too, the frame read is the one
// the server shows. A user's drag, a move of ours, and another drag.
TEST_F(X11Windows_, AFrameDraggedAfterOurMoveIsReadWhereTheServerShowsIt) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
    X11Windows& windows = platform->windows();
    // marco starts no move on a window it has mapped but not yet activated.
    ASSERT_TRUE(waitFor([&] { return windows.activeWindow() == window; }));
    auto drag = [&] {
        const Rect before = windows.geometry(window)->outer();
        std::optional<Rect> read, shown;
        const bool moved = dragTitleBar(
            window, desktop->windowManager().activationKeysym(), Point{900, 600}, [](int, int) { return true; },
            [] { return true; },
            [&] {
                desktop->syncWindowManager();
                read = windows.outerFrame(window);
                shown = windows.geometry(window)->outer();
            });
        ASSERT_TRUE(moved) << "the frame read stayed at " << windows.outerFrame(window).value_or(Rect::null())
                           << ", the server shows " << windows.geometry(window)->outer();
        EXPECT_NE(shown->origin, before.origin);
        EXPECT_EQ(read, shown);
        EXPECT_EQ(windows.outerFrame(window), windows.geometry(window)->outer());
    };
    drag();
    ASSERT_TRUE(windows.moveTo(window, Point{360, 340}, 5s));
    ASSERT_EQ(windows.outerFrame(window)->origin, (Point{360, 340}));
    // A hand's pause between two drags: jwm starts no move on a title bar press that comes at once.
    waitFor([] { return false; }, 500ms);
    drag();
}

// A client-side decorated window that set its margin (its invisible shadow) once, before it was
// mapped, is placed by its visible frame, at the screen's top and left edges too, whether it is
// moved, made smaller there, or both: marco kept such a window's whole X window on the screen until
// the margin changed, icewm unless the request made the window larger on that axis. The margin
// stays the client's own.
TEST_F(X11Windows_, AMarginSetBeforeTheMapIsHonouredAtTheScreensEdgeAndLeftAsItWas) {
    TestClient client = desktop->startClient();
    xcb_window_t window = openWindow(client, "x=300 y=300 w=600 h=500 margin=60,60,55,67");
    X11Windows& windows = platform->windows();
    const Rect visible(300 + 60, 300 + 55, 600 - 120, 500 - 122);
    ASSERT_TRUE(waitFor([&] { return windows.outerFrame(window) == visible; })) << "at " << *windows.outerFrame(window);
    const struct {
        const char* name;
        Point corner;
        std::optional<Size> size;
    } steps[] = {
        {"moved to the top edge", {100, 8}, std::nullopt},
        {"moved to the top left corner", {8, 0}, std::nullopt},
        {"made smaller in the corner", {8, 0}, Size{400, 300}},
        {"moved along the top edge and made smaller", {300, 0}, Size{300, 200}},
        {"moved back inside", {400, 200}, std::nullopt},
    };
    Size size = visible.size;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(windows.moveResize(window, step.corner, step.size, 5s));
        desktop->syncWindowManager();
        size = step.size.value_or(size);
        EXPECT_EQ(windows.geometry(window)->outer(), Rect(step.corner, size));
    }
    const auto margin = X11Property::read(platform->connection(), window,
                                          platform->connection().atoms()._GTK_FRAME_EXTENTS, XCB_ATOM_CARDINAL,
                                          X11ErrorTolerance::none);
    ASSERT_TRUE(margin && margin->exists());
    EXPECT_EQ(margin->cardinals(), (std::vector<uint32_t>{60, 60, 55, 67}));
    EXPECT_EQ(platform->connection().unexpectedErrorCount(), 0u);
}

using X11ErrorPolicyDeathTest = X11Windows_;

TEST_F(X11ErrorPolicyDeathTest, AnyOtherErrorIsFatalInTheTestMode) {
    // The child is forked from this test, so it uses this desktop instead of starting (and, as it
    // dies, leaving behind) one of its own.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_DEATH(
        {
            auto connection = X11Connection::open(desktop->display().c_str());
            // Atom 0 names no property: BadAtom, an error of ours, never of a vanished window.
            X11Property::read(*connection, connection->root(), XCB_ATOM_NONE, XCB_ATOM_ANY,
                              X11ErrorTolerance::windowMayVanish);
        },
        "BadAtom from GetProperty");
}

class X11Applications : public DesktopTest {};

TEST_F(X11Applications, LaunchedWithTheFirstWindowAndTerminatedWithTheLast) {
    std::vector<std::string> events;
    auto launched = platform->workspace().onLaunch([&](const RunningApplication& app) {
        events.push_back("launch " + app.bundleIdentifier.value_or("?"));
    });
    auto terminated = platform->workspace().onTerminate([&](const RunningApplication& app) {
        events.push_back("terminate " + app.bundleIdentifier.value_or("?") + (app.isTerminated ? "" : " (running?)"));
    });
    auto created = platform->tracker().windowCreated.subscribe([&](const X11Client& c) {
        events.push_back("window " + c.windowClass.value_or("?"));
    });
    TestClient client = desktop->startClient();
    xcb_window_t first = openWindow(client, "class=Editor");
    xcb_window_t second = openWindow(client, "class=Editor");
    auto apps = platform->workspace().runningApplications();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].pid, client.pid());
    EXPECT_EQ(apps[0].bundleIdentifier, "Editor");
    EXPECT_EQ(apps[0].activationPolicy, ActivationPolicy::regular);
    client.close(first);
    ASSERT_TRUE(waitFor([&] { return !isManaged(first); }));
    EXPECT_EQ(platform->workspace().runningApplications().size(), 1u);
    client.close(second);
    ASSERT_TRUE(waitFor([&] { return platform->workspace().runningApplications().empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"launch Editor", "window Editor", "window Editor", "terminate Editor"}));
}

// What ApplicationIndex tells an application's desktop entry by, as its first window announces it.
TEST_F(X11Applications, AnApplicationCarriesTheInstanceAndApplicationIDItsFirstWindowAnnounces) {
    const struct {
        std::string options;
        std::optional<std::string> instance, applicationID;
    } rows[] = {
        {"class=Mousepad instance=mousepad", "mousepad", std::nullopt},
        {"class=gnome-calculator instance=gnome-calculator appid=org.gnome.Calculator", "gnome-calculator",
         "org.gnome.Calculator"},
        {"class=dolphin instance=dolphin desktopfile=org.kde.dolphin", "dolphin", "org.kde.dolphin"},
        {"class=Both appid=org.example.Gtk desktopfile=org.example.Kde", "tessary-test-client", "org.example.Gtk"},
    };
    // Every client lives to the end: a client that went could hand its window's id to the next.
    std::vector<TestClient> clients;
    clients.reserve(std::size(rows));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        TestClient& client = clients.emplace_back(desktop->startClient());
        openWindow(client, row.options);
        // Known once the client list's change has come in.
        std::optional<RunningApplication> app;
        ASSERT_TRUE(waitFor([&] { return (app = platform->workspace().runningApplication(client.pid())).has_value(); }));
        EXPECT_EQ(app->instanceName, row.instance);
        EXPECT_EQ(app->applicationID, row.applicationID);
    }
}

TEST_F(X11Applications, TheFrontmostApplicationOwnsTheActiveWindow) {
    TestClient one = desktop->startClient();
    TestClient two = desktop->startClient();
    xcb_window_t a = openWindow(one, "class=One x=100 y=100");
    openWindow(two, "class=Two x=600 y=100");
    ASSERT_TRUE(waitFor([&] {
        auto front = platform->workspace().frontmostApplication();
        return front && front->bundleIdentifier == "Two";
    }));
    EXPECT_TRUE(platform->workspace().activate(one.pid()));
    ASSERT_TRUE(waitFor([&] { return platform->windows().activeWindow() == a; }));
    EXPECT_EQ(platform->workspace().frontmostApplication()->bundleIdentifier, "One");
    EXPECT_FALSE(platform->workspace().activate(999999));
}

class X11Trust : public DesktopTest {
protected:
    void SetUp() override {}
};

TEST_F(X11Trust, GrantedWithAnEWMHWindowManagerOnly) {
    VirtualDesktop::Options bare;
    bare.windowManager = false;
    start(bare);
    EXPECT_FALSE(platform->accessibility().isProcessTrusted());
    platform.reset();
    desktop.reset();
    start(VirtualDesktop::Options{});
    EXPECT_TRUE(platform->accessibility().isProcessTrusted());
    EXPECT_TRUE(platform->accessibility().isProcessTrustedWithPrompt());
    // A window manager that died leaves its _NET_SUPPORTED behind; that grants nothing.
    desktop->crashWindowManager();
    ASSERT_FALSE(platform->windows().supported().empty());
    EXPECT_TRUE(waitFor([&] { return !platform->accessibility().isProcessTrusted(); }));
}

}  // namespace
}  // namespace tessary::e2e
