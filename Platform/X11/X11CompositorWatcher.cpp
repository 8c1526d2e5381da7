#include "Platform/X11/X11CompositorWatcher.h"

#include <xcb/xfixes.h>

#include <string>

namespace tessary {

namespace {

// The number of the connection's screen among the server's, for the selection's name.
int screenNumber(const X11Connection& connection) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection.xcb()));
    for (int i = 0; it.rem; ++i, xcb_screen_next(&it)) {
        if (it.data->root == connection.root()) return i;
    }
    return 0;
}

}  // namespace

X11CompositorWatcher::X11CompositorWatcher(X11Connection& connection) : connection_(connection) {
    if (connection_.hasFailed()) return;
    xcb_connection_t* c = connection_.xcb();
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber(connection_));
    const auto atomCookie = xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str());
    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    const bool hasFixes = fixes && fixes->present;
    xcb_xfixes_query_version_cookie_t versionCookie{};
    if (hasFixes) versionCookie = xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION);
    auto atom = connection_.reply(xcb_intern_atom_reply, atomCookie, "InternAtom");
    auto version = hasFixes ? connection_.reply(xcb_xfixes_query_version_reply, versionCookie, "XFixesQueryVersion")
                            : nullptr;
    if (!atom) return;
    selection_ = atom->atom;
    if (version) {
        fixesFirstEvent_ = fixes->first_event;
        // Selected before the owner is read, so that no change falls between the two.
        connection_.checkLater(xcb_xfixes_select_selection_input_checked(
                                   c, connection_.root(), selection_,
                                   XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                       XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                       XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE),
                               "XFixesSelectSelectionInput", X11ErrorTolerance::none);
        handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
        watching_ = true;
    }
    if (auto owner = connection_.reply(xcb_get_selection_owner_reply, xcb_get_selection_owner(c, selection_),
                                       "GetSelectionOwner")) {
        owner_ = owner->owner;
    }
}

X11CompositorWatcher::~X11CompositorWatcher() {
    if (watching_) connection_.removeEventHandler(handlerId_);
}

void X11CompositorWatcher::handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != fixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) return;
    const auto& notice = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (notice.selection != selection_) return;
    const xcb_window_t owner =
        notice.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER ? notice.owner : xcb_window_t(XCB_WINDOW_NONE);
    const bool was = isCompositing();
    owner_ = owner;
    if (isCompositing() != was) changed_.emit();
}

}  // namespace tessary
