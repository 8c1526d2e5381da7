#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "Tessary/editor/CanvasEditorModel.h"
#include "Tessary/editor/GridEditorModel.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Axis = ZoneGrid::SplitAxis;

namespace {

struct Step {
    enum Kind { press, move, release, cancel } kind;
    Point point;
    bool alt = false;
};

// Plays the pointer steps on either surface; only the grid's hear whether Alt is held.
template <typename Surface>
void play(Surface& surface, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        switch (s.kind) {
        case Step::press: surface.press(s.point); break;
        case Step::move:
            if constexpr (std::is_same_v<Surface, GridEditorModel>) surface.moveTo(s.point, s.alt);
            else surface.moveTo(s.point);
            break;
        case Step::release: surface.release(s.point); break;
        case Step::cancel: surface.cancelDrag(); break;
        }
    }
}

Step press(double x, double y) { return {Step::press, {x, y}}; }
Step move(double x, double y, bool alt = false) { return {Step::move, {x, y}, alt}; }
Step release(double x, double y) { return {Step::release, {x, y}}; }
std::vector<Step> click(double x, double y) { return {press(x, y), release(x, y)}; }

// A grid surface of 416 x 216 points: the drawing area is (8, 8, 400, 200).
struct GridSurface {
    explicit GridSurface(ZoneGrid grid, double spacing = 0, double padding = 0, Size size = {416, 216})
        : world({ZoneLayout(UUID::random(), "G", LayoutKind(std::move(grid)), spacing, padding, std::nullopt, Date(0)),
                 gridLayout("Other", ZoneGrid::uniform(1, 2))}) {
        surface.setSize(size);
    }
    Rect zone(std::int64_t index) const { return surface.cells().at(static_cast<std::size_t>(index)).zone.rect; }

    EditorWorld world;
    GridEditorModel surface{*world.model};
};

}  // namespace

