#include "Platform/X11/X11GlobalInput.h"
#include "tests/e2e/harness/DesktopTest.h"

#include <gmock/gmock.h>

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
        input = std::make_unique<X11GlobalInput>(platform->connection());
        monitor = input->addMonitor([this](const GlobalInputEvent& event) { events.push_back(event); });
        ASSERT_TRUE(monitor.isActive());
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

}  // namespace
}  // namespace tessary::e2e
