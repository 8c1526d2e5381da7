#pragma once

#include "tests/e2e/harness/ChildProcess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::e2e {

// The window manager the end-to-end tests run beside, chosen by TESSARY_E2E_WM (openbox when
// unset): openbox, icewm, xfwm4, fluxbox, jwm, metacity, marco or kwin_x11. Each is started as it
// runs without a desktop session: no panel (unless asked for its own), a private D-Bus session
// where it needs one, and a configuration that moves a window dragged by its title bar with the
// modifier keys the tests hold.
//
// Where EWMH leaves a window manager free, tests ask what this one does and assert the project's
// behaviour for that case.
struct WindowManager {
    std::string name;
    // A window whose WM_NORMAL_HINTS declare size increments (an xterm) only takes whole steps.
    bool honoursSizeIncrements = true;
    // A move that would put a window wholly off screen is declined or cut short.
    bool keepsWindowsOnScreen = true;
    // The key a user of this window manager holds to show the zones while dragging ("shift" or
    // "control", as the activation preference stores it): Shift+drag is the window manager's own
    // edge snapping or tiling on some.
    std::string activationModifier = "shift";
    // The span key that goes with it.
    std::string spanModifier = "control";
    // A dragged window's edge stops for a moment at another window's edge (edge resistance that
    // no setting turns off), so it lags the pointer by up to this many pixels there.
    int edgeResistance = 0;
    // It composites the screen itself and no compositing manager is started beside it, as its users
    // run it: it takes _NET_WM_CM_S0 a moment after it has started, one started in that moment
    // takes the selection first, and metacity then leaves it with no owner while the screen is
    // composited (marco gives way instead, and the other composites).
    bool compositesAlone = false;
    // It gives every window a minimise button, whatever the window's Motif hints ask for.
    bool minimisesEveryWindow = false;

    // The one named by TESSARY_E2E_WM; unknown names end the test program with a message.
    static const WindowManager& current();
    static const std::vector<WindowManager>& all();

    // Writes its configuration into `directory` and says how to start it on `display`. With
    // `stockKeyBindings`, icewm keeps its own workspace keys (Ctrl+Alt+1..9, Ctrl+Alt+arrows), which
    // take those combinations from every other client. With `panels`, the panel it draws itself as
    // it installs (drawsPanel) shows.
    ChildProcess::Options launch(const std::string& directory, const std::string& display,
                                 bool stockKeyBindings = false, bool panels = false) const;
    // Out of the box it draws a panel of its own along the bottom of the first monitor (icewm's
    // taskbar, jwm's tray, fluxbox's toolbar), with a system tray in it. The panel is no client
    // and carries no strut: the window manager announces the space it leaves only in _NET_WORKAREA,
    // and keeps windows off it on that monitor alone.
    bool drawsPanel() const { return name == "icewm" || name == "jwm" || name == "fluxbox"; }

    // The program's defaults.json for a user who has completed onboarding and, where this window
    // manager takes Shift+drag for itself, chose its activation and span keys in Settings.
    std::string onboardedUserDefaults() const;

    uint32_t activationKeysym() const;
    uint32_t spanKeysym() const;
};

}  // namespace tessary::e2e
