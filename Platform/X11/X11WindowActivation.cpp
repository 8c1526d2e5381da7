#include "Platform/X11/X11WindowActivation.h"

#include "Platform/X11/X11Connection.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace tessary::X11WindowActivation {

namespace {

constexpr std::uint32_t kSourcePager = 2;
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kWithdrawnState = 0;

enum Atom { wmState, wmDesktop, currentDesktop, activeWindow, atomCount };
constexpr std::array<std::string_view, atomCount> atomNames{"WM_STATE", "_NET_WM_DESKTOP", "_NET_CURRENT_DESKTOP",
                                                            "_NET_ACTIVE_WINDOW"};

xcb_get_property_cookie_t askFor(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    return xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 2);
}

// The first 32-bit value of a property; none when it is missing (or the window went away).
std::optional<std::uint32_t> firstValue(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error));
    std::free(error);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
    std::uint32_t value;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                const uint32_t (&data)[5]) {
    const xcb_client_message_event_t message = rootWindowMessage(window, type, data);
    xcb_send_event(c, 0, root, rootMessageMask, reinterpret_cast<const char*>(&message));
}

}  // namespace

bool bringForward(xcb_connection_t* c, xcb_window_t window) {
    // Send all, read later: the root and the atoms, then the three properties.
    const xcb_query_tree_cookie_t tree = xcb_query_tree(c, window);
    std::array<xcb_intern_atom_cookie_t, atomCount> interned;
    for (std::size_t i = 0; i < atomCount; ++i) {
        interned[i] = xcb_intern_atom(c, 0, std::uint16_t(atomNames[i].size()), atomNames[i].data());
    }
    xcb_generic_error_t* error = nullptr;
    XcbPtr<xcb_query_tree_reply_t> placed(xcb_query_tree_reply(c, tree, &error));
    std::free(error);
    std::array<xcb_atom_t, atomCount> atoms{};
    for (std::size_t i = 0; i < atomCount; ++i) {
        XcbPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(c, interned[i], nullptr));
        atoms[i] = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    if (!placed) return false;  // the window is gone
    const xcb_window_t root = placed->root;

    const auto stateCookie = askFor(c, window, atoms[wmState]);
    const auto desktopCookie = askFor(c, window, atoms[wmDesktop]);
    const auto currentCookie = askFor(c, root, atoms[currentDesktop]);
    const auto state = firstValue(c, stateCookie);
    const auto desktop = firstValue(c, desktopCookie);
    const auto current = firstValue(c, currentCookie);
    if (!state || *state == kWithdrawnState) return false;

    // Brought here rather than the desktop switched to it: the user asked for the window where
    // they are (a window manager asked to activate a window elsewhere switches desktops, or only
    // marks it as wanting attention).
    if (desktop && current && *desktop != kAllDesktops && *desktop != *current) {
        sendToRoot(c, root, window, atoms[wmDesktop], {*current, kSourcePager, 0, 0, 0});
    }
    // Activation un-minimises, raises and focuses.
    sendToRoot(c, root, window, atoms[activeWindow], {kSourcePager, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0});
    xcb_flush(c);
    return true;
}

}  // namespace tessary::X11WindowActivation
