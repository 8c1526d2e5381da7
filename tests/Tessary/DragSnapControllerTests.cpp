#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/Preferences.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using tessary::testing::makeDisplay;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const DisplayInfo leftDisplay = makeDisplay(1, "LEFT", Rect(0, 0, 1920, 1080));
const DisplayInfo rightDisplay = makeDisplay(2, "RIGHT", Rect(1920, 0, 1920, 1080));

// `count` columns across the display with a 10-point gap between neighbours (5 at the edges).
std::vector<Zone> columns(const DisplayInfo& display, int count) {
    std::vector<Zone> zones;
    const double width = display.frame.width() / count;
    for (int i = 0; i < count; ++i) {
        zones.push_back(Zone{i, Rect(display.frame.x() + i * width + 5, 5, width - 10, display.frame.height() - 10)});
    }
    return zones;
}

// The centre of zone i of a display with n columns.
Point over(const DisplayInfo& display, int n, int i) {
    const Rect r = columns(display, n)[i].rect;
    return Point{r.midX(), r.midY()};
}

// What the overlay was told, one line per call.
class RecordingOverlay : public OverlayPresenting {
public:
    void show(const std::vector<OverlayItem>& items) override {
        std::string line = "show";
        for (const auto& item : items) line += " " + std::to_string(item.display.displayID) + ":" + std::to_string(item.zones.size());
        calls.push_back(line);
    }
    void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                        std::string_view note) override {
        std::string line = "highlight " + std::to_string(display.displayID) + " [";
        for (size_t i = 0; i < indices.size(); ++i) line += (i ? "," : "") + std::to_string(indices[i]);
        line += "]";
        if (!note.empty()) line += " " + std::string(note);
        calls.push_back(line);
    }
    void hide() override { calls.push_back("hide"); }

    std::vector<std::string> take() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
};

// A window engine whose window lands off the requested frame for a number of moves.
class OffTargetEngine : public FakeWindowEngine {
public:
    int missesLeft = 0;
    double miss = 2.5;
    int frameReads = 0;

    std::optional<Rect> frame(const WindowHandle& window) override {
        ++frameReads;
        return FakeWindowEngine::frame(window);
    }
    // The hit tests that find no window before the next one does (a window manager restarting).
    int hitMisses = 0;
    int hits = 0;
    std::optional<WindowHit> windowHit(Point at) override {
        ++hits;
        if (hitMisses > 0) {
            --hitMisses;
            return std::nullopt;
        }
        return FakeWindowEngine::windowHit(at);
    }
    int minimumSizeReads = 0;
    std::optional<Size> minimumSize(const WindowHandle& window) override {
        ++minimumSizeReads;
        return FakeWindowEngine::minimumSize(window);
    }

    SetFrameResult setFrame(const Rect& frame, const WindowHandle& window) override {
        if (missesLeft > 0) {
            --missesLeft;
            SetFrameResult result =
                FakeWindowEngine::setFrame(Rect(frame.x() + miss, frame.y(), frame.width(), frame.height()), window);
            result.requested = frame;
            return result;
        }
        return FakeWindowEngine::setFrame(frame, window);
    }
};

struct Snap {
    WindowHandle window;
    std::uint32_t display;
    std::vector<std::int64_t> zones;
    Rect frame;

    friend bool operator==(const Snap&, const Snap&) = default;
};

void PrintTo(const Snap& s, std::ostream* os) {
    *os << "snap on " << s.display << " into " << ::testing::PrintToString(s.zones) << " " << s.frame;
}

class DragSnapControllerTest : public ::testing::Test {
protected:
    DragSnapControllerTest() {
        zoneCount[1] = 4;
        zoneCount[2] = 2;
        controller.onSnap = [this](const WindowHandle& w, const DisplayInfo& d, const SpanSelection& s, const Rect& r) {
            snaps.push_back(Snap{w, d.displayID, s.zoneIndices, r});
        };
        controller.onDragEndedWithoutSnap = [this](const WindowHandle& w) { endedWithoutSnap.push_back(w); };
        EXPECT_TRUE(monitor.start());
    }

    // Presses the button on the window's title bar.
    void grab(GlobalModifierKeys keys = {}) {
        input.setModifiers(keys);
        const Rect frame = *engine.frame(window);
        input.moveTo(Point{frame.x() + 100, frame.y() + 10});
        input.pressLeft();
    }

