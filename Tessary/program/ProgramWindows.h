#pragma once

// Start order 4, second: how the delegate makes the program's windows (onboarding, the editor,
// About, Settings, feedback), the updater they share and the sync folder's store. The factories
// are handed to the delegate; the rest lives as long as the program.

#include <filesystem>
#include <memory>
#include <optional>

#include "Platform/Linux/FolderSyncStore.h"
#include "Platform/Qt/QtEventPump.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/integrations/ui/AppIntegrations.h"
#include "Tessary/program/BackEnds.h"
#include "Tessary/program/TrayFirst.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

class ProgramWindows {
public:
    ProgramWindows(TrayFirst& first, BackEnds& backEnds);
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The windows of ours that exist so far; the others take the delegate's "no window" path.
    AppWindowFactories factories;
    // The editor once made, for the end-to-end tests' "editor-test" verb.
    std::weak_ptr<LayoutEditorWindowController> editorForTests;
    // The URL commands, the actions and automation, made over the delegate once it exists.
    std::unique_ptr<AppIntegrations> integrations;
    // This build has no update framework, so the updater stays unconfigured and says so.
    UpdaterController updater;
    // What the settings window shows next, kept from one opening to the next.
    std::unique_ptr<SettingsSelection> settingsSelection;
    SettingsHooks settingsHooks;
    // The synchronisation once the launch made it, for the Sync pane.
    CloudSync* liveCloudSync = nullptr;
    const std::optional<std::filesystem::path> syncFolderInUse;
    FolderSyncStore syncStore;
    std::optional<QtEventPump> syncWatcher;

private:
    AppWindow editorWindow(AppDelegate& delegate, Scheduler& scheduler);
    AppWindow settingsWindow(AppDelegate& delegate, TrayFirst& first, BackEnds& backEnds);
};

}  // namespace tessary
