#pragma once

#include <functional>
#include <optional>

#include "Tessary/integrations/FeedbackError.h"
#include "Tessary/integrations/FeedbackReport.h"

namespace tessary {

// Delivers one report and calls `done` once, on the main loop, with nothing on success or the
// error. `done` may run before send() returns (a request refused before it starts).
class FeedbackSender {
public:
    virtual ~FeedbackSender() = default;
    virtual void send(const FeedbackReport& report, std::function<void(std::optional<FeedbackError>)> done) = 0;
};

}  // namespace tessary
