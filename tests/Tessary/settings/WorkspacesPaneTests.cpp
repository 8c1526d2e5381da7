#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/settings/ui/WorkspacesSettingsView.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/Preferences.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/SaveWorkspacePrompt.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/TestWorld.h"
#include "tests/Tessary/integrations/Screenshot.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

struct WithQt {
    WithQt() { qttest::qtApplication(); }
};

// The services the list panes edit, over the in-memory desktop, and a host window for a pane.
class WorkspacesPaneTest : public ::testing::Test, public WithQt, public PlacementWorld {
protected:
    WorkspacesPaneTest() {
        AccessibilityPermission::setAccessibility(&accessibility);
        launcher.install("XTerm", "XTerm");
        launcher.install("org.example.Editor", "Editor <b>&</b> Co");
        applications.addApplication({10, "XTerm", "xterm", ActivationPolicy::regular, false});
        applications.addApplication({11, "XTerm", "xterm", ActivationPolicy::regular, false});
        applications.addApplication({12, "org.example.Editor", "editor", ActivationPolicy::regular, false});
        context.zones = zones.get();
        context.workspaces = &workspaces;
        context.applications = &applications;
        context.launcher = &launcher;
        DisplayProvider::displaysOverride = displays;
        actions.setDeleteWorkspace([this](const UUID& id) {
            workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(id); });
        });
        host.resize(700, 500);
    }
    ~WorkspacesPaneTest() override {
        window.reset();
        DisplayProvider::displaysOverride.reset();
        AccessibilityPermission::setAccessibility(nullptr);
    }

    template <typename Pane>
    Pane& show() {
        auto* pane = new Pane(context, &host);
        pane->resize(host.size());
        host.show();
        pane->show();
        return *pane;
    }

    QMessageBox* alert() const {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = top->findChild<QMessageBox*>(); box && box->isVisible()) return box;
        }
        return nullptr;
    }
    void answer(const QString& button) {
        QMessageBox* box = alert();
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button) candidate->click();
        }
        settle();
    }
    static void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Workspace saveWorkspace(const std::string& name) { return workspaces.saveCurrentWindows(name); }

    SimAccessibility accessibility;
    MemoryLoginItems loginItems;
    MemoryUserDefaults defaults;
    AppState state{loginItems, scheduler};
    Preferences preferences{defaults};
    AppActions actions;
    SettingsSelection selection{state};
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
    SettingsContext context{state, preferences, actions, selection, nullptr, {}, nullptr, {}, std::nullopt};
    QWidget host;
    std::unique_ptr<SettingsWindow> window;
};

}  // namespace

TEST_F(WorkspacesPaneTest, RemoveIsEnabledOnlyWhileTheSelectionNamesAWorkspace) {
    saveWorkspace("Desk");
    WorkspacesSettingsView& pane = show<WorkspacesSettingsView>();
    EXPECT_TRUE(pane.bar()->canRemove()) << "the first workspace is selected when the list is shown";
    pane.select(std::nullopt);
    EXPECT_FALSE(pane.bar()->canRemove());
    pane.bar()->removeButton()->click();
    EXPECT_EQ(alert(), nullptr);

    // Selected, then removed from the tray while another stays: the selection names nothing.
    pane.select(workspaces.library().workspaces[0].id);
    saveWorkspace("Other");
    actions.deleteWorkspace(workspaces.library().workspaces[0].id);
    EXPECT_FALSE(pane.bar()->canRemove());
    EXPECT_EQ(pane.detail(), nullptr) << "No Workspace Selected";
    EXPECT_EQ(pane.list()->count(), 1);
}

