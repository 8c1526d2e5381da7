#pragma once

#include "Tessary/shell/ReviewPrompt.h"

namespace tessary {

// The review invitation as an application-modal warning alert with the buttons "Write a Review",
// "Send Feedback…" and "Not Now"; returns the answer (closing the alert is "Not Now").
ReviewPrompt::Answer runReviewAlert();

}  // namespace tessary
