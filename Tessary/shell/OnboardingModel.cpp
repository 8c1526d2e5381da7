#include "Tessary/shell/OnboardingModel.h"

namespace tessary {

std::string OnboardingModel::Step::badgeLabel() const {
    return "Step " + std::to_string(number) + (done ? ", complete" : "");
}

OnboardingModel::Step OnboardingModel::windowControlStep() const {
    return {1, trusted, "Window control",
            "Tessary moves and resizes the windows of other apps. Linux allows that through an EWMH window manager "
            "on X11. Tessary never reads what is inside your windows."};
}

OnboardingModel::Step OnboardingModel::launchAtLoginStep() const {
    return {2, launchAtLogin, "Launch Tessary at login", "It lives in the system tray and stays out of the taskbar."};
}

OnboardingModel::Step OnboardingModel::tryItStep() const {
    const std::string drag = dragKey == ActivationModifier::always
                                 ? "Drag a window."
                                 : "Hold " + std::string(displayName(dragKey)) + " while dragging a window.";
    return {3, false, "Try it", drag + " Zones appear; drop to snap."};
}

std::string OnboardingModel::subtitle() const {
    if (dragKey == ActivationModifier::always) return "Two things to set up, then drag any window.";
    return "Two things to set up, then hold " + std::string(displayName(dragKey)) + " while dragging any window.";
}

std::string OnboardingModel::footerNote() const {
    return trusted ? "You can change the rest in Settings." : "Step 1 is required. You can change the rest in Settings.";
}

}  // namespace tessary
