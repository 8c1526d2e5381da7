#pragma once

#include <functional>

#include "Tessary/settings/SettingsTag.h"

class QWidget;

namespace tessary {

// Asks before a destructive command: a warning alert, window-modal on `window`, the confirming
// button first (destructive role), "Cancel" second. `action` runs only for the first button, at
// most once, and never after the window is gone (the alert dies with it). Returns at once.
void confirmDestructive(QWidget* window, const ConfirmationTexts& texts, std::function<void()> action);

}  // namespace tessary
