#include "Tessary/integrations/ui/AboutWindowController.h"

#include "Tessary/shell/ui/WindowCentring.h"
#include "Tessary/shell/ui/WindowCloseKeys.h"

namespace tessary {

AboutWindowController::AboutWindowController(AboutActions actions, const AboutTexts& texts)
    : window_(std::make_unique<AboutView>(std::move(actions), texts)) {
    window_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window_->setWindowTitle(QObject::tr("About Tessary"));
    window_->setFixedSize(window_->sizeHint().expandedTo(window_->minimumSize()));
    addCloseKeys(*window_, CloseKeys::ctrlWAndEscape);
}

AboutWindowController::~AboutWindowController() = default;

void AboutWindowController::show() {
    placeOnPointerDisplay(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace tessary
