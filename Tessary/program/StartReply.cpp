#include "Tessary/program/StartReply.h"

#include <cstdio>

#include "Platform/Linux/LaunchOrigin.h"
#include "TessaryCore/TessaryInfo.h"

namespace tessary {

void printReply(const InstanceReply& reply) {
    if (!reply.text.empty()) std::fprintf(reply.status == 0 ? stdout : stderr, "%s\n", reply.text.c_str());
    if (!reply.note.empty()) std::fprintf(stderr, "%s\n", reply.note.c_str());
}

int finishStart(const InstanceRequest& request, const InstanceReply& reply) {
    const bool url = !request.arguments.empty() && TessaryInfo::hasURLScheme(request.arguments.front());
    if (url && reply.status != 0 && LaunchOrigin::current().isDesktop()) return 0;
    printReply(reply);
    return reply.status;
}

}  // namespace tessary
