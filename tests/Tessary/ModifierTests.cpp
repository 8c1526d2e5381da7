#include <gtest/gtest.h>

#include "Tessary/services/ActivationModifier.h"
#include "Tessary/services/InputModifiers.h"
#include "Tessary/services/SpanModifier.h"

using namespace tessary;

TEST(InputModifiers, BehavesAsASetOfFourKeys) {
    const InputModifiers all{InputModifiers::control, InputModifiers::option, InputModifiers::command};
    EXPECT_EQ(all.rawValue, 14);
    EXPECT_TRUE(all.contains(InputModifiers::option));
    EXPECT_FALSE(all.contains(InputModifiers::shift));
    EXPECT_FALSE(all.contains(InputModifiers{}));
    EXPECT_EQ(InputModifiers{InputModifiers::shift}.unionWith(all).rawValue, 15);
    EXPECT_EQ(all.intersection(InputModifiers{InputModifiers::shift, InputModifiers::command}), InputModifiers::command);
    // Lock and mode keys never reach the set: the high bits are dropped.
    EXPECT_EQ(InputModifiers(std::uint8_t{0xF1}), InputModifiers::shift);
    EXPECT_TRUE(InputModifiers{}.isEmpty());
}

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

TEST(ModifierPreferences, RawValuesRoundTripAndUnknownTextIsRefused) {
    for (const auto m : allActivationModifiers) EXPECT_EQ(activationModifierFromRawValue(rawValue(m)), m);
    for (const auto m : allSpanModifiers) EXPECT_EQ(spanModifierFromRawValue(rawValue(m)), m);
    EXPECT_EQ(rawValue(allActivationModifiers.front()), "shift");
    EXPECT_EQ(rawValue(allSpanModifiers.front()), "control");
    EXPECT_FALSE(activationModifierFromRawValue("none"));
    EXPECT_FALSE(spanModifierFromRawValue("always"));
    EXPECT_FALSE(spanModifierFromRawValue("Control"));
    // Linux names for the keys: Ctrl and Super.
    EXPECT_EQ(displayName(SpanModifier::control), "Ctrl");
    EXPECT_EQ(displayName(ActivationModifier::command), "Super");
}