    // Moves the pointer by (dx, dy); the window manager moves the grabbed window with it.
    void dragBy(double dx, double dy) {
        if (input.isLeftDown()) {
            Rect& frame = engine.windowTable.at(window).info.frame;
            frame.origin = Point{frame.x() + dx, frame.y() + dy};
        }
        input.moveTo(Point{input.location().x + dx, input.location().y + dy});
    }

    void dragTo(Point to) { dragBy(to.x - input.location().x, to.y - input.location().y); }

    static constexpr GlobalModifierKeys shift{.shift = true};
    static constexpr GlobalModifierKeys shiftControl{.shift = true, .control = true};

    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    OffTargetEngine engine;
    RecordingOverlay overlay;
    VirtualScheduler scheduler;
    std::map<std::uint32_t, int> zoneCount;
    std::vector<DisplayInfo> displays{leftDisplay, rightDisplay};
    int layoutReads = 0;
    DragSnapController controller{engine, preferences, overlay,
                                  [this] {
                                      ++layoutReads;
                                      return displays;
                                  },
                                  [this](const DisplayInfo& d) {
                                      ++layoutReads;
                                      return columns(d, zoneCount[d.displayID]);
                                  },
                                  scheduler};
    SimGlobalInput input;
    InputMonitor monitor{input, controller};
    WindowHandle window = engine.addWindow("org.example.Editor", 42, "Notes", Rect(300, 200, 800, 600));
    std::vector<Snap> snaps;
    std::vector<WindowHandle> endedWithoutSnap;
};

TEST_F(DragSnapControllerTest, TheZonesAppearOnlyOnceTheWindowMovedMoreThanThreePoints) {
    struct Case {
        double dx, dy;
        bool shows;
    };
    for (const Case c : {Case{0, 0, false}, Case{3.0, 0, false}, Case{0, -3.0, false}, Case{3.0, 3.0, false},
                         Case{3.5, 0, true}, Case{0, -3.01, true}}) {
        SCOPED_TRACE(::testing::Message() << c.dx << ", " << c.dy);
        grab(shift);
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::tracking);
        dragBy(c.dx, c.dy);
        EXPECT_EQ(controller.phase(),
                  c.shows ? DragSnapController::Phase::snapping : DragSnapController::Phase::tracking);
        EXPECT_EQ(!overlay.take().empty(), c.shows);
        input.releaseLeft();
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
        // A click or a move within the threshold is no drag: nothing to snap or to report.
        EXPECT_EQ(snaps.size() + endedWithoutSnap.size(), c.shows ? 1u : 0u);
        overlay.take();
        snaps.clear();
    }
}

// The frame read on the notice that carries the pointer past the threshold can be older than the
// window manager's move of the window.
TEST_F(DragSnapControllerTest, AWindowManagerMovingLateStillShowsTheZonesWithoutAnotherNotice) {
    const Rect start(300, 200, 800, 600);
    const struct {
        const char* name;
        Rect atTheNotice;
        Rect aMomentLater;
        bool showsAtOnce;
        bool showsLater;
    } cases[] = {
        {"already moved past the threshold", Rect(340, 200, 800, 600), Rect(340, 200, 800, 600), true, true},
        {"begun to follow the pointer", Rect(301, 200, 800, 600), Rect(340, 200, 800, 600), true, true},
        {"not moved yet", start, Rect(340, 200, 800, 600), false, true},
        {"a drag inside the window", start, start, false, false},
        {"a resize by the left edge", Rect(340, 200, 760, 600), Rect(340, 200, 760, 600), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rect& frame = engine.windowTable.at(window).info.frame;
        frame = start;
        grab(shift);
        frame = c.atTheNotice;
        input.moveTo(Point{input.location().x + 40, input.location().y});
        EXPECT_EQ(!overlay.take().empty(), c.showsAtOnce);
        frame = c.aMomentLater;
        scheduler.advance(10ms);
        EXPECT_EQ(controller.phase() == DragSnapController::Phase::snapping, c.showsLater);
        input.releaseLeft();
        overlay.take();
    }
}

// The zones follow the window manager's move within a millisecond, however late it comes within a
// few milliseconds; a drag inside a window reads its frame a bounded number of times.
TEST_F(DragSnapControllerTest, TheZonesComeWithinAMillisecondOfALateMoveAndADragInsideStopsAsking) {
    const Rect start(300, 200, 800, 600);
    Rect& frame = engine.windowTable.at(window).info.frame;
    for (const auto late : {1ms, 2ms, 5ms}) {
        SCOPED_TRACE(late.count());
        frame = start;
        grab(shift);
        input.moveTo(Point{input.location().x + 40, input.location().y});
        scheduler.advance(late - 500us);
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::tracking);
        frame = Rect(340, 200, 800, 600);
        scheduler.advance(1ms);
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::snapping);
        input.releaseLeft();
        overlay.take();
    }
    frame = start;
    grab(shift);
    input.moveTo(Point{input.location().x + 40, input.location().y});
    scheduler.advance(DragSnapController::moveRechecks * DragSnapController::moveRecheckDelay);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "a drag inside the window keeps reading its frame";
    EXPECT_EQ(controller.phase(), DragSnapController::Phase::tracking);
    input.releaseLeft();
}

