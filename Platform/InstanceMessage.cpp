#include "Platform/InstanceMessage.h"

#include <limits>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

std::string InstanceMessage::encode(const InstanceRequest& request) {
    json::Json arguments = json::Json::array();
    for (const auto& argument : request.arguments) arguments.push_back(validUTF8(argument));
    return json::dumpCompact({{"arguments", arguments}, {"startupID", validUTF8(request.startupID)}}) + "\n";
}

std::string InstanceMessage::encode(const InstanceReply& reply) {
    json::Json value{{"status", reply.status}, {"text", validUTF8(reply.text)}};
    if (!reply.note.empty()) value["note"] = validUTF8(reply.note);
    return json::dumpCompact(value) + "\n";
}

std::optional<InstanceRequest> InstanceMessage::decodeRequest(std::string_view line) {
    if (line.size() >= maximumSize) return std::nullopt;
    try {
        const json::Json value = json::parse(line);
        json::asObject(value, "request");
        InstanceRequest request;
        request.arguments = json::asStringArray(json::require(value, "arguments"), "arguments");
        request.startupID = json::optionalString(value, "startupID").value_or("");
        return request;
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

std::optional<InstanceReply> InstanceMessage::decodeReply(std::string_view line) {
    if (line.size() >= maximumReplySize) return std::nullopt;
    try {
        const json::Json value = json::parse(line);
        json::asObject(value, "reply");
        const std::int64_t status = json::requireInt64(value, "status");
        if (status < std::numeric_limits<int>::min() || status > std::numeric_limits<int>::max()) return std::nullopt;
        return InstanceReply{json::requireString(value, "text"), static_cast<int>(status),
                             json::optionalString(value, "note").value_or("")};
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace tessary
