#include "Platform/Sim/SimApplicationWorkspace.h"

#include <algorithm>

namespace tessary {

std::optional<RunningApplication> SimApplicationWorkspace::frontmostApplication() const {
    if (!frontmost_) return std::nullopt;
    return runningApplication(*frontmost_);
}

bool SimApplicationWorkspace::activate(ProcessID pid) {
    activations_.push_back(pid);
    auto found = std::find_if(applications_.begin(), applications_.end(),
                              [&](const RunningApplication& app) { return app.pid == pid && !app.isTerminated; });
    if (found == applications_.end()) return false;
    frontmost_ = pid;
    return true;
}

void SimApplicationWorkspace::launch(RunningApplication application) {
    applications_.push_back(application);
    launched_.emit(application);
}

void SimApplicationWorkspace::terminate(ProcessID pid) {
    auto found = std::find_if(applications_.begin(), applications_.end(),
                              [&](const RunningApplication& app) { return app.pid == pid; });
    if (found == applications_.end()) return;
    RunningApplication application = *found;
    applications_.erase(found);
    application.isTerminated = true;
    if (frontmost_ == pid) frontmost_.reset();
    terminated_.emit(application);
}

}  // namespace tessary
