#include "Tessary/integrations/FeedbackRequest.h"

#include <algorithm>
#include <cmath>

#include "Tessary/shell/BuildOptions.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/UserText.h"

namespace tessary {

namespace {

using json::Json;

Json stringValue(std::string_view text) { return Json{{"stringValue", validUTF8(text)}}; }

// UTC to whole seconds: "2025-03-04T12:34:56Z".
std::string timestamp(Date date) {
    const Date whole(std::floor(date.secondsSinceReferenceDate()));
    std::string text = whole.iso8601().value_or("2001-01-01T00:00:00.000Z");
    return text.substr(0, 19) + "Z";
}

// The host part of "scheme://host[:port]/…", without brackets around an IPv6 address.
std::string_view hostOf(std::string_view url) {
    const std::size_t start = url.find("://");
    if (start == std::string_view::npos) return {};
    std::string_view rest = url.substr(start + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    if (rest.starts_with('[')) return rest.substr(1, rest.find(']') - 1);
    return rest.substr(0, rest.find(':'));
}

bool isLoopback(std::string_view host) {
    const bool dottedNumbers = std::all_of(host.begin(), host.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
    return host == "localhost" || host == "::1" || (host.starts_with("127.") && dottedNumbers);
}

}  // namespace

std::string feedbackEndpoint(std::string_view host) {
    if (host.empty()) return {};
    return "https://" + std::string(host) + std::string(feedbackCollectionPath);
}

std::string configuredFeedbackEndpoint() { return feedbackEndpoint(buildOptions::feedbackHost); }

std::optional<FeedbackError> checkFeedbackEndpoint(std::string_view endpoint) {
    if (endpoint.empty()) {
        return FeedbackError::network("Feedback is not set up in this build (no feedback server configured)");
    }
    if (hostOf(endpoint).empty()) return FeedbackError::network("The feedback address has no host: " + std::string(endpoint));
    if (endpoint.starts_with("https://")) return std::nullopt;
    if (endpoint.starts_with("http://") && isLoopback(hostOf(endpoint))) return std::nullopt;
    return FeedbackError::network("Feedback is sent only over HTTPS; refused: " + std::string(endpoint));
}

FeedbackRequest makeFeedbackRequest(const FeedbackReport& report, std::string_view endpoint) {
    Json fields = Json::object();
    fields["message"] = stringValue(prefixOfGraphemes(trimmingWhitespaceAndNewlines(report.message), feedbackMessageLimit));
    fields["appVersion"] = stringValue(report.appVersion);
    fields["osVersion"] = stringValue(report.systemVersion);
    fields["language"] = stringValue(report.language);
    fields["createdAt"] = Json{{"timestampValue", timestamp(report.createdAt)}};
    if (const std::string email = trimmingWhitespaceAndNewlines(report.email); !email.empty()) {
        fields["email"] = stringValue(prefixOfGraphemes(email, feedbackEmailLimit));
    }
    FeedbackRequest request;
    request.url = std::string(endpoint);
    request.method = "POST";
    request.contentType = "application/json";
    request.body = json::dumpCompact(Json{{"fields", fields}});
    request.timeout = std::chrono::seconds(15);
    return request;
}

}  // namespace tessary
