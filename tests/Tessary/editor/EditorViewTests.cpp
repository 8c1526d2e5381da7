#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <memory>

#include "Tessary/editor/ui/CanvasEditorView.h"
#include "Tessary/editor/ui/GridEditorView.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// Saves what the widget shows under the build folder, for a person to look at.
template <typename View>
struct Shown {
    explicit Shown(std::vector<ZoneLayout> layouts, QSize size) : world(std::move(layouts)) {
        qttest::qtApplication();
        view = std::make_unique<View>(*world.model);
        view->resize(size);
        view->show();
        view->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    void press(QPoint p, Qt::KeyboardModifiers keys = {}) { QTest::mousePress(view.get(), Qt::LeftButton, keys, p); }
    void move(QPoint p, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseEvent(QTest::MouseMove, view.get(), Qt::NoButton, keys, p);
    }
    void release(QPoint p) { QTest::mouseRelease(view.get(), Qt::LeftButton, {}, p); }

    EditorWorld world;
    std::unique_ptr<View> view;
};

}  // namespace

TEST(GridEditorView, DraggingAHandleGivesTheWeightsTheModelComputes) {
    // Two columns, spacing 20: the handle is x 198...218 in a 416 x 216 widget.
    Shown<GridEditorView> shown({gridLayout("Two", ZoneGrid::uniform(1, 2), std::nullopt, 0)}, {416, 216});
    shown.world.model->setSpacing(20);
    const DividerMetrics metrics = *shown.view->surface().metrics();
    shown.press({208, 100});
    shown.move({150, 100});
    shown.move({120, 100});
    shown.release({120, 100});
    const double expected = metrics.weightUnits(120 - 8 + 10, ZoneGrid::SplitAxis::vertical);
    EXPECT_NEAR(shown.world.grid(0).columnWeights[0], expected, 1e-9);
    EXPECT_EQ(shown.world.saves(), 3) << "the spacing, then one save per drag step";
}

TEST(GridEditorView, AltPressedMidDragMovesTheWholeLine) {
    // 2 x 2 without gaps in 416 x 416: the column line at x 208 runs in two pieces.
    Shown<GridEditorView> shown({gridLayout("Quarters", ZoneGrid::uniform(2, 2))}, {416, 416});
    shown.press({208, 100});
    shown.move({211, 100});  // within snapping distance of the lower piece: nothing moves apart
    shown.move({308, 100}, Qt::AltModifier);
    shown.release({308, 100});
    EXPECT_EQ(shown.world.grid(0), madeGrid({1, 1}, {1.5, 0.5}, {{0, 1}, {2, 3}}));
}

TEST(GridEditorView, ADragStartingInsideAZoneChangesNothingAndAClickSelects) {
    Shown<GridEditorView> shown({gridLayout("Two", ZoneGrid::uniform(1, 2))}, {416, 216});
    shown.press({100, 100});
    shown.move({180, 100});
    shown.move({300, 100});
    shown.release({300, 100});
    EXPECT_EQ(shown.world.grid(0), ZoneGrid::uniform(1, 2));
    EXPECT_EQ(shown.world.saves(), 0);
    EXPECT_TRUE(shown.world.model->selectedZones().empty());
    QTest::mouseClick(shown.view.get(), Qt::LeftButton, {}, QPoint(300, 100));
    EXPECT_EQ(shown.world.model->selectedZones(), (std::set<std::int64_t>{1}));
}