// Where the press lands decides what the crossing notice may trust. On the title bar the window
// manager moves the window with the pointer: the zones come on that notice, before its frame has
// moved and without reading it. Inside the window only the frame's own motion tells a window
// manager's modifier-drag from text being selected.
TEST_F(DragSnapControllerTest, APressOnTheTitleBarShowsTheZonesOnTheCrossingNoticeAndInsideOnlyTheFrameTells) {
    const Rect start(300, 200, 800, 600);
    const struct {
        const char* name;
        double pressDown;  // from the frame's top; the title bar is the top 20 points
        double travel;
        bool windowManagerMoves;
        bool showsAtOnce;
        bool showsLater;
        std::size_t snapped;
    } cases[] = {
        {"title bar", 10, 40, true, true, true, 1},
        // A wobble shows nothing; the pointer carried on into a zone then does (the tail below).
        {"title bar, a click that wobbles", 10, 3, false, false, false, 1},
        // The window manager kept the window where it was (openbox moves nothing dragged with Shift
        // held from the press): the zones on screen promised the drop, and it snaps.
        {"title bar, the window never moves", 10, 40, false, true, true, 1},
        {"inside, selecting text", 300, 40, false, false, false, 0},
        {"inside, the window manager's modifier-drag", 300, 40, true, false, true, 1},
    };
    engine.windowTable.at(window).titleBarHeight = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        snaps.clear();
        endedWithoutSnap.clear();
        Rect& frame = engine.windowTable.at(window).info.frame;
        frame = start;
        input.setModifiers(shift);
        input.moveTo(Point{start.x() + 100, start.y() + c.pressDown});
        input.pressLeft();
        const int reads = engine.frameReads;
        input.moveTo(Point{input.location().x + c.travel, input.location().y});
        EXPECT_EQ(!overlay.take().empty(), c.showsAtOnce);
        if (c.pressDown < 20) {
            EXPECT_EQ(engine.frameReads, reads) << "a title-bar drag waited for the frame";
        }

        if (c.windowManagerMoves) frame.origin = Point{start.x() + c.travel, start.y()};
        scheduler.advance(10ms);
        EXPECT_EQ(controller.phase() == DragSnapController::Phase::snapping, c.showsLater);
        // On to zone 2 of the left display and down.
        const Point target = over(leftDisplay, 4, 1);
        if (c.windowManagerMoves) {
            frame.origin = Point{frame.x() + target.x - input.location().x, frame.y() + target.y - input.location().y};
        }
        input.moveTo(target);
        input.releaseLeft();
        EXPECT_EQ(snaps.size(), c.snapped);
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
        if (c.showsLater) {
            EXPECT_EQ(overlay.calls.back(), "hide");
        }
        if (c.snapped == 0) {
            EXPECT_EQ(*engine.frame(window), start) << "a window that showed no zones was moved";
        }
        overlay.take();
    }
}

// A window dragged by its title bar away and back to where it began (onto the zone it already
// fills) still snaps: the move seen on the way counts, not only the frame at the drop.
TEST_F(DragSnapControllerTest, ATitleBarDragThatEndsWhereItBeganStillSnaps) {
    engine.windowTable.at(window).titleBarHeight = 20;
    Rect& frame = engine.windowTable.at(window).info.frame;
    const Rect start = frame;
    input.setModifiers(shift);
    input.moveTo(Point{start.x() + 100, start.y() + 10});
    const Point down = input.location();
    input.pressLeft();
    input.moveTo(Point{down.x + 40, down.y});
    frame.origin = Point{start.x() + 40, start.y()};
    input.moveTo(Point{down.x + 80, down.y});
    frame.origin = start.origin;
    input.moveTo(down);
    input.releaseLeft();
    EXPECT_EQ(snaps.size(), 1u);
}

