#pragma once

// What a start prints of the answer to its arguments.

#include "Platform/InstanceMessage.h"

namespace tessary {

// What succeeded is the answer asked for (a list, a count): standard output; the rest is why not,
// and a note (why a list is empty) goes beside it on standard error.
void printReply(const InstanceReply& reply);

}  // namespace tessary
