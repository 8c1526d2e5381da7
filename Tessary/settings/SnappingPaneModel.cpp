#include "Tessary/settings/SnappingPaneModel.h"

namespace tessary {

namespace {

std::string named(ActivationModifier key) { return std::string(displayName(key)); }
std::string named(SpanModifier key) { return std::string(displayName(key)); }

}  // namespace

std::string snappingFooter(std::string_view windowManagerName) {
    std::string text = "Alt is not offered because the window manager uses Alt-drag to move windows.";
    if (const auto taken = dragKeyTakenBy(windowManagerName)) {
        text += " " + taken->windowManager + " uses " + named(taken->key) + "-drag to " + taken->use + ", so " +
                named(taken->key) + " is best left to it.";
    }
    return text;
}

std::string chooseActivationModifier(Preferences& preferences, ActivationModifier chosen) {
    const SpanModifier before = preferences.spanModifier();
    preferences.setActivationModifier(chosen);
    const SpanModifier after = preferences.spanModifier();
    if (after == before) return {};
    return named(chosen) + " now shows the zones, so spanning moved to " + named(after) + ".";
}

std::string chooseSpanModifier(Preferences& preferences, SpanModifier chosen) {
    const ActivationModifier before = preferences.activationModifier();
    preferences.setSpanModifier(chosen);
    const ActivationModifier after = preferences.activationModifier();
    if (after == before) return {};
    return named(chosen) + " now spans zones, so the zones show with " + named(after) + ".";
}

void resetSnappingSettings(Preferences& preferences, DragKeys defaults) {
    preferences.setActivationModifier(defaults.activation);
    preferences.setSpanModifier(defaults.span);
    preferences.setCenterUnresizableWindows(true);
}

ConfirmationTexts snappingResetConfirmation() {
    return {"Reset the snapping settings?", "Every setting on this pane goes back to its default.", "Reset"};
}

PrimaryActionTexts snappingResetAction(DragKeys defaults) {
    return {"Reset to Defaults", named(defaults.activation) + " to show zones, " + named(defaults.span) +
                                     " to span, windows centered in their zone"};
}

}  // namespace tessary
