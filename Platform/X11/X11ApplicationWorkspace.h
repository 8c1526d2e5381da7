#pragma once

#include "Platform/ApplicationWorkspace.h"
#include "Platform/X11/X11Accessibility.h"
#include "Platform/X11/X11ClientTracker.h"
#include "Platform/X11/X11Windows.h"

namespace tessary {

// The running applications of the X11 desktop: the processes that own managed windows (see
// X11ClientTracker). The frontmost one owns the focused client (X11Windows::focusedClient: the
// active window, unless that is a panel); activating one activates its frontmost window.
class X11ApplicationWorkspace : public ApplicationWorkspace {
public:
    X11ApplicationWorkspace(X11Windows& windows, X11ClientTracker& tracker, X11Accessibility& accessibility);

    std::vector<RunningApplication> runningApplications() const override;
    std::optional<RunningApplication> frontmostApplication() const override;
    bool activate(ProcessID pid) override;
    Subscription onLaunch(std::function<void(const RunningApplication&)> handler) override;
    Subscription onTerminate(std::function<void(const RunningApplication&)> handler) override;

private:
    X11Windows& windows_;
    X11ClientTracker& tracker_;
    X11Accessibility& accessibility_;
};

}  // namespace tessary
