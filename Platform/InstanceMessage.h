#pragma once

// What a later start of the program sends the running instance and what it gets back. Both travel
// as one line of compact JSON: {"arguments":[…],"startupID":"…"} and {"note":"…","status":N,"text":"…"}
// ("note" only when there is one). Decoding is strict about shape and size: the peer is another process.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

struct InstanceRequest {
    // The command line after the program's name.
    std::vector<std::string> arguments;
    // $DESKTOP_STARTUP_ID of the later start (the launcher's startup notification), or empty.
    std::string startupID;

    friend bool operator==(const InstanceRequest&, const InstanceRequest&) = default;
};

struct InstanceReply {
    // Printed on the later start's standard output when the status is 0, else on standard error,
    // when not empty.
    std::string text;
    // The later start's exit status.
    int status = 0;
    // Said beside the answer, on standard error whatever the status (an empty list's reason).
    std::string note = {};

    friend bool operator==(const InstanceReply&, const InstanceReply&) = default;
};

struct InstanceMessage {
    // A request longer than this (newline included) is refused without being run.
    static constexpr std::size_t maximumSize = 64 * 1024;
    // Replies carry what the user asked for (`list` of every layout): the limit only keeps a broken
    // peer from taking the later start's memory, far beyond what the documents can hold.
    static constexpr std::size_t maximumReplySize = 64 * 1024 * 1024;

    // One line, newline included. Text that is not valid UTF-8 is repaired first.
    static std::string encode(const InstanceRequest& request);
    static std::string encode(const InstanceReply& reply);
    // The line without its newline; nothing when it is not a message of that shape.
    static std::optional<InstanceRequest> decodeRequest(std::string_view line);
    static std::optional<InstanceReply> decodeReply(std::string_view line);
};

}  // namespace tessary
