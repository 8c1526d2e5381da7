// The editor as a user reads and moves it: names shown as typed, menu texts with "&", sliders that
// step in whole points and store only changes, the centre column following the displays, and the
// end-to-end query that reports where its controls are.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

#include <functional>
#include <set>
#include <sstream>

#include "Platform/Sim/SimScreens.h"
#include "Tessary/editor/ui/CanvasEditorView.h"
#include "Tessary/editor/ui/EditorTestQuery.h"
#include "Tessary/editor/ui/LayoutCanvasPane.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "Tessary/editor/ui/ResetButton.h"
#include "Tessary/editor/ui/EditorPainting.h"
#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/RowListView.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// Every label under `root` that shows `text`, whole or cut with "…".
std::vector<QLabel*> labelsShowing(const QWidget& root, const QString& text) {
    std::vector<QLabel*> found;
    for (QLabel* label : root.findChildren<QLabel*>()) {
        QString shown = label->text();
        if (shown.endsWith(QChar(0x2026))) shown.chop(1);
        if (!shown.isEmpty() && (label->text().contains(text) || text.startsWith(shown))) found.push_back(label);
    }
    return found;
}

// Whether the row of the layout list draws `text`, whole or cut with "…", as its name or subtitle.
bool rowShows(const LayoutEditorView& view, int row, const QString& text) {
    const ShownRow shown = view.layoutList()->shownRow(row);
    for (QString line : {shown.title, shown.subtitle}) {
        if (line.endsWith(QChar(0x2026))) line.chop(1);
        if (!line.isEmpty() && (line.contains(text) || text.startsWith(line))) return true;
    }
    return false;
}

// What a menu item or button shows: "&&" is one "&", a lone "&" marks a shortcut letter and vanishes.
bool marksAShortcutLetter(const QString& text) { return !QKeySequence::mnemonic(text).isEmpty(); }

// The preview goes nowhere: these tests look at the window, not the overlay.
struct NoPreview final : PreviewPresenting {
    void showPreview(const std::vector<OverlayItem>&) override {}
    void hidePreview() override {}
};

// Installs made-up monitors as the program's screens for one test.
struct InstalledScreens {
    explicit InstalledScreens(std::vector<Screen> list) : screens(std::move(list)) {
        DisplayProvider::displaysOverride.reset();
        DisplayProvider::setScreens(&screens);
    }
    ~InstalledScreens() { DisplayProvider::setScreens(nullptr); }
    SimScreens screens;
};

}  // namespace

TEST(EditorTexts, NamesShowAsTypedAndMenuTitlesKeepTheirAmpersands) {
    qttest::qtApplication();
    const QString markup = QStringLiteral("<b>Bold</b> & co");
    EditorWorld w({gridLayout(markup.toStdString(), ZoneGrid::uniform(1, 2)), gridLayout("Other", ZoneGrid::uniform(1, 3))});
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{
        makeDisplay(1, "<i>Left</i> & right", Rect(0, 0, 1000, 800)), w.side};
    w.model->assign(DisplayProvider::displays().front());
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    EXPECT_EQ(view.title(), markup);
    for (const QString& name : {markup, QStringLiteral("<i>Left</i> & right")}) {
        SCOPED_TRACE(name.toStdString());
        const auto labels = labelsShowing(view, name);
        // The layout list draws its rows' texts itself, never as markup.
        EXPECT_TRUE(!labels.empty() || rowShows(view, 0, name) || rowShows(view, 1, name)) << "the name is shown somewhere";
        for (const QLabel* label : labels) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString() << " would read as markup";
        }
    }
    for (const QCheckBox* toggle : view.inspector()->displayToggles()) {
        EXPECT_FALSE(marksAShortcutLetter(toggle->text())) << toggle->text().toStdString();
    }

    // The reset menu of a layout without origin: every title as written, "Focus & media" included.
    const auto* reset = view.findChild<ResetButton*>();
    ASSERT_NE(reset, nullptr);
    QStringList shown;
    std::function<void(const QMenu*)> walk = [&](const QMenu* menu) {
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            EXPECT_FALSE(marksAShortcutLetter(action->text())) << action->text().toStdString();
            shown << QString(action->text()).replace(QStringLiteral("&&"), QStringLiteral("&"));
            if (action->menu()) walk(action->menu());
        }
    };
    walk(reset->templateMenu());
    EXPECT_TRUE(shown.contains(QStringLiteral("Focus & media"))) << shown.join(", ").toStdString();
}

