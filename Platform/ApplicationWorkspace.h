#pragma once

// The running applications, the frontmost one, activation, and launch and terminate notices.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ApplicationIndex.h"
#include "Platform/ProcessID.h"
#include "Platform/Signal.h"

namespace tessary {

enum class ActivationPolicy {
    regular,     // an application with ordinary windows and a taskbar entry
    accessory,   // windows, but no taskbar entry (panels, utilities)
    prohibited,  // no windows of its own (background processes)
};

struct RunningApplication {
    ProcessID pid = 0;
    // The application identifier used everywhere (rules, memory, exclusions); on X11 the WM_CLASS
    // class name. Absent when the application has none.
    std::optional<std::string> bundleIdentifier;
    std::string localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool isTerminated = false;
    // What else its windows announce of it (on X11 the WM_CLASS instance, and the application id
    // of `_GTK_APPLICATION_ID` or `_KDE_NET_WM_DESKTOP_FILE`); absent when they do not.
    std::optional<std::string> instanceName{};
    std::optional<std::string> applicationID{};

    // The application as ApplicationIndex looks it up (views into this record).
    WindowApplication windowApplication() const {
        return WindowApplication::of(bundleIdentifier, instanceName, applicationID);
    }

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class ApplicationWorkspace {
public:
    virtual ~ApplicationWorkspace() = default;

    // In the workspace's order (launch order).
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // The application of the active window; absent when there is none.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Brings the application forward; false when there is no such running application.
    virtual bool activate(ProcessID pid) = 0;

    // The application as it was when launched / when it terminated (isTerminated true).
    [[nodiscard]] virtual Subscription onLaunch(std::function<void(const RunningApplication&)> handler) = 0;
    [[nodiscard]] virtual Subscription onTerminate(std::function<void(const RunningApplication&)> handler) = 0;

    // Helpers over runningApplications() (named apart so that overriding it hides neither).
    // The running applications with that identifier, in the workspace's order.
    std::vector<RunningApplication> runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const;
    // The running application with that process identifier.
    std::optional<RunningApplication> runningApplication(ProcessID pid) const;
};

}  // namespace tessary
