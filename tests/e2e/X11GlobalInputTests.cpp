#include "Platform/Sim/VirtualScheduler.h"
#include "Platform/X11/X11GlobalInput.h"
#include "tests/e2e/harness/DesktopTest.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <vector>

namespace tessary {
// How gtest shows a notice (found by argument-dependent lookup).
void PrintTo(const GlobalInputEvent& e, std::ostream* os) {
    static const char* const kinds[] = {"down", "up", "dragged", "modifiers"};
    *os << kinds[int(e.kind)] << " at " << e.location << " shift " << e.modifiers.shift << " control "
        << e.modifiers.control << " alt " << e.modifiers.alt << " super " << e.modifiers.super;
}
}  // namespace tessary

namespace tessary::e2e {
namespace {

constexpr uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kSuperL = 0xffeb, kLetterA = 0x61;

class X11GlobalInputTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        input = std::make_unique<X11GlobalInput>(platform->connection(), &scheduler);
        monitor = input->addMonitor([this](const GlobalInputEvent& event) { events.push_back(event); });
        ASSERT_TRUE(monitor.isActive());
        // The selection is in place before the test's input comes from the desktop's connection:
        // the server owes no order between two connections' requests.
        free(xcb_get_input_focus_reply(platform->connection().xcb(),
                                       xcb_get_input_focus(platform->connection().xcb()), nullptr));
        desktop->movePointerTo(500, 400);
    }
    void TearDown() override {
        monitor.reset();
        input.reset();
        DesktopTest::TearDown();
    }

    // Waits for the count of notices to reach n, then a little longer for any that should not come.
    std::vector<GlobalInputEvent> take(size_t n) {
        waitFor([&] { return events.size() >= n; });
        // Every request sent so far has been answered once this round trip returns, so any notice
        // they caused is queued.
        desktop->syncInput();
        platform->connection().eventMark();
        platform->processPendingEvents();
        return std::exchange(events, {});
    }

    static GlobalInputEvent event(GlobalInputKind kind, double x, double y, GlobalModifierKeys keys = {}) {
        return GlobalInputEvent{kind, Point{x, y}, keys};
    }

    VirtualScheduler scheduler;
    std::unique_ptr<X11GlobalInput> input;
    Subscription monitor;
    std::vector<GlobalInputEvent> events;
};

TEST_F(X11GlobalInputTest, IgnoresMovesWithoutTheLeftButtonOtherButtonsAndOrdinaryKeys) {
    desktop->movePointerBy(25, 5);
    desktop->pressButton(3, true);
    desktop->movePointerBy(5, 5);
    desktop->pressButton(3, false);
    desktop->pressKey(kLetterA, true);
    desktop->pressKey(kLetterA, false);
    EXPECT_THAT(take(0), ::testing::IsEmpty());
}

// The monitors are walked without a copy: one that leaves during a notice is not called again while
// the others still are, and a subscription that outlives the back end ends quietly.
TEST_F(X11GlobalInputTest, AMonitorMayLeaveDuringANoticeAndOutliveTheBackEnd) {
    int leaverCalls = 0;
    Subscription leaver;
    leaver = input->addMonitor([&](const GlobalInputEvent&) {
        ++leaverCalls;
        leaver.reset();
    });
    desktop->pressButton(1, true);
    desktop->pressButton(1, false);
    EXPECT_EQ(take(2).size(), 2u);
    EXPECT_EQ(leaverCalls, 1);
    Subscription late = input->addMonitor([](const GlobalInputEvent&) {});
    monitor.reset();
    input.reset();
    late.reset();
}

TEST_F(X11GlobalInputTest, CarriesControlAltAndSuper) {
    desktop->pressKey(kControlL, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(GlobalInputKind::modifiersChanged, 500, 400, {.control = true})));
    desktop->pressKey(kAltL, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(GlobalInputKind::modifiersChanged, 500, 400,
                                                      {.control = true, .alt = true})));
    desktop->pressKey(kSuperL, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(GlobalInputKind::modifiersChanged, 500, 400,
                                                      {.control = true, .alt = true, .super = true})));
    // Keys let go before the notice is handled count as one change: the state is read when handled.
    desktop->pressKey(kSuperL, false);
    desktop->pressKey(kAltL, false);
    desktop->pressKey(kControlL, false);
    auto changes = take(1);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), event(GlobalInputKind::modifiersChanged, 500, 400));
}

