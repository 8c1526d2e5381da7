#include "Platform/X11/X11ApplicationWorkspace.h"

namespace tessary {

X11ApplicationWorkspace::X11ApplicationWorkspace(X11Windows& windows, X11ClientTracker& tracker,
                                                 X11Accessibility& accessibility)
    : windows_(windows), tracker_(tracker), accessibility_(accessibility) {}

std::vector<RunningApplication> X11ApplicationWorkspace::runningApplications() const {
    return tracker_.applications();
}

std::optional<RunningApplication> X11ApplicationWorkspace::frontmostApplication() const {
    auto active = windows_.focusedClient();
    if (!active) return std::nullopt;
    ProcessID pid = accessibility_.processOf(*active);
    if (pid <= 0) return std::nullopt;
    return tracker_.application(pid);
}

bool X11ApplicationWorkspace::activate(ProcessID pid) {
    if (!tracker_.application(pid)) return false;
    auto active = windows_.focusedClient();
    if (active && accessibility_.processOf(*active) == pid) return true;
    auto windows = accessibility_.windowsOf(pid);
    if (windows.empty()) return false;
    // Front to back: the first is the one the user last had in front (or just raised).
    windows_.activate(windows.front(), X11Accessibility::kDefaultTimeout);
    return true;
}

Subscription X11ApplicationWorkspace::onLaunch(std::function<void(const RunningApplication&)> handler) {
    return tracker_.applicationLaunched.subscribe(std::move(handler));
}

Subscription X11ApplicationWorkspace::onTerminate(std::function<void(const RunningApplication&)> handler) {
    return tracker_.applicationTerminated.subscribe(std::move(handler));
}

}  // namespace tessary
