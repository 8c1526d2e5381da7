#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>

#include "Tessary/editor/LayoutEditorViewModel.h"
#include "Tessary/editor/ui/LayoutCanvasPane.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;
using Toolbar = LayoutEditorViewModel::Toolbar;

namespace {

struct View {
    explicit View(std::vector<ZoneLayout> layouts) : world(std::move(layouts)) {}
    EditorWorld world;
    RecordingConfirm alert;
    LayoutEditorViewModel view{*world.model, alert.confirm()};
};

}  // namespace

TEST(LayoutEditorViewModel, RowSubtitlesNameOnlyExplicitAssignments) {
    View v({gridLayout("A", ZoneGrid::uniform(1, 3)), gridLayout("B", ZoneGrid::uniform(2, 2)),
            gridLayout("C", ZoneGrid::uniform(1, 1))});
    v.world.model->assign(v.world.side);
    v.world.model->assign(v.world.main);
    std::vector<std::string> subtitles;
    for (const auto& row : v.view.rows()) subtitles.push_back(row.subtitle);
    EXPECT_THAT(subtitles, ElementsAre("3 zones \u00b7 default \u00b7 MAIN \u00b7 SIDE", "4 zones", "1 zone"));
    v.world.model->unassign(v.world.main);
    EXPECT_EQ(v.view.rows()[0].subtitle, "3 zones \u00b7 default \u00b7 SIDE") << "falling back to the default is no assignment";
}

TEST(LayoutEditorViewModel, ToolbarTitleAndPreviewToggle) {
    struct Case {
        const char* name;
        std::vector<ZoneLayout> layouts;
        bool noDisplays;
        Toolbar toolbar;
        std::string title;
        std::optional<std::uint32_t> previewAfterTurningOn;
    };
    // The member types are named: GCC 12 at -O3 falsely warns that a string of a nested braced
    // member may be used uninitialised.
    const Case cases[] = {
        {"anEmptyLibrary", {}, false, Toolbar{false, false, false, ""}, "Tessary Layouts", 1},
        {"oneLayoutCannotBeDeleted", {gridLayout("Solo", ZoneGrid::uniform(1, 2))}, false,
         Toolbar{true, false, true, "Name, gaps and which displays use Solo"}, "Solo", 1},
        {"twoLayouts", {gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3))}, false,
         Toolbar{true, true, true, "Name, gaps and which displays use A"}, "A", 1},
        {"noDisplayLeavesThePreviewOff", {gridLayout("A", ZoneGrid::uniform(1, 2))}, true,
         Toolbar{true, false, true, "Name, gaps and which displays use A"}, "A", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        View v(c.layouts);
        if (c.noDisplays) DisplayProvider::displaysOverride = std::vector<DisplayInfo>{};
        EXPECT_EQ(v.view.toolbar(), c.toolbar);
        EXPECT_EQ(v.view.title(), c.title);
        v.view.setPreviewOn(true);
        EXPECT_EQ(v.world.model->previewDisplayID(), c.previewAfterTurningOn);
        v.view.setPreviewOn(false);
        EXPECT_FALSE(v.view.isPreviewOn());
    }
}

TEST(LayoutEditorViewModel, DeleteIsConfirmedAndActsOnlyOnTheLayoutItNamed) {
    enum class Answer { confirm, cancel, confirmAfterAnotherIsSelected };
    struct Case {
        const char* name;
        Answer answer;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"confirmDeletes", Answer::confirm, {"B", "C"}},
        {"cancelKeeps", Answer::cancel, {"A", "B", "C"}},
        {"anotherLayoutSelectedMeanwhile", Answer::confirmAfterAnotherIsSelected, {"A", "B", "C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        View v({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3)), gridLayout("C", ZoneGrid::uniform(1, 4))});
        v.view.requestDelete();
        ASSERT_EQ(v.alert.asked.size(), 1u);
        EXPECT_EQ(v.alert.asked[0], (ConfirmRequest{"Delete \u201cA\u201d?", "Displays that use it go back to the default layout. This cannot be undone.", "Delete"}));
        if (c.answer == Answer::confirmAfterAnotherIsSelected) v.world.select(2);
        if (c.answer != Answer::cancel) v.alert.answer();
        std::vector<std::string> left;
        for (const auto& layout : v.world.library().layouts) left.push_back(layout.name);
        EXPECT_EQ(left, c.left);
    }
}

TEST(LayoutEditorViewModel, ChoosingARowEmptiesTheZoneSelectionEvenWhenAlreadyChosen) {
    View v({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3))});
    v.world.model->setSelectedZones({1});
    v.view.chooseRow(v.world.layout(0).id);
    EXPECT_TRUE(v.world.model->selectedZones().empty());
    v.view.chooseRow(v.world.layout(1).id);
    EXPECT_EQ(v.world.model->selectedLayoutID(), v.world.layout(1).id);
}

