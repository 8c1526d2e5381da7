#include <gtest/gtest.h>

#include "Tessary/keyboard/KeyboardSnapController.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "tests/Tessary/KeyboardWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

class KeyboardSnapTest : public ::testing::Test, public KeyboardWorld {
protected:
    KeyboardSnapTest() {
        controller.onShowZones = [this] { ++flashes; };
        controller.onLayoutCycled = [this] { ++cycles; };
        controller.onRestoreAll = [this] { ++restores; };
        controller.registerShortcuts();
    }
    WindowHandle focusedWindow(const Rect& frame, const std::string& app = "Editor") {
        return engine.addWindow(app, 1, "notes", frame, Size{0, 0}, true);
    }

    KeyboardSnapController controller{shortcuts, *zones, input, displaysReader(), scheduler};
    int flashes = 0;
    int cycles = 0;
    int restores = 0;
};

TEST_F(KeyboardSnapTest, TheDefaultsAreStoredAndEachShortcutActsOnce) {
    EXPECT_EQ(stored("nextZone"), R"({"carbonKeyCode":124,"carbonModifiers":6144})");
    EXPECT_EQ(stored("nextDisplay"), R"({"carbonKeyCode":124,"carbonModifiers":6400})");
    EXPECT_EQ(stored("openEditor"), R"({"carbonKeyCode":50,"carbonModifiers":6144})");
    EXPECT_EQ(hotKeys.registered().size(), 18u);
    EXPECT_EQ(ShortcutNames::paneShortcutNames().size(), 18u);
    EXPECT_EQ(ShortcutNames::paneShortcutNames()[16].rawValue, "openEditor");
    EXPECT_EQ(shortcuts.description(*ShortcutNames::openEditor().initialShortcut), "Ctrl+Alt+`");

    controller.registerShortcuts();  // the application's second start of the services
    EXPECT_TRUE(press(Key::z, kControlAlt));
    EXPECT_TRUE(press(Key::r, kControlAlt));
    EXPECT_EQ(flashes, 1);
    EXPECT_EQ(restores, 1);
}

TEST_F(KeyboardSnapTest, ShortcutsMoveTheFocusedWindowBetweenZonesAndDisplays) {
    const Rect offScreen(-300, 100, 400, 200);
    const struct {
        const char* name;
        Rect from;
        Key key;
        std::int64_t modifiers;
        Rect to;
    } cases[] = {
        // offScreen's centre lies in no zone (a frame whose centre is in a zone occupies it).
        {"Ctrl+Alt+1 snaps to zone 1", Rect(100, 100, 200, 200), Key::one, kControlAlt, mainZone(0)},
        {"Ctrl+Alt+4 to zone 4", Rect(100, 100, 200, 200), Key::four, kControlAlt, mainZone(3)},
        {"next zone wraps from the last", mainZone(3), Key::rightArrow, kControlAlt, mainZone(0)},
        {"previous zone wraps from the first", mainZone(0), Key::leftArrow, kControlAlt, mainZone(3)},
        {"next zone from no zone goes to the first", offScreen, Key::rightArrow, kControlAlt,
         mainZone(0)},
        {"previous zone from no zone goes to the last", offScreen, Key::leftArrow, kControlAlt,
         mainZone(3)},
        {"a zone 3 points off still counts as that zone", Rect(503, 397, 496, 404), Key::rightArrow, kControlAlt,
         mainZone(0)},
        {"next display keeps the zone number", mainZone(2), Key::rightArrow, kControlAltSuper, sideZone(2)},
        {"next display from the rightmost wraps", sideZone(1), Key::rightArrow, kControlAltSuper, mainZone(1)},
        {"previous display", sideZone(3), Key::leftArrow, kControlAltSuper, mainZone(3)},
        {"next display from no zone lands in zone 1", offScreen, Key::rightArrow, kControlAltSuper,
         sideZone(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.windowTable.clear();
        snaps.clear();
        const WindowHandle window = focusedWindow(c.from);
        EXPECT_TRUE(press(c.key, c.modifiers));
        EXPECT_EQ(frameOf(window), c.to);
        ASSERT_EQ(snaps.size(), 1u);
        EXPECT_EQ(snaps[0].window, window);
        EXPECT_EQ(snaps[0].displayIdentifier, c.to.minX() >= 1000 ? "SIDE" : "MAIN");
    }
}

// A terminal takes a zone in character cells; moved by a shortcut, it is snapped as any window is,
// so that window memory follows it.
TEST_F(KeyboardSnapTest, AWindowSizedInStepsIsReportedSnappedWhereverAShortcutMovesIt) {
    const WindowHandle terminal = focusedWindow(mainZone(2), "XTerm");
    engine.windowTable.at(terminal).sizeIncrement = Size{7, 17};
    EXPECT_TRUE(press(Key::rightArrow, kControlAltSuper));
    EXPECT_EQ(frameOf(terminal), Rect(sideZone(2).origin, Size{399, 289}));
    EXPECT_TRUE(press(Key::rightArrow, kControlAlt));
    EXPECT_EQ(frameOf(terminal), Rect(sideZone(3).origin, Size{399, 289}));
    EXPECT_EQ(snaps, (std::vector<Snap>{{terminal, "SIDE", {2}}, {terminal, "SIDE", {3}}}));
}

TEST_F(KeyboardSnapTest, DisplaysAreTakenFromLeftToRightWithTiesInTheProvidersOrder) {
    const DisplayInfo a = makeDisplay(1, "A", Rect(0, 0, 1000, 800));
    const DisplayInfo b = makeDisplay(2, "B", Rect(-1920, 0, 1000, 800));
    const DisplayInfo c = makeDisplay(3, "C", Rect(2560, 0, 1000, 800));
    const DisplayInfo d = makeDisplay(4, "D", Rect(0, 800, 1000, 800));  // below A, same minX
    setDisplays({a, b, c, d});
    const struct {
        const char* name;
        const DisplayInfo& from;
        std::int64_t offset;
        std::string to;
    } cases[] = {
        {"next from A is D, listed after it", a, +1, "D"},
        {"next from D is C", d, +1, "C"},
        {"next from C wraps to B", c, +1, "B"},
        {"previous from B wraps to C", b, -1, "C"},
        {"previous from D is A", d, -1, "A"},
    };
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.name);
        engine.windowTable.clear();
        snaps.clear();
        focusedWindow(zones->zones(cs.from)[1].rect);
        controller.moveFocusedWindowToDisplay(cs.offset);
        ASSERT_EQ(snaps.size(), 1u);
        EXPECT_EQ(snaps[0].displayIdentifier, cs.to);
        EXPECT_EQ(snaps[0].zoneIndices, std::vector<std::int64_t>{1});
    }
}

