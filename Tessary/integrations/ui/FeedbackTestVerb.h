#pragma once

// A command-line verb for the end-to-end test of sending feedback from the real program, whose own
// feedback server is a build option:
//
//   feedback-test send ENDPOINT MESSAGE   sends MESSAGE to ENDPOINT as the feedback window does
//                                         (the module opened at the first report); prints "sent",
//                                         or the error's description with status 1
//
// Installed only when the environment has TESSARY_E2E=1: a user's program never answers it.

#include <string_view>

namespace tessary {

class AppDelegate;
class Scheduler;

struct FeedbackTestVerb {
    static constexpr std::string_view name = "feedback-test";

    static void install(AppDelegate& delegate, Scheduler& scheduler);
};

}  // namespace tessary
