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

// Nobody tells when another program lets go of a combination: while one is held the module looks
// again by itself, a second later and then twice as late each time, never more than four seconds
// apart, and takes it up; with nothing held, or nothing that could fire, it schedules nothing.
TEST_F(LiveState, AHeldShortcutIsTakenUpByItselfSoonAfterTheOtherProgramLetsGo) {
    const std::string taken = "grab 19 0x1800 taken";
    // The times (whole seconds after the refusal) at which the module asked for the combination.
    const auto triedAt = [](Watched& w, int seconds) {
        std::vector<int> times;
        for (int second = 1; second <= seconds; ++second) {
            const std::size_t before = w.hotKeys.requests.size();
            w.scheduler.advance(std::chrono::seconds(1));
            if (w.hotKeys.requests.size() > before) times.push_back(second);
        }
        return times;
    };

    Watched w;
    w.g.onKeyDown(w.zone2, [] {});
    EXPECT_EQ(w.scheduler.pendingCount(), 0u) << "nothing is held: nothing waits";

    w.hotKeys.takenByOthers.insert({Key::two.rawValue, kControlAlt});
    w.hotKeys.lose(Key::two.rawValue, kControlAlt);
    ASSERT_TRUE(w.g.isHeldByAnotherProgram(w.zone2));
    w.hotKeys.requests.clear();
    EXPECT_EQ(triedAt(w, 16), (std::vector<int>{1, 3, 7, 11, 15}));
    EXPECT_EQ(w.hotKeys.requests.back(), taken);
    EXPECT_EQ(w.tells, (std::vector<std::string>{"snapToZone2"})) << "still held: nothing to tell";

    w.hotKeys.takenByOthers.clear();
    w.scheduler.advance(std::chrono::seconds(4));
    EXPECT_TRUE(w.g.isActive(w.zone2));
    EXPECT_TRUE(w.hotKeys.press(Key::two.rawValue, kControlAlt)) << "the press reaches the program";
    EXPECT_EQ(w.tells, (std::vector<std::string>{"snapToZone2", "snapToZone2"}));
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
    EXPECT_EQ(w.sink.messages("GlobalShortcuts").back(),
              "“snapToZone2” (Ctrl+Alt+2) is active now: no other program holds it");

    // Held again later: the first try comes a second later again.
    w.hotKeys.takenByOthers.insert({Key::two.rawValue, kControlAlt});
    w.hotKeys.lose(Key::two.rawValue, kControlAlt);
    w.hotKeys.requests.clear();
    EXPECT_EQ(triedAt(w, 3), (std::vector<int>{1, 3}));

    // Paused by a recorder or switched off, nothing could fire: nothing waits meanwhile.
    w.g.setPaused(true);
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
    w.g.setPaused(false);
    EXPECT_EQ(w.scheduler.pendingCount(), 1u);
    w.g.setEnabled(false);
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
    w.g.setEnabled(true);
    EXPECT_EQ(w.scheduler.pendingCount(), 1u);
    // Nor for a name that no longer needs its hot key, or a combination no keyboard change frees
    // by waiting.
    w.g.removeHandler(w.zone2);
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
    w.g.onKeyDown(w.zone2, [] {});
    EXPECT_EQ(w.scheduler.pendingCount(), 1u);
    w.g.setShortcut(Shortcut(Key::f5, carbon::controlKey | carbon::functionKey), w.zone2);
    EXPECT_EQ(w.g.refusal(w.zone2), HotKeyRefusal::notRepresentable);
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
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
