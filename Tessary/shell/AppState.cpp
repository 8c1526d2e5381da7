#include "Tessary/shell/AppState.h"

#include "WindowEngine/AccessibilityPermission.h"

namespace tessary {

AppState::AppState(LoginItems& loginItems, Scheduler& scheduler)
    : loginItems_(loginItems),
      scheduler_(scheduler),
      accessibilityTrusted_(AccessibilityPermission::isTrusted()),
      launchAtLogin_(loginItems.isEnabled()) {}

AppState::~AppState() { scheduler_.cancel(pollTask_); }

template <typename T>
void AppState::assign(T& member, T value, AppStateField field) {
    if (member == value) return;
    member = std::move(value);
    changed_.emit(field);
}

void AppState::setRequestedSettingsSection(std::optional<SettingsSection> section) {
    requestedSettingsSection_ = section;
    ++settingsRequestNumber_;
    changed_.emit(AppStateField::requestedSettingsSection);
}

void AppState::refreshAccessibility() { updateTrust(AccessibilityPermission::isTrusted()); }

void AppState::requestAccessibility() { updateTrust(AccessibilityPermission::requestTrust()); }

void AppState::updateTrust(bool trusted) {
    assign(accessibilityTrusted_, trusted, AppStateField::accessibilityTrusted);
    if (!trusted) startPoll();
}

void AppState::startPoll() {
    if (pollTask_) return;
    pollTask_ = scheduler_.schedule(pollInterval, [this] { tick(); });
    changed_.emit(AppStateField::pollTask);
}

void AppState::tick() {
    pollTask_ = {};
    assign(accessibilityTrusted_, AccessibilityPermission::isTrusted(), AppStateField::accessibilityTrusted);
    if (!accessibilityTrusted_) {
        pollTask_ = scheduler_.schedule(pollInterval, [this] { tick(); });
        return;
    }
    changed_.emit(AppStateField::pollTask);
    if (onAccessibilityGranted) onAccessibilityGranted();
}

void AppState::setLaunchAtLogin(bool enabled) {
    if (auto result = loginItems_.setEnabled(enabled); !result) {
        log_.error("Launch at login change failed: " + result.error().description);
    }
    assign(launchAtLogin_, loginItems_.isEnabled(), AppStateField::launchAtLogin);
}

}  // namespace tessary
