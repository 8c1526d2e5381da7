#pragma once

#include <vector>

#include "Platform/ApplicationWorkspace.h"

namespace tessary {

// Running applications set by the test; launches and terminations are announced.
class SimApplicationWorkspace : public ApplicationWorkspace {
public:
    std::vector<RunningApplication> runningApplications() const override { return applications_; }
    std::optional<RunningApplication> frontmostApplication() const override;
    bool activate(ProcessID pid) override;
    Subscription onLaunch(std::function<void(const RunningApplication&)> handler) override {
        return launched_.subscribe(std::move(handler));
    }
    Subscription onTerminate(std::function<void(const RunningApplication&)> handler) override {
        return terminated_.subscribe(std::move(handler));
    }

    // Adds an application without announcing it (the state before the program looked).
    void addApplication(RunningApplication application) { applications_.push_back(std::move(application)); }
    // Adds an application and announces its launch.
    void launch(RunningApplication application);
    // Removes the application and announces it, marked terminated. Unknown ones are ignored.
    void terminate(ProcessID pid);
    void setFrontmost(std::optional<ProcessID> pid) { frontmost_ = pid; }

    // Every activate() call, in order.
    const std::vector<ProcessID>& activations() const { return activations_; }

private:
    std::vector<RunningApplication> applications_;
    std::optional<ProcessID> frontmost_;
    std::vector<ProcessID> activations_;
    Signal<const RunningApplication&> launched_;
    Signal<const RunningApplication&> terminated_;
};

}  // namespace tessary
