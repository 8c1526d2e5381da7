#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"

class QMenu;

namespace tessary {

// The index of the applications for the context's launcher and running applications (empty
// without them).
AppInfo makeAppInfo(const SettingsContext& context);

// The "add" menu of the Rules and Excluded Apps panes: the running applications given under
// "Running apps" (each once, its name shown as is, "&" included), then "Choose Application…".
void fillAddAppMenu(QMenu* menu, const std::vector<AppInfo::RunningApp>& running,
                    const std::function<void(const std::string&)>& add, const std::function<void()>& choose);

}  // namespace tessary
