#pragma once

#include <cstdint>
#include <vector>

#include "Platform/LocalEvents.h"

namespace tessary {

// The program's own event queue, fed by the test. A posted event goes through the monitors in
// order; what none consumes reaches its widget and is recorded in `delivered`.
class SimLocalEvents final : public LocalEvents {
public:
    Subscription addMonitor(LocalEventMask types, Handler handler) override;
    bool isMenuTracking() const override { return openMenus_ > 0; }
    Subscription onMenuTracking(std::function<void(bool)> handler) override {
        return tracking_.subscribe(std::move(handler));
    }

    // Returns whether the event reached its widget.
    bool post(const LocalEvent& event);
    // A popup opens or closes (submenus included): tracking spans the first opening to the last
    // closing.
    void openMenu();
    void closeMenu();

    std::size_t monitorCount() const { return monitors_.size(); }
    std::vector<LocalEvent> delivered;

private:
    struct Monitor {
        std::uint64_t id;
        LocalEventMask types;
        std::shared_ptr<Handler> handler;
    };
    std::uint64_t nextID_ = 0;
    std::vector<Monitor> monitors_;
    int openMenus_ = 0;
    Signal<bool> tracking_;
};

}  // namespace tessary
