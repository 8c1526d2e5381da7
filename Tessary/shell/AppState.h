#pragma once

// The small shared state that the windows and the status menu follow: whether window control is
// granted, whether the program starts at login, and which settings pane is asked for.
//
// While window control is missing, a trust update starts a poll that asks again every second on
// the Scheduler (never more than one poll; none runs while trusted, so an idle trusted program
// never wakes). When the poll finds trust it calls onAccessibilityGranted once and stops. The
// poll's task dies with the state. Main loop only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Platform/Logger.h"
#include "Platform/LoginItems.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "Tessary/shell/SettingsSection.h"

namespace tessary {

enum class AppStateField { accessibilityTrusted, launchAtLogin, requestedSettingsSection, pollTask };

class AppState final {
public:
    static constexpr std::chrono::seconds pollInterval{1};

    // Reads trust (AccessibilityPermission, without prompting) and the login-item status; starts
    // no poll. Both must outlive the state.
    AppState(LoginItems& loginItems, Scheduler& scheduler);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    bool accessibilityTrusted() const { return accessibilityTrusted_; }
    bool launchAtLogin() const { return launchAtLogin_; }
    const std::optional<SettingsSection>& requestedSettingsSection() const { return requestedSettingsSection_; }
    // Counts the requests: each assignment is a new request, an equal one too, so that the settings
    // window can act on each exactly once (a second "pane=rules" after the user moved on).
    std::uint64_t settingsRequestNumber() const { return settingsRequestNumber_; }
    bool isPolling() const { return static_cast<bool>(pollTask_); }

    // Observers hear of a field only when its value changed, except the requested section: every
    // request is announced.
    void setRequestedSettingsSection(std::optional<SettingsSection> section);

    // Reads trust again and starts the poll while it is missing; never calls onAccessibilityGranted.
    void refreshAccessibility();
    // The same, through the check that may show the back end's own way to grant it.
    void requestAccessibility();
    // Asks for the change, logs "Launch at login change failed: …" when it is refused, and in every
    // case reads the real status back.
    void setLaunchAtLogin(bool enabled);

    // Called by the poll when it finds trust granted (once per poll).
    std::function<void()> onAccessibilityGranted;
    // The desktop's window manager as it names itself, asked anew at each call (the Snapping pane
    // names it beside a drag key it takes); unset or empty: none known.
    std::function<std::string()> windowManagerName;

    [[nodiscard]] Subscription observe(std::function<void(AppStateField)> observer) {
        return changed_.subscribe(std::move(observer));
    }

private:
    void updateTrust(bool trusted);
    void startPoll();
    void tick();
    template <typename T>
    void assign(T& member, T value, AppStateField field);

    LoginItems& loginItems_;
    Scheduler& scheduler_;
    bool accessibilityTrusted_;
    bool launchAtLogin_;
    std::optional<SettingsSection> requestedSettingsSection_;
    std::uint64_t settingsRequestNumber_ = 0;
    ScheduledTask pollTask_;
    Signal<AppStateField> changed_;
    Logger log_{"AppState"};
};

}  // namespace tessary
