#pragma once

#include <string>

#include "TessaryCore/Date.h"

namespace tessary {

// One piece of feedback: what the user wrote, as typed, and the facts sent with it.
struct FeedbackReport {
    std::string message;
    std::string email;
    std::string appVersion;     // appVersionString()
    std::string systemVersion;  // systemVersionString()
    std::string language;       // the user's first interface language, "en" when none
    Date createdAt;             // when the user pressed Send

    friend bool operator==(const FeedbackReport&, const FeedbackReport&) = default;
};

}  // namespace tessary
