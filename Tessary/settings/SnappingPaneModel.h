#pragma once

// What the Snapping pane says and does: the footer (Alt, and the key the window manager takes for
// its own drags), the drag keys chosen with the sentence that tells which key moved, and the reset.

#include <string>
#include <string_view>

#include "Tessary/services/DragKeys.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SettingsTag.h"

namespace tessary {

// "Alt is not offered …", and beside a window manager that takes a drag key of its own, a sentence
// that names it ("KWin uses Shift-drag to tile windows, so Shift is best left to it.").
std::string snappingFooter(std::string_view windowManagerName);

// Chooses the key that shows the zones (or the span key) through Preferences; when the other key
// had to move, the sentence that says where ("Ctrl now shows the zones, so spanning moved to
// Super."), else empty.
std::string chooseActivationModifier(Preferences& preferences, ActivationModifier chosen);
std::string chooseSpanModifier(Preferences& preferences, SpanModifier chosen);

// Sets the drag keys (`defaults`: those of a first start beside this window manager) and true
// through the setters, in that order: each saves, even when the value does not change. Nothing
// else is touched.
void resetSnappingSettings(Preferences& preferences, DragKeys defaults);

ConfirmationTexts snappingResetConfirmation();
PrimaryActionTexts snappingResetAction(DragKeys defaults);

}  // namespace tessary
