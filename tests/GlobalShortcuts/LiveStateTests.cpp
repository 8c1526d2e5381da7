#include <gtest/gtest.h>

#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const Shortcut kTwo(Key::two, kControlAlt);

// Whether a name's shortcut works, as whatever shows it learns: the refusal, and each change told.
struct Watched : ShortcutsWorld {
    Watched() {
        told = g.refusalDidChange.subscribe([this](const GlobalShortcuts::Name& name) { tells.push_back(name.rawValue); });
    }
    GlobalShortcuts& g = *shortcuts;
    const GlobalShortcuts::Name zone2{"snapToZone2", kTwo};
    std::vector<std::string> tells;
    Subscription told;
};

class LiveState : public ::testing::Test, public Watched {};

// The window manager holds Ctrl+Alt+2; each of the moments the module looks again finds it free
// once the other program let go.
TEST_F(LiveState, AHeldShortcutIsToldAndTriedAgainWhenTheUserCouldHaveFreedIt) {
    const struct {
        const char* name;
        std::function<void(Watched&)> lookAgain;
    } cases[] = {
        {"a recording ends", [](Watched& w) {
             w.g.setPaused(true);
             w.g.setPaused(false);
         }},
        {"the keyboard changes", [](Watched& w) { w.keyboard.setCharacters({{Key::two.rawValue, "é"}}); }},
        {"asked for this name", [](Watched& w) { w.g.retryRefused(w.zone2); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Watched w;
        w.hotKeys.takenByOthers.insert({Key::two.rawValue, kControlAlt});
        w.g.onKeyDown(w.zone2, [] {});
        EXPECT_TRUE(w.g.isHeldByAnotherProgram(w.zone2));
        EXPECT_EQ(w.tells, std::vector<std::string>{"snapToZone2"});
        c.lookAgain(w);
        EXPECT_TRUE(w.g.isHeldByAnotherProgram(w.zone2)) << "still held: nothing changes";
        EXPECT_EQ(w.tells.size(), 1u);

        w.hotKeys.takenByOthers.clear();
        c.lookAgain(w);
        EXPECT_EQ(w.g.refusal(w.zone2), std::nullopt);
        EXPECT_TRUE(w.g.isActive(w.zone2));
        EXPECT_EQ(w.tells, (std::vector<std::string>{"snapToZone2", "snapToZone2"}));
    }
}

TEST_F(LiveState, WhatEndsOrChangesARefusal) {
    hotKeys.takenByOthers.insert({Key::two.rawValue, kControlAlt});
    g.onKeyDown(zone2, [] {});
    ASSERT_TRUE(g.isHeldByAnotherProgram(zone2));

    g.setShortcut(Shortcut(Key::f5, carbon::controlKey | carbon::functionKey), zone2);
    EXPECT_EQ(g.refusal(zone2), HotKeyRefusal::notRepresentable) << "Fn has no X modifier";
    g.setShortcut(Shortcut(Key::three, kControlAlt), zone2);
    EXPECT_EQ(g.refusal(zone2), std::nullopt) << "a free combination recorded";

    g.setShortcut(kTwo, zone2);
    EXPECT_TRUE(g.isHeldByAnotherProgram(zone2));
    g.removeHandler(zone2);
    EXPECT_EQ(g.refusal(zone2), std::nullopt) << "a name that needs no hot key is no longer held";

    hotKeys.takenByOthers.clear();
    g.onKeyDown(zone2, [] {});
    ASSERT_TRUE(g.isActive(zone2));
    hotKeys.lose(Key::two.rawValue, kControlAlt, HotKeyRefusal::notRepresentable);
    EXPECT_EQ(g.refusal(zone2), HotKeyRefusal::notRepresentable) << "a grab lost after a keyboard change";
    EXPECT_EQ(tells, (std::vector<std::string>{"snapToZone2", "snapToZone2", "snapToZone2", "snapToZone2",
                                               "snapToZone2", "snapToZone2"}));
}

// What a recorder asks before it takes a combination: the other names that store it, each with
// its default, so that clearing one keeps its default from coming back at the next start.
TEST_F(LiveState, TheNamesUsingAShortcutComeWithTheirDefaults) {
    const GlobalShortcuts::Name zone3("snapToZone3", Shortcut(Key::three, kControlAlt));
    const GlobalShortcuts::Name workspace("workspace.A");
    g.getShortcut(zone2);
    g.setShortcut(kTwo, zone3);
    g.setShortcut(kTwo, workspace);
    const auto users = g.namesUsing(kTwo, &zone3);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].rawValue, "snapToZone2");
    EXPECT_EQ(users[0].initialShortcut, kTwo);
    EXPECT_EQ(users[1].rawValue, "workspace.A");
    g.setShortcut(std::nullopt, users[0]);
    EXPECT_EQ(stored("snapToZone2"), "false");
}

}  // namespace
