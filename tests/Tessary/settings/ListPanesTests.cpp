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
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"
#include "Tessary/settings/ui/RuleDetailView.h"
#include "Tessary/settings/ui/RulesSettingsView.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/settings/ui/WorkspacesSettingsView.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/Preferences.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/SaveWorkspacePrompt.h"
#include "WindowEngine/AccessibilityPermission.h"
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
class ListPanesTest : public ::testing::Test, public WithQt, public PlacementWorld {
protected:
    ListPanesTest() {
        AccessibilityPermission::setAccessibility(&accessibility);
        launcher.install("XTerm", "XTerm");
        launcher.install("org.example.Editor", "Editor <b>&</b> Co");
        applications.addApplication({10, "XTerm", "xterm", ActivationPolicy::regular, false});
        applications.addApplication({11, "XTerm", "xterm", ActivationPolicy::regular, false});
        applications.addApplication({12, "org.example.Editor", "editor", ActivationPolicy::regular, false});
        context.rules = &rules;
        context.zones = zones.get();
        context.workspaces = &workspaces;
        context.displays = displaysReader();
        context.applications = &applications;
        context.launcher = &launcher;
        actions.setDeleteWorkspace([this](const UUID& id) {
            workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.deleteWorkspace(id); });
        });
        host.resize(700, 500);
    }
    ~ListPanesTest() override {
        window.reset();
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
    // Opens the add menu as a click would and chooses the item with that text.
    static void choose(QMenu* menu, const QString& text) {
        Q_EMIT menu->aboutToShow();
        for (QAction* action : menu->actions()) {
            if (action->text() == text) action->trigger();
        }
        settle();
    }
    static QStringList itemTexts(QMenu* menu) {
        Q_EMIT menu->aboutToShow();
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) texts << action->text();
        }
        return texts;
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
    RuleService rules{*zones, displaysReader(), store<RuleSet>("rules.json")};
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
    SettingsContext context{state, preferences, actions, selection, nullptr, {}, nullptr, {}, std::nullopt};
    QWidget host;
    std::unique_ptr<SettingsWindow> window;
};

std::vector<std::string> bundleIDs(const RuleSet& set) {
    std::vector<std::string> out;
    for (const PlacementRule& rule : set.rules) out.push_back(rule.bundleID);
    return out;
}

}  // namespace

TEST_F(ListPanesTest, ARuleDraggedToTheTopIsTriedFirstAndNoStampChanges) {
    for (const char* app : {"A", "B", "C"}) addRule(rules, app);
    const RuleSet before = rules.ruleSet();
    RulesSettingsView& pane = show<RulesSettingsView>();
    // What a drop of the last row above the first does to the list's model.
    pane.list()->model()->moveRows({}, 2, 1, {}, 0);
    settle();
    EXPECT_EQ(bundleIDs(rules.ruleSet()), (std::vector<std::string>{"C", "A", "B"}));
    const auto saved = store<RuleSet>("rules.json").load();
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ(bundleIDs(**saved), (std::vector<std::string>{"C", "A", "B"}));
    for (const PlacementRule& rule : rules.ruleSet().rules) {
        const auto old = std::find_if(before.rules.begin(), before.rules.end(), [&](auto& r) { return r.id == rule.id; });
        EXPECT_EQ(rule.modifiedAt, old->modifiedAt);
    }
    EXPECT_EQ(pane.list()->count(), 3);
}

TEST_F(ListPanesTest, TypingAnOpenParenthesisShowsTheMessageAndClosingItRemovesIt) {
    addRule(rules, "XTerm");
    RulesSettingsView& pane = show<RulesSettingsView>();
    ASSERT_NE(pane.detail(), nullptr) << "the first rule is selected when the list is shown";
    QLineEdit* field = pane.detail()->patternField();
    QTest::keyClicks(field, "(");
    EXPECT_TRUE(pane.detail()->patternMessage()->isVisibleTo(pane.detail()));
    EXPECT_EQ(rules.ruleSet().rules[0].titlePattern, "(");
    QTest::keyClicks(field, ")");
    EXPECT_FALSE(pane.detail()->patternMessage()->isVisibleTo(pane.detail()));
    EXPECT_EQ(rules.ruleSet().rules[0].titlePattern, "()");
    EXPECT_EQ(field->cursorPosition(), 2) << "the field is not rebuilt under the typing";
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(rules.ruleSet().rules[0].titlePattern, std::nullopt) << "cleared: every window of the app";
}