TEST(EditorTexts, LongNamesAreCutWithAnEllipsisInsideTheListAndTheNewLayoutSheetOpensAtItsChoice) {
    qttest::qtApplication();
    const std::string longName = "A layout with a name far longer than the list is wide, for the big monitor";
    EditorWorld w({gridLayout(longName, ZoneGrid::uniform(1, 2))});
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();

    RowListView* list = view.layoutList();
    const ShownRow row = list->shownRow(0);
    ASSERT_TRUE(rowShows(view, 0, QString::fromStdString(longName)));
    EXPECT_TRUE(row.title.endsWith(QChar(0x2026))) << row.title.toStdString();
    EXPECT_TRUE(row.titleCut);
    EXPECT_TRUE(list->viewport()->rect().contains(row.titleRect)) << "the name ends inside the list";
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    qttest::screenshot(view, "editor-render", "editor-long-name");

    // The sheet, scrolled to its end and closed, opens again at the top with the Columns tile in view.
    NewLayoutSheet* sheet = view.newLayoutSheet();
    view.newAction()->trigger();
    ASSERT_TRUE(sheet->isVisible());
    QCoreApplication::processEvents();
    sheet->gallery()->verticalScrollBar()->setValue(sheet->gallery()->verticalScrollBar()->maximum());
    ASSERT_GT(sheet->gallery()->verticalScrollBar()->value(), 0);
    sheet->reject();
    view.newAction()->trigger();
    QCoreApplication::processEvents();
    QAbstractButton* chosen = nullptr;
    for (QAbstractButton* tile : sheet->tiles()) {
        if (tile->isChecked() && !chosen) chosen = tile;
    }
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->accessibleName(), "Columns");
    const QRect inViewport(chosen->mapTo(sheet->gallery()->viewport(), QPoint(0, 0)), chosen->size());
    EXPECT_TRUE(sheet->gallery()->viewport()->rect().contains(inViewport)) << "the chosen tile is in view";
    qttest::screenshot(*sheet, "editor-render", "new-layout-sheet-reopened");
    for (QAbstractButton* tile : sheet->tiles()) {
        for (const QLabel* label : tile->findChildren<QLabel*>()) {
            if (label->wordWrap()) continue;  // subtitles wrap onto more lines
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width() + 1)
                << "\"" << label->text().toStdString() << "\" is cut without an ellipsis";
        }
    }
    sheet->reject();
}

