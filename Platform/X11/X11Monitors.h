#pragma once

#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Windows.h"
#include "TessaryCore/Geometry.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessary {

// What the back end uses of a monitor's EDID block.
struct EDIDInfo {
    // The manufacturer identifier as the big-endian 16-bit number of the block (three packed
    // letters), the product code and the serial number.
    uint32_t vendor = 0;
    uint32_t model = 0;
    uint32_t serial = 0;
    // The display product name descriptor, when the block has one.
    std::optional<std::string> name;

    // nullopt when the bytes are not an EDID base block (too short or a wrong header).
    static std::optional<EDIDInfo> parse(const std::vector<uint8_t>& bytes);
};

struct X11Monitor {
    // The RandR monitor's name atom: stable while the server runs, unique among monitors.
    uint32_t number = 0;
    // The monitor's name ("DP-1", or what `xrandr --setmonitor` called it).
    std::string name;
    Rect frame;
    Rect workArea;
    bool isPrimary = false;
    bool isBuiltIn = false;
    std::vector<uint8_t> edid;
    std::optional<EDIDInfo> edidInfo;
    // Name-based from the EDID, upper case; absent without an EDID.
    std::optional<std::string> uuid;
    // The EDID product name, else the monitor's name.
    std::string localizedName;
};

// A monitor's rectangle and what is known of its outputs, before work areas and identifiers.
struct X11MonitorInput {
    uint32_t number = 0;
    std::string name;
    Rect frame;
    bool isPrimary = false;
    // Of the monitor's first output, when it has one.
    std::string outputName;
    std::string connectorType;
    std::vector<uint8_t> edid;
};

// The pure part of building the monitor list, kept apart for tests: identifiers (two monitors with
// the same EDID get distinct ones), built-in flags, names, the primary first.
std::vector<X11Monitor> assembleMonitors(std::vector<X11MonitorInput> inputs);

// The work area of a monitor: its frame without the edges that struts reserve on it. A strut
// reserves a band along an edge of the root window (`rootSize`); it applies to the monitors the
// band overlaps, except one it would swallow whole (a band reaching across a monitor belongs to
// the monitor beyond it).
Rect workArea(const Rect& monitor, Size rootSize, const std::vector<X11Strut>& struts);

// The struts of the window manager's own panels (icewm's taskbar, jwm's tray, fluxbox's toolbar:
// no client, no strut), from the one rectangle it announces for the whole screen
// (`announced`, _NET_WORKAREA). Each edge it leaves out is a band along the root window's edge.
// A panel of its own (`panels`: its mapped override-redirect top-level windows) lying in a band
// against the edge reserves that edge over its own length, so it shrinks only its monitor, as the
// window manager keeps windows off it there and lets them reach the other monitors' edges. A band
// that the clients' struts and those panels do not account for reserves the whole edge: the window
// manager said so, and nothing says where.
std::vector<X11Strut> windowManagerStruts(const Rect& announced, Size rootSize,
                                          const std::vector<X11Strut>& clientStruts, const std::vector<Rect>& panels);
// Whether a window lies where such a panel does: in a band the announced area leaves out, against
// the root window's edge.
bool liesInAnnouncedBand(const Rect& window, const Rect& announced, Size rootSize);

// The RandR 1.5 monitors of the screen (one monitor covering the root window without RandR 1.5)
// with their work areas: the struts of the managed windows, within what the window manager
// announces it leaves (windowManagerStruts).
class X11Monitors {
public:
    X11Monitors(X11Connection& connection, X11Windows& windows);

    std::vector<X11Monitor> monitors();

    // The RandR event selection that reports monitor and output changes.
    void selectChangeEvents();
    // Whether an event changes monitors or work areas: a window manager's panel that moves or
    // goes is one.
    bool isChangeEvent(const xcb_generic_event_t& event) const;

private:
    std::vector<X11MonitorInput> readInputs(Size rootSize);
    std::vector<X11Strut> struts();
    // The window manager's _NET_WORKAREA for the current desktop; absent without a live one.
    std::optional<Rect> announcedWorkArea();
    // Where the mapped override-redirect top-level windows are, each followed from now on.
    std::vector<Rect> panelCandidates(Size rootSize, const Rect& announced);

    X11Connection& connection_;
    X11Windows& windows_;
    // The panels found at the last read, whose moves and ends are followed.
    std::set<xcb_window_t> panels_;
};

}  // namespace tessary
