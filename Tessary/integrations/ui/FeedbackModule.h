#pragma once

// Opens the feedback module, the program's only user of the network library, when the first
// report is sent: mapping that library and what it loads (Kerberos, the proxy resolver) at start
// would cost every session its memory for a window most never use. The module is never closed,
// since the library it brings keeps state for the life of the process.

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "Tessary/integrations/FeedbackTransport.h"

namespace tessary {

inline constexpr const char* feedbackModuleFileName = "tessary-feedback.so";

// Where the module is looked for, in order: beside the program (the build tree), then the library
// folder it is installed to, both found from the program's own file.
std::vector<std::filesystem::path> feedbackModuleLocations();

struct LoadedFeedbackTransport {
    std::unique_ptr<FeedbackTransport> transport;
    // Why there is none: every location's reason, logged already.
    std::optional<FeedbackError> error;
};

// A new transport from the first location that holds a usable module.
LoadedFeedbackTransport loadFeedbackTransport(const std::vector<std::filesystem::path>& locations, Scheduler& scheduler);

}  // namespace tessary