// Two monitors with long product names (as `xrandr --setmonitor` names them): in the window's own
// size the help line under the surface shows every line it wraps onto, in the pane, whichever
// layout is chosen; the picker and the size line give way. The inspector cuts the names of its
// toggles with "…" inside its column and reads them out whole.
TEST(EditorTexts, LongDisplayNamesLeaveTheHelpLineWholeAndAreCutWithAnEllipsisInTheInspector) {
    qttest::qtApplication();
    const auto fromTemplate = [](LayoutTemplate made, std::int64_t zones) {
        return ZoneLayout(UUID::random(), std::string(made.displayName()), made.kind(zones), 8, 8,
                          ZoneLayout::Origin{made, zones, std::nullopt}, Date(0));
    };
    EditorWorld w({fromTemplate(LayoutTemplate::focus, 3), fromTemplate(LayoutTemplate::blank, 0),
                   fromTemplate(LayoutTemplate::grid, 4)});
    const QString names[] = {QStringLiteral("Left-Display-With-A-Remarkably-Long-Product-Name-Here"),
                             QStringLiteral("Right-Display-With-Another-Remarkably-Long-Product-Name")};
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{
        makeDisplay(1, names[0].toStdString(), Rect(0, 0, 1920, 1080)),
        makeDisplay(2, names[1].toStdString(), Rect(1920, 0, 1920, 1080))};
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    LayoutCanvasPane* pane = view.canvasPane();

    const struct {
        const char* name;
        std::size_t layout;
        std::set<std::int64_t> selected;
    } cases[] = {{"Focus", 0, {}}, {"Blank", 1, {}}, {"Grid with two zones selected", 2, {0, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w.select(c.layout);
        w.model->setSelectedZones(c.selected);
        QCoreApplication::processEvents();
        const QLabel* help = pane->helpLabel();
        const QLabel* size = pane->sizeLabel();
        ASSERT_FALSE(help->text().isEmpty());
        EXPECT_GE(help->height(), help->heightForWidth(help->width())) << "a line of the help is cut";
        EXPECT_GE(help->width(), pane->width() / 2) << "the help is squeezed into a narrow column";
        const QRect helpInPane(help->mapTo(pane, QPoint(0, 0)), help->size());
        const QRect sizeInPane(size->mapTo(pane, QPoint(0, 0)), size->size());
        const QRect pickerInPane(pane->sizePicker()->mapTo(pane, QPoint(0, 0)), pane->sizePicker()->size());
        for (const QRect& part : {helpInPane, sizeInPane, pickerInPane}) {
            EXPECT_TRUE(pane->rect().contains(part)) << "outside the pane";
        }
        EXPECT_FALSE(helpInPane.intersects(sizeInPane)) << "the size line covers the help";
        EXPECT_FALSE(helpInPane.intersects(pickerInPane)) << "the picker covers the help";
    }
    qttest::screenshot(view, "editor-render", "editor-long-display-names");
    EXPECT_EQ(pane->sizePicker()->toolTip(), pane->sizePicker()->currentText()) << "the name the picker cuts";

    LayoutInspector* inspector = view.inspector();
    ASSERT_EQ(inspector->displayToggles().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const QCheckBox* toggle = inspector->displayToggles()[i];
        EXPECT_TRUE(toggle->text().endsWith(QChar(0x2026))) << toggle->text().toStdString();
        EXPECT_TRUE(names[i].startsWith(toggle->text().chopped(1)));
        EXPECT_LE(toggle->mapTo(inspector, QPoint(toggle->width(), 0)).x(), inspector->width()) << "past the column";
        QStyleOptionButton option;
        option.initFrom(toggle);
        const QRect label = toggle->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, toggle);
        EXPECT_LE(toggle->fontMetrics().horizontalAdvance(toggle->text()), label.width()) << "cut at the edge";
        EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QCheckBox*>(toggle))->text(QAccessible::Name), names[i]);
        EXPECT_EQ(toggle->toolTip(), names[i]);
    }
}

TEST(LayoutInspector, GapSlidersStepInWholePointsAndStoreOnlyChanges) {
    qttest::qtApplication();
    enum class Input { right, pageUp, wheelUp, trackClickRight, storedValueAgain };
    struct Case {
        const char* name;
        double stored;
        Input input;
        double expected;  // what is stored after; equal to `stored`: nothing written
    };
    const Case cases[] = {
        {"anArrowKeyIsOnePoint", 8, Input::right, 9},
        {"pageUpIsFourPoints", 8, Input::pageUp, 12},
        {"aWheelNotchMovesWholePoints", 8, Input::wheelUp, 11},
        {"aTrackClickIsFourPoints", 8, Input::trackClickRight, 12},
        {"aStoredFractionMovesToTheNextWholePoint", 7.6, Input::right, 9},
        // A slider never reports the value it shows; the model is the last guard (another caller,
        // a position rounding to the stored value).
        {"theStoredValueAgainWritesNothing", 8, Input::storedValueAgain, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZoneLayout layout = gridLayout("Gaps", ZoneGrid::uniform(1, 2));
        layout.spacing = c.stored;
        EditorWorld w({layout});
        w.now = Date(5000);
        LayoutInspector inspector(*w.model);
        inspector.resize(260, 500);
        inspector.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&inspector));
        QSlider* slider = inspector.spacingSlider();
        slider->setFocus();
        switch (c.input) {
            case Input::right: QTest::keyClick(slider, Qt::Key_Right); break;
            case Input::pageUp: QTest::keyClick(slider, Qt::Key_PageUp); break;
            case Input::wheelUp: {
                const QPointF at = QRectF(slider->rect()).center();
                QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(slider, &wheel);
                break;
            }
            case Input::trackClickRight:
                QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
                break;
            case Input::storedValueAgain: w.model->setSpacing(c.stored); break;
        }
        EXPECT_EQ(w.layout(0).spacing, c.expected);
        if (c.expected == c.stored) {
            EXPECT_EQ(w.saves(), 0) << "nothing written";
            EXPECT_EQ(w.layout(0).modifiedAt(), Date(0)) << "the stamp stays";
        } else {
            EXPECT_EQ(w.saves(), 1);
            EXPECT_EQ(w.layout(0).modifiedAt(), Date(5000));
        }
    }
}

