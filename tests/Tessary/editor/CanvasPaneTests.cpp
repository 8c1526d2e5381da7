#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <limits>

#include "Tessary/editor/LayoutCanvasPaneModel.h"
#include "Tessary/editor/ui/GridEditorView.h"
#include "Tessary/editor/ui/LayoutCanvasPane.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;
using ID = LayoutCanvasPaneModel::CommandID;

namespace {

struct Pane {
    explicit Pane(std::vector<ZoneLayout> layouts) : world(std::move(layouts)) {}
    std::vector<bool> enabled() const {
        std::vector<bool> out;
        for (const auto& c : pane.commands()) out.push_back(c.enabled);
        return out;
    }
    EditorWorld world;
    RecordingConfirm alert;
    LayoutCanvasPaneModel pane{*world.model, alert.confirm()};
};

const ZoneLayout grid23 = gridLayout("G", ZoneGrid::uniform(2, 3));
const ZoneLayout canvas = canvasLayout("C", {1920, 1080}, {Rect(0, 0, 960, 540), Rect(960, 0, 960, 540)});

}  // namespace

TEST(LayoutCanvasPaneModel, TheSurfaceKeepsItsTargetsProportions) {
    struct Case {
        const char* name;
        ZoneLayout layout;
        bool displays;
        Size available;
        Size expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"a1.6SurfaceFillsTheHeight", grid23, false, {700, 400}, {640, 400}},
        {"a1.6SurfaceFillsTheWidth", grid23, false, {500, 400}, {500, 312.5}},
        {"aTinyAreaStillGets100Points", grid23, false, {60, 50}, {100, 62.5}},
        {"aGridTakesTheReferenceWorkArea", grid23, true, {700, 400}, {500, 400}},
        {"aCanvasTakesItsReferenceSize", canvas, true, {1600, 450}, {800, 450}},
        {"aZeroCanvasHeightTakesTheWorkArea", canvasLayout("Z", {1920, 0}, {}), true, {700, 400}, {500, 400}},
        {"aNegativeCanvasWidthTakesTheWorkArea", canvasLayout("N", {-1920, 1080}, {}), true, {700, 400}, {500, 400}},
        {"anInfiniteCanvasWidthWithoutDisplayTakes1.6", canvasLayout("I", {inf, 1080}, {}), false, {700, 400}, {640, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pane p({c.layout});
        if (!c.displays) DisplayProvider::displaysOverride = std::vector<DisplayInfo>{};
        const Size size = p.pane.surfaceSize(c.available);
        EXPECT_DOUBLE_EQ(size.width, c.expected.width);
        EXPECT_DOUBLE_EQ(size.height, c.expected.height);
    }
}

TEST(LayoutCanvasPaneModel, CommandsHelpAndSizeLines) {
    struct Case {
        const char* name;
        ZoneLayout layout;
        std::set<std::int64_t> selected;
        std::optional<std::string> error;
        std::vector<bool> enabled;
        std::string help;
        bool isError;
    };
    const std::string gridHelp = "Click zones to select them; drag the lines between zones to resize. Start a drag, then hold Alt to move a whole line.";
    const std::string canvasHelp = "Drag zones to move them, drag the corner handle to resize. Zones may overlap.";
    const Case cases[] = {
        {"aGridWithNothingSelected", grid23, {}, std::nullopt, {false, false, false}, gridHelp, false},
        {"aGridWithOneZoneSelected", grid23, {1}, std::nullopt, {false, true, true}, "1 selected", false},
        {"aGridWithTwoZonesSelected", grid23, {1, 2}, std::nullopt, {true, false, false}, "2 selected", false},
        {"aRejectedEditInRed", grid23, {1, 2}, "mergeNotRectangular", {true, false, false}, "mergeNotRectangular", true},
        {"aCanvasWithNothingSelected", canvas, {}, std::nullopt, {true, false}, canvasHelp, false},
        {"aCanvasWithAZoneSelected", canvas, {0}, std::nullopt, {true, true}, canvasHelp, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pane p({c.layout});
        p.world.model->setSelectedZones(c.selected);
        p.world.model->setErrorMessage(c.error);
        EXPECT_EQ(p.enabled(), c.enabled);
        EXPECT_EQ(p.pane.helpLine(), (LayoutCanvasPaneModel::HelpLine{c.help, c.isError}));
    }

    Pane p({grid23});
    EXPECT_EQ(p.pane.sizeLine(), "Sizes shown for MAIN, 1000 \u00d7 800 px");
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{makeDisplay(1, "WIDE", Rect(0, 0, 1920, 1080), Rect(0, 0, 1919.7, 1049.9))};
    EXPECT_EQ(p.pane.sizeLine(), "Sizes shown for WIDE, 1919 \u00d7 1049 px") << "cut, not rounded";
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{};
    EXPECT_EQ(p.pane.sizeLine(), "No display");
    EXPECT_FALSE(p.pane.showsPicker());
    EXPECT_EQ(p.pane.pickerValue(), 0u);
}

TEST(LayoutCanvasPaneModel, ThePickerMovesThePreviewOrTheSizeReference) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> preview;
        std::optional<std::uint32_t> previewAfter;
        std::optional<std::uint32_t> referenceAfter;
    };
    const Case cases[] = {
        {"withoutPreviewTheSizeReference", std::nullopt, std::nullopt, 2},
        {"duringAPreviewThePreviewMoves", 1, 2, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pane p({grid23});
        p.world.model->setPreviewDisplayID(c.preview);
        EXPECT_TRUE(p.pane.showsPicker());
        EXPECT_EQ(p.pane.pickerValue(), 1u);
        p.pane.choose(2);
        EXPECT_EQ(p.world.model->previewDisplayID(), c.previewAfter);
        EXPECT_EQ(p.world.model->sizeReferenceDisplayID(), c.referenceAfter);
        EXPECT_EQ(p.pane.pickerValue(), 2u);
        EXPECT_EQ(p.pane.sizeLine(), "Sizes shown for SIDE, 800 \u00d7 600 px");
    }
}

TEST(LayoutCanvasPaneModel, DeleteSelectedAsksFirst) {
    Pane p({canvas});
    p.world.model->setSelectedZones({1});
    p.pane.perform(ID::deleteSelected);
    EXPECT_THAT(p.alert.asked, ElementsAre(ConfirmRequest{"Delete the selected zones?", "This cannot be undone.", "Delete"}));
    EXPECT_EQ(p.world.canvas(0).zones.size(), 2u);
    p.pane.perform(ID::addZone);
    EXPECT_EQ(p.world.canvas(0).zones.size(), 3u);
}

TEST(LayoutCanvasPane, CompactRowAndScreenshot) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Priority", madeGrid({1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}), std::nullopt, 8), canvas});
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(0, 0, 0, 0);
    auto* pane = new LayoutCanvasPane(*w.model, &window);
    auto* inspector = new LayoutInspector(*w.model, &window);
    inspector->setFixedWidth(260);
    row->addWidget(pane, 1);
    row->addWidget(inspector);
    window.resize(888, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    w.model->setSelectedZones({1});
    qttest::screenshot(window, "editor-render", "grid-with-inspector");
    EXPECT_NEAR(pane->surfaceRect().width() / double(pane->surfaceRect().height()), 1.25, 0.01) << "the main work area's shape";
    EXPECT_EQ(pane->sizePicker()->currentText(), "MAIN");

    auto* split = qobject_cast<QToolButton*>(pane->commandButtons().at(1));
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    window.resize(560, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(split->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(pane->commandButtons().at(0)->text(), "Merge");

    w.select(1);
    window.resize(888, 600);
    QCoreApplication::processEvents();
    qttest::screenshot(window, "editor-render", "canvas-with-inspector");
    EXPECT_EQ(pane->commandButtons().at(0)->text(), "Add Zone");
}
