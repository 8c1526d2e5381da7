#pragma once

#include "Platform/ApplicationWorkspace.h"
#include "Platform/ProcessID.h"
#include "Platform/Signal.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Windows.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <optional>
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
};

// Follows _NET_CLIENT_LIST: the managed windows, the applications behind them (an application is a
// process that owns managed windows: it is launched with its first window and terminated when its
// last one goes), and notices of new windows. The window manager announces every change of the
// list with a PropertyNotify on the root, which the tracker diffs against what it knew.
class X11ClientTracker {
public:
    X11ClientTracker(X11Connection& connection, X11Windows& windows);
    ~X11ClientTracker();
    X11ClientTracker(const X11ClientTracker&) = delete;
    X11ClientTracker& operator=(const X11ClientTracker&) = delete;

    // Reads the list again and announces the differences. Called on every change notice; callers
    // that cannot wait for the notice (a window they were just told about) may call it too.
    void refresh();

    // In the window manager's order (mapping order).
    std::vector<X11Client> clients() const;
    std::optional<X11Client> client(xcb_window_t window) const;
    // In launch order.
    std::vector<RunningApplication> applications() const;
    std::optional<RunningApplication> application(ProcessID pid) const;

    // Applications launched are announced before the new windows that launched them, so that a
    // listener that starts observing a new process sees its first window.
    Signal<const RunningApplication&> applicationLaunched;
    Signal<const RunningApplication&> applicationTerminated;
    Signal<const X11Client&> windowCreated;
    // A managed window left the list (closed or withdrawn). Announced before the termination of
    // the application it belonged to, while observers of that process are still registered.
    Signal<const X11Client&> windowDestroyed;

private:
    struct Application {
        ProcessID pid = 0;
        uint64_t launchOrder = 0;
        std::optional<std::string> bundleIdentifier;
        std::vector<xcb_window_t> windows;
    };
    std::vector<X11Client> describe(const std::vector<xcb_window_t>& windows);
    RunningApplication record(const Application& application, bool terminated) const;

    X11Connection& connection_;
    X11Windows& windows_;
    int handlerId_ = 0;
    std::vector<xcb_window_t> order_;
    std::map<xcb_window_t, X11Client> clients_;
    std::map<ProcessID, Application> applications_;
    uint64_t nextLaunch_ = 0;
};

}  // namespace tessary
