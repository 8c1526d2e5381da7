#pragma once

// The Snapping pane's reset: the two modifiers and the centring back to their defaults.

#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SettingsTag.h"

namespace tessary {

inline constexpr const char* snappingFooter =
    "Alt is not offered because the window manager uses Alt-drag to move windows.";

// Sets shift, control and true through the setters, in that order: each saves, even when the
// value does not change. Nothing else is touched.
void resetSnappingSettings(Preferences& preferences);

ConfirmationTexts snappingResetConfirmation();
PrimaryActionTexts snappingResetAction();

}  // namespace tessary
