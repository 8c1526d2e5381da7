// The placement services against a real X server and window manager: a window returns to the
// zone its application last used, a rule places a new window, a saved workspace is restored, and a
// workspace restore starts a missing application from its .desktop file and places its window.

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "Tessary/services/NewWindowPlacer.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/WorkspaceService.h"
#include "TessaryCore/ZoneGrid.h"
#include "WindowEngine/AXWindowObserver.h"
#include "tests/e2e/ZoneDesktopTest.h"

namespace tessary::e2e {
namespace {

// Left and right halves of each 1920 x 1080 monitor.
constexpr Rect leftHalf(double monitorX) { return Rect(monitorX, 0, 960, 1080); }
constexpr Rect rightHalf(double monitorX) { return Rect(monitorX + 960, 0, 960, 1080); }

class PlacementTest : public ZoneDesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        startZones(ZoneLayout(UUID::random(), "Halves", LayoutKind(ZoneGrid::uniform(1, 2)), 0, 0, std::nullopt, Date(0)));

        const auto displays = [] { return DisplayProvider::displays(); };
        memory = std::make_unique<WindowMemoryService>(*zones, displays,
                                                       JSONDocumentStore<WindowPlacementMemory>(folder / "memory.json"), scheduler);
        rules = std::make_unique<RuleService>(*zones, displays, JSONDocumentStore<RuleSet>(folder / "rules.json"));
        // The applications this test installs, and no others.
        launcher = std::make_unique<DesktopApplicationLauncher>(
            [this](const char* name) -> std::optional<std::string> {
                const std::string variable = name;
                if (variable == "XDG_DATA_DIRS") return (folder / "share").string();
                if (variable == "XDG_DATA_HOME") return (folder / "home-share").string();
                if (const char* value = std::getenv(name)) return std::string(value);
                return std::nullopt;
            },
            &DesktopApplicationLauncher::spawnDetached);
        workspaces = std::make_unique<WorkspaceService>(*zones, displays,
                                                        JSONDocumentStore<WorkspaceLibrary>(folder / "workspaces.json"),
                                                        platform->workspace(), *launcher, scheduler);
        observer = std::make_unique<AXWindowObserver>(platform->accessibility(), platform->workspace(), scheduler);
        placer = std::make_unique<NewWindowPlacer>(
            *observer, *memory, [this] { return moveNewWindowsToLastZone; },
            [](const WindowInfo& info) { return !info.isStandard; }, *engineHandle, scheduler);

        // What the application wires at launch.
        zones->onSnapped = [this](const WindowHandle& window, const DisplayInfo& display,
                                  const std::vector<std::int64_t>& indices) { memory->remember(window, display, indices); };
        placer->claimsWindow = [this](const WindowHandle& window) { return workspaces->applyPendingEntries(window); };
        placer->applyRules = [this](const WindowHandle& window) { return rules->applyRules(window); };
        placer->onPlaced = [this](const ZonePlacement& placement) { placements.push_back(placement); };
        placer->start();
        started = std::chrono::steady_clock::now();
    }

    void TearDown() override {
        placer.reset();
        observer.reset();
        workspaces.reset();
        rules.reset();
        memory.reset();
        stopZones();
        DesktopTest::TearDown();
    }

    // Dispatches X events and runs the delays that have fallen due, until the condition holds.
    bool settle(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
        return waitFor(
            [&] {
                const auto now = std::chrono::steady_clock::now();
                scheduler.advance(now - started - (scheduler.now() - Scheduler::TimePoint{}));
                return condition();
            },
            limit);
    }

    void moveAway(xcb_window_t window) {
        engineHandle->setFrame(Rect(300, 200, 500, 400), handle(window));
        ASSERT_TRUE(settle([&] { return isAt(window, Rect(300, 200, 500, 400)); }));
    }
    std::string displayIdentifier(double x) {
        for (const DisplayInfo& display : DisplayProvider::displays()) {
            if (display.frame.minX() == x) return display.identifier;
        }
        return {};
    }

    std::chrono::steady_clock::time_point started;
    bool moveNewWindowsToLastZone = false;
    std::unique_ptr<WindowMemoryService> memory;
    std::unique_ptr<RuleService> rules;
    std::unique_ptr<DesktopApplicationLauncher> launcher;
    std::unique_ptr<WorkspaceService> workspaces;
    std::unique_ptr<AXWindowObserver> observer;
    std::unique_ptr<NewWindowPlacer> placer;
    std::vector<ZonePlacement> placements;
};

