#pragma once

// The services as the URL commands and the command-line actions find them in the running program:
// the placement world's two displays (2 x 2 quarters each, no gaps), a workspace service, the
// shared state, and a command table whose every slot records its name. Two windows: the front
// one of "Editor" and a background one of "Mail".

#include <string>
#include <vector>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/integrations/IntentServices.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/Tessary/TestWorld.h"

namespace tessary::testing {

class IntegrationWorld : public PlacementWorld {
public:
    static constexpr Rect editorStart{100, 100, 300, 200};
    static constexpr Rect mailStart{600, 500, 300, 200};

    IntegrationWorld() {
        DisplayProvider::displaysOverride = displays;
        const std::pair<AppAction, const char*> names[] = {
            {AppAction::showEditor, "showEditor"},         {AppAction::showOnboarding, "showOnboarding"},
            {AppAction::flashZones, "flashZones"},         {AppAction::restoreAllWindows, "restoreAllWindows"},
            {AppAction::applyRules, "applyRules"},         {AppAction::saveWorkspace, "saveWorkspace"},
            {AppAction::showSettings, "showSettings"},     {AppAction::showReleaseNotes, "showReleaseNotes"},
            {AppAction::showAbout, "showAbout"},           {AppAction::checkForUpdates, "checkForUpdates"},
            {AppAction::sendFeedback, "sendFeedback"},     {AppAction::askForReview, "askForReview"},
            {AppAction::workspacesChanged, "workspacesChanged"},
        };
        for (const auto& [action, name] : names) {
            actions.set(action, [this, name = std::string(name)] { calls.push_back(name); });
        }
    }
    ~IntegrationWorld() {
        IntentServices::clear();
        DisplayProvider::displaysOverride.reset();
    }

    void setHandles() { IntentServices::set(*zones, workspaces, actions); }

    Workspace addWorkspace(const std::string& name, std::int64_t editorZone) {
        const WorkspaceEntry entry(UUID::random(), "Editor", "notes", main.displayKey().description(), {editorZone},
                                   mainZone(editorZone));
        const Workspace workspace(UUID::random(), name, {entry}, {"MAIN", "SIDE"}, false, false, Date(0));
        workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.upsert(workspace); });
        return workspace;
    }

    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
    MemoryLoginItems loginItems;
    AppState state{loginItems, scheduler};
    AppActions actions;
    std::vector<std::string> calls;
    WindowHandle editor = engine.addWindow("Editor", 1, "notes", editorStart, Size{0, 0}, true);
    WindowHandle mail = engine.addWindow("Mail", 2, "inbox", mailStart);
};

}  // namespace tessary::testing
