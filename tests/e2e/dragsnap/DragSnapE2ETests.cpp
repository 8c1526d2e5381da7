// Drag-to-snap end to end: a test-client window dragged by its title bar through XTest, with
// openbox moving it, the drag program watching, and the overlay drawn through a compositor.

#include "tests/e2e/dragsnap/DragSnapFixture.h"

#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace tessary::e2e {
namespace {

TEST_F(DragSnapTest, ADragWithTheActivationKeyOntoTheRightHalfOfTheSecondMonitorSnapsTheWindowThere) {
    const Rect left = rightZones[0].rect;
    // A spot of bare desktop in the right monitor's left zone, before the overlay covers it.
    const int spotX = int(left.midX()), spotY = int(left.midY() + 200);
    const std::string bare = pixel(spotX, spotY);
    ASSERT_FALSE(bare.empty());
    const Memory idle = reportMemory("before any overlay", "idle_rss_kb");

    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    EXPECT_TRUE(sawLineStartingWith("show "));
    // The overlay is on screen: wait until the compositor has drawn its tint over that spot, then
    // keep a screenshot for a human to look at.
    std::string tinted;
    EXPECT_TRUE(waitUntil([&] { return (tinted = pixel(spotX, spotY)) != bare; }, Clock::now() + 10s))
        << "the overlay never showed over " << bare;
    EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/drag-snap-overlay.png"},
                             Clock::now() + 20s));
    tinted = pixel(spotX, spotY);  // settled by now
    reportMemory("with the overlays shown", "overlay_rss_kb");
    dropIntoTheRightZone();
    if (HasFatalFailure()) return;

    // The overlay windows stay for the next drag, hidden; once idle, without their pixel buffers (two
    // 1920x1080 buffers are about 16 MB): what is left is code and fonts paged in for drawing.
    EXPECT_TRUE(waitUntil([&] { return memory().shared - idle.shared < 1024; }, Clock::now() + 10s))
        << "the idle overlays keep their buffers";
    const Memory after = reportMemory("after the drag, the overlays idle", "after_drag_rss_kb");
    if (kResidentSizeIsMeaningful) {
        EXPECT_LT(after.resident - idle.resident, 12 * 1024) << "the idle program grew by a drag";
    }

    // A second drag draws into new buffers: the same tint over the same spot, and its own
    // screenshot to compare with the first.
    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    std::string again;
    EXPECT_TRUE(waitUntil([&] { return (again = pixel(spotX, spotY)) == tinted; }, Clock::now() + 10s))
        << "the second drag's overlay shows " << again << " where the first showed " << tinted;
    EXPECT_TRUE(desktop->run(
        {"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/drag-snap-overlay-again.png"},
        Clock::now() + 20s));
    reportMemory("with the overlays shown again", "overlay_again_rss_kb");
    dropIntoTheRightZone();
    if (HasFatalFailure()) return;
    EXPECT_TRUE(waitUntil([&] { return memory().shared - idle.shared < 1024; }, Clock::now() + 10s))
        << "the idle overlays keep their buffers";
    const Memory afterSecond = reportMemory("after the second drag", "after_second_drag_rss_kb");
    if (kResidentSizeIsMeaningful) {
        EXPECT_LT(afterSecond.resident - after.resident, 2 * 1024) << "every drag leaves memory behind";
    }
}

// An xterm steps its size in 6x13 character cells and has a border: it takes the largest size that
// fits, centred (within the 2.0 points of every frame comparison), and that is a snap the program
// reports and remembers.
TEST_F(DragSnapTest, ADraggedXtermSnapsCentredWithinACellOfTheZoneAndIsRemembered) {
    xterm = desktop->startXterm("80x24+200+200", "xterm to snap");
    window = XCB_WINDOW_NONE;
    ASSERT_TRUE(waitFor([&] {
        for (const X11Client& c : platform->tracker().clients()) {
            if (c.windowClass == "XTerm") window = c.window;
        }
        return window != XCB_WINDOW_NONE;
    }));
    const Rect zone = rightZones[1].rect;
    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    desktop->pressButton(1, false);
    ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
    EXPECT_EQ(found().rfind("snap " + std::to_string(rightDisplayID()) + " [1] ", 0), 0u) << found();
    const auto withinACellCentred = [&] {
        const Rect f = frame();
        return f.width() <= zone.width() && f.width() > zone.width() - 6 && f.height() <= zone.height() &&
               f.height() > zone.height() - 13 &&
               std::fabs(f.x() - (zone.x() + std::round((zone.width() - f.width()) / 2))) <= 2.0 &&
               std::fabs(f.y() - (zone.y() + std::round((zone.height() - f.height()) / 2))) <= 2.0;
    };
    EXPECT_TRUE(waitFor(withinACellCentred)) << "the xterm is at " << frame() << ", the zone at " << zone;
    EXPECT_TRUE(expectLine("hide"));
    key(activationKey(), false);

    // Remembered for its application, on the right monitor, in the right zone: saved a second later.
    JSONDocumentStore<WindowPlacementMemory> store(std::filesystem::path(desktop->directory()) / "data" / "Tessary" /
                                                   "memory.json");
    std::optional<WindowPlacementMemory> memory;
    EXPECT_TRUE(waitUntil(
        [&] {
            auto loaded = store.load();
            if (loaded && *loaded) memory = **loaded;
            return memory.has_value();
        },
        Clock::now() + 5s));
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->byApp.count("XTerm"), 1u) << "memory.json has no entry for XTerm";
    EXPECT_EQ(memory->byApp.at("XTerm").displayKey, "tessary-right@1920x1080");
    EXPECT_EQ(memory->byApp.at("XTerm").zoneIndices, std::vector<std::int64_t>{1});
}