constexpr auto down = GlobalInputKind::leftMouseDown, dragged = GlobalInputKind::leftMouseDragged,
               up = GlobalInputKind::leftMouseUp;

// Every kind of pointer moves a drag: a mouse (relative), XTest's absolute motion (remote desktops,
// input sharing, scripts; raw values that are root positions) and a warp (no raw motion at all).
TEST_F(X11GlobalInputTest, FollowsADragWhateverMovesThePointer) {
    // Absolute XTest motion: its values are positions, not deltas.
    desktop->pressButton(1, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(down, 500, 400)));
    desktop->movePointerTo(900, 600);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 900, 600)));
    desktop->movePointerTo(1700, 650);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 1700, 650)));
    desktop->pressButton(1, false);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(up, 1700, 650)));

    // Relative motion from the same device in the next drag: deltas again.
    desktop->pressButton(1, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(down, 1700, 650)));
    desktop->movePointerBy(30, 10);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 1730, 660)));
    desktop->movePointerBy(-30, -10);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 1700, 650)));
    desktop->pressButton(1, false);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(up, 1700, 650)));

    // A drag moved only by warps: the pointer is read while the button is down.
    desktop->pressButton(1, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(down, 1700, 650)));
    desktop->warpPointerTo(2500, 300);
    scheduler.advance(X11GlobalInput::pollInterval);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 2500, 300)));
    desktop->warpPointerTo(2600, 320);
    scheduler.advance(X11GlobalInput::pollInterval);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 2600, 320)));
    desktop->pressButton(1, false);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(up, 2600, 320)));
}

// A still press is read less often once it rests, but never left: a script that warps the pointer
// after a pause (1.5 s after the press, 1.6 s mid-drag) is still followed.
TEST_F(X11GlobalInputTest, AStillPressIsReadLessOftenAndAWarpAfterAnyRestIsFollowed) {
    desktop->pressButton(1, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(down, 500, 400)));
    const auto before = platform->connection().requestCount();
    scheduler.advance(X11GlobalInput::pollPatience + 5 * X11GlobalInput::pollInterval);
    EXPECT_GT(platform->connection().requestCount() - before, 0u);
    // Resting: a read (pointer and root, two requests) each restInterval, no more.
    const auto after = platform->connection().requestCount();
    scheduler.advance(10 * X11GlobalInput::pollPatience);
    const auto restReads = (platform->connection().requestCount() - after) / 2;
    EXPECT_LE(restReads, 10 * X11GlobalInput::pollPatience / X11GlobalInput::restInterval + 1);
    EXPECT_GE(restReads, 10 * X11GlobalInput::pollPatience / X11GlobalInput::restInterval - 1);

    desktop->warpPointerTo(2500, 300);
    scheduler.advance(X11GlobalInput::restInterval);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 2500, 300)));
    // Moving again, it is read quickly; then it rests mid-drag and is warped once more.
    desktop->warpPointerTo(2520, 310);
    scheduler.advance(X11GlobalInput::restInterval);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 2520, 310)));
    scheduler.advance(std::chrono::milliseconds(1600));
    desktop->warpPointerTo(800, 500);
    scheduler.advance(X11GlobalInput::restInterval);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 800, 500)));
    desktop->pressButton(1, false);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(up, 800, 500)));
    // Released: nothing is read any more.
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // Raw motion ends the reads for good: a mouse is followed by its deltas.
    desktop->pressButton(1, true);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(down, 800, 500)));
    desktop->movePointerBy(5, 0);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(dragged, 805, 500)));
    scheduler.advance(X11GlobalInput::pollInterval);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    desktop->pressButton(1, false);
    EXPECT_THAT(take(1), ::testing::ElementsAre(event(up, 805, 500)));
}

}  // namespace
}  // namespace tessary::e2e