TEST(LayoutEditorView, TheCentreColumnAndTheListFollowTheDisplaysAtOnce) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Halves", ZoneGrid::uniform(1, 2))});
    InstalledScreens installed({SimScreens::makeScreen(1, Rect(0, 0, 1920, 1080), "DP-1"),
                                SimScreens::makeScreen(2, Rect(1920, 0, 1920, 1080), "DP-2")});
    w.model->assign(DisplayProvider::displays().at(1));
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    LayoutCanvasPane* pane = view.canvasPane();
    const auto ratio = [&] { return double(pane->surfaceRect().width()) / pane->surfaceRect().height(); };
    ASSERT_TRUE(pane->sizePicker()->isVisibleTo(&view));
    EXPECT_EQ(pane->sizeLabel()->text(), "Sizes shown for DP-2, 1920 \u00d7 1080 px");
    EXPECT_NEAR(ratio(), 16.0 / 9, 0.02);
    EXPECT_TRUE(rowShows(view, 0, "DP-2")) << "the row names the display that uses it";

    // The right monitor goes; the left one becomes a wide one.
    installed.screens.setScreens({SimScreens::makeScreen(1, Rect(0, 0, 3840, 1080), "DP-1")});
    EXPECT_FALSE(pane->sizePicker()->isVisibleTo(&view)) << "one display: no picker";
    EXPECT_EQ(pane->sizeLabel()->text(), "Sizes shown for DP-1, 3840 \u00d7 1080 px");
    EXPECT_NEAR(ratio(), 3840.0 / 1080, 0.05);
    EXPECT_FALSE(rowShows(view, 0, "DP-2"));

    installed.screens.setScreens({SimScreens::makeScreen(1, Rect(0, 0, 1920, 1080), "DP-1"),
                                  SimScreens::makeScreen(2, Rect(1920, 0, 1920, 1080), "DP-2")});
    EXPECT_TRUE(pane->sizePicker()->isVisibleTo(&view)) << "two displays again: the picker is back";
    EXPECT_EQ(pane->sizePicker()->count(), 2);
    EXPECT_NEAR(ratio(), 16.0 / 9, 0.02);
}