TEST_F(PlacementTest, AReopenedWindowReturnsToTheZoneItsApplicationLastUsed) {
    moveNewWindowsToLastZone = true;
    TestClient client = desktop->startClient();
    const xcb_window_t first = openWindow(client, "class=TessaryNotes title=first x=100 y=100 w=400 h=300");
    ASSERT_TRUE(settle([&] { return frame(first).has_value(); }));
    const auto snapped = zones->snap(handle(first), 1);
    ASSERT_TRUE(snapped) << snapped.error().description();
    ASSERT_TRUE(settle([&] { return isAt(first, rightHalf(0)); }));

    client.close(first);
    ASSERT_TRUE(settle([&] { return !isManaged(first); }));
    const xcb_window_t second = openWindow(client, "class=TessaryNotes title=second x=100 y=100 w=400 h=300");
    EXPECT_TRUE(settle([&] { return isAt(second, rightHalf(0)); })) << "the window stayed at " << *frame(second);
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0].zoneIndices, std::vector<std::int64_t>{1});
}

TEST_F(PlacementTest, ARuleSendsTheNextWindowOfItsClassToItsDisplayAndZones) {
    const std::string right = displayIdentifier(1920);
    ASSERT_FALSE(right.empty());
    rules->modifyRuleSet([&](RuleSet& set) {
        set.rules.push_back(PlacementRule(UUID::random(), true, "TessaryMail", std::nullopt, right, {0}, Date::now()));
    });
    // An application is a process, known by the class of its windows: one client each.
    TestClient notesClient = desktop->startClient();
    TestClient mailClient = desktop->startClient();
    const xcb_window_t other = openWindow(notesClient, "class=TessaryNotes title=other x=100 y=100 w=400 h=300");
    const xcb_window_t mail = openWindow(mailClient, "class=TessaryMail title=inbox x=100 y=100 w=400 h=300");
    EXPECT_TRUE(settle([&] { return isAt(mail, leftHalf(1920)); })) << "the window stayed at " << *frame(mail);
    EXPECT_EQ(*frame(other), Rect(100, 100, frame(other)->width(), frame(other)->height()));
}

TEST_F(PlacementTest, ASavedWorkspaceIsRestoredIntoPlace) {
    TestClient notesClient = desktop->startClient();
    TestClient mailClient = desktop->startClient();
    const xcb_window_t notes = openWindow(notesClient, "class=TessaryNotes title=notes x=100 y=100 w=400 h=300");
    const xcb_window_t mail = openWindow(mailClient, "class=TessaryMail title=inbox x=200 y=200 w=400 h=300");
    ASSERT_TRUE(settle([&] { return frame(notes) && frame(mail); }));
    ASSERT_TRUE(zones->snap(handle(notes), 0));
    engineHandle->setFrame(rightHalf(1920), handle(mail));
    ASSERT_TRUE(settle([&] { return isAt(notes, leftHalf(0)) && isAt(mail, rightHalf(1920)); }));

    const Workspace saved = workspaces->saveCurrentWindows("Desk");
    ASSERT_EQ(saved.entries.size(), 2u);
    moveAway(notes);
    moveAway(mail);

    EXPECT_EQ(workspaces->restore(saved), 2);
    EXPECT_TRUE(settle([&] { return isAt(notes, leftHalf(0)) && isAt(mail, rightHalf(1920)); }));
}

