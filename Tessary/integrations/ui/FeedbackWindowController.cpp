#include "Tessary/integrations/ui/FeedbackWindowController.h"

#include <QLayout>
#include <QPlainTextEdit>

#include "Platform/Logger.h"
#include "Tessary/integrations/FeedbackRequest.h"
#include "Tessary/integrations/ui/FeedbackClient.h"
#include "Tessary/integrations/ui/FeedbackMail.h"
#include "Tessary/integrations/ui/FeedbackView.h"
#include "Tessary/integrations/ui/PreferredLanguage.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/WindowCentring.h"

namespace tessary {

namespace {

void fitAndCentre(QWidget& window) {
    window.setFixedSize(window.sizeHint());
    centreOnPrimaryScreen(window);
}

}  // namespace

FeedbackWindowController::FeedbackWindowController(std::unique_ptr<FeedbackSender> client, FeedbackFacts facts,
                                                   MailOpener openMail, std::string supportAddress,
                                                   std::string unavailableReason)
    : client_(std::move(client)),
      model_(std::make_unique<FeedbackModel>(*client_, std::move(facts))),
      openMail_(std::move(openMail)),
      supportAddress_(std::move(supportAddress)) {
    model_->setUnavailableReason(std::move(unavailableReason));
    std::function<void(const std::string&)> sendByEmail;
    if (!supportAddress_.empty()) {
        sendByEmail = [this](const std::string& message) {
            openMailFallback(message, model_->facts(), view_.get(), supportAddress_, openMail_);
        };
    }
    view_ = std::make_unique<FeedbackView>(*model_, std::move(sendByEmail), [this] { view_->close(); });
    view_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    view_->setWindowTitle(QObject::tr("Send Feedback"));
    fitAndCentre(*view_);

    phaseWatch_ = model_->observe([this] {
        const FeedbackModel::Phase phase = model_->phase();
        if (phase == lastPhase_) return;
        lastPhase_ = phase;
        if (phase == FeedbackModel::Phase::failed && !view_->isVisible()) show();
        // The failure sentence, its buttons and the thank-you page change the window's height.
        view_->layout()->activate();
        view_->setFixedSize(view_->sizeHint());
    });
}

FeedbackWindowController::~FeedbackWindowController() = default;

std::unique_ptr<FeedbackWindowController> FeedbackWindowController::make(Scheduler& scheduler) {
    const std::string endpoint = configuredFeedbackEndpoint();
    std::string unavailable;
    if (const auto refused = checkFeedbackEndpoint(endpoint)) {
        static const Logger log("Feedback");
        log.notice("Feedback cannot be sent from this build: " + refused->description);
        unavailable = endpoint.empty() ? QObject::tr("This build has no feedback server to send to.").toStdString()
                                       : QObject::tr("This build's feedback server cannot be used: %1")
                                             .arg(QString::fromStdString(refused->description))
                                             .toStdString();
    }
    return std::make_unique<FeedbackWindowController>(
        std::make_unique<FeedbackClient>(endpoint, scheduler),
        FeedbackFacts{appVersionString(), systemVersionString(), preferredLanguage()}, desktopMailOpener(),
        supportEmailAddress(), std::move(unavailable));
}

void FeedbackWindowController::show() {
    view_->show();
    view_->raise();
    view_->activateWindow();
    if (model_->phase() != FeedbackModel::Phase::sent) view_->messageEditor()->setFocus();
}

bool FeedbackWindowController::isVisible() const { return view_->isVisible(); }

QWidget* FeedbackWindowController::window() const { return view_.get(); }

void FeedbackWindows::present() {
    using Phase = FeedbackModel::Phase;
    const bool keep = current_ && (current_->isVisible() || current_->model().phase() == Phase::sending ||
                                   current_->model().phase() == Phase::failed);
    if (!keep) current_ = make_();
    if (current_) current_->show();
}

}  // namespace tessary
