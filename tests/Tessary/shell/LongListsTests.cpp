// The long lists of the settings window and the editor as a user meets them with thousands of
// items: opened with no more widgets than over a few, a row dragged between two others saved as the
// new order, rows read out by screen readers, and the workspace list selecting its first workspace
// when it appears.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <functional>

#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"
#include "Tessary/settings/ui/RulesSettingsView.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/settings/ui/WorkspacesSettingsView.h"
#include "Tessary/shell/ui/RowListView.h"
#include "tests/Tessary/editor/EditorWorld.h"
#include "tests/Tessary/shell/FilledSettings.h"

using namespace tessary;
using tessary::testing::gridLayout;

namespace {

constexpr int kMany = 10000;

class LongLists : public tessary::testing::FilledSettings {
protected:
    // The pane of the section, opened anew as a user opens it, with what it deleted gone.
    SettingsPane* openPane(SettingsSection section) {
        window.reset();
        SettingsWindow& w = open();
        show(section);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w.pane();
    }

    RowListView* list(const char* name) const { return window->pane()->findChild<RowListView*>(name); }

    std::vector<UUID> storedRuleOrder() {
        auto loaded = JSONDocumentStore<RuleSet>(services.folder / "rules.json").load();
        std::vector<UUID> order;
        if (loaded && *loaded) {
            for (const PlacementRule& rule : (**loaded).rules) order.push_back(rule.id);
        }
        return order;
    }
};

std::vector<PlacementRule> manyRules(int count) {
    std::vector<PlacementRule> made;
    for (int i = 0; i < count; ++i) {
        made.emplace_back(UUID::random(), i % 3 != 0, "org.example.App" + std::to_string(i), std::nullopt, std::nullopt,
                          std::vector<std::int64_t>{i % 4}, Date(1000));
    }
    return made;
}

}  // namespace

