#include "Tessary/settings/ExcludedAppsModel.h"

#include <algorithm>

namespace tessary {

bool addExcludedApp(Preferences& preferences, const std::string& bundleID) {
    std::vector<std::string> list = preferences.excludedBundleIDs();
    if (std::find(list.begin(), list.end(), bundleID) != list.end()) return false;
    list.push_back(bundleID);
    preferences.setExcludedBundleIDs(std::move(list));
    return true;
}

void removeExcludedApp(Preferences& preferences, const std::string& bundleID) {
    std::vector<std::string> list = preferences.excludedBundleIDs();
    std::erase(list, bundleID);
    preferences.setExcludedBundleIDs(std::move(list));
}

bool canRemoveExcludedApp(const Preferences& preferences, const std::optional<std::string>& selection) {
    const auto& list = preferences.excludedBundleIDs();
    return selection && std::find(list.begin(), list.end(), *selection) != list.end();
}

ConfirmationTexts removeExcludedAppConfirmation(const std::string& displayName) {
    return {"Remove " + displayName + " from the excluded apps?", "Tessary will snap its windows again.", "Remove"};
}

std::vector<AppInfo::RunningApp> runningAppsToExclude(const AppInfo& info, const Preferences& preferences) {
    return info.runningApps(preferences.excludedBundleIDs());
}

}  // namespace tessary
