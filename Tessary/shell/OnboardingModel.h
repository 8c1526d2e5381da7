#pragma once

#include <string>

#include "Tessary/services/ActivationModifier.h"

namespace tessary {

// What the onboarding window shows for the current window-control trust and launch-at-login
// state: a pure function, so each combination can be checked without a window.
struct OnboardingModel {
    bool trusted = false;
    bool launchAtLogin = false;
    // Where the desktop's settings for window control are; empty on desktops that have none.
    std::string settingsURL;
    // The key that shows the zones (Ctrl on a first start beside kwin, say), which the texts name.
    ActivationModifier dragKey = ActivationModifier::shift;

    struct Step {
        int number = 0;
        bool done = false;
        std::string title;
        std::string detail;
        // "Step 1", ", complete" added when done.
        std::string badgeLabel() const;
    };

    Step windowControlStep() const;
    Step launchAtLoginStep() const;
    Step tryItStep() const;

    std::string statusText() const { return trusted ? "Granted" : "Not granted"; }
    // The request buttons show only while trust is missing; the settings button only where the
    // desktop has such a page.
    bool showsRequestButtons() const { return !trusted; }
    bool showsOpenSettings() const { return !trusted && !settingsURL.empty(); }
    std::string footerNote() const;
    // "Two things to set up, then hold Shift while dragging any window."
    std::string subtitle() const;
    bool doneEnabled() const { return trusted; }

    static constexpr const char* windowTitle = "Welcome to Tessary";
    static constexpr const char* requestTitle = "Check Again";
    static constexpr const char* openSettingsTitle = "Open System Settings";
    static constexpr const char* completedKey = "hasCompletedOnboarding";
};

}  // namespace tessary