TEST(EditorTestQuery, ReportsTheZoneNamedAndPopUpItemsWithinTheirPopUp) {
    qttest::qtApplication();
    EditorWorld w({canvasLayout("Free", {1000, 800}, {Rect(0, 0, 500, 800), Rect(500, 0, 500, 400), Rect(500, 400, 500, 400)})});
    NoPreview overlay;
    LayoutEditorWindowController editor(*w.zones, overlay, w.scheduler);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.window()));
    const auto reported = [&](const std::string& name) -> std::optional<QRect> {
        const InstanceReply reply = EditorTestQuery::answer(&editor, {"rect", name});
        if (reply.status != 0) return std::nullopt;
        int x, y, width, height;
        std::istringstream(reply.text) >> x >> y >> width >> height;
        return QRect(x, y, width, height);
    };

    const CanvasEditorView* canvas = editor.view()->canvasPane()->canvasEditor();
    const auto views = canvas->surface().zoneViews();
    ASSERT_EQ(views.size(), 3u);
    for (std::size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(i);
        const QRect frame = editorpainting::toQt(views[i].frame).toAlignedRect();
        EXPECT_EQ(reported("zone " + std::to_string(i + 1)), QRect(canvas->mapToGlobal(frame.topLeft()), frame.size()));
    }
    EXPECT_EQ(reported("zone 4"), std::nullopt);

    QComboBox* picker = editor.view()->canvasPane()->sizePicker();
    picker->showPopup();
    QWidget* popup = picker->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const auto item = reported(w.side.localizedName);
    ASSERT_TRUE(item.has_value());
    EXPECT_TRUE(popup->frameGeometry().contains(*item)) << "the item lies inside its pop-up";
    picker->hidePopup();
}

namespace {

// The height of each row of the layout list, as the list lays it out.
std::vector<int> rowHeights(const LayoutEditorView& view) {
    std::vector<int> heights;
    const RowListView* list = view.layoutList();
    for (int row = 0; row < list->count(); ++row) heights.push_back(list->visualRect(list->model()->index(row, 0)).height());
    return heights;
}

}  // namespace

// Every row of the layout list is as tall as the others, before and after a divider drag and a
// layout applied to a display, however long its subtitle.
TEST(LayoutEditorView, TheListsRowsKeepOneHeight) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Halves", ZoneGrid::uniform(1, 2)), gridLayout("Thirds", ZoneGrid::uniform(1, 3)),
                   gridLayout("Quarters", ZoneGrid::uniform(2, 2))});
    InstalledScreens installed({SimScreens::makeScreen(1, Rect(0, 0, 1920, 1080), "Left Monitor of the Desk"),
                                SimScreens::makeScreen(2, Rect(1920, 0, 1920, 1080), "Right Monitor of the Desk")});
    LayoutEditorView view(*w.model);
    view.resize(1120, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const std::vector<int> before = rowHeights(view);
    ASSERT_EQ(before.size(), 3u);
    EXPECT_THAT(before, ::testing::Each(before.front()));

    const auto divider = w.grid(0).dividers().front();
    (void)w.model->editGrid([&](ZoneGrid& g) -> Expected<void, ZoneEditError> {
        if (auto moved = ZoneEdits::moveDivider(g, divider, 0.6, 0.01, false); !moved) return unexpected(moved.error());
        return {};
    });
    QTest::qWait(20);
    EXPECT_EQ(rowHeights(view), before) << "after a divider drag";

    w.select(1);
    w.model->assign(DisplayProvider::displays().at(0));
    w.model->assign(DisplayProvider::displays().at(1));
    QTest::qWait(20);
    EXPECT_EQ(rowHeights(view), before) << "after the layout was applied to both displays";
    // Its subtitle names both displays in at most two lines, cut where they do not fit.
    const QString subtitle = "3 zones \u00B7 Left Monitor of the Desk \u00B7 Right Monitor of the Desk";
    ASSERT_EQ(view.layoutList()->rows()->rowAt(1).subtitle, subtitle);
    const ShownRow shown = view.layoutList()->shownRow(1);
    EXPECT_LE(shown.subtitle.count('\n'), 1) << shown.subtitle.toStdString();
    EXPECT_TRUE(shown.subtitleRect.bottom() <= shown.rect.bottom()) << "the two lines lie within the row";
    // A cut subtitle shows whole in its tool tip.
    QHelpEvent help(QEvent::ToolTip, shown.subtitleRect.center(), view.layoutList()->viewport()->mapToGlobal(shown.subtitleRect.center()));
    QCoreApplication::sendEvent(view.layoutList()->viewport(), &help);
    EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), shown.subtitleCut ? subtitle : QString());
    QToolTip::hideText();
    qttest::screenshot(view, "editor-render", "editor-list-rows");
}
