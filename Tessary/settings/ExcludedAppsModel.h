#pragma once

// What the Excluded Apps pane does with the preference's list of identifiers.

#include <optional>
#include <string>
#include <vector>

#include "Tessary/services/Preferences.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/SettingsTag.h"

namespace tessary {

inline constexpr const char* excludedAppsFooter =
    "Windows of these apps are ignored when dragging and by the snap shortcuts. Panels, utility windows and the "
    "taskbar are never snapped.";

// Appends the identifier unless it is listed already (compared exactly); true when it was added.
bool addExcludedApp(Preferences& preferences, const std::string& bundleID);
// Removes every entry equal to the identifier; saves even when there was none.
void removeExcludedApp(Preferences& preferences, const std::string& bundleID);
// Remove acts only on a selection that still names a listed application: one removed elsewhere
// (another window, a hand edit) leaves nothing to remove.
bool canRemoveExcludedApp(const Preferences& preferences, const std::optional<std::string>& selection);

ConfirmationTexts removeExcludedAppConfirmation(const std::string& displayName);

// What "Running apps" offers: the running applications whose windows no excluded identifier
// names yet (an application excluded under its entry's id is not offered again by its class).
std::vector<AppInfo::RunningApp> runningAppsToExclude(const AppInfo& info, const Preferences& preferences);

}  // namespace tessary
