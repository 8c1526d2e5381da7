#include "Platform/X11/X11ClientRoster.h"

#include <algorithm>

namespace tessary {

X11ClientRoster::~X11ClientRoster() = default;

void X11ClientRoster::adopt(const std::vector<xcb_window_t>& list) {
    for (const X11Client& client : describe(list)) {
        order_.push_back(client.window);
        add(client, nullptr);
    }
}

void X11ClientRoster::add(const X11Client& client, Notices* notices) {
    clients_[client.window] = client;
    if (client.pid <= 0) return;
    auto [it, inserted] = applications_.try_emplace(client.pid);
    it->second.windows.push_back(client.window);
    Application& application = it->second;
    if (inserted || !application.bundleIdentifier) {
        application.bundleIdentifier = client.windowClass;
        application.instanceName = client.instanceName;
        application.applicationID = client.applicationID;
    }
    if (inserted) {
        application.pid = client.pid;
        application.launchOrder = nextLaunch_++;
        if (notices) notices->launched.push_back(record(application, false));
    }
}

void X11ClientRoster::remove(xcb_window_t window, Notices& notices) {
    held_.erase(window);
    auto it = clients_.find(window);
    if (it == clients_.end()) return;
    ProcessID pid = it->second.pid;
    notices.gone.push_back(it->second);
    clients_.erase(it);
    release(window);
    auto app = applications_.find(pid);
    if (app == applications_.end()) return;
    std::erase(app->second.windows, window);
    if (app->second.windows.empty()) {
        notices.terminated.push_back(record(app->second, true));
        applications_.erase(app);
    }
}

void X11ClientRoster::update(const std::vector<xcb_window_t>& list) {
    std::set<xcb_window_t> listed(list.begin(), list.end());
    Notices notices;
    for (xcb_window_t window : order_) {
        if (listed.count(window) || !clients_.count(window)) continue;
        if (fate(window) == X11ClientFate::awaitingManager) {
            held_.insert(window);
        } else {
            remove(window, notices);
        }
    }

    std::vector<xcb_window_t> added;
    for (xcb_window_t window : list) {
        // A held window that comes back is the same window: nothing to announce.
        if (held_.erase(window)) continue;
        if (!clients_.count(window)) added.push_back(window);
    }
    notices.fresh = describe(added);
    for (const X11Client& client : notices.fresh) add(client, &notices);

    order_.clear();
    for (xcb_window_t window : list) {
        if (clients_.count(window) && !held_.count(window)) order_.push_back(window);
    }
    announce(notices);
}

void X11ClientRoster::windowDestroyedOnServer(xcb_window_t window) {
    // A listed window is settled by the list change that follows; a held one has no list to wait for.
    if (!held_.count(window)) return;
    Notices notices;
    remove(window, notices);
    announce(notices);
}

void X11ClientRoster::windowChanged(xcb_window_t window) {
    if (!held_.count(window) || fate(window) == X11ClientFate::awaitingManager) return;
    Notices notices;
    remove(window, notices);
    announce(notices);
}

void X11ClientRoster::announce(const Notices& notices) {
    for (const X11Client& client : notices.gone) windowDestroyed.emit(client);
    for (const auto& app : notices.terminated) applicationTerminated.emit(app);
    for (const auto& app : notices.launched) applicationLaunched.emit(app);
    for (const X11Client& client : notices.fresh) {
        // A listener may have refreshed meanwhile and found the window gone.
        if (clients_.count(client.window)) windowCreated.emit(client);
    }
}

RunningApplication X11ClientRoster::record(const Application& application, bool terminated) const {
    RunningApplication app;
    app.pid = application.pid;
    app.bundleIdentifier = application.bundleIdentifier;
    app.instanceName = application.instanceName;
    app.applicationID = application.applicationID;
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

std::vector<X11Client> X11ClientRoster::clients() const {
    std::vector<X11Client> result;
    for (xcb_window_t window : order_) {
        if (auto it = clients_.find(window); it != clients_.end()) result.push_back(it->second);
    }
    return result;
}

std::optional<X11Client> X11ClientRoster::client(xcb_window_t window) const {
    auto it = clients_.find(window);
    if (it == clients_.end()) return std::nullopt;
    return it->second;
}

std::vector<RunningApplication> X11ClientRoster::applications() const {
    std::vector<const Application*> ordered;
    for (const auto& [pid, app] : applications_) ordered.push_back(&app);
    std::sort(ordered.begin(), ordered.end(),
              [](const Application* a, const Application* b) { return a->launchOrder < b->launchOrder; });
    std::vector<RunningApplication> result;
    for (const Application* app : ordered) result.push_back(record(*app, false));
    return result;
}

std::optional<RunningApplication> X11ClientRoster::application(ProcessID pid) const {
    auto it = applications_.find(pid);
    if (it == applications_.end()) return std::nullopt;
    return record(it->second, false);
}

}  // namespace tessary
