#pragma once

// A global shortcut per saved workspace that restores it. Each workspace's name is "workspace." +
// its identifier (upper case), with no default: the user records the shortcut in the settings.
//
// A name has at most one handler. syncShortcuts() gives every workspace of the library one and
// drops the handlers of workspaces no longer there (one deleted on another machine arrives without
// removeShortcut), which lets go of their grabs while their stored shortcuts stay for a workspace
// that comes back. removeShortcut() drops the handler and the stored shortcut. Main loop only.

#include <memory>
#include <set>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Tessary/services/WorkspaceService.h"
#include "TessaryCore/UUID.h"

namespace tessary {

class WorkspaceHotKeys final {
public:
    WorkspaceHotKeys(GlobalShortcuts& shortcuts, WorkspaceService& workspaces);
    ~WorkspaceHotKeys();
    WorkspaceHotKeys(const WorkspaceHotKeys&) = delete;
    WorkspaceHotKeys& operator=(const WorkspaceHotKeys&) = delete;

    static GlobalShortcuts::Name shortcutName(const UUID& workspace);

    void syncShortcuts();
    void removeShortcut(const UUID& workspace);

private:
    void restore(const UUID& workspace);

    GlobalShortcuts& shortcuts_;
    WorkspaceService& workspaces_;
    std::set<UUID> registered_;
    std::shared_ptr<WorkspaceHotKeys*> self_;
};

}  // namespace tessary
