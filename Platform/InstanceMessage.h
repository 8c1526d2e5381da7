#pragma once

// What a later start of the program sends the running instance and what it gets back. Both travel
// as one line of compact JSON: {"arguments":[…],"startupID":"…"} and {"status":N,"text":"…"}.
// Decoding is strict about shape and size: the peer is another process.

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
    // Printed on the later start's standard error when not empty.
    std::string text;
    // The later start's exit status.
    int status = 0;

    friend bool operator==(const InstanceReply&, const InstanceReply&) = default;
};

struct InstanceMessage {
    // A message longer than this (newline included) is refused unread.
    static constexpr std::size_t maximumSize = 64 * 1024;

    // One line, newline included. Text that is not valid UTF-8 is repaired first.
    static std::string encode(const InstanceRequest& request);
    static std::string encode(const InstanceReply& reply);
    // The line without its newline; nothing when it is not a message of that shape.
    static std::optional<InstanceRequest> decodeRequest(std::string_view line);
    static std::optional<InstanceReply> decodeReply(std::string_view line);
};

}  // namespace tessary
