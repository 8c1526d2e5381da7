#include "GlobalShortcuts/Key.h"
#include "Platform/X11/X11HotKeys.h"
#include "Platform/X11/X11KeyNames.h"
#include "Platform/X11/X11KeyboardLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tessary {
namespace {

TEST(X11KeyNames, EveryKeyHasThePositionOfItsANSIKeyOrNone) {
    // The key at each position of an ANSI keyboard, by XKB name; Fn and keypad Clear have none.
    const std::map<std::string_view, std::string_view> expected{
        {"a", "AC01"}, {"b", "AB05"}, {"c", "AB03"}, {"d", "AC03"}, {"e", "AD03"}, {"f", "AC04"}, {"g", "AC05"},
        {"h", "AC06"}, {"i", "AD08"}, {"j", "AC07"}, {"k", "AC08"}, {"l", "AC09"}, {"m", "AB07"}, {"n", "AB06"},
        {"o", "AD09"}, {"p", "AD10"}, {"q", "AD01"}, {"r", "AD04"}, {"s", "AC02"}, {"t", "AD05"}, {"u", "AD07"},
        {"v", "AB04"}, {"w", "AD02"}, {"x", "AB02"}, {"y", "AD06"}, {"z", "AB01"},
        {"zero", "AE10"}, {"one", "AE01"}, {"two", "AE02"}, {"three", "AE03"}, {"four", "AE04"},
        {"five", "AE05"}, {"six", "AE06"}, {"seven", "AE07"}, {"eight", "AE08"}, {"nine", "AE09"},
        {"capsLock", "CAPS"}, {"shift", "LFSH"}, {"function", ""}, {"control", "LCTL"}, {"option", "LALT"},
        {"command", "LWIN"}, {"rightCommand", "RWIN"}, {"rightOption", "RALT"}, {"rightControl", "RCTL"},
        {"rightShift", "RTSH"},
        {"return_", "RTRN"}, {"backslash", "BKSL"}, {"backtick", "TLDE"}, {"comma", "AB08"}, {"equal", "AE12"},
        {"minus", "AE11"}, {"period", "AB09"}, {"quote", "AC11"}, {"semicolon", "AC10"}, {"slash", "AB10"},
        {"space", "SPCE"}, {"tab", "TAB"}, {"leftBracket", "AD11"}, {"rightBracket", "AD12"},
        {"pageUp", "PGUP"}, {"pageDown", "PGDN"}, {"home", "HOME"}, {"end", "END"}, {"upArrow", "UP"},
        {"rightArrow", "RGHT"}, {"downArrow", "DOWN"}, {"leftArrow", "LEFT"}, {"escape", "ESC"},
        {"delete_", "BKSP"}, {"deleteForward", "DELE"}, {"help", "INS"}, {"mute", "MUTE"}, {"volumeUp", "VOL+"},
        {"volumeDown", "VOL-"},
        {"f1", "FK01"}, {"f2", "FK02"}, {"f3", "FK03"}, {"f4", "FK04"}, {"f5", "FK05"}, {"f6", "FK06"},
        {"f7", "FK07"}, {"f8", "FK08"}, {"f9", "FK09"}, {"f10", "FK10"}, {"f11", "FK11"}, {"f12", "FK12"},
        {"f13", "FK13"}, {"f14", "FK14"}, {"f15", "FK15"}, {"f16", "FK16"}, {"f17", "FK17"}, {"f18", "FK18"},
        {"f19", "FK19"}, {"f20", "FK20"},
        {"keypad0", "KP0"}, {"keypad1", "KP1"}, {"keypad2", "KP2"}, {"keypad3", "KP3"}, {"keypad4", "KP4"},
        {"keypad5", "KP5"}, {"keypad6", "KP6"}, {"keypad7", "KP7"}, {"keypad8", "KP8"}, {"keypad9", "KP9"},
        {"keypadClear", ""}, {"keypadDecimal", "KPDL"}, {"keypadDivide", "KPDV"}, {"keypadEnter", "KPEN"},
        {"keypadEquals", "KPEQ"}, {"keypadMinus", "KPSU"}, {"keypadMultiply", "KPMU"}, {"keypadPlus", "KPAD"},
        {"contextualMenu", "COMP"}, {"printScreen", "PRSC"}, {"scrollLock", "SCLK"}, {"pause", "PAUS"},
    };
    ASSERT_EQ(Key::all().size(), expected.size());
    for (const auto& [name, key] : Key::all()) {
        SCOPED_TRACE(std::string(name));
        ASSERT_TRUE(expected.count(name));
        EXPECT_EQ(xkbKeyName(key.rawValue).value_or(""), expected.at(name));
        if (!expected.at(name).empty()) {
            EXPECT_EQ(carbonKeyCodeOfXkbName(expected.at(name)), key.rawValue);
        }
    }
    for (std::int64_t code : {std::int64_t(-1), std::int64_t(10), std::int64_t(127), std::int64_t(70000)}) {
        EXPECT_FALSE(xkbKeyName(code)) << code;
    }
}

TEST(X11HotKeyGrabs, CoverEveryLockVariantThatTheModifierMapHas) {
    constexpr std::uint32_t kNumLock = 0xff7f, kCapsLock = 0xffe5, kAltL = 0xffe9;
    constexpr std::uint8_t kMin = 8;
    const struct {
        const char* name;
        std::vector<std::pair<int, std::uint32_t>> modifierKeys;  // modifier index, symbol of its key
        std::vector<std::uint16_t> variants;
    } cases[] = {
        {"Num Lock on Mod2", {{1, kCapsLock}, {3, kAltL}, {4, kNumLock}}, {0, 2, 16, 18}},
        {"Num Lock on Mod5", {{7, kNumLock}}, {0, 2, 128, 130}},
        {"no Num Lock: Caps Lock alone", {{1, kCapsLock}, {3, kAltL}}, {0, 2}},
        {"Num Lock on Control is not a lock", {{2, kNumLock}}, {0, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // One key code per modifier; key code 10 + index carries the symbol.
        std::vector<std::uint8_t> modifiers(8, 0);
        std::vector<std::uint32_t> keysyms(32, 0);
        for (const auto& [index, symbol] : c.modifierKeys) {
            modifiers[index] = std::uint8_t(10 + index);
            keysyms[10 + index - kMin] = symbol;
        }
        const std::uint16_t numLock = numLockMask(modifiers.data(), 1, keysyms.data(), int(keysyms.size()), 1, kMin);
        EXPECT_EQ(lockVariants(numLock), c.variants);
    }
}

TEST(X11HotKeyGrabs, ARepeatedPressFoldsAndAReleaseIsMatchedByItsKeyCode) {
    X11HotKeyPresses presses;
    const struct {
        const char* name;
        bool press;
        xcb_keycode_t code;
        HotKeyRegistration registration;
        std::optional<HotKeyRegistration> announced;
    } steps[] = {
        {"Ctrl+Alt+Z pressed", true, 52, 1, 1},
        {"the server repeats it", true, 52, 1, std::nullopt},
        {"and again", true, 52, 1, std::nullopt},
        {"Ctrl let go first: its release is no hot key's", false, 37, 0, std::nullopt},
        {"Z let go with Alt still held ends the press", false, 52, 0, 1},
        {"a second release of Z is nobody's", false, 52, 0, std::nullopt},
        {"pressed again", true, 52, 1, 1},
        {"the same key with other modifiers is a new press", true, 52, 2, 2},
        {"its release ends that one", false, 52, 0, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.press) {
            EXPECT_EQ(presses.press(step.code, step.registration), step.announced.has_value());
        } else {
            EXPECT_EQ(presses.release(step.code), step.announced);
        }
    }
    presses.press(38, 3);
    presses.forget(3);
    EXPECT_FALSE(presses.release(38)) << "an ungrabbed key's release is not ours";
}

// The combination just typed into a recorder is grabbed while its key is still held; the server's
// repeats of that key must not fire it.
TEST(X11HotKeyGrabs, AKeyHeldWhenItsCombinationIsGrabbedCountsOnlyOnceLetGo) {
    X11HotKeyPresses presses;
    const struct {
        const char* name;
        char step;  // g: grabbed while held, p: press, r: release
        xcb_keycode_t code;
        HotKeyRegistration registration;
        std::optional<HotKeyRegistration> announced;
    } steps[] = {
        {"H held as Ctrl+Alt+H is grabbed", 'g', 43, 1, std::nullopt},
        {"its repeat reaches the grab", 'p', 43, 1, std::nullopt},
        {"and again, with other modifiers", 'p', 43, 2, std::nullopt},
        {"let go: nothing to end", 'r', 43, 0, std::nullopt},
        {"pressed anew", 'p', 43, 1, 1},
        {"grabbed again while that press is held: the press stays", 'g', 43, 3, std::nullopt},
        {"its release ends the press", 'r', 43, 0, 1},
        {"held at a grab given up at once", 'g', 44, 4, std::nullopt},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.step == 'g') {
            presses.heldAtGrab(step.code, step.registration);
        } else if (step.step == 'p') {
            EXPECT_EQ(presses.press(step.code, step.registration), step.announced.has_value());
        } else {
            EXPECT_EQ(presses.release(step.code), step.announced);
        }
    }
    presses.forget(4);
    EXPECT_TRUE(presses.press(44, 5)) << "a grab given up forgets what was held";
}

// A key held at its grab and let go before it repeated: its release went to the focused window, and
// only the raw release says so. The next press is the user's, not a repeat.
TEST(X11HotKeyGrabs, AKeyHeldAtItsGrabIsFreeOnceARawReleaseAfterTheGrabSaysSo) {
    X11HotKeyPresses presses;
    const struct {
        const char* name;
        char step;  // g: grabbed while held (at request `sequence`), l: raw release, p: press, r: release
        xcb_keycode_t code;
        std::uint32_t sequence;
        bool answer;  // letGo: freed; press: announced; release: ends a press
        bool awaits;
    } steps[] = {
        {"Y held as Ctrl+Alt+Y is grabbed at request 100", 'g', 29, 100, false, true},
        {"a raw release of another key frees nothing", 'l', 30, 105, false, true},
        {"a raw release of Y sent before the grab's answer is an older one", 'l', 29, 99, false, true},
        {"Y let go after the grab", 'l', 29, 101, true, false},
        {"the next Y is a press of its own", 'p', 29, 0, true, false},
        {"its raw release leaves an announced press alone", 'l', 29, 110, false, false},
        {"its release, which the grab sees, ends it", 'r', 29, 0, true, false},
        {"grabbed held again, with the request numbers wrapped", 'g', 29, 0xFFFFFFF0u, false, true},
        {"let go after the wrap", 'l', 29, 5, true, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        switch (step.step) {
        case 'g': presses.heldAtGrab(step.code, 1, step.sequence); break;
        case 'l': EXPECT_EQ(presses.letGo(step.code, step.sequence), step.answer); break;
        case 'p': EXPECT_EQ(presses.press(step.code, 1), step.answer); break;
        case 'r': EXPECT_EQ(presses.release(step.code).has_value(), step.answer); break;
        }
        EXPECT_EQ(presses.awaitsLetGo(), step.awaits);
    }
}

}  // namespace
}  // namespace tessary
