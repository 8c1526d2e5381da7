#include <gtest/gtest.h>

#include "Tessary/keyboard/HeldShortcutsNotice.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

// The start of a program whose window manager holds some of its defaults, as the keyboard layer
// starts: every one of the eighteen names with a handler.
struct Start : ShortcutsWorld {
    explicit Start(std::set<std::pair<std::int64_t, std::int64_t>> held) {
        hotKeys.takenByOthers = std::move(held);
        for (const GlobalShortcuts::Name& name : ShortcutNames::paneShortcutNames()) shortcuts->onKeyDown(name, [] {});
    }
    std::string said() {
        const auto notice = heldShortcutsNotice(*shortcuts, defaults);
        return notice ? notice->title + ": " + notice->body + " [" + notice->actionLabel + "]" : "nothing";
    }
};

TEST(HeldShortcutsNotice, NamesTheHeldShortcutsOnceAndADifferentSetAgain) {
    const std::pair<std::int64_t, std::int64_t> left{Key::leftArrow.rawValue, kControlAlt},
        right{Key::rightArrow.rawValue, kControlAlt};
    Start openbox({left, right});
    EXPECT_EQ(openbox.said(),
              "Some shortcuts do not work: Another program, such as the window manager, holds Ctrl+Alt+Right (Next "
              "zone) and Ctrl+Alt+Left (Previous zone). Record other combinations in Settings, Shortcuts. [Open "
              "Shortcuts]");

    // The next starts, with the same user defaults.
    Start again({left, right});
    again.defaults = openbox.defaults;
    EXPECT_EQ(again.said(), "nothing") << "told once";

    Start changed({right});
    changed.defaults = openbox.defaults;
    EXPECT_EQ(changed.said(),
              "A shortcut does not work: Another program, such as the window manager, holds Ctrl+Alt+Right (Next "
              "zone). Record other combinations in Settings, Shortcuts. [Open Shortcuts]");

    Start freed({});
    freed.defaults = changed.defaults;
    EXPECT_EQ(freed.said(), "nothing");
    Start heldAgain({right});
    heldAgain.defaults = freed.defaults;
    EXPECT_NE(heldAgain.said(), "nothing") << "held again after a start that found it free";
}

TEST(HeldShortcutsNotice, ALongListEndsWithHowManyMore) {
    std::set<std::pair<std::int64_t, std::int64_t>> held;
    for (Key digit : {Key::one, Key::two, Key::three, Key::four, Key::five, Key::six, Key::seven, Key::eight, Key::nine}) {
        held.insert({digit.rawValue, kControlAlt});
    }
    Start icewm(held);
    EXPECT_EQ(icewm.said(),
              "Some shortcuts do not work: Another program, such as the window manager, holds Ctrl+Alt+1 (Zone 1), "
              "Ctrl+Alt+2 (Zone 2), Ctrl+Alt+3 (Zone 3), Ctrl+Alt+4 (Zone 4), Ctrl+Alt+5 (Zone 5), Ctrl+Alt+6 (Zone 6) "
              "and 3 more. Record other combinations in Settings, Shortcuts. [Open Shortcuts]");
}

}  // namespace
