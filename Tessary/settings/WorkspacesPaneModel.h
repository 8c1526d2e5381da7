#pragma once

// What the Workspaces pane and the workspace detail say and do with a saved workspace.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/SettingsTag.h"
#include "TessaryCore/Workspace.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// The typed name without surrounding white space; when nothing is left, "Workspace " and the
// number the new one will have.
std::string workspaceSaveName(std::string_view typed, std::size_t workspaceCount);
// "2 windows · 1 app".
std::string workspaceRowSummary(const Workspace& workspace);
// "With Dell, a display that is not attached": each saved display's name, sorted.
std::string workspaceDisplaySummary(const Workspace& workspace, const std::vector<DisplayInfo>& displays);
// "free" without zones, else "zone 1+3".
std::string entryZonesText(const std::vector<std::int64_t>& zoneIndices);
// "Saved Mar 4, 2025" (the locale's abbreviated date). `locale`/`timeZone`: ICU names, empty for defaults.
std::string workspaceSavedText(Date date, std::string_view locale = {}, std::string_view timeZone = {});

// Applies one edit to the workspace as the library holds it now, inside the service's mutation,
// and stamps it `now`. A workspace deleted meanwhile (tray, URL, merge) is not written back, which
// would revive it newer than its tombstone; false then.
bool editWorkspace(WorkspaceService& workspaces, const UUID& id, Date now, const std::function<void(Workspace&)>& edit);

ConfirmationTexts removeWorkspaceConfirmation(const std::string& name);
ConfirmationTexts updateWorkspaceConfirmation(const std::string& name);

}  // namespace tessary
