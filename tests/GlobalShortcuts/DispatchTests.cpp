#include <gtest/gtest.h>

#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

using Requests = std::vector<std::string>;
const Shortcut kZ(Key::z, kControlAlt);
const Shortcut kRight(Key::rightArrow, kControlAlt);

class Dispatch : public ::testing::Test, public ShortcutsWorld {
protected:
    GlobalShortcuts& g = *shortcuts;
    const GlobalShortcuts::Name showZones{"showZones", kZ};
    const GlobalShortcuts::Name restore{"restoreAllWindows"};
    std::vector<std::string> ran;
    std::function<void()> record(std::string what) {
        return [this, what] { ran.push_back(what); };
    }
};

TEST_F(Dispatch, TwoNamesOnOneCombinationShareOneGrabAndOnePressRunsBoth) {
    g.setShortcut(kZ, restore);
    g.onKeyDown(showZones, record("show"));
    g.onKeyDown(restore, record("restore"));
    g.onKeyUp(restore, record("restore up"));
    EXPECT_EQ(hotKeys.requests, Requests{"grab 6 0x1800 #1"});
    EXPECT_TRUE(hotKeys.press(6, kControlAlt));
    EXPECT_EQ(ran, (std::vector<std::string>{"restore", "show"}));
    EXPECT_TRUE(hotKeys.release(6, kControlAlt));
    EXPECT_EQ(ran.back(), "restore up") << "key-up handlers run on release only";
    EXPECT_EQ(ran.size(), 3u);

    // The grab stays while one of them still uses it.
    g.setShortcut(Shortcut(Key::s, kControlAlt), showZones);
    EXPECT_EQ(hotKeys.registered(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{6, kControlAlt}, {1, kControlAlt}}));
    g.setShortcut(Shortcut(Key::r, kControlAlt), restore);
    EXPECT_EQ(hotKeys.registered(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, kControlAlt}, {15, kControlAlt}}));
}

TEST_F(Dispatch, ADisabledNameSharingAGrabKeepsItButRunsNothing) {
    g.setShortcut(kZ, restore);
    g.onKeyDown(showZones, record("show"));
    g.onKeyDown(restore, record("restore"));
    g.disable({showZones});
    EXPECT_FALSE(g.isActive(showZones));
    EXPECT_TRUE(g.isActive(restore));
    hotKeys.press(6, kControlAlt);
    EXPECT_EQ(ran, std::vector<std::string>{"restore"});
    g.disable({restore});
    EXPECT_TRUE(hotKeys.registered().empty());
    g.enable({showZones, restore});
    EXPECT_EQ(hotKeys.registered().size(), 1u);
}

TEST_F(Dispatch, PausingGivesUpEveryGrabAndRunsNothing) {
    g.onKeyDown(showZones, record("show"));
    hotKeys.requests.clear();
    g.setPaused(true);
    EXPECT_EQ(hotKeys.requests, Requests{"ungrab #1"});
    EXPECT_FALSE(hotKeys.press(6, kControlAlt)) << "the key goes to the focused window";
    // An event that was on its way runs nothing either.
    g.dispatchShortcutEvent(GlobalShortcuts::EventType::keyDown, kZ);
    EXPECT_TRUE(ran.empty());
    g.setEnabled(false);
    g.setPaused(false);
    EXPECT_TRUE(hotKeys.registered().empty()) << "still switched off";
    g.setEnabled(true);
    EXPECT_EQ(hotKeys.requests, (Requests{"ungrab #1", "grab 6 0x1800 #2"}));
    hotKeys.press(6, kControlAlt);
    EXPECT_EQ(ran, std::vector<std::string>{"show"});
}

TEST_F(Dispatch, NothingIsGrabbedForAClearedNameUntilItGetsAShortcut) {
    g.setShortcut(std::nullopt, showZones);
    g.onKeyDown(showZones, record("show"));
    EXPECT_TRUE(hotKeys.requests.empty());
    g.setShortcut(kRight, showZones);
    EXPECT_EQ(hotKeys.requests, Requests{"grab 124 0x1800 #1"});
    EXPECT_TRUE(g.isActive(showZones));
}

