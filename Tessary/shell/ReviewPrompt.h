#pragma once

#include <functional>

#include "Platform/UserDefaults.h"

namespace tessary {

// Decides when to invite the user to write a review, and acts on the answer. It counts snaps (up to
// 30); once 30 snaps and 14 days since the first run are reached, the status menu offers a review
// row for 7 days, after which the prompt ends for good. Showing the invitation, whatever the
// answer, ends it too. All its progress lives in four user-defaults keys, so it survives restarts.
//
// Time comes only through `now` (seconds since 1970), so the rule runs in any clock a test picks.
class ReviewPrompt final {
public:
    enum class Answer { writeReview, sendFeedback, notNow };

    static constexpr const char* firstSeenKey = "reviewPrompt.firstSeen";
    static constexpr const char* snapCountKey = "reviewPrompt.snapCount";
    static constexpr const char* offeredAtKey = "reviewPrompt.offeredAt";
    static constexpr const char* finishedKey = "reviewPrompt.finished";

    static constexpr std::int64_t snapsNeeded = 30;
    static constexpr double daysBeforeOffer = 14 * 86400.0;
    static constexpr double offerLength = 7 * 86400.0;

    // Stores the current time as the first run when nothing at all is stored there; a value of any
    // type already there is left as it is.
    ReviewPrompt(UserDefaults& defaults, std::function<double()> now);

    // Counts one snap, up to 30, until the prompt is finished.
    void recordSnap();
    // Whether the status menu shows the review row now; opens the offer window on the first true
    // answer and finishes the prompt once that window has passed.
    bool shouldOffer();

    // What showing the invitation needs from the program: the alert (application-modal, it returns
    // the user's answer), a way to open the review page (false when it did not open) and the
    // feedback window.
    struct Presenter {
        std::function<Answer()> askUser;
        std::function<bool()> openReviewPage;
        std::function<void()> showFeedback;
    };
    // Shows the invitation and finishes the prompt, whatever the answer, except a review whose page
    // did not open: no review was written, so the offer stays.
    void present(const Presenter& presenter);

private:
    UserDefaults& defaults_;
    std::function<double()> now_;
};

}  // namespace tessary