TEST_F(ListPanesTest, AddingARuleSelectsItAndBringsTheSubtitleAndApplyRulesNow) {
    RulesSettingsView& pane = show<RulesSettingsView>();
    int headerChanges = 0;
    pane.onHeaderChanged = [&] { ++headerChanges; };
    EXPECT_TRUE(pane.subtitle().isEmpty());
    EXPECT_FALSE(pane.primaryAction());
    EXPECT_EQ(itemTexts(pane.addMenu()), (QStringList{"Editor <b>&&</b> Co", "XTerm",
                                                      "Choose Application\u2026"}))
        << "each identifier once, names sorted, \"&\" no mnemonic";
    choose(pane.addMenu(), "XTerm");
    ASSERT_EQ(rules.ruleSet().rules.size(), 1u);
    EXPECT_EQ(pane.selection(), rules.ruleSet().rules[0].id);
    EXPECT_EQ(pane.subtitle(), "First match wins \u00b7 drag to reorder");
    EXPECT_EQ(pane.primaryAction()->title, "Apply Rules Now");
    EXPECT_EQ(headerChanges, 1);
    ASSERT_NE(pane.detail(), nullptr);
    EXPECT_EQ(pane.detail()->zoneToggles().size(), 4u);
}

TEST_F(ListPanesTest, RemoveIsEnabledOnlyWhileTheSelectionNamesAnItem) {
    addRule(rules, "XTerm");
    saveWorkspace("Desk");
    preferences.setExcludedBundleIDs({"XTerm"});
    RulesSettingsView& rulesPane = show<RulesSettingsView>();
    WorkspacesSettingsView& workspacesPane = show<WorkspacesSettingsView>();
    ExcludedAppsSettingsView& excludedPane = show<ExcludedAppsSettingsView>();
    EXPECT_TRUE(rulesPane.bar()->canRemove());
    EXPECT_TRUE(workspacesPane.bar()->canRemove());
    EXPECT_FALSE(excludedPane.bar()->canRemove()) << "nothing selected at first";

    rulesPane.select(std::nullopt);
    workspacesPane.select(std::nullopt);
    EXPECT_FALSE(rulesPane.bar()->canRemove());
    EXPECT_FALSE(workspacesPane.bar()->canRemove());

    // Selected, then removed elsewhere (a merge, the tray): the selection names nothing.
    rulesPane.select(rules.ruleSet().rules[0].id);
    workspacesPane.select(workspaces.library().workspaces[0].id);
    addRule(rules, "Other");
    rules.modifyRuleSet([](RuleSet& set) { set.deleteRule(set.rules[0].id); });
    workspaces.saveCurrentWindows("Other");
    workspaces.updateLibrary([](WorkspaceLibrary& library) { library.deleteWorkspace(library.workspaces[0].id); });
    EXPECT_FALSE(rulesPane.bar()->canRemove());
    EXPECT_FALSE(workspacesPane.bar()->canRemove());
    EXPECT_EQ(workspacesPane.detail(), nullptr) << "No Workspace Selected";
}

