#include "Tessary/integrations/FeedbackModel.h"

#include "Platform/Logger.h"
#include "Tessary/integrations/FeedbackRequest.h"
#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/UserText.h"

namespace tessary {

FeedbackModel::FeedbackModel(FeedbackSender& client, FeedbackFacts facts, std::function<Date()> clock)
    : client_(client), facts_(std::move(facts)), clock_(std::move(clock)) {}

void FeedbackModel::setMessage(std::string text) {
    // A character takes at least one byte, so only a longer text can be over the limit.
    if (text.size() > feedbackMessageLimit) text = prefixOfGraphemes(text, feedbackMessageLimit);
    if (text == message_) return;
    message_ = std::move(text);
    changed_.emit();
}

void FeedbackModel::setEmail(std::string text) {
    if (text == email_) return;
    email_ = std::move(text);
    changed_.emit();
}

bool FeedbackModel::canSend() const {
    return unavailableReason_.empty() && phase_ != Phase::sending && !trimmingWhitespaceAndNewlines(message_).empty();
}

void FeedbackModel::setUnavailableReason(std::string reason) {
    if (reason == unavailableReason_) return;
    unavailableReason_ = std::move(reason);
    changed_.emit();
}

void FeedbackModel::send() {
    if (!canSend()) return;
    setPhase(Phase::sending);
    const FeedbackReport report{message_, email_, facts_.appVersion, facts_.systemVersion, facts_.language, clock_()};
    std::weak_ptr<FeedbackModel*> weak = self_;
    client_.send(report, [weak](std::optional<FeedbackError> error) {
        // The user sees one sentence for every failure; the log keeps what it was.
        if (error) {
            static const Logger log("Feedback");
            log.error("Feedback not sent: " + (error->kind == FeedbackError::Kind::rejected
                                                    ? "the server answered with status " + std::to_string(error->status)
                                                    : error->description));
        }
        const auto self = weak.lock();
        if (!self) return;
        (*self)->setPhase(error ? Phase::failed : Phase::sent);
    });
}

std::string FeedbackModel::caption() const {
    return "Sent with your message: " + std::string(TessaryInfo::productName) + " " + facts_.appVersion +
           " \xC2\xB7 " + facts_.systemVersion;
}

void FeedbackModel::setPhase(Phase phase) {
    if (phase == phase_) return;
    phase_ = phase;
    changed_.emit();
}

}  // namespace tessary
