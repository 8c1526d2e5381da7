#include <gtest/gtest.h>

#include <functional>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/WorkspaceService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// A terminal takes its zone in character cells: 497 x 391 of zone 1's 500 x 400. Every way of
// putting windows back must see it as in place once it sits there, as its snap was judged.
class SteppedWindowPlacementTest : public ::testing::Test, public PlacementWorld {
protected:
    SteppedWindowPlacementTest() {
        terminal = engine.addWindow("XTerm", 1, "shell", Rect(600, 500, 300, 200));
        engine.windowTable.at(terminal).sizeIncrement = Size{7, 17};
    }

    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    WorkspaceService workspaces{*zones, displaysReader(), store<WorkspaceLibrary>("workspaces.json"), applications,
                                launcher, scheduler};
    WindowMemoryService memory{*zones, displaysReader(), store<WindowPlacementMemory>("memory.json"), scheduler};
    RuleService rules{*zones, displaysReader(), store<RuleSet>("rules.json")};
    WindowHandle terminal;
};

}  // namespace

TEST_F(SteppedWindowPlacementTest, AStepSizedWindowInItsZoneIsNeitherMovedNorReportedAgain) {
    const Rect stepped(0, 0, 497, 391);
    struct Case {
        const char* name;
        // Puts the terminal back once; what it answers (a count, or 1 for a placement).
        std::function<int()> putBack;
        int secondAnswer;
    };
    const Workspace desk(UUID::random(), "Desk",
                         {WorkspaceEntry(UUID::random(), "XTerm", "shell", main.displayKey().description(), {0},
                                         Rect(0, 0, 500, 400))},
                         {}, false, false, Date(0));
    const Case cases[] = {
        {"restoring a workspace", [&] { return workspaces.restore(desk); }, 0},
        {"restoring remembered windows", [&] { return memory.restoreAll(); }, 0},
        // The rule's count includes windows already in their zones; only the move and snap go.
        {"applying the rules", [&] { return rules.applyAll(); }, 1},
        {"a new window's rule", [&] { return rules.applyRules(terminal) ? 1 : 0; }, 1},
    };
    memory.remember(terminal, main, {0});
    rules.modifyRuleSet([](RuleSet& set) {
        set.rules = {PlacementRule(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0}, Date(0))};
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.windowTable.at(terminal).info.frame = Rect(600, 500, 300, 200);
        EXPECT_EQ(c.putBack(), 1);
        ASSERT_EQ(frameOf(terminal), stepped);
        const std::size_t moves = setFrameCount();
        const std::size_t reported = snaps.size();

        EXPECT_EQ(c.putBack(), c.secondAnswer);
        EXPECT_EQ(setFrameCount(), moves);
        EXPECT_EQ(snaps.size(), reported);
        EXPECT_EQ(frameOf(terminal), stepped);
    }
}

// The size step does not excuse a window a whole step short, or one placed away from the zone.
TEST_F(SteppedWindowPlacementTest, AWindowAStepShortOrOffItsZoneIsStillMoved) {
    memory.remember(terminal, main, {0});
    const Rect frames[] = {Rect(0, 0, 490, 391), Rect(0, 0, 497, 374), Rect(3, 0, 497, 391), Rect(0, 0, 504, 391)};
    for (const Rect& frame : frames) {
        SCOPED_TRACE(::testing::PrintToString(frame));
        engine.windowTable.at(terminal).info.frame = frame;
        EXPECT_EQ(memory.restoreAll(), 1);
        EXPECT_EQ(frameOf(terminal), Rect(0, 0, 497, 391));
    }
}

// A saved workspace keeps the zones a terminal sits in, one or a span, so that its restore is a snap.
TEST_F(SteppedWindowPlacementTest, ASavedWorkspaceKeepsTheZonesATerminalTookInCells) {
    const struct {
        Rect zones;
        std::vector<std::int64_t> indices;
    } cases[] = {
        {mainZone(3), {3}},
        {mainZone(0).unionWith(mainZone(1)), {0, 1}},
        {Rect(0, 0, 480, 400), {}},  // short of zone 1 by more than a cell
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.zones));
        engine.setFrame(c.zones, terminal);
        const Workspace saved = workspaces.saveCurrentWindows("Desk");
        ASSERT_EQ(saved.entries.size(), 1u);
        EXPECT_EQ(saved.entries[0].zoneIndices, c.indices);
    }
}
