#include "Tessary/shell/ui/WindowCentring.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tessary {

void centreOnPrimaryScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame(QPoint(), window.size());
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace tessary
