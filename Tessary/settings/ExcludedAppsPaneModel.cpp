#include "Tessary/settings/ExcludedAppsPaneModel.h"

#include <algorithm>

#include "Tessary/shell/Preferences.h"

namespace tessary {

bool addExcludedApp(Preferences& preferences, const std::string& bundleID) {
    std::vector<std::string> excluded = preferences.excludedBundleIDs();
    if (std::find(excluded.begin(), excluded.end(), bundleID) != excluded.end()) return false;
    excluded.push_back(bundleID);
    preferences.setExcludedBundleIDs(std::move(excluded));
    return true;
}

void removeExcludedApp(Preferences& preferences, const std::string& bundleID) {
    std::vector<std::string> excluded = preferences.excludedBundleIDs();
    excluded.erase(std::remove(excluded.begin(), excluded.end(), bundleID), excluded.end());
    preferences.setExcludedBundleIDs(std::move(excluded));
}

ConfirmationTexts removeExcludedAppConfirmation(const std::string& appName) {
    return {"Remove " + appName + " from the excluded apps?", "Tessary will snap its windows again.", "Remove"};
}

}  // namespace tessary
