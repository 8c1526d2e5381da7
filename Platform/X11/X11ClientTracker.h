#pragma once

#include "Platform/X11/X11ClientRoster.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Windows.h"

#include <xcb/xcb.h>

#include <vector>

namespace tessary {

// Follows _NET_CLIENT_LIST for the roster (X11ClientRoster: what is announced and what is held).
// The window manager announces every change of the list with a PropertyNotify on the root, which
// the tracker diffs against what it knew. It also watches the client windows themselves: their
// DestroyNotify, UnmapNotify and WM_STATE changes settle windows held while no window manager
// lists them.
class X11ClientTracker : public X11ClientRoster {
public:
    X11ClientTracker(X11Connection& connection, X11Windows& windows);
    ~X11ClientTracker() override;

    // Reads the list again and announces the differences. Called on every change notice; callers
    // that cannot wait for the notice (a window they were just told about) may call it too.
    void refresh();

protected:
    std::vector<X11Client> describe(const std::vector<xcb_window_t>& windows) override;
    X11ClientFate fate(xcb_window_t window) override;
    void release(xcb_window_t window) override;

private:
    void handle(const xcb_generic_event_t& event);

    X11Connection& connection_;
    X11Windows& windows_;
    int handlerId_ = 0;
};

}  // namespace tessary
