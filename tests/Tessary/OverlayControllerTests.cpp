#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWindow>

#include <chrono>
#include <functional>
#include <string>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "Tessary/services/ui/ZoneOverlayView.h"
#include "QtApplication.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace std::chrono_literals;
using tessary::testing::makeDisplay;

namespace {

const DisplayInfo left = makeDisplay(1, "LEFT", Rect(0, 0, 1920, 1080));
const DisplayInfo right = makeDisplay(2, "RIGHT", Rect(1920, 0, 1920, 1080));

std::vector<Zone> halves(const DisplayInfo& d) {
    const Rect f = d.frame;
    return {{0, Rect(f.x(), f.y(), f.width() / 2, f.height())},
            {1, Rect(f.x() + f.width() / 2, f.y(), f.width() / 2, f.height())}};
}

class OverlayControllerTest : public ::testing::Test {
protected:
    void SetUp() override { qttest::qtApplication(); }

    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    VirtualScheduler scheduler;
    OverlayController overlay{preferences, scheduler};

    bool visible(const DisplayInfo& d) const {
        const auto* panel = overlay.panel(d.displayID);
        return panel && panel->isVisible();
    }
    std::vector<std::int64_t> highlighted(const DisplayInfo& d) const {
        return overlay.panel(d.displayID)->model().highlighted();
    }
    // What is on screen: "1:3" is display 1 showing three zones; "" nothing.
    static std::string onScreen(const OverlayController& controller) {
        std::string out;
        for (const DisplayInfo& d : {left, right}) {
            const auto* panel = controller.panel(d.displayID);
            if (panel && panel->isVisible()) out += std::to_string(d.displayID) + ":" + std::to_string(panel->model().zones().size());
        }
        return out;
    }
};

// Zones 100 points wide along the top of the display, as many as asked.
OverlayItem item(const DisplayInfo& display, int zones) {
    std::vector<Zone> list;
    for (int i = 0; i < zones; ++i) list.push_back({i, Rect(display.frame.x() + 100.0 * i, 0, 100, 100)});
    return {display, list};
}

// Delivers the expose and update events that Qt queued, which paints what is due.
void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

const std::vector<Zone> sixZones{{0, Rect(0, 0, 640, 540)},   {1, Rect(640, 0, 640, 540)},
                                 {2, Rect(1280, 0, 640, 540)}, {3, Rect(0, 540, 640, 540)},
                                 {4, Rect(640, 540, 640, 540)}, {5, Rect(1280, 540, 640, 540)}};

}  // namespace

TEST_F(OverlayControllerTest, ShowsOnePanelPerDisplayInPanelCoordinatesAndReusesIt) {
    overlay.show({{left, halves(left)}, {right, halves(right)}});
    ASSERT_EQ(overlay.panelCount(), 2u);
    EXPECT_TRUE(overlay.isShowing());
    ZoneOverlayPanel* rightPanel = overlay.panel(2);
    EXPECT_TRUE(visible(right));
    EXPECT_EQ(rightPanel->geometry(), QRect(1920, 0, 1920, 1080));
    EXPECT_EQ(rightPanel->model().zones(),
              (std::vector<Zone>{{0, Rect(0, 0, 960, 1080)}, {1, Rect(960, 0, 960, 1080)}}));

    overlay.setHighlighted({1}, right, {});
    EXPECT_EQ(highlighted(right), std::vector<std::int64_t>{1});
    EXPECT_TRUE(highlighted(left).empty());

    // Showing again keeps the panel objects, replaces the zones and clears the highlight.
    const std::vector<Zone> one{{0, Rect(1920, 0, 1920, 1080)}};
    overlay.hide();
    EXPECT_FALSE(visible(right));
    EXPECT_EQ(overlay.panelCount(), 2u);
    overlay.show({{left, halves(left)}, {right, one}});
    EXPECT_EQ(overlay.panel(2), rightPanel);
    EXPECT_TRUE(visible(right));
    EXPECT_EQ(rightPanel->model().zones(), (std::vector<Zone>{{0, Rect(0, 0, 1920, 1080)}}));
    EXPECT_TRUE(highlighted(right).empty());

    // A display that is gone loses its panel; the other's is reused.
    ZoneOverlayPanel* leftPanel = overlay.panel(1);
    overlay.show({{left, halves(left)}});
    EXPECT_EQ(overlay.panelCount(), 1u);
    EXPECT_EQ(overlay.panel(1), leftPanel);
    EXPECT_EQ(overlay.panel(2), nullptr);

    // A display listed twice: one panel, the later zones.
    overlay.show({{left, halves(left)}, {left, {{5, Rect(0, 0, 10, 10)}}}});
    EXPECT_EQ(overlay.panel(1)->model().zones(), (std::vector<Zone>{{5, Rect(0, 0, 10, 10)}}));

    const auto generation = overlay.flashGeneration();
    overlay.show({});
    EXPECT_EQ(overlay.panelCount(), 0u);
    EXPECT_TRUE(overlay.isShowing());
    EXPECT_EQ(overlay.flashGeneration(), generation + 1);
}

