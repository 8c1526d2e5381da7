#pragma once

#include "Platform/X11/X11Platform.h"
#include "tests/e2e/harness/TrayMenu.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessary::e2e {

// A test with its own virtual desktop and the X11 back ends connected to it. Unexpected X errors
// end the test program (see X11Connection).
// What moves the pointer in a drag (see VirtualDesktop's input): a mouse, XTest's absolute motion,
// or warps.
enum class Pointer { relative, absolute, warped };
struct DragWay {
    Pointer pointer = Pointer::relative;
    // The window manager moves the window with the pointer.
    bool windowManagerMoves = true;
    // Pauses of a script that drives the pointer: before its first move, and halfway.
    std::chrono::milliseconds restAfterPress{0}, restMidway{0};
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { start(desktopOptions()); }
    // The desktop a test's fixture starts; the snapping, keyboard and overlay tests ask for the
    // window managers' own panels.
    virtual VirtualDesktop::Options desktopOptions() const { return {}; }

    void start(VirtualDesktop::Options options) {
        ::setenv("TESSARY_X_ERRORS_FATAL", "1", 1);
        desktop = std::make_unique<VirtualDesktop>(std::move(options));
        platform = X11Platform::open(desktop->display().c_str());
        ASSERT_TRUE(platform) << "cannot connect to " << desktop->display();
    }

    void TearDown() override {
        if (platform) {
            // Whatever went wrong, no X error the back end did not expect may have been seen.
            EXPECT_EQ(platform->connection().unexpectedErrorCount(), 0u);
        }
        platform.reset();
        desktop.reset();
    }

