#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/InstanceMessage.h"

using namespace tessary;

// A request comes from another process over the single-instance socket, a reply from the running
// instance: decoding either must never crash, and what decodes must survive a round trip.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto request = InstanceMessage::decodeRequest(text)) {
        std::string line = InstanceMessage::encode(*request);
        line.pop_back();
        if (InstanceMessage::decodeRequest(line) != request) std::abort();
    }
    if (auto reply = InstanceMessage::decodeReply(text)) {
        std::string line = InstanceMessage::encode(*reply);
        line.pop_back();
        if (InstanceMessage::decodeReply(line) != reply) std::abort();
    }
    return 0;
}