// Qt ends the program when its X connection breaks; what the desktop libraries (D-Bus among them)
// keep at that moment is not reported as a leak.
TEST_F(DragSnapTest, WhenTheXServerGoesAwayTheProgramEndsWithoutASanitizerReport) {
    if (client) client->quit();
    client.reset();
    platform.reset();
    ::kill(desktop->serverPid(), SIGKILL);
    const auto status = program.waitForExit(Clock::now() + 30s);
    ASSERT_TRUE(status) << "it did not end";
    EXPECT_FALSE(WIFSIGNALED(*status)) << "ended by signal " << WTERMSIG(*status);
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), sanitizerExitStatus) << "a sanitizer reported (its report is on standard error)";
}

TEST_F(DragSnapTest, TheSameDragWithoutTheKeyLeavesTheWindowWhereItWasDropped) {
    const Rect right = rightZones[1].rect;
    const Rect before = frame();
    const Point start = grabTitleBar();
    dragBy(int(right.midX() - start.x), int(right.midY() - start.y));
    desktop->pressButton(1, false);
    ASSERT_TRUE(expectLine("ended")) << testing::PrintToString(seen);
    ASSERT_TRUE(offset);
    const Rect dropped(pointer.x + offset->x, pointer.y + offset->y, before.width(), before.height());
    EXPECT_TRUE(waitForFrame(dropped)) << "the window is at " << frame() << ", dropped at " << dropped;
    EXPECT_FALSE(sawLineStartingWith("show ")) << testing::PrintToString(seen);
    EXPECT_FALSE(sawLineStartingWith("snap ")) << testing::PrintToString(seen);
}

// A press on the title bar is a move the window manager is about to make: the zones are up once
// the program has handled the notice that carries the pointer past the threshold, whether or not
// the window has moved yet (jwm, icewm and xfwm4 start a move only a few points later).
TEST_F(DragSnapTest, ATitleBarDragShowsTheZonesOnTheNoticePastTheThreshold) {
    const Rect outer = frame();
    const auto geometry = platform->windows().geometry(window);
    ASSERT_TRUE(geometry);
    key(activationKey(), true);
    pointer = Point{std::floor(outer.midX()), std::floor(outer.minY() + geometry->frame.top / 2)};
    desktop->movePointerTo(int(pointer.x), int(pointer.y));
    desktop->pressButton(1, true);
    ASSERT_TRUE(awaitInput("input down " + at(pointer))) << testing::PrintToString(seen);
    for (int travel = 1; travel <= 4; ++travel) {
        step(1, 0);
        const std::string phase = travel > 3 ? "snapping" : "tracking";
        EXPECT_EQ(seen[inputCursor - 1], "input drag " + at(pointer) + phase) << "after " << travel << " points";
    }
    desktop->pressButton(1, false);
    EXPECT_TRUE(expectLine("hide")) << testing::PrintToString(seen);
    key(activationKey(), false);
}

