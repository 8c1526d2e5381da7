#pragma once

// What the settings panes work on, in place of a view environment: references to the services the
// program owns, and hooks for parts linked in later. Every pane follows the services through their
// observe() subscriptions, so a change made elsewhere (the tray menu, a URL) shows at once.

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tessary {

class AppActions;
class RuleService;
class WorkspaceService;
class ZoneService;
class ApplicationLauncher;
class ApplicationWorkspace;
class CloudSync;
class UserDefaults;
class AppState;
class Preferences;
class SettingsSelection;
class UpdaterController;

struct SettingsHooks {
    // The recorder control of a global shortcut name, without a label (the global shortcut
    // module's Recorder). Unset: the row shows the name's default, read-only.
    std::function<QWidget*(const std::string& name, QWidget* parent)> makeRecorder;
    // Puts the named shortcuts back to their defaults (the global shortcut module's reset).
    std::function<void(const std::vector<std::string>& names)> resetShortcuts;
    // Opens a web address; unset: the desktop's browser through openAppLink.
    std::function<void(const std::string& url)> openLink;
};

struct SettingsContext {
    AppState& state;
    Preferences& preferences;
    AppActions& actions;
    // Outlives the windows: the pane last shown and the requests already applied.
    SettingsSelection& selection;
    // Null in a build without an update framework (the unconfigured path).
    UpdaterController* updater = nullptr;
    SettingsHooks hooks;
    // Where the sync folder choice is stored; null: the folder cannot be chosen.
    UserDefaults* defaults = nullptr;
    // The synchronisation, once the launch sequence made it; unset or null: none.
    std::function<CloudSync*()> cloudSync;
    // The folder the running synchronisation was made with.
    std::optional<std::filesystem::path> syncFolderInUse;
    // Where the application look-ups (AppInfo) read installed and running applications; null:
    // nothing is listed.
    const ApplicationLauncher* launcher = nullptr;
    const ApplicationWorkspace* applications = nullptr;
    // The rules and the layouts the rule editor draws; null: the Rules pane has nothing to show.
    RuleService* rules = nullptr;
    ZoneService* zones = nullptr;
    WorkspaceService* workspaces = nullptr;
};

}  // namespace tessary
