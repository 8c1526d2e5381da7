#pragma once

// The three process-wide handles through which the command-line actions and their entity queries
// reach the running program's services. Empty until the delegate's launch sequence fills them
// (before synchronisation starts); the delegate empties them again when it ends, so that nothing
// reaches a service that is gone. Read and written on the main loop only.

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/AppActions.h"

namespace tessary {

struct IntentServices {
    static inline ZoneService* zones = nullptr;
    static inline WorkspaceService* workspaces = nullptr;
    static inline AppActions* actions = nullptr;

    static void set(ZoneService& zoneService, WorkspaceService& workspaceService, AppActions& appActions) {
        zones = &zoneService;
        workspaces = &workspaceService;
        actions = &appActions;
    }
    static void clear() {
        zones = nullptr;
        workspaces = nullptr;
        actions = nullptr;
    }
};

}  // namespace tessary
