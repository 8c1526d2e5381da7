#include <gtest/gtest.h>

#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

using EventType = GlobalShortcuts::EventType;
const Shortcut kZ(Key::z, kControlAlt);

class Streams : public ::testing::Test, public ShortcutsWorld {
protected:
    GlobalShortcuts& g = *shortcuts;
    const GlobalShortcuts::Name showZones{"showZones", kZ};
};

TEST_F(Streams, EachOpenStreamHearsEveryEventAndTheLastOneToEndGivesUpTheGrab) {
    std::vector<std::string> heard;
    auto hear = [&](std::string who) {
        return [&heard, who](EventType type) { heard.push_back(who + (type == EventType::keyDown ? " down" : " up")); };
    };
    KeyEventStream first = g.events(showZones, hear("first"));
    KeyEventStream second = g.events(showZones, hear("second"));
    KeyEventStream releases = g.events(EventType::keyUp, kZ, [&] { heard.push_back("bare up"); });
    EXPECT_EQ(hotKeys.registered().size(), 1u);
    hotKeys.press(6, kControlAlt);
    hotKeys.release(6, kControlAlt);
    EXPECT_EQ(heard, (std::vector<std::string>{"first down", "second down", "first up", "second up", "bare up"}));

    first.end();
    releases.end();
    EXPECT_TRUE(g.isRegistered(kZ));
    heard.clear();
    hotKeys.press(6, kControlAlt);
    EXPECT_EQ(heard, std::vector<std::string>{"second down"});

    // A key-down handler keeps the grab after the last stream ends; without one it goes.
    g.onKeyDown(showZones, [] {});
    { KeyEventStream moved = std::move(second); }
    EXPECT_TRUE(g.isRegistered(kZ));
    g.removeHandler(showZones);
    EXPECT_FALSE(g.isRegistered(kZ));
}

TEST_F(Streams, AStreamHandleMayOutliveTheModule) {
    KeyEventStream stream = g.events(showZones, [](EventType) {});
    RepeatingKeyDownStream repeating = g.repeatingKeyDownEvents(kZ, [] {});
    shortcuts.reset();
    stream.end();
    repeating.end();
    EXPECT_TRUE(hotKeys.registered().empty());
}

// A held key with a repeat delay of 0.25 s and an interval of 0.03 s; ticks noted in milliseconds.
struct RepeatWorld : ShortcutsWorld {
    RepeatWorld() {
        keyboard.timing = KeyRepeatTiming{250ms, 30ms};
        stream = g.repeatingKeyDownEvents(showZones, [this] { ticks.push_back(elapsed()); });
    }
    int elapsed() const {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(scheduler.now() - start).count());
    }
    void press() {
        keyboard.heldKeys.insert(6);
        hotKeys.press(6, kControlAlt);
    }
    void release() {
        keyboard.heldKeys.erase(6);
        hotKeys.release(6, kControlAlt);
    }
    GlobalShortcuts& g = *shortcuts;
    const GlobalShortcuts::Name showZones{"showZones", kZ};
    Scheduler::TimePoint start = scheduler.now();
    std::vector<int> ticks;
    RepeatingKeyDownStream stream;
};

TEST(Repeat, TicksAtOnceThenAfterTheDelayThenEveryIntervalUntilReleased) {
    RepeatWorld r;
    auto& scheduler = r.scheduler;
    auto& ticks = r.ticks;
    r.press();
    scheduler.advance(320ms);
    EXPECT_EQ(ticks, (std::vector<int>{0, 250, 280, 310}));
    r.release();
    scheduler.advance(1s);
    EXPECT_EQ(ticks.size(), 4u);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no timer while idle";
}

TEST(Repeat, WhatStopsOrRestartsTheTicks) {
    const struct {
        const char* name;
        std::function<void(RepeatWorld&)> during;
        std::vector<int> ticks;
    } cases[] = {
        {"a new key-down restarts the delay",
         [](RepeatWorld& r) { r.hotKeys.press(6, kControlAlt); }, {0, 250, 280, 300, 550, 580}},
        {"a change of the shortcut", [](RepeatWorld& r) { r.g.setShortcut(Shortcut(Key::x, kControlAlt), r.showZones); },
         {0, 250, 280}},
        {"a recorder starting", [](RepeatWorld& r) { r.g.setPaused(true); }, {0, 250, 280}},
        {"switching the module off", [](RepeatWorld& r) { r.g.setEnabled(false); }, {0, 250, 280}},
        {"a release that went elsewhere", [](RepeatWorld& r) { r.keyboard.heldKeys.clear(); }, {0, 250, 280}},
        {"the consumer ending the stream", [](RepeatWorld& r) { r.stream.end(); }, {0, 250, 280}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RepeatWorld r;
        r.press();
        r.scheduler.advance(300ms);
        c.during(r);
        r.scheduler.advance(300ms);
        EXPECT_EQ(r.ticks, c.ticks);
    }
}

TEST(Repeat, AConsumerMayEndItsStreamFromATick) {
    RepeatWorld r;
    int count = 0;
    r.stream = r.g.repeatingKeyDownEvents(r.showZones, [&] {
        if (++count == 2) r.stream.end();
    });
    r.press();
    r.scheduler.advance(1s);
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(r.g.isRegistered(kZ));
}

}  // namespace