TEST_F(WorkspacesPaneTest, CancelSavesUpdatesAndRemovesNothing) {
    engine.addWindow("XTerm", 10, "one", mainZone(0));
    saveWorkspace("Desk");
    const WorkspaceLibrary workspacesBefore = workspaces.library();
    struct Row {
        const char* name;
        std::function<void()> ask;
    };
    WorkspacesSettingsView* workspacesPane = &show<WorkspacesSettingsView>();
    const Row rows[] = {
        {"removing a workspace", [&] { workspacesPane->bar()->removeButton()->click(); }},
        {"updating a workspace", [&] { workspacesPane->detail()->confirmUpdate(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.ask();
        answer("Cancel");
        EXPECT_EQ(workspaces.library(), workspacesBefore);
    }
    SaveWorkspacePrompt* prompt = workspacesPane->beginSaveCurrentWindows();
    prompt->reject();
    settle();
    EXPECT_EQ(workspaces.library(), workspacesBefore) << "Cancel in the save prompt";
}

TEST_F(WorkspacesPaneTest, SaveNamesAreTrimmedOrNumberedAndTheNewWorkspaceIsSelected) {
    struct Row {
        const char* name;
        QString typed;
        std::string saved;
    };
    const Row rows[] = {
        {"spaces around a name go", "  Coding  ", "Coding"},
        {"an empty name takes the next number", "", "Workspace 3"},
        {"a tab alone counts as empty", "\t", "Workspace 3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        workspaces.replaceLibrary({});
        saveWorkspace("One");
        saveWorkspace("Two");
        int changed = 0;
        actions.set(AppAction::workspacesChanged, [&] { ++changed; });
        WorkspacesSettingsView& pane = show<WorkspacesSettingsView>();
        SaveWorkspacePrompt* prompt = pane.beginSaveCurrentWindows();
        prompt->nameField()->setText(row.typed);
        prompt->accept();
        settle();
        ASSERT_EQ(workspaces.library().workspaces.size(), 3u);
        EXPECT_EQ(workspaces.library().workspaces[2].name, row.saved);
        EXPECT_EQ(pane.selection(), workspaces.library().workspaces[2].id);
        EXPECT_EQ(changed, 1);
        delete &pane;
    }
}

TEST_F(WorkspacesPaneTest, AWorkspaceDeletedWhileShownDoesNotComeBackAtTheNextKeystroke) {
    const Workspace saved = saveWorkspace("Desk");
    WorkspacesSettingsView& pane = show<WorkspacesSettingsView>();
    ASSERT_NE(pane.detail(), nullptr);
    QLineEdit* name = pane.detail()->nameField();
    QTest::keyClicks(name, "s");
    EXPECT_EQ(workspaces.library().workspaces[0].name, "Desks");
    // The tray deletes it; a keystroke already on its way still reaches the old field.
    const QPointer<QLineEdit> field(name);
    actions.deleteWorkspace(saved.id);
    if (field) QTest::keyClicks(field, "x");
    EXPECT_TRUE(workspaces.library().workspaces.empty());
    EXPECT_EQ(pane.detail(), nullptr) << "No Workspace Selected";
}

TEST_F(WorkspacesPaneTest, TheDetailWritesOneFieldOfTheStoredWorkspaceAndRestoresTheStoredOne) {
    const WindowHandle first = engine.addWindow("XTerm", 10, "one", mainZone(0));
    const Workspace saved = saveWorkspace("Desk");
    WorkspacesSettingsView& pane = show<WorkspacesSettingsView>();
    // Updated meanwhile from the tray: a second window joins.
    const WindowHandle second = engine.addWindow("XTerm", 11, "two", mainZone(1));
    workspaces.updateWithCurrentWindows(saved.id);
    pane.detail()->launchToggle()->click();
    EXPECT_EQ(workspaces.library().workspaces[0].entries.size(), 2u);
    EXPECT_TRUE(workspaces.library().workspaces[0].launchesMissingApps);
    EXPECT_EQ(pane.list()->itemWidget(pane.list()->item(0))->findChild<QLabel*>("workspaceRowCounts")->text(),
              "2 windows \u00b7 1 apps");

    engine.windowTable.at(first).info.frame = Rect(10, 10, 100, 100);
    engine.windowTable.at(second).info.frame = Rect(20, 20, 100, 100);
    pane.detail()->restoreNow();
    EXPECT_EQ(frameOf(first), mainZone(0));
    EXPECT_EQ(frameOf(second), mainZone(1)) << "the stored workspace, not the copy drawn before the update";
}

TEST_F(WorkspacesPaneTest, NamesFromOtherProgramsArePlainText) {
    engine.addWindow("org.example.Editor", 12, "<i>draft</i> & notes", mainZone(0));
    saveWorkspace("<b>Desk</b>");
    WorkspacesSettingsView& pane = show<WorkspacesSettingsView>();
    int marked = 0;
    for (QLabel* label : pane.findChildren<QLabel*>()) {
        if (!label->text().contains('<')) continue;
        ++marked;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_EQ(marked, 3) << "the workspace's name, the application's name and the window's title";
    EXPECT_EQ(pane.detail()->findChild<QLabel*>("entryApp")->text(), "Editor <b>&</b> Co");
}

TEST_F(WorkspacesPaneTest, ScreenshotOfTwoWorkspacesWithOneInDetail) {
    engine.addWindow("XTerm", 10, "xterm: ~/src/tessary", mainZone(0));
    engine.addWindow("org.example.Editor", 12, "notes.txt \u2014 a rather long title that the row elides", mainZone(1));
    saveWorkspace("Coding");
    saveWorkspace("Writing");
    window = std::make_unique<SettingsWindow>(context);
    window->show();
    selection.select(SettingsSection::workspaces);
    settle();
    qttest::screenshot(window.get(), QStringLiteral("settings-workspaces"));
    EXPECT_NE(window->findChild<QWidget*>("WorkspaceDetailView"), nullptr);
}