    // Runs the main loop's part (dispatching X events) until the condition holds.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
        return waitUntil(
            [&] {
                platform->processPendingEvents();
                return condition();
            },
            Clock::now() + limit, platform->fileDescriptor());
    }

    // Whether the condition comes true within 5 s and then stays so for 300 ms on end.
    bool holds(const std::function<bool()>& condition) {
        auto since = Clock::time_point::max();
        return waitFor(
            [&] {
                if (!condition()) {
                    since = Clock::time_point::max();
                    return false;
                }
                if (since == Clock::time_point::max()) since = Clock::now();
                return Clock::now() - since >= 300ms;
            },
            5s);
    }

    // A compositing manager for the desktop (xcompmgr, or `command`); beside a window manager that
    // composites alone, none is started and its own is waited for instead.
    ChildProcess startCompositor(std::vector<std::string> command = {"sh", "-c", "exec xcompmgr 2>/dev/null"}) {
        if (!desktop->windowManager().compositesAlone) return desktop->start(std::move(command));
        xcb_connection_t* c = platform->connection().xcb();
        const char* name = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, name), nullptr);
        EXPECT_TRUE(atom);
        if (!atom) return {};
        EXPECT_TRUE(waitFor([&] {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
            return owned;
        }, 10s)) << desktop->windowManager().name << " did not take the compositing selection";
        std::free(atom);
        return {};
    }

    bool isManaged(xcb_window_t window) {
        auto list = platform->windows().clientList();
        return std::find(list.begin(), list.end(), window) != list.end() && platform->tracker().client(window);
    }

    // Whether the window is (or was made) the active one. A drag waits for it: window managers
    // activate a new window a moment after they map it, and marco and metacity start no move on a
    // window they have not activated yet; a hand reaches the title bar later than that. A window
    // manager that keeps a new window from the focus (xfwm4 on a busy machine) has it activated as
    // a taskbar would.
    bool becomesActive(xcb_window_t window) {
        const auto active = [&] { return platform->windows().activeWindow() == window; };
        if (waitFor(active, 3s)) return true;
        platform->windows().activate(window, 2s);
        return waitFor(active);
    }

    // Opens a test-client window and waits until the window manager manages it.
    xcb_window_t openWindow(TestClient& client, const std::string& options) {
        xcb_window_t window = client.open(options);
        EXPECT_NE(window, 0u) << "the test client did not open a window";
        EXPECT_TRUE(waitFor([&] { return isManaged(window); })) << "the window manager did not manage it";
        return window;
    }

    // Drags the window by the middle of its title bar, `modifier` held, to `to` and lets go there;
    // false when the window manager never moved it. The program under test watches the pointer's
    // motion only once it has seen the button go down, and the window manager starts its move on
    // the first motion past its threshold: `buttonSeen` (given the press's place) and the move are
    // awaited before the drag goes on. The modifier stays down until `dropped` holds (5 s at most):
    // a program that takes the whole drag in one batch reads the modifier at its end.
    // `beforeRelease` runs with the pointer at `to` and the button still down.
    // `way.pointer` says what moves the pointer. Where the window manager does not move a window
    // dragged with `modifier` held (`way.windowManagerMoves` false), the drag goes on without
    // waiting for a move, and true means only that the press was seen.
    void movePointerBy(Pointer pointer, int fromX, int fromY, int dx, int dy) {
        switch (pointer) {
        case Pointer::relative: desktop->movePointerBy(dx, dy); break;
        case Pointer::absolute: desktop->movePointerTo(fromX + dx, fromY + dy, true); break;
        case Pointer::warped: desktop->warpPointerTo(fromX + dx, fromY + dy, true); break;
        }
    }
    bool dragTitleBar(xcb_window_t window, std::uint32_t modifier, Point to,
                      const std::function<bool(int x, int y)>& buttonSeen, const std::function<bool()>& dropped,
                      const std::function<void()>& beforeRelease = {}, DragWay way = {}) {
        EXPECT_TRUE(becomesActive(window)) << "the window manager did not activate the window";
        auto frame = [&] { return platform->windows().outerFrame(window).value_or(Rect::null()); };
        const Rect outer = frame();
        const auto geometry = platform->windows().geometry(window);
        if (outer.isNull() || !geometry) return false;
        int x = int(outer.midX()), y = int(outer.minY() + geometry->frame.top / 2);
        desktop->pressKey(modifier, true);
        desktop->movePointerTo(x, y);
        desktop->pressButton(1, true);
        bool moved = buttonSeen(x, y);
        // The pause is the case itself, not a wait for the program.
        std::this_thread::sleep_for(way.restAfterPress);
        const auto deadline = Clock::now() + 10s;
        while (way.windowManagerMoves && moved && frame().origin == outer.origin && Clock::now() < deadline) {
            movePointerBy(way.pointer, x, y, 1, 0);
            ++x;
            waitFor([&] { return frame().origin != outer.origin; }, 100ms);
        }
        moved = moved && (!way.windowManagerMoves || frame().origin != outer.origin);
        if (moved) {
            const int dx = int(to.x) - x, dy = int(to.y) - y;
            constexpr int steps = 24;
            for (int i = 1, doneX = 0, doneY = 0; i <= steps; ++i) {
                movePointerBy(way.pointer, x + doneX, y + doneY, dx * i / steps - doneX, dy * i / steps - doneY);
                doneX = dx * i / steps;
                doneY = dy * i / steps;
                if (i == steps / 2) std::this_thread::sleep_for(way.restMidway);
            }
            if (beforeRelease) beforeRelease();
        }
        desktop->pressButton(1, false);
        if (moved) waitFor(dropped, 5s);
        desktop->pressKey(modifier, false);
        desktop->syncInput();
        return moved;
    }

    xcb_atom_t atom(const char* name) {
        X11Connection& c = platform->connection();
        auto reply = c.reply(xcb_intern_atom_reply, xcb_intern_atom(c.xcb(), 0, std::uint16_t(std::strlen(name)), name),
                             "InternAtom");
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // Asks the window manager to change a window, as a pager or the client itself would.
    void sendClientMessage(xcb_window_t window, const char* type, std::array<uint32_t, 5> data) {
        X11Connection& c = platform->connection();
        const uint32_t values[5] = {data[0], data[1], data[2], data[3], data[4]};
        const xcb_client_message_event_t message = rootWindowMessage(window, atom(type), values);
        xcb_send_event(c.xcb(), 0, c.root(), rootMessageMask, reinterpret_cast<const char*>(&message));
        c.flush();
    }

    // --- The tray (a desktop started with one) -------------------------------------------------

    // The tray icon of `pid` inside trayer, and an open menu of `pid` (narrower than a monitor: the
    // zone overlay's windows are as wide); see TrayMenu.h.
    std::optional<Rect> trayIcon(pid_t pid) { return e2e::trayIcon(*platform, desktop->trayPid(), pid); }
    std::optional<Rect> placeOnScreen(xcb_window_t window) { return e2e::placeOnScreen(*platform, window); }
    bool isViewable(xcb_window_t window) { return e2e::isViewable(*platform, window); }
    std::optional<Rect> openMenu(pid_t pid) { return e2e::openMenu(*platform, pid, 1000); }

    // Clicks the middle of the tray icon once the tray shows it whole, and waits for the menu and
    // for the program to end opening it (see throughTheProgramsLoop).
    bool openTrayMenu(pid_t pid) {
        std::optional<Rect> icon;
        if (!waitFor([&] { return (icon = trayIcon(pid)).has_value(); }, 10s)) return false;
        clickTrayIcon(*desktop, *icon);
        if (!waitFor([&] { return openMenu(pid).has_value(); })) return false;
        throughTheProgramsLoop();
        return true;
    }

    // Returns once the program under test has answered a request, so whatever it was doing when
    // asked has ended. Qt maps a menu before it grabs the keyboard for it, in the same call: a key
    // pressed the moment the menu shows can still reach the window that had the focus, and no
    // hand is that quick. Nothing to wait for in tests without a program of ours.
    virtual void throughTheProgramsLoop() {}

    // Presses the keys in order and lets them go in reverse, as a hand does.
    void tap(std::initializer_list<std::uint32_t> keys) {
        for (std::uint32_t key : keys) desktop->pressKey(key, true);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) desktop->pressKey(*key, false);
    }

    std::unique_ptr<VirtualDesktop> desktop;
    std::unique_ptr<X11Platform> platform;
};

}  // namespace tessary::e2e
