#include "Tessary/integrations/ui/FeedbackClient.h"

#include "Tessary/integrations/FeedbackRequest.h"

namespace tessary {

FeedbackClient::FeedbackClient(std::string endpoint, Scheduler& scheduler,
                               std::vector<std::filesystem::path> moduleLocations)
    : endpoint_(std::move(endpoint)), scheduler_(scheduler), moduleLocations_(std::move(moduleLocations)) {}

FeedbackClient::~FeedbackClient() = default;

void FeedbackClient::send(const FeedbackReport& report, std::function<void(std::optional<FeedbackError>)> done) {
    if (auto refused = checkFeedbackEndpoint(endpoint_)) {
        done(std::move(refused));
        return;
    }
    if (!transport_) {
        LoadedFeedbackTransport loaded = loadFeedbackTransport(moduleLocations_, scheduler_);
        if (!loaded.transport) {
            done(std::move(loaded.error));
            return;
        }
        transport_ = std::move(loaded.transport);
    }
    FeedbackRequest request = makeFeedbackRequest(report, endpoint_);
    if (timeout_) request.timeout = *timeout_;
    transport_->post(request, std::move(done));
}

}  // namespace tessary
