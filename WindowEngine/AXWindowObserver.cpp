#include "WindowEngine/AXWindowObserver.h"

namespace tessary {

namespace {

// Refusals that mean "not now": the application is still starting, or accessibility is busy.
bool isRetryable(AXError error) {
    return error == AXError::apiDisabled || error == AXError::notificationUnsupported ||
           error == AXError::cannotComplete;
}

}  // namespace

AXWindowObserver::AXWindowObserver(Accessibility& accessibility, ApplicationWorkspace& workspace, Scheduler& scheduler)
    : accessibility_(accessibility), workspace_(workspace), scheduler_(scheduler) {}

// The callbacks and retry tasks point at this object; none may outlive it.
AXWindowObserver::~AXWindowObserver() {
    stop();
    for (const auto& [pid, task] : retryTasks_) scheduler_.cancel(task);
}

void AXWindowObserver::start() {
    for (const RunningApplication& app : workspace_.runningApplications()) {
        if (app.activationPolicy == ActivationPolicy::regular) observe(app.pid);
    }
    launched_ = workspace_.onLaunch([this](const RunningApplication& app) {
        if (app.activationPolicy == ActivationPolicy::regular) observe(app.pid);
    });
    terminated_ = workspace_.onTerminate([this](const RunningApplication& app) { stopObserving(app.pid); });
}

void AXWindowObserver::observe(ProcessID pid) {
    if (observers_.contains(pid)) return;
    const Expected<AXObserverID, AXError> created = accessibility_.createObserver(
        pid, [this](const AXElement& element, std::string_view notification) { deliver(element, notification); });
    if (!created) return;
    const AXObserverID observer = created.value();

    const AXError result =
        accessibility_.addNotification(observer, AXElement::application(pid), ax::windowCreatedNotification);
    if (result == AXError::success) {
        if (onWindowDestroyed) {
            accessibility_.addNotification(observer, AXElement::application(pid), ax::uiElementDestroyedNotification);
        }
        accessibility_.startObserver(observer);
        observers_[pid] = observer;
        return;
    }
    accessibility_.removeObserver(observer);
    if (!isRetryable(result)) {
        log.notice("cannot observe pid " + std::to_string(pid) + ": AXError " + std::to_string(axErrorCode(result)));
        return;
    }
    const int retries = pendingRetries_.contains(pid) ? pendingRetries_[pid] : 0;
    if (retries >= maximumRetries) return;
    pendingRetries_[pid] = retries + 1;
    if (auto waiting = retryTasks_.find(pid); waiting != retryTasks_.end()) scheduler_.cancel(waiting->second);
    retryTasks_[pid] = scheduler_.schedule(retryDelay, [this, pid] {
        retryTasks_.erase(pid);
        // The process may have quit meanwhile (stopObserving cleared its entry), and its number
        // may already belong to another application.
        if (pendingRetries_.contains(pid)) observe(pid);
    });
}

void AXWindowObserver::stopObserving(ProcessID pid) {
    pendingRetries_.erase(pid);
    if (auto waiting = retryTasks_.find(pid); waiting != retryTasks_.end()) {
        scheduler_.cancel(waiting->second);
        retryTasks_.erase(waiting);
    }
    if (auto found = observers_.find(pid); found != observers_.end()) {
        const AXObserverID observer = found->second;
        observers_.erase(found);
        accessibility_.removeObserver(observer);
    }
}

void AXWindowObserver::stop() {
    launched_.reset();
    terminated_.reset();
    while (!observers_.empty()) stopObserving(observers_.begin()->first);
}

void AXWindowObserver::deliver(const AXElement& element, std::string_view notification) {
    if (notification == ax::uiElementDestroyedNotification) {
        // The window is gone, so its process cannot be asked; its element carries it.
        if (onWindowDestroyed && element.kind == AXElementKind::window) onWindowDestroyed(WindowHandle(element.pid, element));
        return;
    }
    const Expected<ProcessID, AXError> pid = accessibility_.pid(element);
    if (!pid) return;
    if (notification != ax::windowCreatedNotification) return;
    if (onWindowCreated) onWindowCreated(WindowHandle(pid.value(), element));
}

}  // namespace tessary
