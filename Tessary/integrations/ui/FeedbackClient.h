#pragma once

// Sends feedback reports over Qt Network: one POST per report, no retry. The time-out (15 s
// unless set otherwise) runs through the Scheduler and aborts the request. Redirects are not
// followed: a POST must reach the endpoint it was made for, so a 3xx is a rejection. An endpoint
// that checkFeedbackEndpoint() refuses fails at once, before any connection is made.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Scheduler.h"
#include "Tessary/integrations/FeedbackSender.h"

class QNetworkAccessManager;

namespace tessary {

class FeedbackClient final : public FeedbackSender {
public:
    FeedbackClient(std::string endpoint, Scheduler& scheduler);
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
    std::optional<std::chrono::milliseconds> timeout_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::vector<ScheduledTask> timers_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tessary
