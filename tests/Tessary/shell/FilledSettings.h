#pragma once

// The settings window over services with something in every list, so that rows, the paused mark and
// a selected row show: what the appearance and accessibility tests look at.

#include <memory>

#include "GlobalShortcuts/ui/Recorder.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/RowListView.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/settings/SettingsWorld.h"

namespace tessary::testing {

class FilledSettings : public ::testing::Test, protected SettingsWorld {
protected:
    FilledSettings() {
        qttest::qtApplication();
        AccessibilityPermission::setAccessibility(&accessibility);
        preferences.appearanceHandler = applyAppearance;
        launcher.install("XTerm", "Terminal");
        launcher.install("firefox", "Firefox");
        rules.modifyRuleSet([&](RuleSet& set) {
            set.upsert(PlacementRule(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0, 2}, Date(1000)));
            set.upsert(PlacementRule(UUID::random(), false, "firefox", std::string("Inbox"), std::nullopt, {1}, Date(2000)));
        });
        const WorkspaceEntry terminal(UUID::random(), "XTerm", std::string("~/src — bash"), "MAIN@1920x1080", {0},
                                      Rect(0, 0, 100, 100));
        workspaces.updateLibrary([&](WorkspaceLibrary& library) {
            library.upsert(Workspace(UUID::random(), "Coding", {terminal}, {"MAIN"}, false, false, Date(1000)));
        });
        preferences.setExcludedBundleIDs({"XTerm", "firefox"});
        for (const GlobalShortcuts::Name& name : ShortcutNames::paneShortcutNames()) {
            recorded.shortcuts->onKeyDown(name, [] {});
        }
    }
    ~FilledSettings() override {
        window.reset();
        preferences.setAppearance(AppAppearance::system);
        AccessibilityPermission::setAccessibility(nullptr);
    }

    SettingsWindow& open() {
        // The Shortcuts and Workspaces panes with the module's recorders, as the program shows them.
        SettingsHooks hooks;
        hooks.makeRecorder = [this](const std::string& name, QWidget* parent) -> QWidget* {
            return new Recorder(*recorded.shortcuts, ShortcutNames::named(name), QString(), nullptr, parent);
        };
        window = std::make_unique<SettingsWindow>(SettingsContext{
            state, preferences, actions, selection, updater, std::move(hooks), &defaults, [this] { return &sync; },
            std::nullopt, &launcher, &applications, &rules, &zones, &workspaces});
        window->show();
        return *window;
    }

    // Shows the section with the first row of its list chosen.
    void show(SettingsSection section) {
        state.setRequestedSettingsSection(section);
        for (RowListView* list : window->pane()->findChildren<RowListView*>()) {
            if (list->selectionMode() == QAbstractItemView::NoSelection) continue;
            list->setCurrentIndex(list->model()->index(0, 0));
            break;
        }
    }

    ShortcutsWorld recorded;
    SyncedServices services{scheduler, preferences};
    ZoneService& zones = services.zones;
    RuleService& rules = services.rules;
    WorkspaceService& workspaces = services.workspaces;
    CloudSync& sync = services.sync;
    // The update service the panes show; none: a build without updates.
    UpdaterController* updater = nullptr;
    std::unique_ptr<SettingsWindow> window;
};

}  // namespace tessary::testing
