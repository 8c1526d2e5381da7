#include "Platform/X11/X11GlobalInput.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessary {
namespace {

constexpr uint32_t kAltL = 0xffe9, kMetaL = 0xffe7, kSuperL = 0xffeb, kShiftL = 0xffe1, kControlL = 0xffe3;
constexpr uint32_t kNumLock = 0xff7f, kLetterA = 0x61;
constexpr uint8_t kMinKeycode = 8;

// A keyboard with two symbols per key code, from key code 8; `symbols[code]` is the first symbol.
struct Keyboard {
    std::vector<uint32_t> keysyms = std::vector<uint32_t>(2 * 32, 0);
    // Two key codes per modifier: Shift, Lock, Control, Mod1 to Mod5.
    std::vector<uint8_t> modifiers = std::vector<uint8_t>(16, 0);

    void key(uint8_t code, uint32_t sym) { keysyms[(code - kMinKeycode) * 2] = sym; }
    void modifier(int index, uint8_t code) { modifiers[index * 2] = code; }
    X11ModifierLayout layout() const {
        return X11ModifierLayout::from(modifiers.data(), 2, keysyms.data(), int(keysyms.size()), 2, kMinKeycode);
    }
};

TEST(X11ModifierLayout, FindsAltAndSuperWhereverTheLayoutPutsThem) {
    Keyboard keyboard;
    keyboard.key(10, kShiftL);
    keyboard.key(11, kControlL);
    keyboard.key(12, kAltL);
    keyboard.key(13, kSuperL);
    keyboard.key(14, kNumLock);
    keyboard.modifier(0, 10);  // Shift
    keyboard.modifier(2, 11);  // Control
    keyboard.modifier(3, 14);  // Mod1: Num Lock
    keyboard.modifier(5, 12);  // Mod3: Alt
    keyboard.modifier(7, 13);  // Mod5: Super
    const X11ModifierLayout layout = keyboard.layout();
    EXPECT_EQ(layout.altMask, XCB_MOD_MASK_3);
    EXPECT_EQ(layout.superMask, XCB_MOD_MASK_5);
    EXPECT_TRUE(layout.isModifierKey[12]);
    EXPECT_FALSE(layout.isModifierKey[20]);

    // Num Lock and Caps Lock are never carried.
    const uint16_t state = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_1 | XCB_MOD_MASK_3;
    EXPECT_EQ(layout.keys(state), (GlobalModifierKeys{.shift = true, .alt = true}));
    EXPECT_EQ(layout.keys(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_5), (GlobalModifierKeys{.control = true, .super = true}));
}

TEST(X11ModifierLayout, MetaCountsAsAltAndAMissingKeyFallsBackToTheUsualBit) {
    Keyboard keyboard;
    keyboard.key(12, kLetterA);
    keyboard.keysyms[(12 - kMinKeycode) * 2 + 1] = kMetaL;  // Meta as the key's second symbol
    keyboard.modifier(4, 12);                              // Mod2
    const X11ModifierLayout layout = keyboard.layout();
    EXPECT_EQ(layout.altMask, XCB_MOD_MASK_2);
    EXPECT_EQ(layout.superMask, XCB_MOD_MASK_4);
}

TEST(X11ModifierLayout, KeyCodesOutsideTheMappingAreIgnored) {
    Keyboard keyboard;
    keyboard.modifier(3, 3);    // below the first key code
    keyboard.modifier(6, 250);  // beyond the symbols the server sent
    const X11ModifierLayout layout = keyboard.layout();
    EXPECT_EQ(layout.altMask, XCB_MOD_MASK_1);
    EXPECT_EQ(layout.superMask, XCB_MOD_MASK_4);
    EXPECT_TRUE(layout.isModifierKey[250]);
}

}  // namespace
}  // namespace tessary
