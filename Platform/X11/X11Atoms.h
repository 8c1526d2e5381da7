#pragma once

#include <xcb/xcb.h>


namespace tessary {

class X11Connection;

// Every atom the X11 back end speaks, interned once per connection in one round trip.
#define TESSARY_X11_ATOMS(X)                                                                       \
    X(UTF8_STRING)                                                                                 \
    X(WM_STATE)                                                                                    \
    X(WM_PROTOCOLS)                                                                                \
    X(WM_DELETE_WINDOW)                                                                            \
    X(_NET_SUPPORTED)                                                                              \
    X(_NET_SUPPORTING_WM_CHECK)                                                                    \
    X(_NET_CLIENT_LIST)                                                                            \
    X(_NET_CLIENT_LIST_STACKING)                                                                   \
    X(_NET_ACTIVE_WINDOW)                                                                          \
    X(_NET_MOVERESIZE_WINDOW)                                                                      \
    X(_NET_FRAME_EXTENTS)                                                                          \
    X(_NET_WORKAREA)                                                                               \
    X(_NET_CURRENT_DESKTOP)                                                                        \
    X(_NET_CLOSE_WINDOW)                                                                           \
    X(_NET_REQUEST_FRAME_EXTENTS)                                                                  \
    X(_GTK_FRAME_EXTENTS)                                                                          \
    X(_GTK_APPLICATION_ID)                                                                         \
    X(_KDE_NET_WM_DESKTOP_FILE)                                                                    \
    X(_NET_WM_NAME)                                                                                \
    X(_NET_WM_PID)                                                                                 \
    X(_NET_WM_STATE)                                                                               \
    X(_NET_WM_STATE_HIDDEN)                                                                        \
    X(_NET_WM_STATE_MAXIMIZED_VERT)                                                                \
    X(_NET_WM_STATE_MAXIMIZED_HORZ)                                                                \
    X(_NET_WM_STATE_FULLSCREEN)                                                                    \
    X(_NET_WM_WINDOW_TYPE)                                                                         \
    X(_NET_WM_WINDOW_TYPE_NORMAL)                                                                  \
    X(_NET_WM_WINDOW_TYPE_DIALOG)                                                                  \
    X(_NET_WM_WINDOW_TYPE_DOCK)                                                                    \
    X(_NET_WM_WINDOW_TYPE_DESKTOP)                                                                 \
    X(_NET_WM_WINDOW_TYPE_UTILITY)                                                                 \
    X(_NET_WM_WINDOW_TYPE_TOOLBAR)                                                                 \
    X(_NET_WM_WINDOW_TYPE_MENU)                                                                    \
    X(_NET_WM_WINDOW_TYPE_SPLASH)                                                                  \
    X(_NET_WM_STRUT)                                                                               \
    X(_NET_WM_STRUT_PARTIAL)                                                                       \
    X(EDID)                                                                                        \
    X(ConnectorType)                                                                               \
    X(Panel)

struct X11Atoms {
#define TESSARY_X11_ATOM_FIELD(name) xcb_atom_t name = XCB_ATOM_NONE;
    TESSARY_X11_ATOMS(TESSARY_X11_ATOM_FIELD)
#undef TESSARY_X11_ATOM_FIELD

    // Interns every atom with one batch of requests; atoms the server cannot intern stay NONE.
    static X11Atoms intern(X11Connection& connection);
};

}  // namespace tessary