TEST_F(DragSnapControllerTest, WithoutTheActivationKeyNothingShowsUntilItIsPressedOrAlwaysIsChosen) {
    grab();
    dragBy(200, 0);
    EXPECT_THAT(overlay.calls, IsEmpty());
    // Pressing the key while the mouse stands still shows the zones at once, at the last point.
    input.setModifiers(shift);
    EXPECT_THAT(overlay.take(), ElementsAre("show 1:4 2:2", "highlight 1 [1]"));
    EXPECT_EQ(controller.phase(), DragSnapController::Phase::snapping);

    // With the "always" preference no key is needed.
    input.releaseLeft();
    overlay.take();
    preferences.setActivationModifier(ActivationModifier::always);
    grab();
    dragBy(10, 0);
    EXPECT_THAT(overlay.take(), ElementsAre("show 1:4 2:2", "highlight 1 [1]"));
}

TEST_F(DragSnapControllerTest, TheSpanKeyExtendsTheSelectionAndTheOverlayHearsOnlyOfChanges) {
    grab(shift);
    dragTo(over(leftDisplay, 4, 0));
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(0));
    input.setModifiers(shiftControl);
    dragTo(over(leftDisplay, 4, 1));
    dragBy(0, 40);  // still in zone 1: nothing new for the overlay
    dragTo(over(leftDisplay, 4, 2));
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(0, 1, 2));
    // Letting go of the span key takes effect at once: the zone under the pointer alone.
    input.setModifiers(shift);
    dragTo(over(leftDisplay, 4, 3));
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(3));
    EXPECT_THAT(overlay.take(), ElementsAre("show 1:4 2:2", "highlight 1 [0]", "highlight 1 [0,1]",
                                            "highlight 1 [0,1,2]", "highlight 1 [2]", "highlight 1 [3]"));
}

TEST_F(DragSnapControllerTest, AGapKeepsTheSelectionWithTheSpanKeyAndEmptiesItWithout) {
    grab(shift);
    input.setModifiers(shiftControl);
    dragTo(over(leftDisplay, 4, 0));
    dragTo(over(leftDisplay, 4, 1));
    dragTo(Point{960, 500});  // the gap between zones 1 and 2
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(0, 1));
    input.setModifiers(shift);
    EXPECT_THAT(controller.selection().zoneIndices, IsEmpty());
    EXPECT_EQ(overlay.calls.back(), "highlight 1 []");
    // A mouse-up in the gap snaps nothing and reports the drag.
    input.releaseLeft();
    EXPECT_THAT(snaps, IsEmpty());
    EXPECT_THAT(endedWithoutSnap, ElementsAre(window));
    EXPECT_EQ(overlay.calls.back(), "hide");
}

TEST_F(DragSnapControllerTest, AnotherDisplayStartsANewSelectionEvenWithTheSpanKey) {
    grab(shiftControl);
    dragTo(over(leftDisplay, 4, 2));
    dragTo(over(leftDisplay, 4, 3));
    overlay.take();
    dragTo(over(rightDisplay, 2, 0));
    EXPECT_EQ(controller.activeDisplay(), rightDisplay);
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(0));
    EXPECT_THAT(overlay.take(), ElementsAre("highlight 1 []", "highlight 2 [0]"));
    // Off every display: the selection and the highlight go.
    dragTo(Point{4000, 500});
    EXPECT_THAT(controller.selection().zoneIndices, IsEmpty());
    EXPECT_FALSE(controller.activeDisplay());
    EXPECT_THAT(overlay.take(), ElementsAre("highlight 2 []"));
}

TEST_F(DragSnapControllerTest, AMouseUpSnapsIntoTheUnionOfTheSelectedZones) {
    grab(shiftControl);
    dragTo(over(rightDisplay, 2, 0));
    dragTo(over(rightDisplay, 2, 1));
    input.releaseLeft();
    const Rect both = columns(rightDisplay, 2)[0].rect.unionWith(columns(rightDisplay, 2)[1].rect);
    EXPECT_THAT(snaps, ElementsAre(Snap{window, 2, {0, 1}, both}));
    EXPECT_EQ(*engine.frame(window), both);
    EXPECT_THAT(endedWithoutSnap, IsEmpty());
    EXPECT_EQ(overlay.calls.back(), "hide");
    EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
}

