#include "Tessary/shell/ui/ButtonStyles.h"

#include <QPushButton>

namespace tessary {

void adaptiveButtonStyle(QPushButton* button, bool prominent) {
    button->setFlat(false);
    button->setDefault(prominent);
    button->setAutoDefault(prominent);
}

QPushButton* makeToolbarTextButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setStyleSheet(QStringLiteral("QPushButton { padding-left: 8px; padding-right: 8px; }"));
    return button;
}

}  // namespace tessary
