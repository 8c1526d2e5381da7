#include "Tessary/settings/SettingsSelection.h"

namespace tessary {

SettingsSelection::SettingsSelection(AppState& state) : state_(state) {
    stateSubscription_ = state_.observe([this](AppStateField field) {
        if (field == AppStateField::requestedSettingsSection && open_) applyPendingRequest();
    });
}

void SettingsSelection::select(std::optional<SettingsSection> section) {
    if (selected_ == section) return;
    selected_ = section;
    changed_.emit();
}

void SettingsSelection::windowShown() {
    open_ = true;
    state_.refreshAccessibility();
    applyPendingRequest();
}

void SettingsSelection::windowClosed() { open_ = false; }

void SettingsSelection::applyPendingRequest() {
    if (state_.settingsRequestNumber() == appliedRequest_) return;
    appliedRequest_ = state_.settingsRequestNumber();
    // A request for no particular pane keeps the one shown.
    if (const auto& requested = state_.requestedSettingsSection()) {
        // An equal selection still counts: the request is used up either way.
        if (selected_ != requested) {
            selected_ = requested;
            changed_.emit();
        }
    }
}

}  // namespace tessary
