#include <gtest/gtest.h>

#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Tessary/services/NewWindowPlacer.h"
#include "WindowEngine/AXWindowEngine.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

class NewWindowPlacerTest : public ::testing::Test, public PlacementWorld {
protected:
    NewWindowPlacerTest() {
        placer.claimsWindow = [this](const WindowHandle& window) {
            asked.push_back("claim");
            return claimed.contains(window);
        };
        placer.applyRules = [this](const WindowHandle& window) -> std::optional<ZonePlacement> {
            asked.push_back("rules");
            if (!ruled.contains(window)) return std::nullopt;
            engine.setFrame(mainZone(0), window);
            return ZonePlacement{main, {0}};
        };
        placer.onPlaced = [this](const ZonePlacement& placement) {
            placed.push_back({placement, std::chrono::duration_cast<std::chrono::milliseconds>(scheduler.now() - start)});
        };
    }

    WindowHandle rememberedWindow(const std::string& title, std::int64_t zone) {
        const WindowHandle window = engine.addWindow("Editor", 1, title, Rect(10, 10, 300, 300));
        memory.remember(window, main, {zone});
        memory.windowDestroyed(window);  // as if it closed; only its stored records are left
        return engine.addWindow("Editor", 1, title, Rect(10, 10, 300, 300));
    }

    struct Placed {
        ZonePlacement placement;
        std::chrono::milliseconds at;
        friend bool operator==(const Placed&, const Placed&) = default;
    };

    SimAccessibility ax;
    SimApplicationWorkspace applications;
    AXWindowObserver observer{ax, applications, scheduler};
    WindowMemoryService memory{*zones, displaysReader(), store<WindowPlacementMemory>("memory.json"), scheduler};
    bool appLevel = false;
    std::string excludeBundle;
    NewWindowPlacer placer{observer, memory, [this] { return appLevel; },
                           [this](const WindowInfo& info) {
                               return !info.isStandard || info.bundleIdentifier == excludeBundle;
                           },
                           engine, scheduler};
    Scheduler::TimePoint start = scheduler.now();
    std::set<WindowHandle, FakeWindowEngine::HandleOrder> claimed;
    std::set<WindowHandle, FakeWindowEngine::HandleOrder> ruled;
    std::vector<std::string> asked;
    std::vector<Placed> placed;
};

}  // namespace

TEST_F(NewWindowPlacerTest, AWindowIsPlacedFromMemoryFourTenthsOfASecondAfterItAppears) {
    const WindowHandle window = rememberedWindow("notes", 2);
    placer.handleWindowCreated(window);
    scheduler.advance(399ms);
    EXPECT_TRUE(placed.empty());
    scheduler.advance(1ms);
    EXPECT_EQ(placed, (std::vector<Placed>{{ZonePlacement{main, {2}}, 400ms}}));
    EXPECT_EQ(frameOf(window), mainZone(2));
    EXPECT_EQ(asked, (std::vector<std::string>{"claim", "rules"}));
}

TEST_F(NewWindowPlacerTest, WindowsThatAreGoneHiddenNotStandardOrExcludedAreNeverOffered) {
    const WindowHandle closing = rememberedWindow("a", 1);
    const WindowHandle minimised = rememberedWindow("b", 1);
    const WindowHandle dialog = rememberedWindow("c", 1);
    const WindowHandle excluded = engine.addWindow("Secret", 2, "d", Rect(10, 10, 300, 300));
    engine.windowTable.at(minimised).info.isMinimized = true;
    engine.windowTable.at(dialog).info.isStandard = false;
    claimed.insert(excluded);
    excludeBundle = "Secret";
    for (const WindowHandle& window : {closing, minimised, dialog, excluded}) placer.handleWindowCreated(window);
    engine.removeWindow(closing);
    scheduler.advance(1s);
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(placed.empty());
    EXPECT_EQ(setFrameCount(), 0u);
}

