#pragma once

#include "Platform/X11/X11Connection.h"

#include <xcb/xcb.h>

#include <vector>

namespace tessary {

// The managed windows, front to back. _NET_CLIENT_LIST says which windows are managed;
// _NET_CLIENT_LIST_STACKING only orders them, because window managers keep it less faithfully
// (xfwm4 leaves it unset while a single window is open). Windows the stacking list leaves out
// follow the others, in the order of the client list; stacking entries that are not clients are
// dropped.
std::vector<xcb_window_t> clientsFrontToBack(const std::vector<xcb_window_t>& clientList,
                                             const std::vector<xcb_window_t>& stackingBottomToTop);

// Reads both lists in one round trip and orders them as above.
std::vector<xcb_window_t> readClientsFrontToBack(X11Connection& connection);

}  // namespace tessary
