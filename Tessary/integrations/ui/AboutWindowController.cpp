#include "Tessary/integrations/ui/AboutWindowController.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessary {

namespace {

void centre(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame(QPoint(), window.size());
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace

AboutWindowController::AboutWindowController(AboutActions actions, const AboutTexts& texts)
    : window_(std::make_unique<AboutView>(std::move(actions), texts)) {
    window_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window_->setWindowTitle(QObject::tr("About Tessary"));
    window_->setFixedSize(window_->sizeHint().expandedTo(window_->minimumSize()));
    centre(*window_);
}

AboutWindowController::~AboutWindowController() = default;

void AboutWindowController::show() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace tessary
