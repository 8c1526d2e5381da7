#pragma once

#include <functional>

#include "Tessary/settings/SettingsTag.h"

class QWidget;

namespace tessary {

// The shared confirmation (shell/ui/ConfirmDestructive), window-modal on the settings window, with
// a pane's texts.
void confirmDestructive(QWidget* window, const ConfirmationTexts& texts, std::function<void()> action);

}  // namespace tessary
