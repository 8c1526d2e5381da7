#pragma once

// Carries one prepared feedback request to its server. Its one implementation lives in a module of
// its own (Tessary/integrations/network/), opened at the first report (ui/FeedbackModule.h), so
// that the network library and what it loads stay out of the program until then.

#include <functional>
#include <optional>

#include "Platform/Scheduler.h"
#include "Tessary/integrations/FeedbackError.h"
#include "Tessary/integrations/FeedbackRequest.h"

namespace tessary {

class FeedbackTransport {
public:
    // Requests still running are aborted without an answer.
    virtual ~FeedbackTransport() = default;
    // Sends the request once, timed by its `timeout`, and calls `done` once on the main loop: nothing
    // for a status in 200...299, `rejected` for any other answer, `network` when none came.
    virtual void post(const FeedbackRequest& request, std::function<void(std::optional<FeedbackError>)> done) = 0;
};

// The module's one exported function: a new transport whose delays run on `scheduler`, owned by the
// caller. The module stays loaded for the life of the program.
extern "C" {
using MakeFeedbackTransport = FeedbackTransport*(Scheduler& scheduler);
}
inline constexpr const char* makeFeedbackTransportSymbol = "tessaryMakeFeedbackTransport";

}  // namespace tessary
