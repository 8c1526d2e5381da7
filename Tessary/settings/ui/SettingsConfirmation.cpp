#include "Tessary/settings/ui/SettingsConfirmation.h"

#include <QString>

#include "Tessary/shell/ui/ConfirmDestructive.h"

namespace tessary {

void confirmDestructive(QWidget* window, const ConfirmationTexts& texts, std::function<void()> action) {
    confirmDestructive(window, QString::fromStdString(texts.title), QString::fromStdString(texts.message),
                       QString::fromStdString(texts.confirmTitle), std::move(action));
}

}  // namespace tessary
