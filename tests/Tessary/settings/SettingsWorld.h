#pragma once

// What every settings window test stands on: the Sim back ends, the shared state, the preferences
// and the command table a SettingsContext is made from.

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/Preferences.h"

namespace tessary::testing {

struct SettingsWorld {
    SimAccessibility accessibility;
    SimApplicationLauncher launcher;
    SimApplicationWorkspace applications;
    MemoryLoginItems loginItems;
    VirtualScheduler scheduler;
    MemoryUserDefaults defaults;
    AppState state{loginItems, scheduler};
    Preferences preferences{defaults};
    AppActions actions;
    SettingsSelection selection{state};
};

}  // namespace tessary::testing
