#pragma once

#include <optional>
#include <string>

#include "Platform/ApplicationIndex.h"
#include "TessaryCore/Geometry.h"
#include "WindowEngine/WindowHandle.h"

namespace tessary {

// A snapshot of one window.
struct WindowInfo {
    WindowHandle ref;
    std::optional<std::string> bundleIdentifier;  // absent: no running-application record or none
    std::optional<std::string> title;             // absent: unreadable
    Rect frame;
    bool isMinimized = false;
    bool isStandard = false;
    // What else the application's windows announce of it (RunningApplication).
    std::optional<std::string> instanceName{};
    std::optional<std::string> applicationID{};

    // The application as ApplicationIndex looks it up (views into this snapshot).
    WindowApplication application() const {
        return WindowApplication::of(bundleIdentifier, instanceName, applicationID);
    }

    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

}  // namespace tessary