TEST_F(DragSnapControllerTest, LettingGoOfTheKeyJustBeforeTheMouseUpStillSnaps) {
    for (const auto wait : {100ms, 150ms, 200ms}) {
        SCOPED_TRACE(wait.count());
        snaps.clear();
        endedWithoutSnap.clear();
        engine.windowTable.at(window).info.frame = Rect(300, 200, 800, 600);
        grab(shiftControl);
        dragTo(over(leftDisplay, 4, 1));
        dragTo(over(leftDisplay, 4, 2));
        input.setModifiers({});
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::tracking);
        EXPECT_EQ(overlay.calls.back(), "hide");
        scheduler.advance(wait);
        input.releaseLeft();
        if (wait <= 150ms) {
            const Rect both = columns(leftDisplay, 4)[1].rect.unionWith(columns(leftDisplay, 4)[2].rect);
            EXPECT_THAT(snaps, ElementsAre(Snap{window, 1, {1, 2}, both}));
            EXPECT_THAT(endedWithoutSnap, IsEmpty());
        } else {
            EXPECT_THAT(snaps, IsEmpty());
            EXPECT_THAT(endedWithoutSnap, ElementsAre(window));
        }
    }
}

// A window that lands off its zone is set once more 60 ms later, unless the user has pressed the
// mouse again by then: the retry must not move a window under the user's next drag.
TEST_F(DragSnapControllerTest, AWindowThatLandsOffItsZoneIsSetOnceMoreAfter60MillisecondsUnlessTheMouseGoesDown) {
    struct Case {
        const char* name;
        bool pressAgain;
        std::size_t setFrames;
        std::size_t snapped;
    };
    for (const Case c : {Case{"left alone", false, 2, 1}, Case{"the mouse goes down again at 30 ms", true, 1, 0}}) {
        SCOPED_TRACE(c.name);
        engine.missesLeft = 1;
        engine.setFrameCalls.clear();
        snaps.clear();
        grab(shift);
        dragTo(over(leftDisplay, 4, 1));
        input.releaseLeft();
        EXPECT_THAT(snaps, IsEmpty());
        scheduler.advance(30ms);
        if (c.pressAgain) grab(shift);
        scheduler.advance(29ms);
        EXPECT_THAT(snaps, IsEmpty());
        scheduler.advance(1ms);
        EXPECT_EQ(engine.setFrameCalls.size(), c.setFrames);
        EXPECT_EQ(snaps.size(), c.snapped);
        if (c.snapped) {
            EXPECT_THAT(snaps, ElementsAre(Snap{window, 1, {1}, columns(leftDisplay, 4)[1].rect}));
        }
        EXPECT_THAT(endedWithoutSnap, IsEmpty());
        input.releaseLeft();
    }
}

TEST_F(DragSnapControllerTest, AMissWithinTwoPointsIsASnapAndASecondMissIsSilent) {
    struct Case {
        int misses;
        double miss;
        std::size_t setFrames, snapped;
    };
    for (const Case c : {Case{1, 2.0, 1, 1}, Case{2, 2.5, 2, 0}}) {
        SCOPED_TRACE(c.misses);
        engine.missesLeft = c.misses;
        engine.miss = c.miss;
        engine.setFrameCalls.clear();
        snaps.clear();
        grab(shift);
        dragTo(over(leftDisplay, 4, 1));
        input.releaseLeft();
        scheduler.advance(1s);
        EXPECT_EQ(engine.setFrameCalls.size(), c.setFrames);
        EXPECT_EQ(snaps.size(), c.snapped);
        EXPECT_THAT(endedWithoutSnap, IsEmpty());
        EXPECT_EQ(scheduler.pendingCount(), 0u);
    }
}

