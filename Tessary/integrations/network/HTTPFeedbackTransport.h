#pragma once

// Posts feedback over Qt Network: one request per report, no retry. The time-out runs through the
// Scheduler and aborts the request. Redirects are not followed: a POST must reach the endpoint it
// was made for, so a 3xx is a rejection. Built into the feedback module, the network library's only
// user in the program.

#include <memory>
#include <vector>

#include "Tessary/integrations/FeedbackTransport.h"

class QNetworkAccessManager;

namespace tessary {

class HTTPFeedbackTransport final : public FeedbackTransport {
public:
    explicit HTTPFeedbackTransport(Scheduler& scheduler);
    ~HTTPFeedbackTransport() override;
    HTTPFeedbackTransport(const HTTPFeedbackTransport&) = delete;
    HTTPFeedbackTransport& operator=(const HTTPFeedbackTransport&) = delete;

    void post(const FeedbackRequest& request, std::function<void(std::optional<FeedbackError>)> done) override;

private:
    Scheduler& scheduler_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::vector<ScheduledTask> timers_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tessary