TEST_F(KeyboardSnapTest, ATargetWithFewerZonesTakesTheFirstAndOneWithoutZonesTheWorkAreaOrigin) {
    ZoneLayout six(LayoutTemplate::columns, 6);
    six.spacing = six.padding = 0;
    ZoneLayout three(LayoutTemplate::columns, 3);
    three.spacing = three.padding = 0;
    useLayout(main, six);
    useLayout(side, three);
    focusedWindow(zones->zones(main)[4].rect);
    controller.moveFocusedWindowToDisplay(+1);
    ASSERT_EQ(snaps.size(), 1u);
    EXPECT_EQ(snaps[0].zoneIndices, std::vector<std::int64_t>{0});

    ZoneLayout empty(UUID::random(), "Empty", LayoutKind(ZoneCanvas{Size{100, 100}, {}}), 0, 0, std::nullopt, Date(0));
    useLayout(main, empty);
    const WindowHandle window = engine.addWindow("Editor", 1, "second", sideZone(1), Size{0, 0}, true);
    snaps.clear();
    controller.moveFocusedWindowToDisplay(+1);
    EXPECT_EQ(frameOf(window), Rect(0, 0, 400, 300)) << "the work area's origin, the size kept";
    EXPECT_TRUE(snaps.empty());
}

TEST_F(KeyboardSnapTest, FailuresEndTheActionAndOnlyASnapToZoneNIsLogged) {
    const WindowHandle window = focusedWindow(mainZone(1));
    controller.snapFocusedWindow(6);
    zones->isExcluded = [](const WindowInfo& info) { return info.bundleIdentifier == "Editor"; };
    press(Key::rightArrow, kControlAlt);
    press(Key::rightArrow, kControlAltSuper);
    press(Key::two, kControlAlt);
    EXPECT_EQ(frameOf(window), mainZone(1)) << "an excluded window is never moved";
    engine.focused.reset();
    press(Key::three, kControlAlt);
    EXPECT_EQ(sink.messages("KeyboardSnap"),
              (std::vector<std::string>{"snap to zone 7 failed: zone 7 does not exist in this layout",
                                        "snap to zone 2 failed: window belongs to an excluded app",
                                        "snap to zone 3 failed: no window"}));
    EXPECT_TRUE(engine.setFrameCalls.empty());
}

