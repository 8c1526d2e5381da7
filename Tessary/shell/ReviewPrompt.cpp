#include "Tessary/shell/ReviewPrompt.h"

namespace tessary {

ReviewPrompt::ReviewPrompt(UserDefaults& defaults, std::function<double()> now)
    : defaults_(defaults), now_(std::move(now)) {
    if (!defaults_.contains(firstSeenKey)) defaults_.set(firstSeenKey, now_());
}

void ReviewPrompt::recordSnap() {
    if (defaults_.boolValue(finishedKey).value_or(false)) return;
    const std::int64_t count = defaults_.integerValue(snapCountKey).value_or(0);
    if (count > snapsNeeded - 1) return;
    // A hand-edited negative count still climbs one snap at a time.
    defaults_.set(snapCountKey, count + 1);
}

bool ReviewPrompt::shouldOffer() {
    if (defaults_.boolValue(finishedKey).value_or(false)) return false;
    if (defaults_.integerValue(snapCountKey).value_or(0) < snapsNeeded) return false;
    const double now = now_();
    if (!(now - defaults_.doubleValue(firstSeenKey).value_or(0) >= daysBeforeOffer)) return false;
    const std::optional<double> offeredAt = defaults_.doubleValue(offeredAtKey);
    if (!offeredAt) {
        defaults_.set(offeredAtKey, now);
        return true;
    }
    if (now - *offeredAt > offerLength) {
        defaults_.set(finishedKey, true);
        return false;
    }
    return true;
}

void ReviewPrompt::present(const Presenter& presenter) {
    const Answer answer = presenter.askUser ? presenter.askUser() : Answer::notNow;
    if (answer == Answer::writeReview && !(presenter.openReviewPage && presenter.openReviewPage())) return;
    defaults_.set(finishedKey, true);
    switch (answer) {
        case Answer::writeReview: break;
        case Answer::sendFeedback:
            if (presenter.showFeedback) presenter.showFeedback();
            break;
        case Answer::notNow: break;
    }
}

}  // namespace tessary
