#pragma once

#include <optional>
#include <string>

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

    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

}  // namespace tessary
