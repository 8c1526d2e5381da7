#pragma once

// What a start prints of the answer to its arguments, and the status it exits with.

#include "Platform/InstanceMessage.h"

namespace tessary {

// What succeeded is the answer asked for (a list, a count): standard output; the rest is why not,
// and a note (why a list is empty) goes beside it on standard error.
void printReply(const InstanceReply& reply);

// Prints the reply to the request and gives the start's status. A tessary: URL whose command
// failed says why and ends with status 1, as an action does, except when the desktop opened it
// (LaunchOrigin): then, as a link is, it is silent and ends with 0; the instance's log has why.
int finishStart(const InstanceRequest& request, const InstanceReply& reply);

}  // namespace tessary
