#pragma once

#include "Platform/ApplicationWorkspace.h"
#include "Platform/ProcessID.h"
#include "Platform/Signal.h"
#include "Platform/X11/X11Windows.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessary {

// A window the window manager manages, with what never changes while it lives.
struct X11Client {
    xcb_window_t window = XCB_WINDOW_NONE;
    // 0 when neither _NET_WM_PID nor the X-Resource extension tells.
    ProcessID pid = 0;
    std::optional<std::string> windowClass;
    X11WindowType type = X11WindowType::unset;
    // The WM_CLASS instance, and the application id GTK (`_GTK_APPLICATION_ID`) or KDE
    // (`_KDE_NET_WM_DESKTOP_FILE`) announces.
    std::optional<std::string> instanceName{};
    std::optional<std::string> applicationID{};
};

// What became of a window that left _NET_CLIENT_LIST.
enum class X11ClientFate {
    // The X window no longer exists.
    destroyed,
    // Its client withdrew it: unmapped, and WM_STATE removed or Withdrawn.
    withdrawn,
    // Still mapped or iconic: the window manager let go of it (it exits, restarts or is replaced)
    // and the next one will manage it again.
    awaitingManager,
};

// The managed windows and the applications behind them, kept from successive _NET_CLIENT_LIST
// values (an application is a process that owns managed windows: it is launched with its first
// window and terminated when its last one goes).
//
// Identity policy: only a real creation or destruction is announced. A window that leaves the list
// while it still exists and was not withdrawn (a window manager restarting, killed or replaced
// empties the list and fills it again) is held: it keeps its identity, its application stays
// running, and nothing is announced when it comes back. A held window is announced destroyed when
// it is destroyed or withdrawn while held (the owner reports these through windowDestroyed() and
// windowChanged()).
//
// The owner tells what the display says about a window through the three hooks below; the roster
// itself makes no requests, so its rules run without an X server.
class X11ClientRoster {
public:
    virtual ~X11ClientRoster();
    X11ClientRoster(const X11ClientRoster&) = delete;
    X11ClientRoster& operator=(const X11ClientRoster&) = delete;

    // In the window manager's order (mapping order); held windows are not listed.
    std::vector<X11Client> clients() const;
    // A listed or held window.
    std::optional<X11Client> client(xcb_window_t window) const;
    bool isHeld(xcb_window_t window) const { return held_.count(window) != 0; }
    // In launch order.
    std::vector<RunningApplication> applications() const;
    std::optional<RunningApplication> application(ProcessID pid) const;

    // Applications launched are announced before the new windows that launched them, so that a
    // listener that starts observing a new process sees its first window.
    Signal<const RunningApplication&> applicationLaunched;
    Signal<const RunningApplication&> applicationTerminated;
    Signal<const X11Client&> windowCreated;
    // A managed window was destroyed or withdrawn. Announced before the termination of the
    // application it belonged to, while observers of that process are still registered.
    Signal<const X11Client&> windowDestroyed;

protected:
    X11ClientRoster() = default;

    // The windows known without notices (at start).
    void adopt(const std::vector<xcb_window_t>& list);
    // A new value of the list: announces the differences.
    void update(const std::vector<xcb_window_t>& list);
    // The X window was destroyed.
    void windowDestroyedOnServer(xcb_window_t window);
    // A held window's mapping or WM_STATE changed: it may have been withdrawn.
    void windowChanged(xcb_window_t window);

    // The fixed properties of new clients; windows that vanished meanwhile are left out.
    virtual std::vector<X11Client> describe(const std::vector<xcb_window_t>& windows) = 0;
    virtual X11ClientFate fate(xcb_window_t window) = 0;
    // The roster has no more interest in the window.
    virtual void release(xcb_window_t window) = 0;

private:
    struct Application {
        ProcessID pid = 0;
        uint64_t launchOrder = 0;
        // What the first window with a class announced (X11Client).
        std::optional<std::string> bundleIdentifier, instanceName, applicationID;
        std::vector<xcb_window_t> windows;
    };
    struct Notices {
        std::vector<X11Client> gone;
        std::vector<RunningApplication> terminated;
        std::vector<RunningApplication> launched;
        std::vector<X11Client> fresh;
    };
    void add(const X11Client& client, Notices* notices);
    void remove(xcb_window_t window, Notices& notices);
    void announce(const Notices& notices);
    RunningApplication record(const Application& application, bool terminated) const;

    std::vector<xcb_window_t> order_;
    std::map<xcb_window_t, X11Client> clients_;
    std::set<xcb_window_t> held_;
    std::map<ProcessID, Application> applications_;
    uint64_t nextLaunch_ = 0;
};

}  // namespace tessary
