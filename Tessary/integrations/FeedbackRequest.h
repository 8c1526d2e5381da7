#pragma once

// The feedback request as data: one new document of the document database's REST interface,
// POSTed as compact JSON with sorted keys:
//   {"fields":{"appVersion":{"stringValue":…},"createdAt":{"timestampValue":"2025-03-04T12:00:00Z"},
//    "email":{"stringValue":…},"language":{…},"message":{…},"osVersion":{…}}}
// The message is trimmed and cut to 4000 user-perceived characters, the e-mail to 254 and left
// out when blank.
//
// The endpoint is made from a build option. Feedback goes out only over HTTPS: an endpoint that is
// missing or has another scheme is refused before anything is sent, except plain HTTP to the
// loopback address, which never leaves the computer (a local relay, the tests' server).

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "Tessary/integrations/FeedbackError.h"
#include "Tessary/integrations/FeedbackReport.h"

namespace tessary {

struct FeedbackRequest {
    std::string url;
    std::string method;
    std::string contentType;
    std::string body;
    std::chrono::milliseconds timeout{0};

    friend bool operator==(const FeedbackRequest&, const FeedbackRequest&) = default;
};

inline constexpr std::size_t feedbackMessageLimit = 4000;
inline constexpr std::size_t feedbackEmailLimit = 254;
inline constexpr std::string_view feedbackCollectionPath = "/v1/projects/tessary-app/databases/(default)/documents/feedback";

// "https://" + host + the collection path; empty for an empty host.
std::string feedbackEndpoint(std::string_view host);
// The endpoint of this build (the TESSARY_FEEDBACK_HOST build option).
std::string configuredFeedbackEndpoint();

// Nothing when requests may go to `endpoint`; otherwise the `network` error to report.
std::optional<FeedbackError> checkFeedbackEndpoint(std::string_view endpoint);

FeedbackRequest makeFeedbackRequest(const FeedbackReport& report, std::string_view endpoint);

}  // namespace tessary