TEST_F(PlacementTest, RestoringStartsAMissingApplicationAndPlacesItsWindow) {
    // An installed application: the test client under a class of its own.
    std::filesystem::create_directories(folder / "share" / "applications");
    std::ofstream(folder / "share" / "applications" / "tessary-launched.desktop")
        << "[Desktop Entry]\nType=Application\nName=Launched\nStartupWMClass=TessaryLaunched\n"
        << "Exec=\"" << TESSARY_TEST_CLIENT << "\" class=TessaryLaunched title=Launched %U\n";

    TestClient client = desktop->startClient();
    const xcb_window_t notes = openWindow(client, "class=TessaryNotes title=notes x=100 y=100 w=400 h=300");
    ASSERT_TRUE(settle([&] { return frame(notes).has_value(); }));
    const std::string left = DisplayKey(displayIdentifier(0), Size{1920, 1080}).description();
    Workspace workspace(UUID::random(), "Desk",
                        {WorkspaceEntry(UUID::random(), "TessaryNotes", "notes", left, {0}, Rect()),
                         WorkspaceEntry(UUID::random(), "TessaryLaunched", "Launched", left, {1}, Rect())},
                        {displayIdentifier(0), displayIdentifier(1920)}, false, true, Date::now());

    EXPECT_EQ(workspaces->restore(workspace), 1);
    ASSERT_EQ(workspaces->pendingEntries().size(), 1u);
    // The application's window arrives through the window-created notices and is claimed.
    ASSERT_TRUE(settle([&] { return workspaces->pendingEntries().empty(); })) << "the application never showed a window";
    EXPECT_TRUE(settle([&] {
        for (const WindowHandle& window : engineHandle->allWindows()) {
            const auto info = engineHandle->info(window);
            if (info && info->bundleIdentifier == "TessaryLaunched") {
                return CoordinateSpace::approximatelyEqual(info->frame, rightHalf(0), 2.0);
            }
        }
        return false;
    }));
    EXPECT_TRUE(isAt(notes, leftHalf(0)));
    EXPECT_TRUE(placements.empty());  // a claimed window is placed by the workspace, not reported by the placer
}

}  // namespace
}  // namespace tessary::e2e

namespace tessary::e2e {
namespace {

// A window manager that restarts or is replaced lets go of every window and manages it again; the
// windows were neither closed nor opened, so nothing may move them or forget them.
TEST_F(PlacementTest, AWindowManagerRestartLeavesEveryWindowWhereItIsAndKnown) {
    moveNewWindowsToLastZone = true;
    std::vector<std::string> notices;
    auto created = platform->tracker().windowCreated.subscribe(
        [&](const X11Client& c) { notices.push_back("created " + std::to_string(c.window)); });
    auto destroyed = platform->tracker().windowDestroyed.subscribe(
        [&](const X11Client& c) { notices.push_back("destroyed " + std::to_string(c.window)); });
    TestClient client = desktop->startClient();
    const xcb_window_t snapped = openWindow(client, "class=TessaryNotes title=snapped x=100 y=100 w=400 h=300");
    ASSERT_TRUE(settle([&] { return frame(snapped).has_value(); }));
    ASSERT_TRUE(zones->snap(handle(snapped), 1));
    ASSERT_TRUE(settle([&] { return isAt(snapped, rightHalf(0)); }));
    // The application's next window goes to its last zone; the user then puts it elsewhere by hand.
    const xcb_window_t placed = openWindow(client, "class=TessaryNotes title=placed x=100 y=100 w=400 h=300");
    ASSERT_TRUE(settle([&] { return isAt(placed, rightHalf(0)); }));
    moveAway(placed);
    notices.clear();
    placements.clear();

    struct Case {
        const char* name;
        std::function<void()> restart;
        // A crash leaves the windows to the X server, which puts them back without their frames: the
        // next window manager frames each where its client window is, a decoration lower.
        double tolerance;
    };
    const Case cases[] = {
        // openbox restarts itself and puts every frame back; the others are ended and started again.
        {"restarted in place", [&] { desktop->restartWindowManager(); },
         desktop->windowManager().name == "openbox" ? 0.0 : 64.0},
        {"killed and started again",
         [&] {
             desktop->crashWindowManager();
             desktop->startWindowManager();
         },
         64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rect before = *frame(placed);
        c.restart();
        ASSERT_TRUE(settle([&] { return isManaged(snapped) && isManaged(placed); }));
        // A window opened now is placed 0.4 s after its notice, after any placement a restart caused.
        const xcb_window_t next = openWindow(client, "class=TessaryNotes title=next x=100 y=100 w=400 h=300");
        ASSERT_TRUE(settle([&] { return isAt(next, rightHalf(0)); }));
        EXPECT_EQ(notices, std::vector<std::string>{"created " + std::to_string(next)});
        EXPECT_EQ(placements.size(), 1u);
        const auto after = frame(placed);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->size, before.size) << *after;
        EXPECT_NEAR(after->x(), before.x(), c.tolerance) << *after;
        EXPECT_NEAR(after->y(), before.y(), c.tolerance) << *after;
        EXPECT_FALSE(isAt(placed, rightHalf(0)));
        client.close(next);
        ASSERT_TRUE(settle([&] { return !notices.empty() && notices.back() == "destroyed " + std::to_string(next); }));
        notices.clear();
        placements.clear();
    }
    EXPECT_EQ(frame(snapped)->size, rightHalf(0).size);
}

}  // namespace
}  // namespace tessary::e2e