// Each list over 10,000 items makes exactly the widgets it makes over a few: rows are drawn, not
// built (a widget per row froze the program for seconds and took hundreds of megabytes).
TEST_F(LongLists, EveryLongListOpensWithTheWidgetsOfAShortOne) {
    const struct {
        const char* name;
        SettingsSection section;
        const char* list;
        std::function<void()> fill;
    } cases[] = {
        {"rules", SettingsSection::rules, "rules",
         [this] { rules.modifyRuleSet([](RuleSet& set) { for (auto& rule : manyRules(kMany)) set.upsert(rule); }); }},
        {"excluded apps", SettingsSection::excludedApps, "excludedApps",
         [this] {
             std::vector<std::string> ids = preferences.excludedBundleIDs();
             for (int i = 0; i < kMany; ++i) ids.push_back("org.example.App" + std::to_string(i));
             preferences.setExcludedBundleIDs(ids);
         }},
        {"workspaces", SettingsSection::workspaces, "workspaces",
         [this] {
             workspaces.updateLibrary([](WorkspaceLibrary& library) {
                 for (int i = 0; i < kMany; ++i) library.upsert(Workspace(UUID::random(), "W" + std::to_string(i), {}, {}, false, false, Date(1000)));
             });
         }},
        {"a workspace's windows", SettingsSection::workspaces, "workspaceWindows",
         [this] {
             workspaces.updateLibrary([](WorkspaceLibrary& library) {
                 Workspace first = library.workspaces.front();
                 for (int i = 0; i < kMany; ++i) {
                     first.entries.emplace_back(UUID::random(), "XTerm", "term " + std::to_string(i), "MAIN@1920x1080",
                                                std::vector<std::int64_t>{0}, Rect(0, 0, 100, 100));
                 }
                 library.upsert(first);
             });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype few = openPane(c.section)->findChildren<QWidget*>().size();
        const int shortList = list(c.list)->count();
        c.fill();
        SettingsPane* pane = openPane(c.section);
        RowListView* rows = list(c.list);
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->count(), shortList + kMany);
        EXPECT_EQ(pane->findChildren<QWidget*>().size(), few) << "widgets made per row";
        // The last row is there to scroll to, drawn with its own texts.
        rows->scrollToBottom();
        const ShownRow last = rows->shownRow(rows->count() - 1);
        EXPECT_TRUE(rows->viewport()->rect().intersects(last.rect));
        EXPECT_FALSE(last.title.isEmpty());
    }
}

// A workspace of thousands of windows shows ten of them and scrolls the rest within its list, so
// the pane's list and its bar stay where they were.
TEST_F(LongLists, AWorkspacesWindowsScrollWithinTheirListBeyondTen) {
    for (const int entries : {1, 10, 11, 2000}) {
        SCOPED_TRACE(entries);
        workspaces.updateLibrary([&](WorkspaceLibrary& library) {
            Workspace first = library.workspaces.front();
            first.entries.assign(std::size_t(entries), WorkspaceEntry(UUID::random(), "XTerm", std::string("bash"),
                                                                      "MAIN@1920x1080", {0, 1}, Rect(0, 0, 100, 100)));
            library.upsert(first);
        });
        openPane(SettingsSection::workspaces);
        RowListView* windows = list("workspaceWindows");
        ASSERT_NE(windows, nullptr);
        EXPECT_EQ(windows->height(), std::min(entries, 10) * windows->rowHeight());
        const ShownRow first = windows->shownRow(0);
        EXPECT_EQ(first.title, "Terminal");
        EXPECT_EQ(first.subtitle, "bash");
        EXPECT_EQ(windows->rows()->rowAt(0).trailingText, "zone 1+2");
        EXPECT_LE(first.trailing.right(), windows->viewport()->width()) << "the zones are never cut";
    }
}

// A row dropped between two others is the new matching order, in "rules.json" at once, with no
// stamp changed, and the dragged rule stays selected in its new place. A drop that is not this
// list's own drag of a row still there moves nothing.
TEST_F(LongLists, ARuleDroppedBetweenTwoOthersIsTheNewOrder) {
    const PlacementRule third(UUID::random(), true, "gimp", std::nullopt, std::nullopt, {3}, Date(3000));
    rules.modifyRuleSet([&](RuleSet& set) { set.upsert(third); });
    const std::vector<PlacementRule> original = rules.ruleSet().rules;
    enum class Where { upperHalf, lowerHalf, belowTheRows };
    const struct {
        const char* name;
        int dragged;
        int onto;
        Where where;
        std::vector<int> order;
    } cases[] = {
        {"the third on the first's upper half", 2, 0, Where::upperHalf, {2, 0, 1}},
        {"the first on the last's lower half", 0, 2, Where::lowerHalf, {1, 2, 0}},
        {"the first on the second's lower half", 0, 1, Where::lowerHalf, {1, 0, 2}},
        {"the second on the third's upper half", 1, 2, Where::upperHalf, {0, 1, 2}},
        {"the first below every row", 0, 0, Where::belowTheRows, {1, 2, 0}},
        {"the second onto itself", 1, 1, Where::lowerHalf, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rules.modifyRuleSet([&](RuleSet& set) { set.rules = original; });
        auto* pane = static_cast<RulesSettingsView*>(openPane(SettingsSection::rules));
        RowListView* rows = pane->list();
        pane->select(original[std::size_t(c.dragged)].id);
        const QRect target = rows->visualRect(rows->model()->index(c.onto, 0));
        const QPoint at = c.where == Where::upperHalf   ? QPoint(target.center().x(), target.top() + 2)
                          : c.where == Where::lowerHalf ? QPoint(target.center().x(), target.bottom() - 2)
                                                        : QPoint(target.center().x(), rows->viewport()->height() - 2);
        std::unique_ptr<QMimeData> dragged(rows->model()->mimeData({rows->model()->index(c.dragged, 0)}));
        EXPECT_TRUE(rows->drop(dragged.get(), at));
        QCoreApplication::processEvents();

        std::vector<UUID> expected;
        for (const int i : c.order) expected.push_back(original[std::size_t(i)].id);
        EXPECT_EQ(storedRuleOrder(), expected);
        for (const PlacementRule& rule : rules.ruleSet().rules) {
            const auto before = std::find_if(original.begin(), original.end(), [&](const auto& r) { return r.id == rule.id; });
            EXPECT_EQ(rule.modifiedAt, before->modifiedAt);
        }
        const auto moved = std::find(expected.begin(), expected.end(), original[std::size_t(c.dragged)].id);
        EXPECT_EQ(rows->selectedRow(), moved - expected.begin()) << "the dragged rule is selected where it went";
        EXPECT_EQ(pane->selection(), original[std::size_t(c.dragged)].id);
    }

    // Another list's row (the excluded apps'), and a row removed elsewhere during the drag.
    rules.modifyRuleSet([&](RuleSet& set) { set.rules = original; });
    const auto stored = storedRuleOrder();
    openPane(SettingsSection::excludedApps);
    RowListView* other = list("excludedApps");
    std::unique_ptr<QMimeData> foreign(other->model()->mimeData({other->model()->index(1, 0)}));
    auto* pane = static_cast<RulesSettingsView*>(openPane(SettingsSection::rules));
    std::unique_ptr<QMimeData> stale(pane->list()->model()->mimeData({pane->list()->model()->index(2, 0)}));
    rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(original[0].id); });
    QCoreApplication::processEvents();
    const auto afterRemoval = storedRuleOrder();
    ASSERT_EQ(afterRemoval.size(), 2u);
    for (QMimeData* data : {foreign.get(), stale.get()}) {
        EXPECT_FALSE(pane->list()->drop(data, QPoint(10, 2)));
        QCoreApplication::processEvents();
        EXPECT_EQ(storedRuleOrder(), afterRemoval) << "a drop that is not this list's row moved one";
    }
}

