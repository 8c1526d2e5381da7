#pragma once

// What every settings window test stands on: the Sim back ends, the shared state, the preferences
// and the command table a SettingsContext is made from; and the synchronised services for the panes
// that list layouts, rules and workspaces.

#include <memory>
#include <string>
#include <vector>

#include "Platform/Sim/InMemorySyncStore.h"
#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/TessaryCore/TestSupport.h"

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

// The three synchronised services over documents in a folder of their own, and their sync.
struct SyncedServices {
    explicit SyncedServices(VirtualScheduler& scheduler, const Preferences& preferences)
        : time(scheduler),
          sync(store, zones, rules, workspaces, [&preferences] { return preferences.iCloudSyncEnabled(); },
               CloudSync::Availability::available, scheduler) {}

    template <typename Document>
    JSONDocumentStore<Document> document(const std::string& name) {
        return JSONDocumentStore<Document>(folder / name);
    }

    VirtualScheduler& time;
    TemporaryFolder folder;
    InMemorySyncStore store;
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    ZoneService zones{std::make_shared<FakeWindowEngine>(), document<LayoutLibrary>("layouts.json")};
    RuleService rules{zones, [] { return std::vector<DisplayInfo>{}; }, document<RuleSet>("rules.json")};
    WorkspaceService workspaces{zones, [] { return std::vector<DisplayInfo>{}; },
                                document<WorkspaceLibrary>("workspaces.json"), applications, launcher, time};
    CloudSync sync;
};

}  // namespace tessary::testing
