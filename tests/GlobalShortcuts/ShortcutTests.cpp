#include <gtest/gtest.h>

#include "GlobalShortcuts/ConflictPolicy.h"
#include "GlobalShortcuts/LocalEventMonitor.h"
#include "GlobalShortcuts/Shortcut.h"
#include "GlobalShortcuts/Utilities.h"
#include "Platform/CarbonModifiers.h"
#include "Platform/Sim/SimKeyboardLayout.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"

using namespace tessary;
using tessary::testing::kControlAlt;

namespace {

constexpr std::int64_t kAll = carbon::controlKey | carbon::optionKey | carbon::shiftKey | carbon::cmdKey;

TEST(Shortcut, IsStoredAsTheCarbonPairAndDecodingKeepsWhatTheTextSays) {
    EXPECT_EQ(Shortcut(Key::rightArrow, kControlAlt).storedText(), R"({"carbonKeyCode":124,"carbonModifiers":6144})");
    // A constructor keeps the five modifier bits; decoding keeps a hand edit's extra bits.
    EXPECT_EQ(Shortcut(6, kControlAlt | 0x1 | 0x400).carbonModifiers, kControlAlt);
    const auto decoded = Shortcut::fromStoredText(R"({"carbonModifiers":6145,"carbonKeyCode":6,"note":1})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->carbonModifiers, kControlAlt | 0x1);

    const struct {
        const char* name;
        const char* text;
    } refused[] = {
        {"not JSON", "Ctrl+Alt+Z"},
        {"an array", "[6, 6144]"},
        {"a missing member", R"({"carbonKeyCode":6})"},
        {"a fraction", R"({"carbonKeyCode":6.5,"carbonModifiers":6144})"},
        {"text for a number", R"({"carbonKeyCode":"6","carbonModifiers":6144})"},
        {"a number beyond 64 bits", R"({"carbonKeyCode":1e30,"carbonModifiers":6144})"},
        {"a Boolean", R"({"carbonKeyCode":true,"carbonModifiers":6144})"},
        {"an empty text", ""},
        {"invalid UTF-8", "{\"carbonKeyCode\xff\":6}"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Shortcut::fromStoredText(c.text));
    }
}

TEST(Shortcut, ReadsAsLinuxDesktopsWriteIt) {
    SimKeyboardLayout keyboard;
    keyboard.setCharacters({{Key::backtick.rawValue, ""}, {Key::q.rawValue, "é"}, {Key::k.rawValue, ""}});
    const struct {
        const char* name;
        Shortcut shortcut;
        const char* text;
    } cases[] = {
        {"the next-zone default", {Key::rightArrow, kControlAlt}, "Ctrl+Alt+Right"},
        {"a letter, upper-cased", {Key::z, kControlAlt}, "Ctrl+Alt+Z"},
        {"modifiers in their order", {Key::f5, kAll | carbon::functionKey}, "Ctrl+Alt+Shift+Super+Fn+F5"},
        {"a digit", {Key::one, kControlAlt}, "Ctrl+Alt+1"},
        {"a keypad key, in letters every font has", {Key::keypad5, 0}, "Num 5"},
        {"keypad enter", {Key::keypadEnter, 0}, "Num Enter"},
        {"a keypad operator", {Key::keypadMultiply, carbon::controlKey}, "Ctrl+Num *"},
        {"return reads as its keycap", {Key::return_, kControlAlt}, "Ctrl+Alt+Enter"},
        {"space", {Key::space, carbon::cmdKey}, "Super+Space"},
        {"backspace", {Key::delete_, 0}, "Backspace"},
        {"forward delete", {Key::deleteForward, 0}, "Delete"},
        {"help is Insert", {Key::help, 0}, "Insert"},
        {"escape", {Key::escape, 0}, "Esc"},
        {"page up", {Key::pageUp, 0}, "Page Up"},
        {"a media key the layout names no character", {Key::mute, kControlAlt}, "Ctrl+Alt+Mute"},
        {"volume", {Key::volumeDown, kControlAlt}, "Ctrl+Alt+Volume Down"},
        {"print", {Key::printScreen, carbon::controlKey}, "Ctrl+Print"},
        {"scroll lock", {Key::scrollLock, carbon::controlKey}, "Ctrl+Scroll Lock"},
        {"pause", {Key::pause, carbon::cmdKey}, "Super+Pause"},
        {"the menu key", {Key::contextualMenu, carbon::optionKey}, "Alt+Menu"},
        {"F20", {Key::f20, 0}, "F20"},
        {"a dead key", {Key::backtick, kControlAlt}, "Ctrl+Alt+\uFFFD"},
        {"a letter beyond ASCII, upper-cased", {Key::q, 0}, "\u00C9"},
        {"a key the layout lacks", {Key::k, 0}, "\uFFFD"},
        {"a hand-edited code beyond 16 bits", Shortcut::fromStoredText(R"({"carbonKeyCode":70000,"carbonModifiers":0})").value(), "\uFFFD"},
        {"a negative code", Shortcut::fromStoredText(R"({"carbonKeyCode":-6,"carbonModifiers":-1})").value(), "Ctrl+Alt+Shift+Super+Fn+\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.shortcut.description(keyboard), c.text);
    }
    EXPECT_FALSE(Shortcut(Key::f5, 0).keyToCharacter(keyboard)) << "special keys have no character";
}

TEST(Shortcut, FromEventTakesKeyEventsOnlyAndNeverTheFnBit) {
    using tessary::testing::ShortcutsWorld;
    LocalEvent mouse;
    mouse.type = LocalEventType::leftMouseUp;
    LocalEvent unknownKey;
    unknownKey.nativeKeyCode = 200;
    const struct {
        const char* name;
        LocalEvent event;
        std::optional<Shortcut> shortcut;
    } cases[] = {
        {"a key press", ShortcutsWorld::key(LocalEventType::keyDown, 6, kControlAlt), Shortcut(6, kControlAlt)},
        {"Fn+F5", ShortcutsWorld::key(LocalEventType::keyUp, 96, carbon::functionKey), Shortcut(96, 0)},
        {"a mouse release", mouse, std::nullopt},
        {"a key without a Carbon code", unknownKey, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shortcut::fromEvent(c.event), c.shortcut);
    }
}

TEST(ModifierConversions, BridgeTheCarbonMaskAndTheCoreState) {
    constexpr std::uint16_t shift = 1, lock = 2, control = 4, mod1 = 8, mod2 = 16, mod3 = 32, mod4 = 64;
    const CoreModifierBits usual;                              // Alt Mod1, Super Mod4
    const CoreModifierBits moved{.alt = mod3, .super = mod2};  // as some layouts have them
    const struct {
        const char* name;
        std::uint16_t state;
        CoreModifierBits bits;
        std::int64_t mask;
    } toCarbon[] = {
        {"Control and Alt", control | mod1, usual, kControlAlt},
        {"Caps Lock and Num Lock dropped", lock | mod2 | shift, usual, carbon::shiftKey},
        {"Super", mod4, usual, carbon::cmdKey},
        {"Alt and Super where the layout puts them", mod3 | mod2, moved, carbon::optionKey | carbon::cmdKey},
        {"Mod1 that is not Alt", mod1, moved, 0},
    };
    for (const auto& c : toCarbon) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(carbonModifiersFromCoreState(c.state, c.bits), c.mask);
    }
    const struct {
        const char* name;
        std::int64_t mask;
        std::optional<std::uint16_t> state;
    } toCore[] = {
        {"Control and Alt", kControlAlt, std::uint16_t(control | mod1)},
        {"everything typeable", kAll, std::uint16_t(shift | control | mod1 | mod4)},
        {"Fn has no X modifier", carbon::functionKey | carbon::controlKey, std::nullopt},
        {"a negative mask", -1, std::nullopt},
        {"bits beyond the five", kControlAlt | 0x400, std::nullopt},
        {"a mask beyond 32 bits", std::int64_t(1) << 40, std::nullopt},
    };
    for (const auto& c : toCore) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(coreStateFromCarbonModifiers(c.mask, usual), c.state);
    }
    EXPECT_EQ(modifierText(carbon::cmdKey | carbon::shiftKey | carbon::controlKey), "Ctrl+Shift+Super+");
}

TEST(Utilities, ScalarsBecomeTextWhenTheyAreCharacters) {
    const struct {
        std::int64_t scalar;
        std::optional<std::string> text;
    } cases[] = {
        {0x41, "A"}, {0xE9, "\u00E9"}, {0xF704, "\uF704"}, {0x1F310, "\U0001F310"},
        {0xD800, std::nullopt}, {0xDFFF, std::nullopt}, {0x110000, std::nullopt}, {-1, std::nullopt},
        {std::int64_t(1) << 33, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scalar);
        EXPECT_EQ(scalarToText(c.scalar), c.text);
    }
}

}  // namespace

namespace {

TEST(LocalEventMonitor, StartsOnceRestartsFreshAndStopsWhenReleased) {
    SimLocalEvents events;
    int calls = 0;
    auto monitor = std::make_unique<LocalEventMonitor>(events, localEventBit(LocalEventType::keyDown),
                                                       [&](const LocalEvent&) -> std::optional<LocalEvent> {
                                                           ++calls;
                                                           return std::nullopt;
                                                       });
    monitor->start().start();
    EXPECT_EQ(events.monitorCount(), 1u);
    EXPECT_FALSE(events.post(LocalEvent{})) << "consumed";
    monitor->stop();
    EXPECT_TRUE(events.post(LocalEvent{}));
    monitor->start();
    EXPECT_EQ(events.monitorCount(), 1u);
    LocalEvent mouse;
    mouse.type = LocalEventType::leftMouseUp;
    EXPECT_TRUE(events.post(mouse)) << "a type it does not watch";
    monitor.reset();
    EXPECT_EQ(events.monitorCount(), 0u);
    EXPECT_EQ(calls, 1);
}

}  // namespace