// Selecting text in a terminal with the activation key held never moves it: no zones, no snap.
TEST_F(DragSnapTest, ADragInsideAnXtermWithTheKeyHeldShowsNothingAndLeavesItWhereItIs) {
    xterm = desktop->startXterm("80x24+200+200", "xterm to select in");
    window = XCB_WINDOW_NONE;
    ASSERT_TRUE(waitFor([&] {
        for (const X11Client& c : platform->tracker().clients()) {
            if (c.windowClass == "XTerm") window = c.window;
        }
        return window != XCB_WINDOW_NONE;
    }));
    ASSERT_TRUE(waitFor([&] { return frame().minX() > 0; }));
    const Rect before = frame();
    const auto geometry = platform->windows().geometry(window);
    ASSERT_TRUE(geometry);
    key(activationKey(), true);
    pointer = Point{std::floor(geometry->client.minX() + 20), std::floor(geometry->client.minY() + 20)};
    desktop->movePointerTo(int(pointer.x), int(pointer.y));
    desktop->pressButton(1, true);
    ASSERT_TRUE(awaitInput("input down " + at(pointer))) << testing::PrintToString(seen);
    dragBy(200, 100);
    desktop->pressButton(1, false);
    ASSERT_TRUE(awaitInput("input up ")) << testing::PrintToString(seen);
    key(activationKey(), false);
    EXPECT_EQ(frame(), before);
    EXPECT_FALSE(sawLineStartingWith("show ")) << testing::PrintToString(seen);
    EXPECT_FALSE(sawLineStartingWith("snap ")) << testing::PrintToString(seen);
    EXPECT_FALSE(sawLineStartingWith("ended")) << testing::PrintToString(seen);
}

TEST_F(DragSnapTest, WithTheSpanKeyAddedTheWindowSpansBothZones) {
    const Rect left = rightZones[0].rect, right = rightZones[1].rect;
    const std::string id = std::to_string(rightDisplayID());
    key(activationKey(), true);
    const Point start = grabTitleBar();
    dragBy(int(left.midX() - start.x), int(left.midY() - start.y));
    ASSERT_TRUE(expectLine("highlight " + id + " [0]")) << testing::PrintToString(seen);
    key(spanKey(), true);
    dragBy(int(right.midX() - left.midX()), 0);
    ASSERT_TRUE(expectLine("highlight " + id + " [0,1]")) << testing::PrintToString(seen);
    desktop->pressButton(1, false);
    const Rect both = left.unionWith(right);
    ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
    EXPECT_EQ(found().rfind("snap " + id + " [0,1] ", 0), 0u) << found();
    EXPECT_TRUE(waitForFrame(both)) << "the window is at " << frame() << ", the zones at " << both;
    key(spanKey(), false);
    key(activationKey(), false);
}

// `xdotool mousemove` warps the pointer, which sends no raw motion: the program reads the pointer
// while the button is down. A script that pauses, midway or right after the press, is followed
// all the same: the zone under the pointer is highlighted and the drop takes it.
TEST_F(DragSnapTest, AWarpedDragThatRestsIsStillFollowed) {
    const std::string id = std::to_string(rightDisplayID());
    const struct {
        const char* name;
        std::chrono::milliseconds afterPress, midway;
        std::size_t zone;
    } rows[] = {
        {"resting 1.6 s midway", std::chrono::milliseconds(0), std::chrono::milliseconds(1600), 1},
        {"resting 1.5 s after the press", std::chrono::milliseconds(1500), std::chrono::milliseconds(0), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Rect target = rightZones[row.zone].rect;
        const std::string zone = "[" + std::to_string(row.zone) + "]";
        key(activationKey(), true);
        const Rect outer = frame();
        const auto geometry = platform->windows().geometry(window);
        ASSERT_TRUE(geometry);
        const Point from{std::floor(outer.midX()), std::floor(outer.minY() + geometry->frame.top / 2)};
        desktop->warpPointerTo(int(from.x), int(from.y));
        desktop->pressButton(1, true);
        ASSERT_TRUE(awaitInput("input down " + at(from))) << testing::PrintToString(seen);
        // The script's pauses are the case itself, not waits for the program.
        std::this_thread::sleep_for(row.afterPress);
        constexpr int steps = 24;
        for (int i = 1; i <= steps; ++i) {
            desktop->warpPointerTo(int(from.x + (target.midX() - from.x) * i / steps),
                                   int(from.y + (target.midY() - from.y) * i / steps), true);
            if (i == steps / 2) std::this_thread::sleep_for(row.midway);
        }
        ASSERT_TRUE(expectLine("highlight " + id + " " + zone)) << testing::PrintToString(seen);
        desktop->pressButton(1, false);
        ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
        EXPECT_EQ(found().rfind("snap " + id + " " + zone + " ", 0), 0u) << found();
        EXPECT_TRUE(waitForFrame(target)) << "the window is at " << frame() << ", the zone at " << target;
        key(activationKey(), false);
    }
}

}  // namespace
}  // namespace tessary::e2e