TEST(GridEditorModel, HandlesFillTheGapOrAreTwelvePointsThick) {
    struct Case {
        const char* name;
        double spacing;
        double padding;
        Rect handle;
    };
    const Case cases[] = {
        {"spacing0IsCentredOnTheSharedEdge", 0, 0, Rect(202, 8, 12, 200)},
        {"spacing20FillsTheGap", 20, 0, Rect(198, 8, 20, 200)},
        {"paddingShrinksTheInnerArea", 0, 10, Rect(202, 18, 12, 180)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridSurface g(ZoneGrid::uniform(1, 2), c.spacing, c.padding);
        ASSERT_EQ(g.surface.handles().size(), 1u);
        EXPECT_EQ(g.surface.handles()[0], c.handle);
        if (c.spacing == 20) {
            EXPECT_EQ(g.zone(0).maxX(), c.handle.minX());
            EXPECT_EQ(g.zone(1).minX(), c.handle.maxX());
        }
    }
}

TEST(GridEditorModel, WhereDividersCrossTheNearerCentreWinsAndATieGoesToTheRow) {
    struct Case {
        const char* name;
        Point p;
        std::optional<Axis> axis;
        std::int64_t track;
    };
    const Case cases[] = {
        {"nearerToTheColumnLine", {210, 205}, Axis::vertical, 0},
        {"nearerToTheRowLine", {205, 209}, Axis::horizontal, 0},
        {"equallyNearGoesToTheRow", {206, 206}, Axis::horizontal, 0},
        {"insideAZoneIsNoDivider", {100, 100}, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridSurface g(ZoneGrid::uniform(2, 2), 0, 0, {416, 416});
        const auto found = g.surface.segment(c.p);
        ASSERT_EQ(found.has_value(), c.axis.has_value());
        if (found) {
            EXPECT_EQ(found->axis, *c.axis);
            EXPECT_EQ(found->tracks.lowerBound, c.track);
        }
    }
}

TEST(GridEditorModel, PointerInput) {
    // Two columns with a 20-point gap: zone 0 is x 8...198, the handle 198...218, zone 1 218...408.
    struct Case {
        const char* name;
        std::set<std::int64_t> selectedBefore;
        std::vector<Step> steps;
        std::set<std::int64_t> selectedAfter;
        int saves;
        std::optional<double> firstWeight;  // after; nothing = unchanged (1)
    };
    const Case cases[] = {
        {"aClickInAZoneAddsIt", {1}, click(100, 100), {0, 1}, 0, std::nullopt},
        {"aClickInASelectedZoneRemovesIt", {0, 1}, click(100, 100), {1}, 0, std::nullopt},
        {"aHalfPointWobbleIsStillAClick", {}, {press(100, 100), move(100.5, 100), release(100.5, 100)}, {0}, 0, std::nullopt},
        {"aClickInTheMarginEmptiesTheSelection", {0, 1}, click(3, 100), {}, 0, std::nullopt},
        {"aClickOnAHandleChangesNothing", {0}, click(208, 100), {0}, 0, std::nullopt},
        {"aDragFromTheHandleSavesEachStep", {0}, {press(208, 100), move(158, 100), move(108, 100), release(108, 100)}, {0}, 2,
         110.0 * 2 / 420},
        {"towardsTheEdgeStopsAt4Percent", {}, {press(208, 100), move(0, 100), release(0, 100)}, {}, 1, 0.08},
        {"aDragStartingInAZoneChangesNothing", {1}, {press(100, 100), move(150, 100), move(300, 100), release(300, 100)}, {1}, 0,
         std::nullopt},
        {"aPressAlwaysStartsAfresh", {}, {press(208, 100), move(158, 100), press(100, 100), move(300, 100), release(300, 100)}, {}, 1,
         160.0 * 2 / 420},
        {"aLostGrabEndsTheDrag", {}, {press(208, 100), move(158, 100), {Step::cancel, {}}, move(300, 100)}, {}, 1, 160.0 * 2 / 420},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridSurface g(ZoneGrid::uniform(1, 2), 20);
        g.world.model->setSelectedZones(c.selectedBefore);
        play(g.surface, c.steps);
        EXPECT_EQ(g.world.model->selectedZones(), c.selectedAfter);
        EXPECT_EQ(g.world.saves(), c.saves);
        EXPECT_NEAR(g.world.grid(0).columnWeights[0], c.firstWeight.value_or(1), 1e-9);
        EXPECT_FALSE(g.surface.dragged().has_value()) << "nothing is left over for the next drag";
    }
}

TEST(GridEditorModel, TheWholeLineFollowsAltAtEveryChange) {
    // A 2 x 2 grid on a 400 x 400 area: the column line at x 208 runs in two pieces, one per row.
    // The first change stays within snapping distance of the other piece; the second goes to 1.5.
    struct Case {
        const char* name;
        bool altFirst;
        bool altSecond;
        double topLine;
        double bottomLine;
    };
    const Case cases[] = {
        {"withoutAltOnlyTheDraggedPieceMoves", false, false, 1.5, 1},
        {"altPressedMidDragMovesTheWholeLine", false, true, 1.5, 1.5},
        {"altFromTheStart", true, true, 1.5, 1.5},
        {"altReleasedMidDragLeavesTheOtherPiece", true, false, 1.5, 1.015},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridSurface g(ZoneGrid::uniform(2, 2), 0, 0, {416, 416});
        play(g.surface, {press(208, 100), move(211, 100, c.altFirst), move(308, 100, c.altSecond), release(308, 100)});
        // Zone 0 is the top left, zone 2 the bottom left: their right edges show the two pieces.
        EXPECT_NEAR(g.zone(0).maxX(), 8 + c.topLine * 200, 1e-9);
        EXPECT_NEAR(g.zone(2).maxX(), 8 + c.bottomLine * 200, 1e-9);
    }
}

TEST(GridEditorModel, ADragEndsWhenAnotherLayoutIsSelected) {
    GridSurface g(ZoneGrid::uniform(1, 2), 20);
    play(g.surface, {press(208, 100), move(158, 100)});
    g.world.select(1);
    g.surface.moveTo({300, 100}, false);
    EXPECT_EQ(g.world.grid(1), ZoneGrid::uniform(1, 2));
    EXPECT_EQ(g.world.saves(), 1);
}

TEST(GridEditorModel, RepaintsOnlyTheCellsThatChanged) {
    GridSurface g(ZoneGrid::uniform(4, 4), 8, 8, {816, 616});
    std::vector<std::vector<Rect>> repaints;
    g.surface.onRepaint = [&](const std::vector<Rect>& rects) { repaints.push_back(rects); };
    const auto frames = [&](std::vector<std::int64_t> indices) {
        std::vector<Rect> out;
        for (auto i : indices) out.push_back(g.surface.cells().at(static_cast<std::size_t>(i)).frame);
        return out;
    };
    const std::vector<Rect> before = frames({5, 6});
    const Rect handle = g.surface.handles().at(std::size_t(std::find_if(g.surface.dividers().begin(), g.surface.dividers().end(),
        [](const auto& d) { return d.axis == Axis::vertical && d.tracks.lowerBound == 1 && std::abs(d.position - 2) < 1e-9; }) -
        g.surface.dividers().begin()));
    play(g.surface, {press(handle.midX(), handle.midY()), move(handle.midX() + 40, handle.midY())});
    const std::vector<Rect> after = frames({5, 6});
    ASSERT_EQ(repaints.size(), 1u);
    EXPECT_THAT(repaints[0], ElementsAre(before[0], after[0], before[1], after[1]))
        << "the two cells beside the divider, before and after";

    repaints.clear();
    g.world.model->select(9, true);
    ASSERT_EQ(repaints.size(), 1u);
    EXPECT_THAT(repaints[0], ElementsAre(frames({9})[0]));
}

TEST(ZoneSizeLabel, TextsAndFontSizes) {
    const Rect workArea(0, 0, 1000, 800);
    const std::vector<Zone> onScreen{{0, Rect(0, 0, 250.5, 400)}};
    struct Case {
        const char* name;
        Rect cell;
        std::optional<Rect> area;
        std::vector<Zone> screen;
        ZoneSizeLabel expected;
    };
    const Case cases[] = {
        {"noWorkAreaShowsTheNumberAlone", Rect(0, 0, 200, 200), std::nullopt, onScreen, {"1", 28, "", 9, "", 8}},
        {"aZeroWorkAreaShowsTheNumberAlone", Rect(0, 0, 200, 200), Rect(0, 0, 0, 800), onScreen, {"1", 28, "", 9, "", 8}},
        {"anInfiniteWorkAreaShowsTheNumberAlone", Rect(0, 0, 200, 200), Rect(0, 0, std::numeric_limits<double>::infinity(), 800),
         onScreen, {"1", 28, "", 9, "", 8}},
        {"aZoneMissingOnScreenShowsTheNumberAlone", Rect(0, 0, 200, 200), workArea, {}, {"1", 28, "", 9, "", 8}},
        {"from110By84ThePercentLine", Rect(0, 0, 110, 84), workArea, onScreen, {"1", 21, "251 \u00d7 400 px", 11, "25% \u00d7 50%", 10}},
        {"narrowerThan110NoPercentLine", Rect(0, 0, 109, 84), workArea, onScreen, {"1", 21, "251 \u00d7 400 px", 11, "", 8}},
        {"lowerThan84NoPercentLine", Rect(0, 0, 200, 83), workArea, onScreen, {"1", 20.75, "251 \u00d7 400 px", 11, "", 8}},
        {"tinyCellsKeepTheFontFloors", Rect(0, 0, 20, 20), workArea, onScreen, {"1", 11, "251 \u00d7 400 px", 9, "", 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ZoneSizeLabel::make({0, c.cell}, c.screen, c.area), c.expected);
    }
}

namespace {

// A canvas surface of 1016 x 516 points showing a 1000 x 500 canvas at scale 1 from (8, 8): zone 0
// is (0, 0, 400, 300), zone 1 (300, 200, 400, 300) lies over it.
struct CanvasSurface {
    explicit CanvasSurface(Size reference = {1000, 500}, Size size = {1016, 516})
        : world({canvasLayout("C", reference, {Rect(0, 0, 400, 300), Rect(300, 200, 400, 300)}),
                 canvasLayout("Other", reference, {Rect(0, 0, 400, 300)})}) {
        surface->setSize(size);
    }

    EditorWorld world;
    RecordingConfirm alert;
    std::unique_ptr<CanvasEditorModel> surface = std::make_unique<CanvasEditorModel>(*world.model, alert.confirm());
};

}  // namespace

TEST(CanvasEditorModel, TheFitAndWhetherAnythingIsEditable) {
    struct Case {
        const char* name;
        Size reference;
        Size offered;
        double scale;
        Rect canvas;
        bool editable;
    };
    const Case cases[] = {
        {"fullHDIn816By400IsCentredAcross", {1920, 1080}, {816, 400}, 384.0 / 1080, Rect(8 + (800 - 1920 * 384.0 / 1080) / 2, 8, 1920 * 384.0 / 1080, 384), true},
        {"exactly16PointsScalesTo0", {1920, 1080}, {16, 400}, 0, Rect(8, 200, 0, 0), false},
        {"smallerThan16WouldMirror", {1920, 1080}, {10, 400}, -6.0 / 1920, Rect(), false},
        {"aZeroReferenceSizeScalesInfinitely", {0, 0}, {816, 400}, 0, Rect(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CanvasSurface s(c.reference, c.offered);
        const auto fit = s.surface->fit();
        ASSERT_TRUE(fit.has_value());
        EXPECT_EQ(fit->isEditable(), c.editable);
        if (c.editable) {
            EXPECT_NEAR(fit->scale, c.scale, 1e-12);
            EXPECT_NEAR(fit->canvas.minX(), c.canvas.minX(), 1e-9);
            EXPECT_NEAR(fit->canvas.minY(), c.canvas.minY(), 1e-9);
            EXPECT_NEAR(fit->canvas.width(), c.canvas.width(), 1e-9);
            continue;
        }
        EXPECT_THAT(s.surface->zoneViews(), IsEmpty());
        play(*s.surface, {press(20, 20), move(60, 60), move(90, 120), release(90, 120)});
        EXPECT_EQ(s.world.saves(), 0) << "no drag starts";
    }
}

TEST(CanvasEditorModel, HitTestingFindsTheTopmostThing) {
    using T = CanvasEditorModel::Target;
    struct Case {
        const char* name;
        Point p;
        CanvasEditorModel::Hit hit;
    };
    const Case cases[] = {
        {"aZone", {100, 100}, {T::zone, 0}},
        {"theLaterZoneWhereTwoOverlap", {350, 250}, {T::zone, 1}},
        {"aLaterZoneCoversAnEarlierHandle", {398, 298}, {T::zone, 1}},
        {"aHandleOverItsZone", {700, 500}, {T::handle, 1}},
        {"theCanvasBackground", {900, 100}, {T::background, -1}},
        {"theMarginOutsideTheCanvas", {3, 3}, {T::margin, -1}},
    };
    CanvasSurface s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.surface->hit(c.p), c.hit);
    }
}

TEST(CanvasEditorModel, PointerInput) {
    struct Case {
        const char* name;
        std::set<std::int64_t> selectedBefore;
        std::vector<Step> steps;
        std::set<std::int64_t> selectedAfter;
        int saves;
        Rect zone0;
        Rect zone1;
    };
    const Rect z0(0, 0, 400, 300), z1(300, 200, 400, 300);
    const Case cases[] = {
        {"aMoveSelectsOnlyTheDraggedZone", {1}, {press(100, 100), move(150, 120), release(150, 120)}, {0}, 1, Rect(50, 20, 400, 300), z1},
        {"aClickTogglesInstead", {1}, click(100, 100), {0, 1}, 0, z0, z1},
        {"aResizeKeepsTheSelection", {1}, {press(700, 500), move(740, 490), release(740, 490)}, {1}, 1, z0, Rect(300, 200, 440, 290)},
        {"aResizeBelowTheMinimumStopsThere", {}, {press(700, 500), move(350, 250)}, {}, 1, z0, Rect(300, 200, 80, 60)},
        {"aResizePastTheFixedCornerTakesTheMagnitude", {}, {press(700, 500), move(200, 100)}, {}, 1, z0, Rect(300, 200, 100, 100)},
        {"aMoveBeyondTheEdgeIsClampedAndComesBackFromItsStart", {}, {press(100, 100), move(-500, 100), move(130, 100)}, {0}, 2,
         Rect(30, 0, 400, 300), z1},
        {"aBackgroundClickEmptiesTheSelection", {0, 1}, click(900, 100), {}, 0, z0, z1},
        {"aMarginClickChangesNothing", {0}, click(3, 3), {0}, 0, z0, z1},
        {"aPressAlwaysStartsAfresh", {}, {press(100, 100), move(150, 100), press(3, 3), move(300, 3), release(300, 3)}, {0}, 1,
         Rect(50, 0, 400, 300), z1},
        {"aLostGrabEndsTheDrag", {}, {press(100, 100), move(150, 100), {Step::cancel, {}}, move(300, 100)}, {0}, 1,
         Rect(50, 0, 400, 300), z1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CanvasSurface s;
        s.world.model->setSelectedZones(c.selectedBefore);
        play(*s.surface, c.steps);
        EXPECT_EQ(s.world.model->selectedZones(), c.selectedAfter);
        EXPECT_EQ(s.world.saves(), c.saves);
        EXPECT_EQ(s.world.canvas(0).zones, (std::vector<Rect>{c.zone0, c.zone1}));
    }
}

TEST(CanvasEditorModel, ADragEndsWhenAnotherLayoutIsSelected) {
    CanvasSurface s;
    play(*s.surface, {press(100, 100), move(150, 100)});
    s.world.select(1);
    s.surface->moveTo({300, 100});
    EXPECT_EQ(s.world.canvas(1).zones, std::vector<Rect>{Rect(0, 0, 400, 300)});
    EXPECT_TRUE(s.surface->dragStart().empty());
}

// A library change that leaves the shown layout alone (an assignment, another layout) draws
// nothing again: beside a canvas of many thousand zones each such redraw took seconds.
TEST(CanvasEditorModel, OnlyAChangeOfItsOwnLayoutRedraws) {
    CanvasSurface s;
    s.world.select(0);
    int redraws = 0;
    s.surface->onChange = [&] { ++redraws; };
    const UUID other = s.world.layout(1).id;
    s.world.zones->updateLibrary([&](LayoutLibrary& library) { library.assign(other, DisplayKey("ELSEWHERE", 800, 600)); });
    s.world.zones->updateLibrary([&](LayoutLibrary& library) {
        ZoneLayout changed = *library.layout(other);
        changed.name = "Renamed";
        library.upsert(changed);
    });
    EXPECT_EQ(redraws, 0);
    s.world.model->addZone();
    EXPECT_GE(redraws, 1) << "its own change is drawn";
}

TEST(CanvasEditorModel, DeleteAsksFirstAndOnlyTheConfirmationActs) {
    struct Case {
        const char* name;
        std::set<std::int64_t> selected;
        bool confirm;
        bool surfaceGoneFirst;
        std::size_t asked;
        std::size_t zonesLeft;
        std::set<std::int64_t> selectedAfter;
    };
    const Case cases[] = {
        {"nothingSelectedShowsNoAlert", {}, false, false, 0, 2, {}},
        {"cancelChangesNothing", {0}, false, false, 1, 2, {0}},
        {"deleteRemovesTheSelectedZones", {0}, true, false, 1, 1, {}},
        {"anAnswerAfterTheEditorIsGoneDoesNothing", {0}, true, true, 1, 2, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CanvasSurface s;
        EditorWorld& world = s.world;
        world.model->setSelectedZones(c.selected);
        s.surface->confirmDeleteSelectedZones();
        ASSERT_EQ(s.alert.asked.size(), c.asked);
        if (c.asked) {
            EXPECT_EQ(s.alert.asked[0], (ConfirmRequest{"Delete the selected zones?", "This cannot be undone.", "Delete"}));
        }
        if (c.surfaceGoneFirst) s.surface.reset();
        if (c.confirm && s.alert.answer) s.alert.answer();
        EXPECT_EQ(world.canvas(0).zones.size(), c.zonesLeft);
        EXPECT_EQ(world.model->selectedZones(), c.selectedAfter);
        if (c.zonesLeft == 1) {
            EXPECT_EQ(world.canvas(0).zones[0], Rect(300, 200, 400, 300)) << "the rest is renumbered by position";
        }
    }
}
