#include "Platform/X11/X11CompositorQuery.h"

#include <cstring>

#include "Platform/X11/X11Connection.h"

namespace tessary {

bool x11CompositorRuns(X11Connection& connection) {
    xcb_connection_t* c = connection.xcb();
    const char* name = "_NET_WM_CM_S0";
    auto atom = connection.reply(xcb_intern_atom_reply, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name),
                                 "InternAtom");
    if (!atom) return false;
    auto owner = connection.reply(xcb_get_selection_owner_reply, xcb_get_selection_owner(c, atom->atom),
                                  "GetSelectionOwner");
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace tessary
