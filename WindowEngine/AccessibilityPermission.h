#pragma once

#include <optional>
#include <string>

#include "Platform/Accessibility.h"

namespace tessary {

// Whether this program may read and move other applications' windows ("window control" on Linux:
// an X11 display with an EWMH window manager that supports what moving windows needs).
//
// Process-wide, like the permission itself: the program hands its Accessibility back end to
// setAccessibility() once at start-up; without one the program is not trusted.
class AccessibilityPermission {
public:
    AccessibilityPermission() = delete;

    // Not owned; nullptr for none.
    static void setAccessibility(Accessibility* accessibility);

    // Never prompts.
    static bool isTrusted();
    // The same answer; when not trusted, the back end may show its own way to grant it.
    static bool requestTrust();
    // Where the user grants the permission. Always absent: no settings application grants window
    // control (it depends on the window manager), so no link to one is shown.
    static std::optional<std::string> settingsURL();
};

}  // namespace tessary
