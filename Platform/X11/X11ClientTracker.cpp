#include "Platform/X11/X11ClientTracker.h"

#include "Platform/X11/X11Property.h"

namespace tessary {

namespace {

constexpr auto vanish = X11ErrorTolerance::windowMayVanish;
// ICCCM WM_STATE values.
constexpr uint32_t kWithdrawnState = 0;

}  // namespace

X11ClientTracker::X11ClientTracker(X11Connection& connection, X11Windows& windows)
    : connection_(connection), windows_(windows) {
    connection_.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    // What runs already is known without notices.
    adopt(windows_.clientList());
}

X11ClientTracker::~X11ClientTracker() {
    connection_.removeEventHandler(handlerId_);
}

void X11ClientTracker::handle(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (change.window == connection_.root()) {
            if (change.atom == connection_.atoms()._NET_CLIENT_LIST) refresh();
        } else if (change.atom == connection_.atoms().WM_STATE) {
            windowChanged(change.window);
        }
        break;
    }
    case XCB_UNMAP_NOTIFY:
        windowChanged(reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window);
        break;
    case XCB_DESTROY_NOTIFY:
        windowDestroyedOnServer(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
        break;
    default:
        break;
    }
}

void X11ClientTracker::refresh() {
    update(windows_.clientList());
}

std::vector<X11Client> X11ClientTracker::describe(const std::vector<xcb_window_t>& windows) {
    // Every request first, then every reply; windows that vanished meanwhile are left out.
    const X11Atoms& a = connection_.atoms();
    struct Pending {
        xcb_window_t window;
        xcb_get_property_cookie_t pid, windowClass, type, gtkApplication, kdeDesktopFile;
    };
    std::vector<Pending> pending;
    for (xcb_window_t window : windows) {
        windows_.follow(window);
        const auto text = [&](xcb_atom_t atom) {
            return X11Property::request(connection_, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 64);
        };
        pending.push_back({window, X11Property::request(connection_, window, a._NET_WM_PID, XCB_ATOM_CARDINAL, 1),
                           X11Property::request(connection_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                           X11Property::request(connection_, window, a._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32),
                           text(a._GTK_APPLICATION_ID), text(a._KDE_NET_WM_DESKTOP_FILE)});
    }
    std::vector<X11Client> result;
    for (auto& entry : pending) {
        auto pid = X11Property::fetch(connection_, entry.pid, vanish);
        auto windowClass = X11Property::fetch(connection_, entry.windowClass, vanish);
        auto type = X11Property::fetch(connection_, entry.type, vanish);
        auto gtkApplication = X11Property::fetch(connection_, entry.gtkApplication, vanish);
        auto kdeDesktopFile = X11Property::fetch(connection_, entry.kdeDesktopFile, vanish);
        if (!pid || !windowClass || !type || !gtkApplication || !kdeDesktopFile) continue;
        X11Client client;
        client.window = entry.window;
        auto words = pid->cardinals();
        if (!words.empty() && words.front() > 0 && words.front() <= 0x7fffffff) {
            client.pid = static_cast<ProcessID>(words.front());
        } else if (auto found = windows_.processID(entry.window)) {
            client.pid = *found;
        }
        client.windowClass = X11Windows::classFrom(*windowClass);
        client.instanceName = X11Windows::instanceFrom(*windowClass);
        client.applicationID = windows_.applicationIDFrom(*gtkApplication);
        if (!client.applicationID) client.applicationID = windows_.applicationIDFrom(*kdeDesktopFile);
        client.type = windows_.typeFrom(*type);
        result.push_back(client);
    }
    return result;
}

X11ClientFate X11ClientTracker::fate(xcb_window_t window) {
    // Both requests in one round trip.
    auto attributesCookie = xcb_get_window_attributes(connection_.xcb(), window);
    auto stateCookie = X11Property::request(connection_, window, connection_.atoms().WM_STATE,
                                            XCB_GET_PROPERTY_TYPE_ANY, 2);
    auto attributes = connection_.reply(xcb_get_window_attributes_reply, attributesCookie,
                                        "GetWindowAttributes", vanish);
    auto state = X11Property::fetch(connection_, stateCookie, vanish);
    if (!attributes || !state) return X11ClientFate::destroyed;
    if (attributes->map_state != XCB_MAP_STATE_UNMAPPED) return X11ClientFate::awaitingManager;
    // Unmapped: iconic windows stay unmapped while managed; anything else was withdrawn.
    auto words = state->cardinals();
    bool withdrawn = !state->exists() || words.empty() || words.front() == kWithdrawnState;
    return withdrawn ? X11ClientFate::withdrawn : X11ClientFate::awaitingManager;
}

void X11ClientTracker::release(xcb_window_t window) {
    windows_.forget(window);
}

}  // namespace tessary
