#include "Tessary/program/StartReply.h"

#include <cstdio>

namespace tessary {

void printReply(const InstanceReply& reply) {
    if (!reply.text.empty()) std::fprintf(reply.status == 0 ? stdout : stderr, "%s\n", reply.text.c_str());
    if (!reply.note.empty()) std::fprintf(stderr, "%s\n", reply.note.c_str());
}

}  // namespace tessary
