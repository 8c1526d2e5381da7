#include <gtest/gtest.h>

#include "Platform/Sim/SimScreens.h"
#include "Tessary/services/DisplayChangeRestorer.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

class DisplayChangeRestorerTest : public ::testing::Test, public PlacementWorld {
protected:
    DisplayChangeRestorerTest() {
        restorer.afterRestore = [this] { restoredAt.push_back(scheduler.now() - start); };
    }

    WindowMemoryService memory{*zones, displaysReader(), store<WindowPlacementMemory>("memory.json"), scheduler};
    bool enabled = true;
    DisplayChangeRestorer restorer{memory, [this] { return enabled; }, scheduler};
    Scheduler::TimePoint start = scheduler.now();
    std::vector<Scheduler::Duration> restoredAt;
};

}  // namespace

TEST_F(DisplayChangeRestorerTest, ABurstOfNoticesRestoresOnceAfterTheQuietPeriod) {
    const WindowHandle editor = engine.addWindow("Editor", 1, "a", Rect(10, 10, 300, 300));
    memory.remember(editor, main, {3});
    SimScreens screens;
    restorer.observe(screens);
    for (int i = 0; i < 3; ++i) {
        screens.setScreens({});
        scheduler.advance(500ms);
    }
    scheduler.advance(10s);
    EXPECT_EQ(restoredAt, std::vector<Scheduler::Duration>{2500ms});  // 1.5 s after the third notice at 1.0 s
    EXPECT_EQ(frameOf(editor), mainZone(3));
    EXPECT_EQ(sink.messages("DisplayChange"), std::vector<std::string>{"display configuration changed; restoring windows"});
}

TEST_F(DisplayChangeRestorerTest, NoticesWhileDisabledNeitherRestoreNorCancel) {
    restorer.screensChanged();
    scheduler.advance(1s);
    enabled = false;
    restorer.screensChanged();  // does not restart the wait either
    scheduler.advance(500ms);
    EXPECT_EQ(restoredAt, std::vector<Scheduler::Duration>{1500ms});

    restorer.screensChanged();
    scheduler.advance(10s);
    EXPECT_EQ(restoredAt.size(), 1u);

    // With nothing remembered the follow-up step still runs.
    enabled = true;
    restorer.screensChanged();
    scheduler.advance(2s);
    EXPECT_EQ(restoredAt.size(), 2u);
    EXPECT_EQ(sink.messages("WindowMemory").back(), "restoreAll moved 0 windows");
}

TEST_F(DisplayChangeRestorerTest, ARestorerGoneBeforeTheWaitEndsDoesNothing) {
    {
        DisplayChangeRestorer shortLived(memory, [] { return true; }, scheduler);
        shortLived.screensChanged();
        EXPECT_TRUE(shortLived.isWaiting());
    }
    scheduler.advance(5s);
    EXPECT_TRUE(sink.messages("DisplayChange").empty());
}
