#pragma once

// Which pane the settings window shows, and how requests from elsewhere (the release-notes
// command, the URL "settings?pane=", a later start) reach it.
//
// Each request is a one-time event, told apart by AppState's request number: the window applies a
// request once, when it is shown or at once while it is open, and never again. So a second request
// for the pane the user has since left moves them back, and an old request does not override the
// user's choice when the window is opened later. A plain opening shows the pane last shown
// (General at first). The selection outlives the windows, which are built on each opening.
//
// Main loop only; the AppState must outlive it.

#include <cstdint>
#include <functional>
#include <optional>

#include "Platform/Signal.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/SettingsSection.h"

namespace tessary {

class SettingsSelection final {
public:
    explicit SettingsSelection(AppState& state);
    SettingsSelection(const SettingsSelection&) = delete;
    SettingsSelection& operator=(const SettingsSelection&) = delete;

    // The sidebar's selection; none when the user cleared it.
    std::optional<SettingsSection> selected() const { return selected_; }
    // The pane shown: the selection, General when nothing is selected.
    SettingsSection shown() const { return selected_.value_or(SettingsSection::general); }
    bool isWindowOpen() const { return open_; }

    // The user's choice in the sidebar.
    void select(std::optional<SettingsSection> section);
    // The window appears: window control is read again and a request not yet applied is applied.
    void windowShown();
    // The window is gone; requests wait for the next showing.
    void windowClosed();

    // Told after the selection changed.
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }

private:
    void applyPendingRequest();

    AppState& state_;
    std::optional<SettingsSection> selected_ = SettingsSection::general;
    std::uint64_t appliedRequest_ = 0;
    bool open_ = false;
    Subscription stateSubscription_;
    Signal<> changed_;
};

}  // namespace tessary
