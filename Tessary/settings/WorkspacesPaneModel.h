#pragma once

// What the Workspaces pane and the workspace detail show and do, over the workspace service. An
// edit is applied to the stored workspace inside the service's mutation, and only while the
// library holds it: a workspace deleted while its detail is shown must not come back, stamped
// newer than its tombstone, at the next keystroke.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessary/settings/SettingsTag.h"
#include "TessaryCore/Date.h"
#include "TessaryCore/Workspace.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

class AppActions;
class WorkspaceService;

// "3 windows · 2 apps".
std::string workspaceCountsText(const Workspace& workspace);
// "With " and the saved displays' names (or "a display that is not attached"), in plain order.
std::string workspaceDisplaySummary(const Workspace& workspace, const std::vector<DisplayInfo>& displays);
// "free" without zones, else "zone 1+2".
std::string workspaceEntryZonesText(const WorkspaceEntry& entry);
// "Saved Mar 4, 2025": the abbreviated date without the time. `locale` and `timeZone` as ICU
// names them; empty: ICU's defaults.
std::string workspaceSavedText(Date date, std::string_view locale = {}, std::string_view timeZone = {});

// Saves the current windows under the name and makes the new workspace's shortcut work.
Workspace saveWorkspaceFromSettings(WorkspaceService& workspaces, const AppActions& actions, const std::string& name);
// Applies `edit` to the stored workspace and stamps it; false (nothing saved) when the library no
// longer holds it.
bool editWorkspace(WorkspaceService& workspaces, const UUID& id, const std::function<void(Workspace&)>& edit);
// The workspace a selection names, when the library still holds it.
std::optional<Workspace> selectedWorkspace(const WorkspaceService& workspaces, const std::optional<UUID>& selection);

ConfirmationTexts removeWorkspaceConfirmation(const std::string& name);
ConfirmationTexts updateWorkspaceConfirmation(const std::string& name);

}  // namespace tessary