// Screen readers meet each row as a list item named by what it shows first, described by the rest
// (the paused mark too), and the selected one as selected.
TEST_F(LongLists, ScreenReadersReadEachRowsNameAndWhatItSays) {
    const struct {
        SettingsSection section;
        const char* list;
        int row;
        QString name, description;
        bool selected;
    } cases[] = {
        {SettingsSection::rules, "rules", 0, "Terminal", "zone 1+3", true},
        {SettingsSection::rules, "rules", 1, "Firefox", "zone 2 \u00B7 title ~ Inbox \u00B7 Paused", false},
        {SettingsSection::workspaces, "workspaces", 0, "Coding", "1 window \u00B7 1 app", true},
        {SettingsSection::workspaces, "workspaceWindows", 0, "Terminal", "~/src \u2014 bash \u00B7 zone 1", false},
        {SettingsSection::excludedApps, "excludedApps", 1, "Firefox", "firefox", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " row " + std::to_string(c.row));
        openPane(c.section);
        RowListView* rows = list(c.list);
        ASSERT_NE(rows, nullptr);
        QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(rows);
        ASSERT_NE(shown, nullptr);
        EXPECT_FALSE(shown->text(QAccessible::Name).isEmpty()) << "the list has a name";
        ASSERT_EQ(shown->childCount(), rows->count());
        QAccessibleInterface* item = shown->child(c.row);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), c.name);
        EXPECT_EQ(item->text(QAccessible::Description), c.description);
        EXPECT_EQ(bool(item->state().selected), c.selected);
    }
}

// A workspace list that appears while the pane is open (the first workspace saved from the
// command line, or brought by sync) shows its first workspace; a removal selects nothing else.
TEST_F(LongLists, AWorkspaceListThatAppearsSelectsItsFirstWorkspace) {
    const struct {
        const char* name;
        std::function<UUID()> arrive;
    } ways[] = {
        {"saved as `tessary save-workspace` saves it", [this] { return workspaces.saveCurrentWindows("Desk").id; }},
        {"brought by sync",
         [this] {
             const Workspace synced(UUID::random(), "Desk", {}, {}, false, false, Date(5000));
             workspaces.updateLibrary([&](WorkspaceLibrary& library) { library.upsert(synced); });
             return synced.id;
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        workspaces.updateLibrary([](WorkspaceLibrary& library) {
            for (const Workspace& w : std::vector<Workspace>(library.workspaces)) library.deleteWorkspace(w.id);
        });
        auto* pane = static_cast<WorkspacesSettingsView*>(openPane(SettingsSection::workspaces));
        ASSERT_EQ(pane->list(), nullptr) << "the empty form first";
        const UUID arrived = way.arrive();
        QCoreApplication::processEvents();
        ASSERT_NE(pane->list(), nullptr);
        EXPECT_EQ(pane->selection(), arrived);
        EXPECT_EQ(pane->list()->selectedRow(), 0);
        ASSERT_NE(pane->detail(), nullptr);
        EXPECT_EQ(pane->detail()->findChild<QLineEdit*>("workspaceName")->text(), "Desk");

        // A second one arriving leaves the selection alone.
        workspaces.saveCurrentWindows("Later");
        QCoreApplication::processEvents();
        EXPECT_EQ(pane->selection(), arrived);
    }
}

// The editor's list over 10,000 layouts: the widgets of three, and the selected layout in sight.
TEST(LongEditorList, TenThousandLayoutsOpenWithTheWidgetsOfThree) {
    qttest::qtApplication();
    const auto widgetsFor = [](int layouts, qsizetype& widgets, int& selectedRow, bool& selectedInSight) {
        std::vector<ZoneLayout> library;
        for (int i = 0; i < layouts; ++i) library.push_back(gridLayout("Layout " + std::to_string(i), ZoneGrid::uniform(1, 1 + i % 4)));
        tessary::testing::EditorWorld w(library);
        w.select(std::size_t(layouts - 1));
        LayoutEditorView view(*w.model);
        view.resize(1120, 700);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        widgets = view.findChildren<QWidget*>().size();
        RowListView* list = view.layoutList();
        selectedRow = list->selectedRow();
        selectedInSight = list->viewport()->rect().contains(list->shownRow(selectedRow).rect);
    };
    qsizetype few = 0, many = 0;
    int row = 0;
    bool inSight = false;
    widgetsFor(3, few, row, inSight);
    widgetsFor(kMany, many, row, inSight);
    EXPECT_EQ(many, few);
    EXPECT_EQ(row, kMany - 1);
    EXPECT_TRUE(inSight) << "the selected layout is scrolled into sight";
}