TEST_F(OverlayControllerTest, HighlightingADisplayWithoutPanelClearsEveryHighlight) {
    overlay.show({{left, halves(left)}, {right, halves(right)}});
    overlay.setHighlighted({0, 1, 1}, left, {});
    EXPECT_EQ(highlighted(left), (std::vector<std::int64_t>{0, 1}));
    overlay.setHighlighted({0}, makeDisplay(9, "GONE", Rect(0, 2000, 100, 100)), {});
    EXPECT_TRUE(highlighted(left).empty());
    EXPECT_TRUE(highlighted(right).empty());
}

TEST_F(OverlayControllerTest, OfTwoFlashesTheLaterHidesItsOwnDurationAfterItStarted) {
    EXPECT_TRUE(overlay.flash({{left, halves(left)}}, 900ms));
    scheduler.advance(300ms);
    EXPECT_TRUE(overlay.flash({{left, halves(left)}}, 900ms));
    scheduler.advance(600ms);  // the first flash's time is up
    EXPECT_TRUE(visible(left));
    scheduler.advance(299ms);
    EXPECT_TRUE(visible(left));
    scheduler.advance(1ms);
    EXPECT_FALSE(visible(left));
    EXPECT_FALSE(overlay.isShowing());
    // One wake-up to give the pixels back, then nothing left to wake up for.
    scheduler.advance(overlay.idleRelease);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(OverlayControllerTest, AFlashNeitherReplacesNorHidesADragsOverlay) {
    // A drag is showing both displays with zone 1 of the right one highlighted.
    overlay.show({{left, halves(left)}, {right, halves(right)}});
    overlay.setHighlighted({1}, right, {});

    // A new window was placed meanwhile: its flash must leave the drag's overlay alone.
    EXPECT_FALSE(overlay.flash({{left, {halves(left)[0]}}}, 700ms, OverlayHighlight{{0}, left}));
    scheduler.advance(1s);
    EXPECT_TRUE(visible(left));
    EXPECT_TRUE(visible(right));
    EXPECT_EQ(overlay.panel(1)->model().zones().size(), 2u);
    EXPECT_TRUE(highlighted(left).empty());
    EXPECT_EQ(highlighted(right), std::vector<std::int64_t>{1});

    overlay.hide();
    EXPECT_FALSE(visible(right));
}

TEST_F(OverlayControllerTest, ADragThatStartsDuringAFlashKeepsItsOverlay) {
    EXPECT_TRUE(overlay.flash({{left, halves(left)}}, 900ms, OverlayHighlight{{1}, left}));
    EXPECT_TRUE(overlay.isFlashing());
    EXPECT_EQ(highlighted(left), std::vector<std::int64_t>{1});
    scheduler.advance(100ms);
    overlay.show({{left, halves(left)}, {right, halves(right)}});
    EXPECT_TRUE(highlighted(left).empty());
    scheduler.advance(2s);
    EXPECT_TRUE(visible(left));
    EXPECT_TRUE(visible(right));
    EXPECT_TRUE(overlay.isShowing());

    // Once the drag is over, flashes work again.
    overlay.hide();
    EXPECT_TRUE(overlay.flash({{left, halves(left)}}, 900ms));
    scheduler.advance(900ms);
    EXPECT_FALSE(visible(left));
}

TEST(ZoneOverlayPanelPlacement, DividesByThePixelRatioOfTheScreenThatHoldsTheFrame) {
    using S = ZoneOverlayPanel::ScreenGeometry;
    // Qt keeps each screen's origin in device pixels and divides its size.
    const std::vector<S> scaled{{QRect(0, 0, 960, 540), 2}, {QRect(1920, 0, 960, 540), 2}};
    struct Case {
        Rect frame;
        QRect logical;
        double ratio;
    };
    const Case cases[] = {
        {Rect(0, 0, 1920, 1080), QRect(0, 0, 960, 540), 2},
        {Rect(1920, 0, 1920, 1080), QRect(1920, 0, 960, 540), 2},
        {Rect(1920, 100, 1000, 500), QRect(1920, 50, 500, 250), 2},
        // No screen holds it: the first screen's ratio, from the origin.
        {Rect(4000, 0, 200, 200), QRect(2000, 0, 100, 100), 2},
    };
    for (const auto& c : cases) {
        const auto placement = ZoneOverlayPanel::placement(c.frame, scaled);
        EXPECT_EQ(placement.logical, c.logical) << c.frame;
        EXPECT_EQ(placement.devicePixelRatio, c.ratio);
    }
    EXPECT_EQ(ZoneOverlayPanel::placement(Rect(1920, 0, 1920, 1080), {}).logical, QRect(1920, 0, 1920, 1080));
}

TEST_F(OverlayControllerTest, AnUnchangedHighlightRepaintsNothingAndADrawingSettingEverything) {
    overlay.show({{left, sixZones}});
    ZoneOverlayView& view = overlay.panel(1)->view();
    overlay.setHighlighted({0}, left, {});
    view.takeRequestedRepaint();
    overlay.setHighlighted({0}, left, {});
    EXPECT_TRUE(view.takeRequestedRepaint().isEmpty());
    preferences.setShowZoneNumbers(false);
    EXPECT_TRUE(view.takeRequestedRepaint().contains(view.rect()));
}

TEST_F(OverlayControllerTest, AnIdlePanelKeepsNoDrawnTilesAndAHighlightAfterItRepaintsOnlyItsTile) {
    overlay.show({{left, sixZones}});
    ZoneOverlayPanel* panel = overlay.panel(1);
    settle();
    overlay.setHighlighted({1}, left, {});
    settle();
    const WId window = panel->winId();

    // Hidden, it keeps its drawn tiles for the next drag for a while (a flash meanwhile starts the
    // wait again); idle, it keeps its window, not its drawn tiles.
    overlay.hide();
    scheduler.advance(overlay.idleRelease - 1s);
    EXPECT_TRUE(overlay.flash({{left, sixZones}}, 500ms));
    settle();
    scheduler.advance(500ms + overlay.idleRelease - 1s);
    scheduler.advance(1s);
    EXPECT_FALSE(panel->hasTiles());
    EXPECT_FALSE(panel->view().hasCache());
    panel->view().takeRequestedRepaint();

    // The next show repaints nothing of the view (its pixels are the window's background)...
    overlay.show({{left, sixZones}});
    settle();
    EXPECT_EQ(overlay.panel(1), panel);
    EXPECT_EQ(panel->winId(), window);
    EXPECT_TRUE(panel->view().takeRequestedRepaint().isEmpty());

    // ...and a highlight change only what it touches: zone 0's tile and the hint.
    overlay.setHighlighted({0}, left, {});
    settle();
    const QRegion painted = panel->view().takeRequestedRepaint();
    const QRect reach0 = QRect(0, 0, 640, 540).adjusted(-38, -38, 38, 38);
    const QRect hint = panel->view().hintRect().toAlignedRect().adjusted(-2, -2, 2, 2);
    EXPECT_FALSE(painted.isEmpty());
    EXPECT_TRUE((painted - QRegion(reach0) - QRegion(hint)).isEmpty());
}

// The hint sits near the bottom of where windows may go, centred there: a panel below the zones
// (a taskbar) or beside them moves it, so it neither covers the size labels of the bottom zones
// nor lies on the panel.
TEST_F(OverlayControllerTest, TheHintSitsAboveTheBottomOfTheWorkAreaCentredInIt) {
    struct Case {
        const char* name;
        Rect workArea;
        QPointF bottomCentre;
    };
    const Case cases[] = {
        {"no panel", Rect(1920, 0, 1920, 1080), {960, 1024}},
        {"a 40 px taskbar below", Rect(1920, 0, 1920, 1040), {960, 984}},
        {"a 64 px panel on the left", Rect(1984, 0, 1856, 1080), {992, 1024}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DisplayInfo display = makeDisplay(2, "RIGHT", Rect(1920, 0, 1920, 1080), c.workArea);
        const Rect zone(c.workArea.minX() + 8, 8, 948, c.workArea.height() - 16);
        overlay.show({{display, {{0, zone}}}});
        overlay.setHighlighted({0}, display, {});
        const QRectF hint = overlay.panel(2)->view().hintRect();
        EXPECT_NEAR(hint.center().x(), c.bottomCentre.x(), 0.5);
        EXPECT_EQ(hint.bottom(), c.bottomCentre.y());
    }
}

TEST_F(OverlayControllerTest, ThePreviewOwnsOnlyItsOwnOverlay) {
    struct Case {
        const char* name;
        std::function<void(OverlayController&)> steps;
        std::string onScreen;
        bool flashAccepted;
    };
    const Case cases[] = {
        {"thePreviewShows", [](OverlayController& o) { o.showPreview({item(right, 3)}); }, "2:3", false},
        {"itWaitsUnderADrag", [](OverlayController& o) {
             o.show({item(left, 2), item(right, 2)});
             o.showPreview({item(right, 3)});
         }, "1:22:2", false},
        {"itComesBackWhenTheDragEnds", [](OverlayController& o) {
             o.showPreview({item(right, 3)});
             o.show({item(left, 2), item(right, 2)});
             o.hide();
         }, "2:3", false},
        {"endingItMidDragLeavesTheDragsOverlay", [](OverlayController& o) {
             o.show({item(left, 2), item(right, 2)});
             o.showPreview({item(right, 3)});
             o.hidePreview();
         }, "1:22:2", false},
        {"endingItWithoutOneHidesNobodysFlash", [](OverlayController& o) {
             EXPECT_TRUE(o.flash({item(left, 4)}, 900ms));
             o.hidePreview();
         }, "1:4", true},
        {"endedItHidesAndFlashesWork", [](OverlayController& o) {
             o.showPreview({item(right, 3)});
             o.hidePreview();
         }, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayController o{preferences, scheduler};
        c.steps(o);
        EXPECT_EQ(onScreen(o), c.onScreen);
        const std::string before = onScreen(o);
        const bool flashed = o.flash({item(left, 1)}, 900ms);
        EXPECT_EQ(flashed, c.flashAccepted) << "a flash stays refused while a drag or the preview shows";
        if (!flashed) {
            EXPECT_EQ(onScreen(o), before);
        }
    }
}

// The shape of the panel's native window, the one the X server sees.
static QRegion shape(ZoneOverlayPanel* panel) { return panel->windowHandle() ? panel->windowHandle()->mask() : QRegion(); }

// Without a compositor the X server shows a window's transparent pixels black: it is the panel's
// own window (the one the server sees) that carries the shape, and a compositor that starts or
// stops changes the mode at the next show.
TEST_F(OverlayControllerTest, WithoutACompositorThePanelWindowIsShapedToWhatIsDrawnUntilOneStarts) {
    bool compositing = false;
    overlay.isCompositing = [&] { return compositing; };
    overlay.show({{left, halves(left)}});
    ZoneOverlayPanel* panel = overlay.panel(1);
    settle();
    const QPoint band(3, 540), inside(480, 300), rightInside(1440, 300);
    EXPECT_FALSE(shape(panel).isEmpty()) << "the panel's window is not shaped";
    EXPECT_EQ(shape(panel), panel->view().shape());
    EXPECT_TRUE(shape(panel).contains(band));
    EXPECT_FALSE(shape(panel).contains(inside));
    EXPECT_FALSE(shape(panel).contains(rightInside));

    // A highlighted zone gains its hatching: some of its inside shows, not all of it.
    overlay.setHighlighted({1}, left, {});
    settle();
    EXPECT_EQ(shape(panel), panel->view().shape());
    const QRegion hatched = shape(panel) & QRect(960 + 40, 100, 880, 800);
    EXPECT_FALSE(hatched.isEmpty()) << "the highlighted zone reads no different";
    long area = 0;
    for (const QRect& r : hatched) area += long(r.width()) * r.height();
    EXPECT_LT(area, 880L * 800 / 3) << "the highlight covers the windows beneath";
    EXPECT_FALSE(shape(panel).contains(inside));

    overlay.hide();
    compositing = true;
    overlay.show({{left, halves(left)}});
    settle();
    EXPECT_TRUE(shape(panel).isEmpty()) << "translucent through a compositor, yet shaped";
    overlay.hide();
    compositing = false;
    overlay.show({{left, halves(left)}});
    EXPECT_FALSE(shape(panel).isEmpty());
    EXPECT_FALSE(shape(panel).contains(inside));
}
