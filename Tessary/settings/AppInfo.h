#pragma once

// The applications the settings panes show by identifier: their names and icons, and the running
// applications offered in the "add" menus. An AppInfo is an index built once when a pane, a menu
// or the application picker opens (one read of the desktop's application entries); rows and
// paints look names and icons up in it and never read the disk themselves.

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/ApplicationLauncher.h"
#include "Platform/ApplicationWorkspace.h"

namespace tessary {

class AppInfo {
public:
    struct RunningApp {
        std::string bundleID;
        std::string name;
        friend bool operator==(const RunningApp&, const RunningApp&) = default;
    };

    AppInfo() = default;
    AppInfo(const std::vector<RunningApplication>& running, std::vector<InstalledApplication> installed);
    // Reads the running applications and the installed ones; either may be null (nothing of it).
    static AppInfo build(const ApplicationWorkspace* workspace, const ApplicationLauncher* launcher);

    // Regular applications with an identifier, each identifier once (every xterm is a process of
    // its own), named by the installed entry, else by the identifier; sorted by name ignoring
    // case, equal names keeping the workspace's order.
    const std::vector<RunningApp>& runningApps() const { return running_; }
    // The installed applications, sorted by name the same way.
    const std::vector<InstalledApplication>& installedApplications() const { return installed_; }

    // The installed entry's name, else the identifier itself.
    std::string appDisplayName(const std::string& bundleID) const;
    // The entry's theme icon name or image path; none when no entry names one.
    std::optional<std::string> icon(const std::string& bundleID) const;

private:
    const InstalledApplication* find(const std::string& bundleID) const;

    std::vector<RunningApp> running_;
    std::vector<InstalledApplication> installed_;
    std::unordered_map<std::string, std::size_t> byIdentifier_;
    // Desktop entries are matched to window classes ignoring ASCII case, as the launcher does.
    std::unordered_map<std::string, std::size_t> byFoldedIdentifier_;
};

}  // namespace tessary
