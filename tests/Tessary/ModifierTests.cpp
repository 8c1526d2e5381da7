#include <gtest/gtest.h>

#include <optional>

#include "Tessary/services/ActivationModifier.h"
#include "Tessary/services/DragKeys.h"
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

TEST(DragKeys, AKeyChosenForOneThatTheOtherHoldsMovesTheOtherToItsPartner) {
    using A = ActivationModifier;
    using S = SpanModifier;
    struct Row {
        const char* name;
        DragKeys before;
        std::optional<A> activation;  // chosen, else `span` is
        std::optional<S> span;
        DragKeys after;
    };
    const Row rows[] = {
        {"Ctrl to show the zones moves spanning from Ctrl to Super", {A::shift, S::control}, A::control, {},
         {A::control, S::command}},
        {"Super to show them moves spanning from Super to Ctrl", {A::control, S::command}, A::command, {},
         {A::command, S::control}},
        {"Shift to show them moves spanning from Shift to Ctrl", {A::control, S::shift}, A::shift, {},
         {A::shift, S::control}},
        {"a key spanning does not use moves nothing", {A::shift, S::control}, A::command, {}, {A::command, S::control}},
        {"always takes no key", {A::control, S::control}, A::always, {}, {A::always, S::control}},
        {"Ctrl to span moves the zones from Ctrl to Super", {A::control, S::command}, {}, S::control,
         {A::command, S::control}},
        {"Shift to span moves the zones from Shift to Ctrl", {A::shift, S::control}, {}, S::shift,
         {A::control, S::shift}},
        {"Super to span moves the zones from Super to Ctrl", {A::command, S::control}, {}, S::command,
         {A::control, S::command}},
        {"spanning off moves nothing", {A::control, S::command}, {}, S::none, {A::control, S::none}},
        {"any span key beside always", {A::always, S::control}, {}, S::shift, {A::always, S::shift}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DragKeys after = row.activation ? withActivation(row.before, *row.activation) : withSpan(row.before, *row.span);
        EXPECT_EQ(after, row.after);
        EXPECT_FALSE(sameKey(after.activation, after.span));
    }
}

TEST(DragKeys, AWindowManagerThatTakesShiftDragGetsCtrlAndSuperOnAFirstStart) {
    struct Row {
        const char* name;  // as the window manager names itself
        const char* shownAs;  // "": it takes no drag key
        DragKeys firstStart;
    };
    const DragKeys standard{ActivationModifier::shift, SpanModifier::control};
    const DragKeys controlSuper{ActivationModifier::control, SpanModifier::command};
    const Row rows[] = {
        {"KWin", "KWin", controlSuper},
        {"kwin", "KWin", controlSuper},
        {"Metacity", "Metacity", controlSuper},
        {"Metacity (Marco)", "Marco", controlSuper},
        {"Openbox", "", standard},
        {"xfwm4", "", standard},
        {"", "", standard},
        {"KDE", "", standard},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto taken = dragKeyTakenBy(row.name);
        EXPECT_EQ(taken ? taken->windowManager : "", row.shownAs);
        if (taken) {
            EXPECT_EQ(taken->key, ActivationModifier::shift);
        }
        EXPECT_EQ(defaultDragKeys(row.name), row.firstStart);
    }
}
