#pragma once

// Sends feedback reports: one POST per report, no retry. The time-out (15 s unless set otherwise)
// runs through the Scheduler and aborts the request. Redirects are not followed: a POST must reach
// the endpoint it was made for, so a 3xx is a rejection. An endpoint that checkFeedbackEndpoint()
// refuses fails at once, before any connection is made.
//
// The request is made here; the network exchange is the feedback module's, opened at the first
// report that gets that far (FeedbackModule.h). A module that cannot be opened fails that report
// with a `network` error, and the next report tries again.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Scheduler.h"
#include "Tessary/integrations/FeedbackSender.h"
#include "Tessary/integrations/FeedbackTransport.h"
#include "Tessary/integrations/ui/FeedbackModule.h"

namespace tessary {

class FeedbackClient final : public FeedbackSender {
public:
    FeedbackClient(std::string endpoint, Scheduler& scheduler,
                   std::vector<std::filesystem::path> moduleLocations = feedbackModuleLocations());
    // Requests still running are aborted without an answer.
    ~FeedbackClient() override;
    FeedbackClient(const FeedbackClient&) = delete;
    FeedbackClient& operator=(const FeedbackClient&) = delete;

    const std::string& endpoint() const { return endpoint_; }
    // Replaces the request's own time-out.
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    void send(const FeedbackReport& report, std::function<void(std::optional<FeedbackError>)> done) override;

private:
    std::string endpoint_;
    Scheduler& scheduler_;
    std::vector<std::filesystem::path> moduleLocations_;
    std::optional<std::chrono::milliseconds> timeout_;
    std::unique_ptr<FeedbackTransport> transport_;
};

}  // namespace tessary
