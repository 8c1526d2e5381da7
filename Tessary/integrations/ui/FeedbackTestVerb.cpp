#include "Tessary/integrations/ui/FeedbackTestVerb.h"

#include <QEventLoop>

#include <memory>
#include <string>
#include <vector>

#include "Platform/InstanceMessage.h"
#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/integrations/ui/FeedbackClient.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

void FeedbackTestVerb::install(AppDelegate& delegate, Scheduler& scheduler) {
    delegate.hooks().commandLineVerbs[std::string(name)] =
        [&scheduler](const std::vector<std::string>& arguments) -> InstanceReply {
        if (arguments.size() != 3 || arguments[0] != "send") {
            return {"usage: tessary feedback-test send ENDPOINT MESSAGE", CommandLineVerbs::usageStatus};
        }
        FeedbackClient client(arguments[1], scheduler);
        const FeedbackReport report{arguments[2], "", appVersionString(), systemVersionString(), "en", Date::now()};
        // The answer comes on the main loop; the request that asked waits for it.
        auto outcome = std::make_shared<std::optional<std::optional<FeedbackError>>>();
        QEventLoop loop;
        client.send(report, [outcome, &loop](std::optional<FeedbackError> error) {
            *outcome = std::move(error);
            loop.quit();
        });
        if (!outcome->has_value()) loop.exec();
        // The program quitting ends every loop.
        if (!outcome->has_value()) return {"not answered", 1};
        const std::optional<FeedbackError>& error = **outcome;
        if (!error) return {"sent", 0};
        const bool rejected = error->kind == FeedbackError::Kind::rejected;
        return {rejected ? "rejected with status " + std::to_string(error->status) : error->description, 1};
    };
}

}  // namespace tessary
