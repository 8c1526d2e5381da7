#pragma once

#include <functional>
#include <map>

#include "Platform/Accessibility.h"
#include "Platform/ApplicationWorkspace.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "WindowEngine/WindowHandle.h"

namespace tessary {

// Tells when any regular application creates a window: one window-created registration per
// process, following launches and terminations, retrying registrations refused for the moment.
class AXWindowObserver {
public:
    AXWindowObserver(Accessibility& accessibility, ApplicationWorkspace& workspace, Scheduler& scheduler);
    ~AXWindowObserver();
    AXWindowObserver(const AXWindowObserver&) = delete;
    AXWindowObserver& operator=(const AXWindowObserver&) = delete;

    // Called for every window created in an observed application.
    std::function<void(const WindowHandle&)> onWindowCreated;
    // Called for every window that closes in an observed application. Set before start(): only
    // then does each registration also ask for the destroyed notice (best effort: a back end that
    // refuses it changes nothing else).
    std::function<void(const WindowHandle&)> onWindowDestroyed;

    // Observes every regular running application, then follows launches and terminations. Once.
    void start();
    // Registers for window creation in one process; does nothing when it is observed already.
    void observe(ProcessID pid);
    // Forgets the process: its retry count, a retry still waiting, and its registration.
    void stopObserving(ProcessID pid);
    // Stops following the workspace and forgets every process.
    void stop();

    // One registered observer per observed process.
    const std::map<ProcessID, AXObserverID>& observers() const { return observers_; }
    // How often a refused registration was retried per process; at 5 the process is given up.
    // Entries stay after a later success until stopObserving.
    const std::map<ProcessID, int>& pendingRetries() const { return pendingRetries_; }

    static constexpr int maximumRetries = 5;
    static constexpr std::chrono::seconds retryDelay{1};

private:
    void deliver(const AXElement& element, std::string_view notification);

    Accessibility& accessibility_;
    ApplicationWorkspace& workspace_;
    Scheduler& scheduler_;
    std::map<ProcessID, AXObserverID> observers_;
    std::map<ProcessID, int> pendingRetries_;
    std::map<ProcessID, ScheduledTask> retryTasks_;
    Subscription launched_;
    Subscription terminated_;
    Logger log{"AXWindowObserver"};
};

}  // namespace tessary
