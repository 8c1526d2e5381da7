#include "Tessary/settings/SnappingPaneModel.h"

namespace tessary {

void resetSnappingSettings(Preferences& preferences) {
    preferences.setActivationModifier(Preferences::defaultActivationModifier);
    preferences.setSpanModifier(Preferences::defaultSpanModifier);
    preferences.setCenterUnresizableWindows(true);
}

ConfirmationTexts snappingResetConfirmation() {
    return {"Reset the snapping settings?", "Every setting on this pane goes back to its default.", "Reset"};
}

PrimaryActionTexts snappingResetAction() {
    return {"Reset to Defaults", "Shift to show zones, Ctrl to span, windows centered in their zone"};
}

}  // namespace tessary
