#pragma once

#include "tests/e2e/harness/ChildProcess.h"
#include "tests/e2e/harness/WindowManager.h"
#include "TessaryCore/Geometry.h"

#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

namespace tessary::e2e {

class TestClient;

// A fresh X server for one test and the window manager TESSARY_E2E_WM names (openbox by default;
// see WindowManager). TESSARY_E2E_SERVER chooses the server: "xvfb" (the default), one RandR
// output split into two monitors with `xrandr --setmonitor` (as a split ultra-wide display), or
// "xorg-dummy", Xorg with the dummy video driver, whose two monitors are real RandR outputs (as
// two plugged-in displays). Everything it starts dies with it.
class VirtualDesktop {
public:
    enum class Kind { monitors, outputs };
    // The kind TESSARY_E2E_SERVER names; unknown names end the test program with a message.
    static Kind kind();

    struct Monitor {
        std::string name;
        int x, y, width, height;
    };
    // The screen is 3840x1080, split into two 1920x1080 monitors side by side: "tessary-left"
    // and "tessary-right", unless the options say other monitors.
    struct Options {
        bool windowManager = true;
        // trayer as the system tray host, on the top edge; it reserves no strut, so the work
        // areas stay the monitors' full size.
        bool tray = false;
        // The window manager's stock key bindings for switching desktops (openbox: C-A-Left,
        // C-A-Right; icewm: its own Ctrl+Alt+1..9 and arrows too), which take those combinations
        // from every other client; without them openbox binds no key and icewm none of those.
        bool stockKeyBindings = false;
        // openbox's stock mouse bindings: a title bar dragged with Shift or Ctrl held from the
        // press does not move (only a plain drag does), as openbox behaves out of the box.
        bool stockMouseBindings = false;
        // The panel the window manager draws itself as it installs (WindowManager::drawsPanel:
        // icewm's taskbar, jwm's tray, fluxbox's toolbar), shown along the bottom of the first
        // monitor; the desktop is ready once the window manager announces the space it leaves.
        bool panels = false;
        // One or two monitors side by side, of this size each; one alone is "tessary-right" (the
        // monitor the drag tests snap on). Other than two of 1920x1080, only on Xvfb.
        int monitorCount = 2;
        int monitorWidth = 1920, monitorHeight = 1080;
    };

    VirtualDesktop();
    explicit VirtualDesktop(Options options);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // ":N"; also exported as DISPLAY for this process.
    const std::string& display() const { return display_; }
    const std::string& directory() const { return directory_; }
    pid_t serverPid() const { return server_.pid(); }
    pid_t windowManagerPid() const { return windowManager_.pid(); }

    // Private XDG folders of this desktop, which every program started here is given (the test's
    // own process keeps its own): "config", "data" and "runtime" (0700) under directory().
    std::string configHome() const { return directory_ + "/config"; }
    std::string dataHome() const { return directory_ + "/data"; }
    std::string runtimeDirectory() const { return directory_ + "/runtime"; }
    // DISPLAY and the XDG folders above, as NAME=value.
    std::vector<std::string> environment() const;

    // Starts the window manager now, for a desktop made without one (a window manager that comes
    // late) or after a crash; returns once it manages the screen. Does nothing when one runs.
    void startWindowManager();
    pid_t trayPid() const { return tray_.pid(); }
    // Starts trayer now, for a desktop made without a tray (one that comes late); returns once it
    // owns the tray selection.
    void startTray();

    // Kills the window manager: it crashes, leaving its root window properties behind.
    void crashWindowManager() { windowManager_.crash(); }
    // Restarts the window manager in place as its user would: `openbox --restart`; the others,
    // which have no such command, are ended and started again. Returns once the new one runs.
    void restartWindowManager();
    const WindowManager& windowManager() const { return WindowManager::current(); }
    // Where windows may go on the monitor as the window manager leaves it: all of it, but for the
    // band its own panel takes along the bottom of the first monitor (as deep as the window
    // manager's _NET_WORKAREA says).
    Rect workArea(const Rect& monitor);

    // Starts a program on this display.
    ChildProcess start(std::vector<std::string> arguments, bool pipes = false);
    // Runs a program to its end; true when it exited with status 0 before the deadline.
    bool run(std::vector<std::string> arguments, Clock::time_point deadline);
    // `xrandr --setmonitor` / `--delmonitor`.
    bool setMonitor(const Monitor& monitor, const std::string& output);
    bool deleteMonitor(const std::string& name);

    TestClient startClient();
    // An xterm running `cat`; its window carries size increments.
    ChildProcess startXterm(const std::string& geometry, const std::string& title);

    // Synthetic input through XTest. movePointerBy is relative, as a mouse moves; movePointerTo is
    // XTest's absolute motion (as remote desktops and input-sharing tools move it: its raw motion
    // carries root positions); warpPointerTo warps it as `xdotool mousemove` does, which makes no
    // raw motion at all. The two absolute moves wait for the window manager as movePointerBy does
    // only when `paced`.
    void movePointerTo(int x, int y, bool paced = false);
    void movePointerBy(int dx, int dy);
    void warpPointerTo(int x, int y, bool paced = false);
    void pressButton(int button, bool down);
    void pressKey(uint32_t keysym, bool down);
    // The first key code whose symbols include `keysym` (the one pressKey presses); 0 when none.
    uint8_t keyCode(uint32_t keysym);
    // Returns once the server has taken the input requests sent so far.
    void syncInput();
    // Returns once the window manager has handled every event it was sent so far (as a user's hand
    // is slow next to it: a window manager that gets a whole drag at once may see only its end).
    bool syncWindowManager();

private:
    void startServer();
    // The window manager's _NET_WORKAREA (of the first desktop); the root window while it has none.
    Rect announcedWorkArea();
    void startOpenbox();
    // A connection that follows the root's properties, opened before a window manager is started.
    xcb_connection_t* watchRoot();
    // Waits until an EWMH window manager other than the one whose check window was `previous`
    // manages the screen; closes `watch`.
    void awaitWindowManager(xcb_connection_t* watch, xcb_window_t previous);
    xcb_window_t windowManagerCheck();
    xcb_connection_t* inputConnection();
    // The owner of the tray selection of screen 0; XCB_WINDOW_NONE when there is none.
    xcb_window_t trayOwner();

    Options options_;
    std::string directory_;
    std::string display_;
    ChildProcess server_;
    ChildProcess windowManager_;
    ChildProcess tray_;
    xcb_connection_t* input_ = nullptr;
    xcb_window_t probe_ = 0;
    int16_t probeX_ = -10;
};

// The harness's own test client (tests/e2e/TestClient.cpp), driven over its stdin and stdout.
class TestClient {
public:
    explicit TestClient(ChildProcess process) : process_(std::move(process)) {}

    // Opens a window with the given "key=value ..." options; its id (0 on failure).
    xcb_window_t open(const std::string& options);
    void close(xcb_window_t window);
    // Makes the client destroy the window when the nth ConfigureNotify from now arrives.
    void closeOnConfigure(xcb_window_t window, int n);
    pid_t pid() const { return process_.pid(); }
    void quit() { process_.kill(); }

private:
    bool expect(const std::string& answer);
    ChildProcess process_;
};

}  // namespace tessary::e2e