TEST_F(NewWindowPlacerTest, PlacementPrecedence) {
    struct Case {
        const char* name;
        bool claim;
        bool rule;
        bool remembered;
        bool appLevelOn;
        std::vector<std::string> asked;
        std::optional<std::int64_t> placedZone;
    };
    const Case cases[] = {
        {"a claim skips rules and memory", true, true, true, false, {"claim"}, std::nullopt},
        {"a rule beats memory", false, true, true, false, {"claim", "rules"}, 0},
        {"memory when no rule", false, false, true, false, {"claim", "rules"}, 3},
        {"the application's zones need the preference", false, false, false, false, {"claim", "rules"}, std::nullopt},
        {"the application's zones with the preference", false, false, false, true, {"claim", "rules"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        placed.clear();
        engine.windowTable.clear();
        // The application last used zone 1; this window's own record (when there is one) says 3.
        const WindowHandle other = engine.addWindow("Editor", 1, "other", Rect(10, 10, 300, 300));
        memory.remember(other, main, {1});
        const WindowHandle window = c.remembered ? rememberedWindow("mine", 3)
                                                 : engine.addWindow("Editor", 1, "brand new", Rect(10, 10, 300, 300));
        if (c.claim) claimed.insert(window);
        if (c.rule) ruled.insert(window);
        appLevel = c.appLevelOn;
        placer.handleWindowCreated(window);
        scheduler.advance(1s);
        EXPECT_EQ(asked, c.asked);
        if (c.placedZone) {
            ASSERT_EQ(placed.size(), 1u);
            EXPECT_EQ(placed[0].placement.zoneIndices, std::vector<std::int64_t>{*c.placedZone});
            EXPECT_EQ(frameOf(window), mainZone(*c.placedZone));
        } else {
            EXPECT_TRUE(placed.empty());
            EXPECT_EQ(frameOf(window), Rect(10, 10, 300, 300));
        }
    }
}

TEST_F(NewWindowPlacerTest, WindowsAppearingTogetherArePlacedEachOnItsOwn) {
    const WindowHandle a = rememberedWindow("a", 0);
    const WindowHandle b = rememberedWindow("b", 1);
    const WindowHandle c = rememberedWindow("c", 2);
    placer.handleWindowCreated(a);
    scheduler.advance(50ms);
    placer.handleWindowCreated(b);
    scheduler.advance(50ms);
    placer.handleWindowCreated(c);
    EXPECT_EQ(placer.waitingCount(), 3u);
    scheduler.advance(1s);
    EXPECT_EQ(placed, (std::vector<Placed>{{ZonePlacement{main, {0}}, 400ms},
                                          {ZonePlacement{main, {1}}, 450ms},
                                          {ZonePlacement{main, {2}}, 500ms}}));
    EXPECT_EQ(placer.waitingCount(), 0u);
}

TEST_F(NewWindowPlacerTest, ANewWindowDoesNotInheritThePlacementOfAClosedWindowWithItsIdentifier) {
    // The desktop hands a closed window's identifier to a new window of another application.
    const WindowHandle reused = engine.addWindow("Editor", 1, "old", Rect(10, 10, 300, 300));
    memory.remember(reused, main, {3});
    engine.windowTable.at(reused).info.bundleIdentifier = "Player";
    engine.windowTable.at(reused).info.title = "movie";
    placer.handleWindowCreated(reused);
    scheduler.advance(1s);
    EXPECT_TRUE(placed.empty());
    EXPECT_EQ(frameOf(reused), Rect(10, 10, 300, 300));
}

// The desktop's notices reach the memory: a closed window's live entry goes with it.
TEST(NewWindowPlacerWithObserver, FollowsCreatedAndClosedWindowsOfTheDesktop) {
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    VirtualScheduler scheduler;
    SimAccessibility ax;
    SimApplicationWorkspace applications;
    applications.addApplication(RunningApplication{7, "Editor", "Editor", ActivationPolicy::regular, false});
    TemporaryFolder folder;
    auto engineHandle = std::make_shared<AXWindowEngine>(ax, applications);
    AXWindowEngine& engine = *engineHandle;
    ZoneService zones(engineHandle, JSONDocumentStore<LayoutLibrary>(folder / "layouts.json"));
    const ZoneLayout halves(UUID::random(), "Halves", LayoutKind(ZoneGrid::uniform(1, 2)), 0, 0, std::nullopt, Date(0));
    zones.updateLibrary([&](LayoutLibrary& library) {
        library.layouts = {halves};
        library.defaultLayoutID = halves.id;
    });
    const DisplayInfo display = makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800));
    WindowMemoryService memory(zones, [&] { return std::vector<DisplayInfo>{display}; },
                               JSONDocumentStore<WindowPlacementMemory>(folder / "memory.json"), scheduler);
    AXWindowObserver observer(ax, applications, scheduler);
    NewWindowPlacer placer(observer, memory, [] { return true; }, [](const WindowInfo& info) { return !info.isStandard; },
                           engine, scheduler);
    std::vector<ZonePlacement> placed;
    placer.onPlaced = [&](const ZonePlacement& placement) { placed.push_back(placement); };
    placer.start();

    const AXElement first = ax.addWindow(7, Rect(10, 10, 200, 200), "one");
    scheduler.advance(1s);
    EXPECT_TRUE(placed.empty());  // nothing remembered yet
    memory.remember(WindowHandle(7, first), display, {1});
    EXPECT_EQ(memory.live().size(), 1u);
    ax.closeWindow(first);
    EXPECT_TRUE(memory.live().empty());
}
