#pragma once

// Watches this program's own events of some types while started; the callback passes an event on
// (returning it) or consumes it (returning nothing). Starting twice installs one monitor; release
// stops it.

#include "Platform/LocalEvents.h"

namespace tessary {

class LocalEventMonitor {
public:
    LocalEventMonitor(LocalEvents& events, LocalEventMask types, LocalEvents::Handler callback)
        : events_(events), types_(types), callback_(std::move(callback)) {}
    LocalEventMonitor(const LocalEventMonitor&) = delete;
    LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;

    LocalEventMonitor& start() {
        if (!monitor_.isActive()) monitor_ = events_.addMonitor(types_, callback_);
        return *this;
    }
    void stop() { monitor_.reset(); }
    bool isStarted() const { return monitor_.isActive(); }

private:
    LocalEvents& events_;
    LocalEventMask types_;
    LocalEvents::Handler callback_;
    Subscription monitor_;
};

}  // namespace tessary
