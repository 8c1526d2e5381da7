#pragma once

// Why feedback was not delivered. It carries data for the log and tests, not a sentence for the
// user: the feedback window shows one fixed sentence whatever went wrong.

#include <string>

namespace tessary {

struct FeedbackError {
    enum class Kind {
        network,   // the request did not complete (or could not be made); `description` says why
        rejected,  // the server answered outside 200...299; `status` is its status, 0 if not HTTP
    };

    Kind kind = Kind::network;
    std::string description;
    int status = 0;

    static FeedbackError network(std::string description) { return {Kind::network, std::move(description), 0}; }
    static FeedbackError rejected(int status) { return {Kind::rejected, {}, status}; }

    friend bool operator==(const FeedbackError&, const FeedbackError&) = default;
};

}  // namespace tessary