namespace {

// Counts the paint events of each watched widget and what they covered.
class PaintCounter final : public QObject {
public:
    std::map<QObject*, int> paints;
    std::map<QObject*, QRegion> painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[watched];
            painted[watched] += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// Answers the next alert or prompt of the view, window-modal or application-modal, with the button
// of that text (typing the text first into a prompt).
void answerNext(QWidget& view, const QString& button, std::optional<QString> typed = std::nullopt) {
    QTimer::singleShot(0, [&view, button, typed] {
        QDialog* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        for (QDialog* child : view.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!dialog && child->isVisible()) dialog = child;
        }
        if (!dialog) return;
        if (auto* prompt = qobject_cast<QInputDialog*>(dialog); prompt && typed) prompt->setTextValue(*typed);
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
            if (b->text() == button) b->click();
        }
    });
}


}  // namespace

TEST(LayoutEditorView, ADragStepRepaintsOneListRow) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3)), gridLayout("C", ZoneGrid::uniform(1, 4))});
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::qWait(50);  // the first paints are done
    PaintCounter counter;
    QWidget* rows = view.layoutList()->viewport();
    rows->installEventFilter(&counter);
    const auto divider = w.grid(0).dividers().front();
    (void)w.model->editGrid([&](ZoneGrid& g) -> Expected<void, ZoneEditError> {
        if (auto moved = ZoneEdits::moveDivider(g, divider, 0.7, 0.01, false); !moved) return unexpected(moved.error());
        return {};
    });
    QTest::qWait(50);
    EXPECT_GT(counter.paints[rows], 0) << "the dragged layout's row is drawn again";
    const QRect firstRow = view.layoutList()->visualRect(view.layoutList()->model()->index(0, 0));
    EXPECT_TRUE(QRegion(firstRow).contains(counter.painted[rows].boundingRect()))
        << "the list is repainted only behind that row";
}

TEST(LayoutEditorView, NewLayoutCreatesAndSelectsAndDeleteAsksFirst) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Halves", ZoneGrid::uniform(1, 2), ZoneLayout::Origin{LayoutTemplate::columns, 2, std::nullopt}, 8),
                   canvasLayout("Free", {1920, 1080}, {Rect(0, 0, 1100, 1080), Rect(820, 0, 1100, 700)})});
    w.select(1);
    w.model->assign(w.main);
    w.select(0);
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    qttest::screenshot(view, "editor-render", "editor-view");
    EXPECT_EQ(view.title(), "Halves");

    view.newAction()->trigger();
    ASSERT_TRUE(view.newLayoutSheet()->isVisible());
    QTest::keyClick(view.newLayoutSheet(), Qt::Key_Return);
    ASSERT_EQ(w.library().layouts.size(), 3u);
    EXPECT_EQ(w.model->selectedLayoutID(), w.library().layouts.back().id);
    EXPECT_EQ(view.title(), "Columns");
    EXPECT_EQ(view.layoutList()->currentIndex().row(), 2);

    for (const bool confirm : {false, true}) {
        answerNext(view, confirm ? "Delete" : "Cancel");
        view.deleteAction()->trigger();
        QTest::qWait(20);
        EXPECT_EQ(w.library().layouts.size(), confirm ? 2u : 3u);
    }
    EXPECT_EQ(view.title(), "Halves") << "the default is selected after the delete";
}

TEST(LayoutEditorView, AnEmptyLibraryShowsNoLayoutSelected) {
    qttest::qtApplication();
    EditorWorld w({});
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_FALSE(view.duplicateAction()->isEnabled());
    EXPECT_FALSE(view.deleteAction()->isEnabled());
    EXPECT_FALSE(view.previewAction()->isVisible());
    EXPECT_FALSE(view.inspector()->isVisible());
    EXPECT_EQ(view.title(), "Tessary Layouts");
    qttest::screenshot(view, "editor-render", "editor-empty");
}

// The selected layout removed by another hand (synchronisation brings a deletion) leaves the editor
// without a current layout until the user picks one: the focus that leaves the hidden inspector
// must not pick one for them, and what is typed then renames nothing.
TEST(LayoutEditorView, TheCurrentLayoutRemovedElsewhereLeavesNoLayoutSelected) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Columns", ZoneGrid::uniform(1, 3)), gridLayout("Main + Sidebar", ZoneGrid::uniform(1, 2)),
                   gridLayout("Rows", ZoneGrid::uniform(3, 1))});
    w.select(1);
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QLineEdit* name = view.inspector()->nameField();
    name->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(name->hasFocus());

    const UUID gone = w.layout(1).id;
    w.zones->setLibrary([&] {
        LayoutLibrary library = w.library();
        library.deleteLayout(gone, Date(2000.0));
        return library;
    }());
    QTest::qWait(20);
    EXPECT_FALSE(w.model->currentLayout());
    EXPECT_EQ(view.title(), "Tessary Layouts");
    EXPECT_EQ(view.layoutList()->currentIndex().row(), -1);
    EXPECT_FALSE(view.previewAction()->isVisible());
    EXPECT_FALSE(view.inspectorAction()->isVisible());
    EXPECT_FALSE(view.inspector()->isVisible());
    EXPECT_FALSE(view.canvasPane()->isVisible()) << "the centre shows No Layout Selected";

    QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : &view;
    QTest::keyClicks(focused, "Z");
    QTest::keyClick(focused, Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : &view, "Z");
    ASSERT_EQ(w.library().layouts.size(), 2u);
    EXPECT_EQ(w.layout(0).name, "Columns");
    EXPECT_EQ(w.layout(1).name, "Rows");
    EXPECT_FALSE(w.model->currentLayout()) << "nothing was picked for the user";

    // A row the user chooses is the current layout again.
    RowListView* list = view.layoutList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(view.title(), "Rows");
    EXPECT_TRUE(view.inspector()->isVisible());
}

