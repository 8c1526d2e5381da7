#pragma once

// The feedback form's state: the text, the reply address and where sending stands. Editing is
// allowed in every phase; "Send" is possible while not sending, the message is not blank and the
// build can send at all (a build without a feedback server says why, and never tries). A
// message longer than 4000 user-perceived characters is cut to its first 4000 as it is set (that
// is all the report can carry). Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Platform/Signal.h"
#include "Tessary/integrations/FeedbackSender.h"

namespace tessary {

// The facts sent with every report, fixed for the life of a form.
struct FeedbackFacts {
    std::string appVersion;
    std::string systemVersion;
    std::string language;
};

class FeedbackModel final {
public:
    enum class Phase { editing, sending, sent, failed };

    // `clock` gives the moment of a send (Date::now in the program).
    FeedbackModel(FeedbackSender& client, FeedbackFacts facts, std::function<Date()> clock = Date::now);
    FeedbackModel(const FeedbackModel&) = delete;
    FeedbackModel& operator=(const FeedbackModel&) = delete;

    const std::string& message() const { return message_; }
    const std::string& email() const { return email_; }
    Phase phase() const { return phase_; }
    const FeedbackFacts& facts() const { return facts_; }

    void setMessage(std::string text);
    void setEmail(std::string text);
    bool canSend() const;

    // Why this build cannot send (shown to the user), or empty when it can.
    const std::string& unavailableReason() const { return unavailableReason_; }
    void setUnavailableReason(std::string reason);

    // Sends the message and e-mail as typed with the facts; nothing while canSend() is false.
    void send();

    // "Sent with your message: Tessary 0.1.0 · Debian GNU/Linux 12 (6.1.0-18-amd64)": the system line
    // names the system itself (os-release NAME, "Linux" without one), so no word goes before it.
    std::string caption() const;

    // Called after any change of the text, the address or the phase.
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }

private:
    void setPhase(Phase phase);

    FeedbackSender& client_;
    FeedbackFacts facts_;
    std::function<Date()> clock_;
    Signal<> changed_;
    std::string message_;
    std::string email_;
    std::string unavailableReason_;
    Phase phase_ = Phase::editing;
    // Answers of a request that outlives the model find this gone and do nothing.
    std::shared_ptr<FeedbackModel*> self_ = std::make_shared<FeedbackModel*>(this);
};

}  // namespace tessary
