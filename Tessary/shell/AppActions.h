#pragma once

// The command table between what asks for an application-level action (menus, windows, URL
// commands, command-line verbs) and the delegate that carries it out. Every slot does nothing
// until the launch sequence fills it, and again once the delegate is gone (it empties the table
// when it is destroyed), so a caller never needs to know whether anything is behind it.

#include <array>
#include <cstddef>
#include <functional>

#include "Platform/Signal.h"
#include "TessaryCore/UUID.h"

namespace tessary {

// The slots, in table order.
enum class AppAction : std::size_t {
    showEditor,
    showOnboarding,
    flashZones,
    restoreAllWindows,
    applyRules,
    deleteWorkspace,
    saveWorkspace,
    showSettings,
    showReleaseNotes,
    showAbout,
    checkForUpdates,
    sendFeedback,
    askForReview,
    workspacesChanged,
};

inline constexpr std::size_t appActionCount = 14;

class AppActions final {
public:
    AppActions() = default;
    AppActions(const AppActions&) = delete;
    AppActions& operator=(const AppActions&) = delete;

    void showEditor() const { run(AppAction::showEditor); }
    void showOnboarding() const { run(AppAction::showOnboarding); }
    void flashZones() const { run(AppAction::flashZones); }
    void restoreAllWindows() const { run(AppAction::restoreAllWindows); }
    void applyRules() const { run(AppAction::applyRules); }
    void deleteWorkspace(const UUID& id) const;
    void saveWorkspace() const { run(AppAction::saveWorkspace); }
    void showSettings() const { run(AppAction::showSettings); }
    void showReleaseNotes() const { run(AppAction::showReleaseNotes); }
    void showAbout() const { run(AppAction::showAbout); }
    void checkForUpdates() const { run(AppAction::checkForUpdates); }
    void sendFeedback() const { run(AppAction::sendFeedback); }
    void askForReview() const { run(AppAction::askForReview); }
    void workspacesChanged() const { run(AppAction::workspacesChanged); }

    // Fills a slot without an argument (every slot but deleteWorkspace); observers hear of every
    // assignment, closures not being comparable. An empty closure makes the slot a no-op again.
    void set(AppAction action, std::function<void()> target);
    void setDeleteWorkspace(std::function<void(const UUID&)> target);
    // Empties every slot (the delegate's end).
    void reset();

    // Whether the launch sequence filled the slot.
    bool isSet(AppAction action) const;

    [[nodiscard]] Subscription observe(std::function<void(AppAction)> observer) {
        return changed_.subscribe(std::move(observer));
    }

private:
    void run(AppAction action) const;

    std::array<std::function<void()>, appActionCount> targets_;
    std::function<void(const UUID&)> deleteWorkspace_;
    Signal<AppAction> changed_;
};

}  // namespace tessary