TEST_F(ListPanesTest, CancelCreatesAndRemovesNothing) {
    engine.addWindow("XTerm", 10, "one", mainZone(0));
    addRule(rules, "XTerm");
    saveWorkspace("Desk");
    preferences.setExcludedBundleIDs({"XTerm"});
    const RuleSet rulesBefore = rules.ruleSet();
    const WorkspaceLibrary workspacesBefore = workspaces.library();
    struct Row {
        const char* name;
        std::function<void()> ask;
    };
    RulesSettingsView* rulesPane = &show<RulesSettingsView>();
    WorkspacesSettingsView* workspacesPane = &show<WorkspacesSettingsView>();
    ExcludedAppsSettingsView* excludedPane = &show<ExcludedAppsSettingsView>();
    const Row rows[] = {
        {"removing a rule", [&] { rulesPane->bar()->removeButton()->click(); }},
        {"removing a workspace", [&] { workspacesPane->bar()->removeButton()->click(); }},
        {"updating a workspace", [&] { workspacesPane->detail()->confirmUpdate(); }},
        {"removing an excluded app", [&] { excludedPane->confirmRemoveExcludedApp("XTerm"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.ask();
        answer("Cancel");
        EXPECT_EQ(rules.ruleSet(), rulesBefore);
        EXPECT_EQ(workspaces.library(), workspacesBefore);
        EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"XTerm"});
    }
    SaveWorkspacePrompt* prompt = workspacesPane->beginSaveCurrentWindows();
    prompt->reject();
    settle();
    EXPECT_EQ(workspaces.library(), workspacesBefore) << "Cancel in the save prompt";
}

TEST_F(ListPanesTest, SaveNamesAreTrimmedOrNumberedAndTheNewWorkspaceIsSelected) {
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

TEST_F(ListPanesTest, AWorkspaceDeletedWhileShownDoesNotComeBackAtTheNextKeystroke) {
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

TEST_F(ListPanesTest, TheDetailWritesOneFieldOfTheStoredWorkspaceAndRestoresTheStoredOne) {
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

TEST_F(ListPanesTest, NamesFromOtherProgramsArePlainText) {
    addRule(rules, "org.example.Editor");
    const WindowHandle window = engine.addWindow("org.example.Editor", 12, "<i>draft</i> & notes", mainZone(0));
    (void)window;
    saveWorkspace("<b>Desk</b>");
    RulesSettingsView& rulesPane = show<RulesSettingsView>();
    WorkspacesSettingsView& workspacesPane = show<WorkspacesSettingsView>();
    for (QLabel* label : rulesPane.findChildren<QLabel*>() + workspacesPane.findChildren<QLabel*>()) {
        if (label->text().contains('<')) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        }
    }
    auto* row = rulesPane.list()->itemWidget(rulesPane.list()->item(0))->findChild<QLabel*>("appName");
    EXPECT_EQ(row->text(), "Editor <b>&</b> Co");
}

TEST_F(ListPanesTest, ExcludedAppsAddOnceSelectAndGoWithTheDeleteKey) {
    ExcludedAppsSettingsView& pane = show<ExcludedAppsSettingsView>();
    EXPECT_EQ(pane.list(), nullptr) << "the empty box";
    choose(pane.addMenu(), "XTerm");
    EXPECT_EQ(preferences.excludedBundleIDs(), std::vector<std::string>{"XTerm"});
    EXPECT_EQ(pane.selection(), "XTerm");
    pane.addExcludedApps({"org.example.Editor", "XTerm", "Other"});
    EXPECT_EQ(preferences.excludedBundleIDs(), (std::vector<std::string>{"XTerm", "org.example.Editor", "Other"}));
    EXPECT_EQ(pane.selection(), "Other") << "the last one added";
    ASSERT_NE(pane.list(), nullptr);
    QTest::keyClick(pane.list(), Qt::Key_Delete);
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->text(), "Remove Other from the excluded apps?");
    answer("Remove");
    EXPECT_EQ(preferences.excludedBundleIDs(), (std::vector<std::string>{"XTerm", "org.example.Editor"}));
    EXPECT_EQ(pane.selection(), std::nullopt);
    EXPECT_FALSE(pane.bar()->canRemove());
}

TEST_F(ListPanesTest, ThePickerFiltersAndHandsOverItsChoicesInListOrder) {
    ApplicationPicker picker(AppInfo::build(&applications, &launcher), true);
    ASSERT_EQ(picker.list()->count(), 2);
    picker.list()->item(0)->setSelected(true);
    picker.list()->item(1)->setSelected(true);
    EXPECT_EQ(picker.chosen(), (std::vector<std::string>{"org.example.Editor", "XTerm"}));
    QTest::keyClicks(picker.filter(), "xter");
    EXPECT_EQ(picker.chosen(), std::vector<std::string>{"XTerm"}) << "hidden rows are not chosen";
    picker.filter()->clear();
    picker.list()->clearSelection();
    EXPECT_FALSE(picker.okButton()->isEnabled());
}

TEST_F(ListPanesTest, ScreenshotsOfTheFourPanes) {
    engine.addWindow("XTerm", 10, "xterm: ~/src/tessary", mainZone(0));
    engine.addWindow("org.example.Editor", 12, "notes.txt \u2014 a rather long title that the row elides", mainZone(1));
    addRule(rules, "XTerm");
    const UUID editor = addRule(rules, "org.example.Editor");
    rules.modifyRuleSet([&](RuleSet& set) {
        set.rules[1].isEnabled = false;
        set.rules[1].titlePattern = "^Inbox";
        set.rules[1].displayID = "SIDE";
        set.rules[1].zoneIndices = {0, 1};
    });
    (void)editor;
    saveWorkspace("Coding");
    saveWorkspace("Writing");
    preferences.setExcludedBundleIDs({"XTerm", "org.example.Editor", "org.example.Gone"});
    window = std::make_unique<SettingsWindow>(context);
    window->show();
    for (SettingsSection section : {SettingsSection::rules, SettingsSection::workspaces, SettingsSection::excludedApps}) {
        selection.select(section);
        settle();
        qttest::screenshot(window.get(), QStringLiteral("settings-") + QString::fromUtf8(rawValue(section).data()));
    }
    selection.select(SettingsSection::rules);
    EXPECT_EQ(window->findChild<QLabel*>("paneSubtitle")->text(), "First match wins \u00b7 drag to reorder");
    EXPECT_EQ(window->findChild<QPushButton*>("primaryAction")->text(), "Apply Rules Now");
}
