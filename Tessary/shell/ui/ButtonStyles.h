#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace tessary {

// Gives a button the look its role asks for: prominent buttons get the default-button look (the
// one Return presses in a dialog), the others the plain bordered look.
void adaptiveButtonStyle(QPushButton* button, bool prominent);

// A text button for a pane's tool row: the text padded 8 on either side.
QPushButton* makeToolbarTextButton(const QString& text, QWidget* parent = nullptr);

}  // namespace tessary