TEST_F(Dispatch, ARefusedCombinationIsLoggedOnceKeptAndTriedAgainWhenSetAgain) {
    const GlobalShortcuts::Name nextZone("nextZone", kRight);
    hotKeys.takenByOthers.insert({124, kControlAlt});
    g.onKeyDown(nextZone, record("next"));
    g.onKeyDown(nextZone, record("next again"));
    EXPECT_FALSE(g.isActive(nextZone));
    EXPECT_EQ(errors(), std::vector<std::string>{
                            "“nextZone” (Ctrl+Alt+Right) is not active: another program holds the combination"});
    EXPECT_EQ(g.getShortcut(nextZone), kRight) << "the stored value stays";

    hotKeys.takenByOthers.clear();
    g.setShortcut(kRight, nextZone);
    EXPECT_TRUE(g.isActive(nextZone));
    hotKeys.press(124, kControlAlt);
    EXPECT_EQ(ran, (std::vector<std::string>{"next", "next again"}));
}

TEST_F(Dispatch, HandEditedValuesNeverReachTheDisplay) {
    const struct {
        const char* name;
        const char* text;
        const char* logged;
    } cases[] = {
        {"a code outside 16 bits", R"({"carbonKeyCode":70000,"carbonModifiers":6144})", "“edited” (Ctrl+Alt+\uFFFD)"},
        {"a negative code", R"({"carbonKeyCode":-1,"carbonModifiers":6144})", "“edited” (Ctrl+Alt+\uFFFD)"},
        {"a negative mask", R"({"carbonKeyCode":6,"carbonModifiers":-6144})", "“edited” (Alt+Fn+Z)"},
        {"an oversized mask", R"({"carbonKeyCode":6,"carbonModifiers":1099511627776})", "“edited” (Z)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShortcutsWorld world;
        world.defaults.set("GlobalShortcuts_edited", std::string(c.text));
        const GlobalShortcuts::Name edited("edited");
        world.shortcuts->onKeyDown(edited, [] {});
        EXPECT_FALSE(world.shortcuts->isActive(edited));
        EXPECT_TRUE(world.hotKeys.registered().empty());
        ASSERT_EQ(world.errors().size(), 1u);
        EXPECT_EQ(world.errors()[0], std::string(c.logged) + " is not active: the combination cannot be typed on this keyboard");
        EXPECT_EQ(world.stored("edited"), c.text);
    }
}

TEST_F(Dispatch, HandlersMayRewireEverythingWhileAPressIsDispatched) {
    // Each handler undoes something the dispatch is walking over: removing the next handler,
    // dropping the hot key that is running, adding handlers, ending a stream.
    const GlobalShortcuts::Name other("other");
    g.setShortcut(kZ, other);
    KeyEventStream stream = g.events(showZones, [&](GlobalShortcuts::EventType) { ran.push_back("stream"); });
    g.onKeyDown(other, [&] {
        ran.push_back("other");
        g.removeHandler(showZones);
    });
    g.onKeyDown(showZones, [&] {
        ran.push_back("show");  // removed by the handler before it: never runs
    });
    g.onKeyDown(restore, record("restore"));  // dropped by removeAllHandlers() below before its turn
    g.setShortcut(kZ, restore);
    g.onKeyDown(other, [&] {
        ran.push_back("other 2");
        g.setShortcut(kRight, other);
        g.setShortcut(kRight, restore);
        stream.end();
        g.removeAllHandlers();
        g.onKeyDown(other, record("added later"));
    });
    ASSERT_TRUE(hotKeys.press(6, kControlAlt));
    EXPECT_EQ(ran, (std::vector<std::string>{"other", "other 2"}));
    EXPECT_FALSE(g.isRegistered(kZ));
    ran.clear();
    hotKeys.press(124, kControlAlt);
    EXPECT_EQ(ran, std::vector<std::string>{"added later"});
}

TEST_F(Dispatch, TheModesFollowTheSwitchesAndTheMenus) {
    using Mode = HotKeyCenter::Mode;
    HotKeyCenter& center = g.hotKeyCenter();
    // No hot key yet: a menu only changes the mode.
    localEvents.openMenu();
    EXPECT_EQ(center.mode(), Mode::menuOpen);
    EXPECT_TRUE(hotKeys.requests.empty());
    localEvents.closeMenu();
    g.onKeyDown(showZones, record("show"));
    hotKeys.requests.clear();

    const struct {
        const char* name;
        std::function<void()> trigger;
        Mode mode;
        Requests requests;
        std::size_t monitors;
    } steps[] = {
        {"a menu opens", [&] { localEvents.openMenu(); }, Mode::menuOpen, {"ungrab #1"}, 1},
        {"a submenu opens", [&] { localEvents.openMenu(); }, Mode::menuOpen, {}, 1},
        {"the submenu closes", [&] { localEvents.closeMenu(); }, Mode::menuOpen, {}, 1},
        {"switched off with the menu open", [&] { g.setEnabled(false); }, Mode::disabled, {}, 0},
        {"the menu closes while off", [&] { localEvents.closeMenu(); }, Mode::disabled, {}, 0},
        {"a menu opens while off", [&] { localEvents.openMenu(); }, Mode::disabled, {}, 0},
        {"switched on with a menu open", [&] { g.setEnabled(true); }, Mode::menuOpen, {}, 1},
        {"the last menu closes", [&] { localEvents.closeMenu(); }, Mode::normal, {"grab 6 0x1800 #2"}, 0},
        {"paused", [&] { g.setPaused(true); }, Mode::disabled, {"ungrab #2"}, 0},
        {"resumed", [&] { g.setPaused(false); }, Mode::normal, {"grab 6 0x1800 #3"}, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        hotKeys.requests.clear();
        step.trigger();
        EXPECT_EQ(center.mode(), step.mode);
        EXPECT_EQ(hotKeys.requests, step.requests);
        EXPECT_EQ(localEvents.monitorCount(), step.monitors);
    }
}

TEST_F(Dispatch, WhileAMenuIsOpenAPressIsMatchedInsideTheProgramAndConsumed) {
    using T = LocalEventType;
    g.onKeyDown(showZones, record("show"));
    g.onKeyUp(showZones, record("show up"));
    const GlobalShortcuts::Name onF5("onF5", Shortcut(Key::f5, carbon::controlKey));
    g.onKeyDown(onF5, record("f5"));
    localEvents.openMenu();

    EXPECT_FALSE(localEvents.post(key(T::keyDown, 6, kControlAlt)));
    EXPECT_TRUE(localEvents.post(key(T::keyDown, 6, kControlAlt, true))) << "a repeat passes and fires nothing";
    EXPECT_FALSE(localEvents.post(key(T::keyUp, 6, kControlAlt)));
    EXPECT_TRUE(localEvents.post(key(T::keyDown, 6, carbon::controlKey))) << "other modifiers go to the menu";
    EXPECT_FALSE(localEvents.post(key(T::keyDown, 96, carbon::controlKey | carbon::functionKey)))
        << "Fn on an F key still matches";
    EXPECT_EQ(ran, (std::vector<std::string>{"show", "show up", "f5"}));
    EXPECT_EQ(localEvents.delivered.size(), 2u);

    localEvents.closeMenu();
    EXPECT_TRUE(localEvents.post(key(T::keyDown, 6, kControlAlt))) << "no matching once the menu is closed";
    hotKeys.press(6, kControlAlt);
    EXPECT_EQ(ran.back(), "show");
}

TEST_F(Dispatch, ACombinationTakenWhileAMenuWasOpenIsDroppedAndLogged) {
    g.onKeyDown(showZones, record("show"));
    localEvents.openMenu();
    hotKeys.takenByOthers.insert({6, kControlAlt});
    localEvents.closeMenu();
    EXPECT_FALSE(g.isRegistered(kZ));
    EXPECT_FALSE(g.isActive(showZones));
    EXPECT_EQ(errors().size(), 1u);
    // The next trigger tries again.
    hotKeys.takenByOthers.clear();
    g.enable({showZones});
    EXPECT_TRUE(g.isActive(showZones));

    // The back end giving it up (a keyboard change it could not follow) does the same.
    hotKeys.lose(6, kControlAlt);
    EXPECT_FALSE(g.isActive(showZones));
    ASSERT_EQ(errors().size(), 3u);
    EXPECT_EQ(errors()[1], "“showZones” (Ctrl+Alt+Z) is active now: no other program holds it") << "taken up between";
    EXPECT_FALSE(hotKeys.press(6, kControlAlt));
}

}  // namespace