// A move that found its zone and cannot fit the window there is logged and handed on, as a snap to
// zone N is; a window the window manager let go of during the move is made the focused one again.
TEST_F(KeyboardSnapTest, AMoveThatCannotFitTheWindowIsToldAndTheWindowKeepsTheFocus) {
    std::vector<std::string> told;
    controller.onSnapFailed = [&](const ZoneService::SnapError& error) { told.push_back(error.description()); };
    const WindowHandle wide = engine.addWindow("Editor", 1, "wide", Rect(100, 100, 600, 300), Size{600, 300}, true);
    zones->onSnapAsked = [this](const WindowHandle&) { engine.focused.reset(); };
    for (const auto& [key, modifiers] : {std::pair{Key::rightArrow, kControlAlt}, std::pair{Key::rightArrow, kControlAltSuper},
                                         std::pair{Key::one, kControlAlt}}) {
        press(key, modifiers);
        scheduler.advance(KeyboardSnapController::refocusDelay);
    }
    std::vector<std::string> failures;
    for (const std::string& message : sink.messages("KeyboardSnap")) {
        if (message.find(" failed: ") != std::string::npos) failures.push_back(message);
    }
    EXPECT_EQ(failures, (std::vector<std::string>{"move to zone 2 failed: Editor needs 600 px; this zone is 500 px",
                                                  "move to zone 2 failed: Editor needs 600 px; this zone is 400 px",
                                                  "snap to zone 1 failed: Editor needs 600 px; this zone is 400 px"}));
    EXPECT_EQ(told.size(), 3u);
    EXPECT_EQ(engine.raised, (std::vector<WindowHandle>{wide, wide, wide}));
    EXPECT_EQ(engine.focused, wide);
    EXPECT_TRUE(snaps.empty());
}

// While the focus passes from one window to another, some window managers name no active window
// for an instant: a window the user went to just after a shortcut's move keeps the focus.
TEST_F(KeyboardSnapTest, AWindowTheUserWentToJustAfterAMoveKeepsTheFocus) {
    const WindowHandle moved = focusedWindow(Rect(100, 100, 200, 200));
    const WindowHandle other = engine.addWindow("Mail", 2, "inbox", Rect(600, 100, 200, 200), Size{0, 0}, false);
    zones->onSnapAsked = [this](const WindowHandle&) { engine.focused.reset(); };
    press(Key::one, kControlAlt);
    EXPECT_EQ(frameOf(moved), mainZone(0));
    scheduler.advance(KeyboardSnapController::refocusDelay / 2);
    engine.focused = other;
    scheduler.advance(KeyboardSnapController::refocusDelay);
    EXPECT_TRUE(engine.raised.empty());
    EXPECT_EQ(engine.focused, other);

    // Left with no active window, the moved one is made active again.
    engine.focused = moved;
    press(Key::two, kControlAlt);
    scheduler.advance(KeyboardSnapController::refocusDelay);
    EXPECT_EQ(engine.raised, std::vector<WindowHandle>{moved});
    EXPECT_EQ(engine.focused, moved);
}

TEST_F(KeyboardSnapTest, LayoutsCycleOnTheDisplayUnderThePointerOrTheFirstOne) {
    ZoneLayout three(LayoutTemplate::columns, 3);
    zones->updateLibrary([&](LayoutLibrary& library) { library.layouts.push_back(three); });
    const struct {
        const char* name;
        Point pointer;
        Key key;
        std::string display;
        UUID layout;
    } cases[] = {
        {"down: the next layout on the side display", Point{1200, 100}, Key::downArrow, "SIDE", three.id},
        {"up: back to the previous one", Point{1200, 100}, Key::upArrow, "SIDE", quarters.id},
        {"in the gap below the side display: the first display", Point{1200, 700}, Key::downArrow, "MAIN", three.id},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        input.moveTo(c.pointer);
        const int before = cycles;
        EXPECT_TRUE(press(c.key, kControlAltSuper));
        const DisplayInfo& display = c.display == "SIDE" ? side : main;
        EXPECT_EQ(zones->library().layout(display.displayKey())->id, c.layout);
        EXPECT_EQ(cycles, before + 1) << "the new zones are to be shown";
        EXPECT_EQ(flashes, 0) << "a cycle is not Show Zones, which shows whatever the settings say";
    }
}

}  // namespace
