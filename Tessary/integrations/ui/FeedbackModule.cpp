#include "Tessary/integrations/ui/FeedbackModule.h"

#include <dlfcn.h>

#include <string>
#include <system_error>

#include "Platform/Logger.h"
#include "Tessary/shell/BuildOptions.h"

namespace tessary {

std::vector<std::filesystem::path> feedbackModuleLocations() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) return {};
    const std::filesystem::path folder = program.parent_path();
    return {folder / feedbackModuleFileName,
            folder / buildOptions::installedModuleFolder / feedbackModuleFileName};
}

LoadedFeedbackTransport loadFeedbackTransport(const std::vector<std::filesystem::path>& locations, Scheduler& scheduler) {
    static const Logger log("Feedback");
    std::string reasons;
    for (const std::filesystem::path& location : locations) {
        std::error_code failed;
        if (!std::filesystem::is_regular_file(location, failed)) {
            reasons += (reasons.empty() ? "" : "; ") + location.string() + ": not found";
            continue;
        }
        // Bound now, so that a module missing one of its libraries fails here and not mid-send.
        void* module = ::dlopen(location.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* reason = ::dlerror();
            reasons += (reasons.empty() ? "" : "; ") + std::string(reason ? reason : location.string() + ": cannot be opened");
            continue;
        }
        auto* make = reinterpret_cast<MakeFeedbackTransport*>(::dlsym(module, makeFeedbackTransportSymbol));
        if (!make) {
            reasons += (reasons.empty() ? "" : "; ") + location.string() + ": not a feedback module";
            continue;
        }
        return {std::unique_ptr<FeedbackTransport>(make(scheduler)), std::nullopt};
    }
    if (locations.empty()) reasons = "the program's own file cannot be found";
    log.error("Cannot load the feedback module: " + reasons);
    return {nullptr, FeedbackError::network("The feedback module cannot be loaded: " + reasons)};
}

}  // namespace tessary
