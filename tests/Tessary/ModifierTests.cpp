#include <gtest/gtest.h>

#include "Tessary/services/ActivationModifier.h"
#include "Tessary/services/InputModifiers.h"
#include "Tessary/services/SpanModifier.h"

using namespace tessary;

TEST(ModifierPreferences, AreTestedAgainstTheHeldKeys) {
    using M = InputModifiers;
    struct Case {
        InputModifiers held;
        bool shift, control, command, always;  // activation
        bool spanControl, spanShift, spanCommand, spanNone;
    };
    const Case cases[] = {
        {M{}, false, false, false, true, false, false, false, false},
        {M{M::shift}, true, false, false, true, false, true, false, false},
        {M{M::shift, M::command}, true, false, true, true, false, true, true, false},
        {M{M::control, M::option}, false, true, false, true, true, false, false, false},
        {M{M::option}, false, false, false, true, false, false, false, false},
        {M(std::uint8_t{15}), true, true, true, true, true, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.held.rawValue));
        EXPECT_EQ(isHeld(ActivationModifier::shift, c.held), c.shift);
        EXPECT_EQ(isHeld(ActivationModifier::control, c.held), c.control);
        EXPECT_EQ(isHeld(ActivationModifier::command, c.held), c.command);
        EXPECT_EQ(isHeld(ActivationModifier::always, c.held), c.always);
        EXPECT_EQ(isHeld(SpanModifier::control, c.held), c.spanControl);
        EXPECT_EQ(isHeld(SpanModifier::shift, c.held), c.spanShift);
        EXPECT_EQ(isHeld(SpanModifier::command, c.held), c.spanCommand);
        EXPECT_EQ(isHeld(SpanModifier::none, c.held), c.spanNone);
    }
}

TEST(ModifierPreferences, LockAndModeKeysNeverReachTheSetAndKeysHaveTheirLinuxNames) {
    EXPECT_EQ(InputModifiers(std::uint8_t{0xF1}), InputModifiers::shift);
    EXPECT_EQ(displayName(SpanModifier::control), "Ctrl");
    EXPECT_EQ(displayName(ActivationModifier::command), "Super");
}
