#pragma once

// The windows a program of ours has on the desktop, as the window manager lists them, and closing
// one as the window manager's close button does.

#include <sys/types.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Platform/X11/X11Platform.h"

namespace tessary::e2e {

// The managed windows whose _NET_WM_PID is the process's.
inline std::vector<xcb_window_t> listedWindows(X11Platform& platform, pid_t pid) {
    std::vector<xcb_window_t> listed;
    for (xcb_window_t client : platform.windows().clientList()) {
        if (platform.windows().processID(client) == pid) listed.push_back(client);
    }
    return listed;
}

// The process's managed window with this title.
inline std::optional<xcb_window_t> listedWindow(X11Platform& platform, pid_t pid, const std::string& title) {
    for (xcb_window_t window : listedWindows(platform, pid)) {
        if (platform.windows().title(window) == title) return window;
    }
    return std::nullopt;
}

// Whether an override-redirect window of at least `minimumWidth` is mapped with its left edge at or
// right of `x` (the zone overlay on a monitor that starts there); of process `pid` when it is given
// (window managers have override-redirect windows of their own, such as a frame shown during a move).
inline bool overlayMappedFrom(X11Platform& platform, int x, int minimumWidth = 1000, pid_t pid = 0) {
    xcb_connection_t* c = platform.connection().xcb();
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, platform.connection().root()), nullptr);
    if (!tree) return false;
    bool found = false;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
        auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
        found = attributes && geometry && attributes->override_redirect &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE && geometry->x >= x && geometry->width >= minimumWidth &&
                (pid == 0 || platform.windows().processID(children[i]) == pid);
        std::free(attributes);
        std::free(geometry);
    }
    std::free(tree);
    return found;
}

// The override-redirect windows mapped since it was made, with their place then, from the server's
// notices on a connection of its own: a flash of the zones lasts 0.9 s, and on a busy machine a
// test may look only after it has ended (a later start that asked for it takes longer to exit).
class MappedOverlays {
public:
    explicit MappedOverlays(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
        // Where the root's windows are now; the notices tell what changes after.
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, root), nullptr);
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            const xcb_window_t window = xcb_query_tree_children(tree)[i];
            auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr);
            if (geometry) places_[window] = {geometry->x, geometry->width};
            std::free(geometry);
        }
        std::free(tree);
    }
    ~MappedOverlays() { xcb_disconnect(c_); }
    MappedOverlays(const MappedOverlays&) = delete;
    MappedOverlays& operator=(const MappedOverlays&) = delete;

    // Whether an overlay (as overlayMappedFrom names one) was mapped since, shown or not now.
    bool sawFrom(X11Platform& platform, int x, int minimumWidth = 1000, pid_t pid = 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
            switch (event->response_type & 0x7f) {
            case XCB_CREATE_NOTIFY: {
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
                places_[created->window] = {created->x, created->width};
                break;
            }
            case XCB_CONFIGURE_NOTIFY: {
                const auto* configured = reinterpret_cast<xcb_configure_notify_event_t*>(event);
                places_[configured->window] = {configured->x, configured->width};
                break;
            }
            case XCB_MAP_NOTIFY: {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->override_redirect) mapped_.emplace_back(map->window, places_[map->window]);
                break;
            }
            }
            std::free(event);
        }
        for (const auto& [window, place] : mapped_) {
            if (place.x >= x && place.width >= minimumWidth &&
                (pid == 0 || platform.windows().processID(window) == pid)) {
                return true;
            }
        }
        return false;
    }

private:
    struct Place {
        int x = 0, width = 0;
    };
    xcb_connection_t* c_;
    std::map<xcb_window_t, Place> places_;
    std::vector<std::pair<xcb_window_t, Place>> mapped_;
};

// A window's property of 32-bit values (_MOTIF_WM_HINTS, atom lists), as the server holds it; empty
// when it has none.
inline std::vector<uint32_t> propertyValues(X11Platform& platform, xcb_window_t window, const std::string& name) {
    xcb_connection_t* c = platform.connection().xcb();
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t property = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    std::vector<uint32_t> values;
    if (property == XCB_ATOM_NONE) return values;
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// The names of the atoms a window's property lists (_NET_WM_WINDOW_TYPE, _NET_WM_ALLOWED_ACTIONS).
inline std::vector<std::string> propertyAtomNames(X11Platform& platform, xcb_window_t window, const std::string& name) {
    xcb_connection_t* c = platform.connection().xcb();
    std::vector<std::string> names;
    for (uint32_t atom : propertyValues(platform, window, name)) {
        auto* reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr);
        if (reply) names.emplace_back(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        std::free(reply);
    }
    return names;
}

// WM_DELETE_WINDOW, as a window manager sends it.
inline void closeLikeTheWindowManager(X11Platform& platform, xcb_window_t window) {
    xcb_connection_t* c = platform.connection().xcb();
    xcb_client_message_event_t close{};
    close.response_type = XCB_CLIENT_MESSAGE;
    close.format = 32;
    close.window = window;
    close.type = platform.connection().atoms().WM_PROTOCOLS;
    close.data.data32[0] = platform.connection().atoms().WM_DELETE_WINDOW;
    close.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&close));
    xcb_flush(c);
}

}  // namespace tessary::e2e
