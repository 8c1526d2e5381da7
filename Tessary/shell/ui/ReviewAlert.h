#pragma once

#include "Tessary/shell/ReviewPrompt.h"

namespace tessary {

// The review invitation as an application-modal alert with the application's icon and the buttons
// "Write a Review", "Send Feedback…" and "Not Now"; returns the answer (closing the alert is "Not
// Now"). Without a review page in this build "Write a Review" is disabled and the alert says why.
ReviewPrompt::Answer runReviewAlert(bool hasReviewPage);

}  // namespace tessary
