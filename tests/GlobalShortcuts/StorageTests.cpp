#include <gtest/gtest.h>

#include <functional>

#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const Shortcut kNextZone(Key::rightArrow, kControlAlt);
const std::string kNextZoneText = R"({"carbonKeyCode":124,"carbonModifiers":6144})";
const std::string kZText = R"({"carbonKeyCode":6,"carbonModifiers":6144})";

TEST(ShortcutStorage, EveryWriterLeavesItsEntryAndPostsOnlyWhenSomethingChanged) {
    using Op = std::function<void(GlobalShortcuts&)>;
    const GlobalShortcuts::Name nextZone("nextZone", kNextZone);
    const GlobalShortcuts::Name plain("workspace.A");
    const struct {
        const char* name;
        const char* key;
        std::optional<UserDefaultsValue> before;
        Op operation;
        std::string after;
        std::vector<std::string> notices;
    } cases[] = {
        {"creating a name stores its default silently", "nextZone", std::nullopt,
         [&](GlobalShortcuts& g) { g.name("nextZone", kNextZone); }, kNextZoneText, {}},
        {"creating it again keeps the user's choice", "nextZone", kZText,
         [&](GlobalShortcuts& g) { g.name("nextZone", kNextZone); }, kZText, {}},
        {"a cleared default stays cleared at the next launch", "nextZone", false,
         [&](GlobalShortcuts& g) { EXPECT_FALSE(g.getShortcut(g.name("nextZone", kNextZone))); }, "false", {}},
        {"reset brings a cleared default back", "nextZone", false,
         [&](GlobalShortcuts& g) { g.reset({nextZone}); }, kNextZoneText, {"nextZone"}},
        {"reset posts even when the default is stored", "nextZone", kNextZoneText,
         [&](GlobalShortcuts& g) { g.reset({nextZone}); }, kNextZoneText, {"nextZone"}},
        {"clearing a default writes false", "nextZone", kZText,
         [&](GlobalShortcuts& g) { g.setShortcut(std::nullopt, nextZone); }, "false", {"nextZone"}},
        {"clearing a default twice posts once", "nextZone", kZText,
         [&](GlobalShortcuts& g) {
             g.setShortcut(std::nullopt, nextZone);
             g.setShortcut(std::nullopt, nextZone);
         },
         "false", {"nextZone"}},
        {"clearing a default whose entry is absent writes false", "nextZone", std::nullopt,
         [&](GlobalShortcuts& g) { g.setShortcut(std::nullopt, nextZone); }, "false", {"nextZone"}},
        {"setting a shortcut writes its text, also over false", "nextZone", false,
         [&](GlobalShortcuts& g) { g.setShortcut(Shortcut(Key::z, kControlAlt), nextZone); }, kZText, {"nextZone"}},
        {"clearing a name without default and entry posts nothing", "workspace.A", std::nullopt,
         [&](GlobalShortcuts& g) { g.setShortcut(std::nullopt, plain); }, "none", {}},
        {"clearing a name without default removes its entry", "workspace.A", kZText,
         [&](GlobalShortcuts& g) { g.setShortcut(std::nullopt, plain); }, "none", {"workspace.A"}},
        {"reset of a name without default and entry posts nothing", "workspace.A", std::nullopt,
         [&](GlobalShortcuts& g) { g.reset({plain}); }, "none", {}},
        {"reset of a name without default removes its entry", "workspace.A", false,
         [&](GlobalShortcuts& g) { g.reset({plain}); }, "none", {"workspace.A"}},
        {"text that is no shortcut reads as nothing and survives creation", "nextZone", std::string("Ctrl+Alt+Z"),
         [&](GlobalShortcuts& g) {
             EXPECT_EQ(g.storedShortcut(g.name("nextZone", kNextZone)), GlobalShortcuts::StoredShortcut{});
         },
         "Ctrl+Alt+Z", {}},
        {"true reads as nothing stored", "nextZone", true,
         [&](GlobalShortcuts& g) { EXPECT_FALSE(g.getShortcut(nextZone)); }, "true", {}},
        {"a name whose key is not UTF-8 changes nothing", "\xff", std::nullopt,
         [&](GlobalShortcuts& g) {
             g.setShortcut(kNextZone, GlobalShortcuts::Name("\xff"));
             g.setShortcut(std::nullopt, GlobalShortcuts::Name("\xff", kNextZone));
             g.reset({GlobalShortcuts::Name("\xff", kNextZone)});
         },
         "none", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShortcutsWorld world;
        const std::string key = std::string(GlobalShortcuts::keyPrefix) + c.key;
        if (c.before) world.defaults.set(key, *c.before);
        c.operation(*world.shortcuts);
        EXPECT_EQ(world.stored(c.key), c.after);
        EXPECT_EQ(world.changed, c.notices);
    }
}

TEST(ShortcutStorage, NamesAreTheirRawValues) {
    ShortcutsWorld world;
    const GlobalShortcuts::Name first("showZones", Shortcut(Key::z, kControlAlt));
    const GlobalShortcuts::Name second("showZones", Shortcut(Key::x, kControlAlt));
    EXPECT_EQ(first, second);
    world.shortcuts->setShortcut(Shortcut(Key::s, kControlAlt), first);
    EXPECT_EQ(world.shortcuts->getShortcut(second), Shortcut(Key::s, kControlAlt));

    world.defaults.set("GlobalShortcuts_a", false);
    world.defaults.set("GlobalShortcuts_", false);
    world.defaults.set("preferences.v1", std::string("{}"));
    const std::set<GlobalShortcuts::Name> names = world.shortcuts->storedNames();
    std::vector<std::string> raw;
    for (const auto& name : names) raw.push_back(name.rawValue);
    EXPECT_EQ(raw, (std::vector<std::string>{"", "a", "showZones"}));

    world.changed.clear();
    world.shortcuts->removeAllShortcuts();
    EXPECT_EQ(world.changed, (std::vector<std::string>{"", "a", "showZones"}));
    EXPECT_EQ(world.defaults.keys(), std::vector<std::string>{"preferences.v1"});
}

}  // namespace
