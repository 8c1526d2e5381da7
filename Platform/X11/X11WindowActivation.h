#pragma once

// Asks the window manager to bring one of the program's own top-level windows to the user, as a
// pager or a taskbar asks (EWMH source indication 2, which focus-stealing prevention lets through):
// onto the current desktop when it is on another one, out of the minimised state, raised and
// focused. A window the window manager does not manage (never mapped, or withdrawn) is left alone:
// a window manager ignores requests about it, and maps it on the current desktop when it comes.
//
// It works on any xcb connection (Qt's, in the program). The atoms are interned at each call, in
// one batch with the reads: this runs on a user's request, never on a per-event path.

#include <xcb/xcb.h>

namespace tessary::X11WindowActivation {

// False when the window is not managed, so that nothing was asked.
bool bringForward(xcb_connection_t* connection, xcb_window_t window);

}  // namespace tessary::X11WindowActivation
