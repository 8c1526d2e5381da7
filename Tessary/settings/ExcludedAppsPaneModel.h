#pragma once

// The Excluded Apps pane's edits of the excluded applications setting.

#include <string>

#include "Tessary/settings/SettingsTag.h"

namespace tessary {

class Preferences;

// Appends the identifier unless it is already excluded (exact comparison); true when it was added.
bool addExcludedApp(Preferences& preferences, const std::string& bundleID);
// Removes every occurrence, keeping the others' order; saves also when none was there.
void removeExcludedApp(Preferences& preferences, const std::string& bundleID);

ConfirmationTexts removeExcludedAppConfirmation(const std::string& appName);

}  // namespace tessary
