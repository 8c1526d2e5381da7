#include <gtest/gtest.h>

#include "GlobalShortcuts/ConflictPolicy.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

TEST(ConflictRules, TheSystemRuleAsksTheDisplayAndNeverTakesF12Alone) {
    ShortcutsWorld world;
    GlobalShortcuts& g = *world.shortcuts;
    world.hotKeys.takenByOthers = {{Key::rightArrow.rawValue, kControlAlt}, {Key::f12.rawValue, 0}};
    world.hotKeys.system = {{Key::f1.rawValue, carbon::functionKey}, {Key::a.rawValue, carbon::functionKey | 0x1}};
    // Our own grab is not "taken".
    const GlobalShortcuts::Name own("own", Shortcut(Key::z, kControlAlt));
    g.onKeyDown(own, [] {});
    const struct {
        const char* name;
        Shortcut shortcut;
        bool taken;
    } cases[] = {
        {"held by the window manager", {Key::rightArrow, kControlAlt}, true},
        {"free", {Key::leftArrow, kControlAlt | carbon::cmdKey}, false},
        {"our own", {Key::z, kControlAlt}, false},
        {"F12 alone, even when held", {Key::f12, 0}, false},
        {"Shift+F12 is checked", {Key::f12, carbon::shiftKey}, false},
        {"reserved F1, listed with the Fn bit", {Key::f1, 0}, true},
        {"reserved A keeps its Fn bit", {Key::a, carbon::functionKey}, true},
        {"A without it is free", {Key::a, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(g.isTakenBySystem(c.shortcut), c.taken);
    }
    EXPECT_TRUE(g.isActive(own)) << "the probe left our grab alone";
    world.hotKeys.system.clear();
    EXPECT_TRUE(g.reservedBySystem().empty());
}

TEST(ConflictRules, TheDisallowedRuleOnlyAppliesToAltAloneInASandboxOnTwoReleases) {
    const OperatingSystemVersion linux{};
    const OperatingSystemVersion mac151{true, 15, 1, 3};
    const OperatingSystemVersion mac152{true, 15, 2, 0};
    const OperatingSystemVersion mac150{true, 15, 0, 0};
    const struct {
        const char* name;
        std::int64_t modifiers;
        OperatingSystemVersion version;
        bool sandboxed;
        bool disallowed;
    } cases[] = {
        {"Alt+K in a sandbox on 15.1", carbon::optionKey, mac151, true, true},
        {"Alt+Shift+K on 15.0", carbon::optionKey | carbon::shiftKey, mac150, true, true},
        {"Ctrl+Alt+K", kControlAlt, mac151, true, false},
        {"Alt+K on 15.2", carbon::optionKey, mac152, true, false},
        {"Alt+K outside a sandbox", carbon::optionKey, mac151, false, false},
        {"Alt+K on Linux", carbon::optionKey, linux, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isDisallowedShortcut(Shortcut(Key::k, c.modifiers), c.version, c.sandboxed), c.disallowed);
    }
    ShortcutsWorld world;
    world.shortcuts->operatingSystemVersion = [&] { return mac151; };
    world.shortcuts->sandboxed = true;
    EXPECT_TRUE(world.shortcuts->isDisallowed(Shortcut(Key::k, carbon::optionKey)));
}

}  // namespace