// Resizing by the left or top edge moves the window's origin, but the zones must not appear, and
// the end of the resize is no drag either.
TEST_F(DragSnapControllerTest, ResizingByTheLeftOrTopEdgeIsNoDrag) {
    struct Case {
        const char* name;
        Rect resized;
        bool isDrag;
    };
    const Rect start(300, 200, 800, 600);
    const Case cases[] = {
        {"left edge", Rect(350, 200, 750, 600), false},
        {"top edge", Rect(300, 260, 800, 540), false},
        {"top-left corner", Rect(250, 150, 850, 650), false},
        {"left edge, snapped by size increments", Rect(351, 201, 748.5, 599), false},
        {"right edge", Rect(300, 200, 900, 600), false},
        {"moved", Rect(350, 260, 800, 600), true},
        // A maximised window restored by the window manager as the drag begins: it shrinks around
        // the pointer, so its far edges move as well.
        {"restored while dragged", Rect(250, 150, 600, 400), true},
    };
    preferences.setActivationModifier(ActivationModifier::always);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        endedWithoutSnap.clear();
        engine.windowTable.at(window).info.frame = start;
        input.moveTo(Point{301, 500});
        input.pressLeft();
        engine.windowTable.at(window).info.frame = c.resized;
        input.moveTo(Point{351, 500});
        EXPECT_EQ(controller.hasMovedFromStart(c.resized), c.isDrag);
        EXPECT_EQ(controller.phase(),
                  c.isDrag ? DragSnapController::Phase::snapping : DragSnapController::Phase::tracking);
        input.moveTo(Point{700, 540});
        input.releaseLeft();
        if (c.isDrag) {
            EXPECT_EQ(snaps.size(), 1u);
            snaps.clear();
        } else {
            EXPECT_THAT(snaps, IsEmpty());
            EXPECT_THAT(endedWithoutSnap, IsEmpty());
        }
    }
}

TEST_F(DragSnapControllerTest, ExcludedAndUnknownWindowsAreNeverTracked) {
    engine.windowTable.at(window).info.isStandard = false;
    grab(shift);
    EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
    engine.windowTable.at(window).info.isStandard = true;
    controller.isExcluded = [](const WindowInfo& info) { return info.bundleIdentifier == "org.example.Editor"; };
    input.releaseLeft();
    grab(shift);
    EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
    input.releaseLeft();
    input.moveTo(Point{3000, 900});  // over no window
    input.pressLeft();
    dragBy(100, 0);
    input.releaseLeft();
    EXPECT_THAT(overlay.calls, IsEmpty());
    EXPECT_THAT(endedWithoutSnap, IsEmpty());
}

// A window whose least size is larger than the zones under the pointer would not land in them:
// the hint says so there, and says nothing where the zones are large enough.
TEST_F(DragSnapControllerTest, TheHintSaysWhenTheDraggedWindowDoesNotFitTheZonesUnderThePointer) {
    engine.windowTable.at(window).minimumSize = Size{600, 300};
    controller.applicationName = [](const WindowInfo& info) { return "Editor (" + *info.bundleIdentifier + ")"; };
    grab(shift);
    dragBy(10, 0);
    dragTo(over(rightDisplay, 2, 1));
    input.setModifiers(shiftControl);
    dragTo(over(leftDisplay, 4, 0));
    dragTo(over(leftDisplay, 4, 1));
    EXPECT_THAT(overlay.take(),
                ElementsAre("show 1:4 2:2", "highlight 1 [0] Editor (org.example.Editor) needs 600 px; this zone is 470 px",
                            "highlight 1 []", "highlight 2 [1]", "highlight 2 []",
                            "highlight 1 [0] Editor (org.example.Editor) needs 600 px; this zone is 470 px",
                            "highlight 1 [0,1]"));
    // Its least size is read once a drag shows the zones, not at every press.
    input.releaseLeft();
    const auto reads = engine.minimumSizeReads;
    grab(shift);
    input.releaseLeft();
    EXPECT_EQ(engine.minimumSizeReads, reads);
}