TEST(LayoutEditorView, ResetAndDuplicateConfirmedAndCancelled) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Halves", ZoneGrid::uniform(1, 3), ZoneLayout::Origin{LayoutTemplate::columns, 2, std::nullopt})});
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto* reset = view.findChild<QPushButton*>(QString());
    for (QPushButton* b : view.findChildren<QPushButton*>()) {
        if (b->text() == "Reset to Default") reset = b;
    }
    ASSERT_EQ(reset->text(), "Reset to Default");

    for (const bool confirm : {false, true}) {
        w.model->setSelectedZones({1});
        answerNext(view, confirm ? "Reset" : "Cancel");
        reset->click();
        QTest::qWait(30);
        EXPECT_EQ(w.grid(0), confirm ? ZoneGrid::uniform(1, 2) : ZoneGrid::uniform(1, 3));
        EXPECT_EQ(w.model->selectedZones().empty(), confirm);
    }

    for (const bool confirm : {false, true}) {
        answerNext(view, confirm ? "Duplicate" : "Cancel", QString());
        view.duplicateAction()->trigger();
        QTest::qWait(30);
        EXPECT_EQ(w.library().layouts.size(), confirm ? 2u : 1u);
    }
    EXPECT_EQ(w.library().layouts.back().name, "Halves copy") << "an emptied name takes the suggested one";
}

TEST(LayoutEditorView, TheListFollowsItsCurrentRowHoweverTheKeyboardMovesIt) {
    qttest::qtApplication();
    struct Case {
        const char* name;
        std::vector<Qt::Key> keys;  // after a click on "Columns"
        std::size_t shown;
    };
    const Case cases[] = {
        {"downTwice", {Qt::Key_Down, Qt::Key_Down}, 2},
        {"downAndUpAgain", {Qt::Key_Down, Qt::Key_Up}, 0},
        {"end", {Qt::Key_End}, 2},
        {"endThenHome", {Qt::Key_End, Qt::Key_Home}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({gridLayout("Columns", ZoneGrid::uniform(1, 3), ZoneLayout::Origin{LayoutTemplate::columns, 3, std::nullopt}),
                       gridLayout("Rows", ZoneGrid::uniform(3, 1), ZoneLayout::Origin{LayoutTemplate::rows, 3, std::nullopt}),
                       gridLayout("Priority Grid", ZoneGrid::uniform(2, 2), ZoneLayout::Origin{LayoutTemplate::grid, 4, std::nullopt})});
        LayoutEditorView view(*w.model);
        view.resize(1120, 700);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        RowListView* list = view.layoutList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        w.model->setSelectedZones({1});
        for (const Qt::Key key : c.keys) QTest::keyClick(list, key);

        const ZoneLayout shown = w.layout(c.shown);
        EXPECT_EQ(w.model->selectedLayoutID(), shown.id);
        EXPECT_EQ(view.title(), QString::fromStdString(shown.name));
        EXPECT_EQ(view.inspector()->nameField()->text(), QString::fromStdString(shown.name));
        if (c.shown != 0) {
            EXPECT_TRUE(w.model->selectedZones().empty());
        }

        // Reset and Delete act on the layout the list shows.
        auto* reset = view.findChild<QPushButton*>();
        for (QPushButton* b : view.findChildren<QPushButton*>()) {
            if (b->text() == "Reset to Default" && b->isVisible()) reset = b;
        }
        (void)w.model->editGrid([](ZoneGrid& g) -> Expected<void, ZoneEditError> {
            if (auto merged = g.merge({0, 1}); !merged) return unexpected(ZoneEditError(merged.error()));
            return {};
        });
        answerNext(view, "Reset");
        reset->click();
        QTest::qWait(30);
        EXPECT_EQ(w.layout(c.shown).kind, shown.kind) << "the shown layout was reset";
        answerNext(view, "Delete");
        view.deleteAction()->trigger();
        QTest::qWait(30);
        ASSERT_EQ(w.library().layouts.size(), 2u);
        for (const ZoneLayout& kept : w.library().layouts) EXPECT_NE(kept.id, shown.id);
    }
}
