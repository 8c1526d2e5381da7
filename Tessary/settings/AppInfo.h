#pragma once

// Look-ups of applications by identifier for the panes and menus: their names and icons from the
// installed entries (an identifier of either form names its entry, ApplicationIndex), and the
// running applications offered in "add" menus. An AppInfo is made once when a pane, menu or picker
// opens; rows and paints look up in it and never touch the disk.

#include <optional>
#include <string>
#include <vector>

#include "Platform/ApplicationLauncher.h"
#include "Platform/ApplicationWorkspace.h"

namespace tessary {

class AppInfo final {
public:
    struct RunningApp {
        std::string bundleID;
        std::string name;
        friend bool operator==(const RunningApp&, const RunningApp&) = default;
    };

    // Reads the installed applications (with the running ones' identifiers) and the running ones.
    AppInfo(const ApplicationLauncher& launcher, const ApplicationWorkspace& workspace);
    AppInfo(std::vector<InstalledApplication> installed, std::vector<RunningApplication> running);

    // The regular running applications with an identifier, one entry per running process (two
    // xterms are listed twice), named by the name of the installed entry their windows belong to,
    // else by the identifier; sorted by name in the user's collation ignoring case, equal names in
    // the platform's order. Applications any of `leftOut` names are not listed.
    std::vector<RunningApp> runningApps(const std::vector<std::string>& leftOut = {}) const;
    // The installed entry's name, else the identifier.
    std::string appDisplayName(const std::string& bundleID) const;
    // The installed entry's theme icon name or image path; none when it names none.
    std::optional<std::string> icon(const std::string& bundleID) const;
    const std::vector<InstalledApplication>& installed() const { return index_.entries(); }

private:
    ApplicationIndex index_;
    std::vector<RunningApplication> running_;
};

// Sorts by `name` in the user's collation, ignoring case; stable.
template <typename T, typename Name>
void sortByCollatedName(std::vector<T>& items, Name name);

// Whether a comes before b in the user's collation, ignoring case.
bool collatedLess(const std::string& a, const std::string& b);

template <typename T, typename Name>
void sortByCollatedName(std::vector<T>& items, Name name) {
    std::stable_sort(items.begin(), items.end(), [&](const T& a, const T& b) { return collatedLess(name(a), name(b)); });
}

}  // namespace tessary