TEST(GridEditorView, ADragWhoseReleaseNeverCameEndsWhenHiddenOrAtAButtonlessMove) {
    struct Case {
        const char* name;
        std::function<void(Shown<GridEditorView>&)> interrupt;
    };
    const Case cases[] = {
        {"hiddenMidDrag", [](Shown<GridEditorView>& s) { s.view->hide(); s.view->show(); }},
        {"aMoveWithoutTheButton", [](Shown<GridEditorView>& s) {
             QMouseEvent hover(QEvent::MouseMove, QPointF(300, 100), QPointF(300, 100), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
             QApplication::sendEvent(s.view.get(), &hover);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shown<GridEditorView> shown({gridLayout("Two", ZoneGrid::uniform(1, 2))}, {416, 216});
        shown.press({208, 100});
        shown.move({150, 100});
        c.interrupt(shown);
        EXPECT_FALSE(shown.view->surface().dragged().has_value());
        shown.release({150, 100});  // the test's own button state
    }
}

TEST(GridEditorView, Screenshot) {
    Shown<GridEditorView> shown({gridLayout("Priority", madeGrid({1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}), std::nullopt, 8)},
                                {816, 500});
    shown.view->setWorkArea(Rect(0, 0, 1920, 1050));
    shown.world.model->setSelectedZones({1});
    qttest::screenshot(*shown.view, "editor-render", "grid-editor");
}

TEST(CanvasEditorView, AZoneIsMovedAndResized) {
    // A 1000 x 500 canvas at scale 1 from (8, 8); zone 0 is (0, 0, 400, 300).
    Shown<CanvasEditorView> shown({canvasLayout("C", {1000, 500}, {Rect(0, 0, 400, 300), Rect(300, 200, 400, 300)})},
                                  {1016, 516});
    shown.press({100, 100});
    shown.move({140, 110});
    shown.move({160, 130});
    shown.release({160, 130});
    EXPECT_EQ(shown.world.canvas(0).zones[0], Rect(60, 30, 400, 300));
    EXPECT_EQ(shown.world.model->selectedZones(), (std::set<std::int64_t>{0}));

    // Zone 1's handle sits at its bottom-right corner (700, 500) in the widget.
    shown.press({700, 500});
    shown.move({650, 450});
    shown.release({650, 450});
    EXPECT_EQ(shown.world.canvas(0).zones[1], Rect(300, 200, 350, 250));
    EXPECT_EQ(shown.world.model->selectedZones(), (std::set<std::int64_t>{0})) << "a resize keeps the selection";
}

TEST(CanvasEditorView, DeleteAsksOnTheWindowAndDeletesOnConfirmation) {
    Shown<CanvasEditorView> shown({canvasLayout("C", {1000, 500}, {Rect(0, 0, 400, 300), Rect(300, 200, 400, 300)})},
                                  {1016, 516});
    ASSERT_TRUE(QTest::qWaitForWindowActive(shown.view.get()));
    shown.view->setFocus();
    QTest::keyClick(shown.view.get(), Qt::Key_Delete);
    EXPECT_EQ(shown.view->findChild<QMessageBox*>(), nullptr) << "nothing selected: no alert";

    shown.world.model->setSelectedZones({0});
    QTest::keyClick(shown.view.get(), Qt::Key_Backspace);
    auto* box = shown.view->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Delete the selected zones?");
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == "Delete") button->click();
    }
    EXPECT_EQ(shown.world.canvas(0).zones, std::vector<Rect>{Rect(300, 200, 400, 300)});
    EXPECT_TRUE(shown.world.model->selectedZones().empty());
}

TEST(CanvasEditorView, TheCrosshairIsTheWidgetsOwnCursor) {
    Shown<CanvasEditorView> shown({canvasLayout("C", {1000, 500}, {Rect(0, 0, 400, 300)})}, {1016, 516});
    QMouseEvent over(QEvent::MouseMove, QPointF(400, 300), QPointF(400, 300), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(shown.view.get(), &over);
    EXPECT_EQ(shown.view->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(shown.view.get(), &leave);
    EXPECT_EQ(shown.view->cursor().shape(), Qt::ArrowCursor);
}

TEST(CanvasEditorView, Screenshot) {
    Shown<CanvasEditorView> shown({canvasLayout("Overlap", {1920, 1080},
                                                {Rect(0, 0, 1100, 1080), Rect(820, 0, 1100, 700), Rect(700, 420, 700, 520)})},
                                  {816, 400});
    shown.world.model->setSelectedZones({2});
    qttest::screenshot(*shown.view, "editor-render", "canvas-editor");
}
