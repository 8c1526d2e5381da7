#include "Platform/ApplicationWorkspace.h"

namespace tessary {

std::vector<RunningApplication> ApplicationWorkspace::runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const {
    std::vector<RunningApplication> result;
    for (RunningApplication& app : runningApplications()) {
        if (app.bundleIdentifier == bundleIdentifier) result.push_back(std::move(app));
    }
    return result;
}

std::optional<RunningApplication> ApplicationWorkspace::runningApplication(ProcessID pid) const {
    for (RunningApplication& app : runningApplications()) {
        if (app.pid == pid) return std::move(app);
    }
    return std::nullopt;
}

}  // namespace tessary
