#pragma once

// One feedback window: its model, the client that sends for it and the view. Closing only hides
// it. A request that fails while the window is hidden shows the window again, with the text and
// the failure sentence, so that nothing the user wrote is lost unseen.
//
// FeedbackWindows is what the application keeps for its "send feedback" command: it shows the
// kept window again while it is visible, sending or failed, and otherwise replaces it with a new,
// empty one.

#include <functional>
#include <memory>
#include <string>

#include "Platform/Scheduler.h"
#include "Tessary/integrations/FeedbackModel.h"
#include "Tessary/integrations/ui/FeedbackMail.h"

class QWidget;

namespace tessary {

class FeedbackView;

class FeedbackWindowController final {
public:
    // `openMail` hands the mail fallback's URL to the desktop; `supportAddress` is its recipient,
    // and without one the form offers no mail. A non-empty `unavailableReason` says why this build
    // cannot send, and the form never tries.
    FeedbackWindowController(std::unique_ptr<FeedbackSender> client, FeedbackFacts facts,
                             MailOpener openMail = desktopMailOpener(), std::string supportAddress = {},
                             std::string unavailableReason = {});
    ~FeedbackWindowController();
    FeedbackWindowController(const FeedbackWindowController&) = delete;
    FeedbackWindowController& operator=(const FeedbackWindowController&) = delete;

    // The program's window: the client to this build's endpoint, the facts of this system; a build
    // without a usable endpoint says so and offers only mail.
    static std::unique_ptr<FeedbackWindowController> make(Scheduler& scheduler);

    // Shows the window, raises it and focuses it.
    void show();
    bool isVisible() const;
    QWidget* window() const;
    FeedbackModel& model() { return *model_; }
    FeedbackView& view() { return *view_; }

private:
    std::unique_ptr<FeedbackSender> client_;
    std::unique_ptr<FeedbackModel> model_;
    std::unique_ptr<FeedbackView> view_;
    MailOpener openMail_;
    std::string supportAddress_;
    Subscription phaseWatch_;
    FeedbackModel::Phase lastPhase_ = FeedbackModel::Phase::editing;
};

class FeedbackWindows final {
public:
    using Factory = std::function<std::unique_ptr<FeedbackWindowController>()>;
    explicit FeedbackWindows(Factory make) : make_(std::move(make)) {}

    // The "send feedback" command.
    void present();
    FeedbackWindowController* current() const { return current_.get(); }

private:
    Factory make_;
    std::unique_ptr<FeedbackWindowController> current_;
};

}  // namespace tessary
