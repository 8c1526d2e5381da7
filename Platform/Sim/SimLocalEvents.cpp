#include "Platform/Sim/SimLocalEvents.h"

#include <algorithm>

namespace tessary {

Subscription SimLocalEvents::addMonitor(LocalEventMask types, Handler handler) {
    const std::uint64_t id = ++nextID_;
    monitors_.push_back(Monitor{id, types, std::make_shared<Handler>(std::move(handler))});
    return Subscription([this, id] { std::erase_if(monitors_, [id](const Monitor& m) { return m.id == id; }); });
}

bool SimLocalEvents::post(const LocalEvent& event) {
    LocalEvent current = event;
    const std::vector<Monitor> snapshot = monitors_;
    for (const Monitor& monitor : snapshot) {
        if (!(monitor.types & localEventBit(current.type))) continue;
        auto result = (*monitor.handler)(current);
        if (!result) return false;
        current = *result;
    }
    delivered.push_back(current);
    return true;
}

void SimLocalEvents::openMenu() {
    if (++openMenus_ == 1) tracking_.emit(true);
}

void SimLocalEvents::closeMenu() {
    if (openMenus_ == 0) return;
    if (--openMenus_ == 0) tracking_.emit(false);
}

}  // namespace tessary
