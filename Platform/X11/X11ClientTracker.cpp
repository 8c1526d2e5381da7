#include "Platform/X11/X11ClientTracker.h"

#include "Platform/X11/X11Property.h"

#include <algorithm>
#include <set>

namespace tessary {

X11ClientTracker::X11ClientTracker(X11Connection& connection, X11Windows& windows)
    : connection_(connection), windows_(windows) {
    connection_.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (change.window == connection_.root() && change.atom == connection_.atoms()._NET_CLIENT_LIST) {
            refresh();
        }
    });
    // What runs already is known without notices.
    for (const X11Client& client : describe(windows_.clientList())) {
        order_.push_back(client.window);
        clients_[client.window] = client;
        if (client.pid > 0) {
            auto [it, inserted] = applications_.try_emplace(client.pid);
            if (inserted) {
                it->second.pid = client.pid;
                it->second.launchOrder = nextLaunch_++;
                it->second.bundleIdentifier = client.windowClass;
            }
            it->second.windows.push_back(client.window);
        }
    }
}

X11ClientTracker::~X11ClientTracker() {
    connection_.removeEventHandler(handlerId_);
}

std::vector<X11Client> X11ClientTracker::describe(const std::vector<xcb_window_t>& windows) {
    // Every request first, then every reply; windows that vanished meanwhile are left out.
    const X11Atoms& a = connection_.atoms();
    struct Pending {
        xcb_window_t window;
        xcb_get_property_cookie_t pid, windowClass, type;
    };
    std::vector<Pending> pending;
    for (xcb_window_t window : windows) {
        windows_.follow(window);
        pending.push_back({window, X11Property::request(connection_, window, a._NET_WM_PID, XCB_ATOM_CARDINAL, 1),
                           X11Property::request(connection_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                           X11Property::request(connection_, window, a._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32)});
    }
    std::vector<X11Client> result;
    constexpr auto vanish = X11ErrorTolerance::windowMayVanish;
    for (auto& entry : pending) {
        auto pid = X11Property::fetch(connection_, entry.pid, vanish);
        auto windowClass = X11Property::fetch(connection_, entry.windowClass, vanish);
        auto type = X11Property::fetch(connection_, entry.type, vanish);
        if (!pid || !windowClass || !type) continue;
        X11Client client;
        client.window = entry.window;
        auto words = pid->cardinals();
        if (!words.empty() && words.front() > 0 && words.front() <= 0x7fffffff) {
            client.pid = static_cast<ProcessID>(words.front());
        } else if (auto found = windows_.processID(entry.window)) {
            client.pid = *found;
        }
        client.windowClass = X11Windows::classFrom(*windowClass);
        client.type = windows_.typeFrom(*type);
        result.push_back(client);
    }
    return result;
}

RunningApplication X11ClientTracker::record(const Application& application, bool terminated) const {
    RunningApplication app;
    app.pid = application.pid;
    app.bundleIdentifier = application.bundleIdentifier;
    app.localizedName = application.bundleIdentifier.value_or("");
    // A process whose windows are all panels, docks or desktops has no ordinary windows.
    app.activationPolicy = ActivationPolicy::accessory;
    for (xcb_window_t window : application.windows) {
        auto it = clients_.find(window);
        if (it == clients_.end()) continue;
        switch (it->second.type) {
        case X11WindowType::dock:
        case X11WindowType::desktop:
        case X11WindowType::splash:
        case X11WindowType::menu:
        case X11WindowType::toolbar:
            break;
        default:
            app.activationPolicy = ActivationPolicy::regular;
        }
    }
    app.isTerminated = terminated;
    return app;
}

void X11ClientTracker::refresh() {
    std::vector<xcb_window_t> current = windows_.clientList();
    std::set<xcb_window_t> now(current.begin(), current.end());

    std::vector<RunningApplication> terminated;
    std::vector<X11Client> gone;
    for (xcb_window_t window : order_) {
        if (now.count(window)) continue;
        auto it = clients_.find(window);
        if (it == clients_.end()) continue;
        ProcessID pid = it->second.pid;
        gone.push_back(it->second);
        clients_.erase(it);
        windows_.forget(window);
        auto app = applications_.find(pid);
        if (app == applications_.end()) continue;
        std::erase(app->second.windows, window);
        if (app->second.windows.empty()) {
            terminated.push_back(record(app->second, true));
            applications_.erase(app);
        }
    }

    std::vector<xcb_window_t> added;
    for (xcb_window_t window : current) {
        if (!clients_.count(window)) added.push_back(window);
    }
    std::vector<X11Client> fresh = describe(added);
    std::vector<RunningApplication> launched;
    for (const X11Client& client : fresh) {
        clients_[client.window] = client;
        if (client.pid <= 0) continue;
        auto [it, inserted] = applications_.try_emplace(client.pid);
        it->second.windows.push_back(client.window);
        if (inserted) {
            it->second.pid = client.pid;
            it->second.launchOrder = nextLaunch_++;
            it->second.bundleIdentifier = client.windowClass;
        } else if (!it->second.bundleIdentifier) {
            it->second.bundleIdentifier = client.windowClass;
        }
        if (inserted) launched.push_back(record(it->second, false));
    }
    order_.clear();
    for (xcb_window_t window : current) {
        if (clients_.count(window)) order_.push_back(window);
    }

    for (const X11Client& client : gone) windowDestroyed.emit(client);
    for (const auto& app : terminated) applicationTerminated.emit(app);
    for (const auto& app : launched) applicationLaunched.emit(app);
    for (const X11Client& client : fresh) {
        // A listener may have refreshed meanwhile and found the window gone.
        if (clients_.count(client.window)) windowCreated.emit(client);
    }
}

std::vector<X11Client> X11ClientTracker::clients() const {
    std::vector<X11Client> result;
    for (xcb_window_t window : order_) {
        if (auto it = clients_.find(window); it != clients_.end()) result.push_back(it->second);
    }
    return result;
}

std::optional<X11Client> X11ClientTracker::client(xcb_window_t window) const {
    auto it = clients_.find(window);
    if (it == clients_.end()) return std::nullopt;
    return it->second;
}

std::vector<RunningApplication> X11ClientTracker::applications() const {
    std::vector<const Application*> ordered;
    for (const auto& [pid, app] : applications_) ordered.push_back(&app);
    std::sort(ordered.begin(), ordered.end(),
              [](const Application* a, const Application* b) { return a->launchOrder < b->launchOrder; });
    std::vector<RunningApplication> result;
    for (const Application* app : ordered) result.push_back(record(*app, false));
    return result;
}

std::optional<RunningApplication> X11ClientTracker::application(ProcessID pid) const {
    auto it = applications_.find(pid);
    if (it == applications_.end()) return std::nullopt;
    return record(it->second, false);
}

}  // namespace tessary
