#include "WindowEngine/AccessibilityPermission.h"

namespace tessary {

namespace {
Accessibility* installedAccessibility = nullptr;
}

void AccessibilityPermission::setAccessibility(Accessibility* accessibility) { installedAccessibility = accessibility; }

bool AccessibilityPermission::isTrusted() {
    return installedAccessibility != nullptr && installedAccessibility->isProcessTrusted();
}

bool AccessibilityPermission::requestTrust() {
    return installedAccessibility != nullptr && installedAccessibility->isProcessTrustedWithPrompt();
}

std::optional<std::string> AccessibilityPermission::settingsURL() { return std::nullopt; }

}  // namespace tessary