// While a window manager restarts, a press may find no window for a moment; the drag begun then is
// not lost: the press is looked at again while the button is down, and the drag catches up.
TEST_F(DragSnapControllerTest, APressThatFindsNoWindowLooksAgainWhileTheButtonIsDown) {
    engine.windowTable.at(window).titleBarHeight = 20;
    const struct {
        const char* name;
        int misses;
        std::size_t snapped;
    } cases[] = {
        {"found at the second look", 1, 1},
        {"found at the last look", DragSnapController::pressRetries, 1},
        {"never found", DragSnapController::pressRetries + 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        snaps.clear();
        engine.windowTable.at(window).info.frame = Rect(300, 200, 800, 600);
        engine.hitMisses = c.misses;
        grab(shift);
        dragBy(40, 0);
        EXPECT_EQ(controller.phase(), DragSnapController::Phase::idle);
        scheduler.advance(DragSnapController::pressRetryDelay * (DragSnapController::pressRetries + 2));
        dragTo(over(rightDisplay, 2, 1));
        input.releaseLeft();
        EXPECT_EQ(snaps.size(), c.snapped);
        engine.hitMisses = 0;
    }
    // A click on no window looks a few times while the button is down, and never after it is up.
    const int before = engine.hits;
    input.moveTo(Point{5000, 5000});
    input.pressLeft();
    input.releaseLeft();
    scheduler.advance(DragSnapController::pressRetryDelay * (DragSnapController::pressRetries + 2));
    EXPECT_EQ(engine.hits - before, 1);
}

TEST_F(DragSnapControllerTest, OnceSnappingADragEventCostsNoEngineCall) {
    grab(shift);
    dragBy(10, 0);
    ASSERT_EQ(controller.phase(), DragSnapController::Phase::snapping);
    const int reads = engine.frameReads;
    dragTo(over(leftDisplay, 4, 2));
    dragTo(over(rightDisplay, 2, 1));
    EXPECT_THAT(controller.selection().zoneIndices, ElementsAre(1));
    EXPECT_EQ(engine.frameReads, reads);
    EXPECT_THAT(engine.setFrameCalls, IsEmpty());
}

// Whoever acts on the press's debug line (the end-to-end tests drag on at it) must find the press
// taken: read at the line, the window under the press is already the one tracked.
TEST_F(DragSnapControllerTest, ThePressLineComesOnceThePressedWindowIsRead) {
    struct PhaseAtLine : LogSink {
        const DragSnapController& controller;
        std::optional<WindowHandle> tracked;
        int lines = 0;
        explicit PhaseAtLine(const DragSnapController& c) : controller(c) {}
        void write(const LogRecord& record) override {
            if (record.message.rfind("left button down at ", 0) != 0) return;
            ++lines;
            if (controller.phase() == DragSnapController::Phase::tracking) tracked = controller.window();
        }
    } sink(controller);
    ScopedLogSink scoped(sink);
    grab(shift);
    EXPECT_EQ(sink.lines, 1);
    EXPECT_EQ(sink.tracked, window);
    input.releaseLeft();
}

// The pointer's notices ask for no layout; a change of the layout mid-drag shows the new zones,
// highlights from them and snaps into them. Without a drag showing zones, a change shows nothing.
TEST_F(DragSnapControllerTest, ADragKeepsItsLayoutUntilTheLayoutChanges) {
    controller.layoutChanged();
    grab(shift);
    dragBy(10, 0);
    dragTo(over(rightDisplay, 4, 3));  // in the second of two columns
    const int reads = layoutReads;
    dragBy(0, 30);
    dragBy(0, -30);
    EXPECT_EQ(layoutReads, reads);
    overlay.take();
    zoneCount[2] = 4;  // the right display's pointer is now over its fourth column
    controller.layoutChanged();
    EXPECT_THAT(overlay.take(), ElementsAre("show 1:4 2:4", "highlight 2 [3]"));
    input.releaseLeft();
    EXPECT_THAT(snaps, ElementsAre(Snap{window, 2, {3}, columns(rightDisplay, 4)[3].rect}));
    overlay.take();
    controller.layoutChanged();
    EXPECT_THAT(overlay.calls, IsEmpty());
}

TEST_F(DragSnapControllerTest, TheInputMonitorRegistersOnceAndTranslatesTheKeys) {
    EXPECT_TRUE(monitor.start());
    EXPECT_EQ(input.monitorCount(), 1u);
    input.moveTo(Point{100, 117});
    input.setModifiers({.control = true, .alt = true, .super = true});
    EXPECT_EQ(controller.modifiers().rawValue, 14);
    // Modifier notices keep the last point; drags and buttons bring their own.
    input.pressLeft();
    input.moveTo(Point{40, 50});
    EXPECT_EQ(controller.lastMouse(), (Point{40, 50}));
    input.setModifiers({.shift = true});
    EXPECT_EQ(controller.modifiers(), InputModifiers::shift);
    EXPECT_EQ(controller.lastMouse(), (Point{40, 50}));
    input.releaseLeft();

    SimGlobalInput other;
    other.available = false;
    EXPECT_FALSE(InputMonitor(other, controller).start());
    other.available = true;
    EXPECT_TRUE(InputMonitor(other, controller).start());
    EXPECT_EQ(other.monitorCount(), 0u) << "a monitor ends its registration when it goes";
}

}  // namespace
