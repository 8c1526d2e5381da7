#include "Platform/X11/X11Screens.h"

namespace tessary {

X11Screens::X11Screens(X11Connection& connection, X11Monitors& monitors)
    : connection_(connection), monitors_(monitors) {
    monitors_.selectChangeEvents();
    last_ = read();
    eventHandler_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) {
        if (monitors_.isChangeEvent(event)) dirty_ = true;
    });
    batchHandler_ = connection_.addBatchEndHandler([this] {
        refreshIfDirty();
        if (!unannounced_) return;
        unannounced_ = false;
        changed_.emit();
    });
}

X11Screens::~X11Screens() {
    connection_.removeEventHandler(eventHandler_);
    connection_.removeEventHandler(batchHandler_);
}

Screen X11Screens::screenFor(const X11Monitor& monitor) {
    Screen screen;
    screen.displayNumber = monitor.number;
    screen.frame = monitor.frame;
    screen.workArea = monitor.workArea;
    screen.uuid = monitor.uuid;
    if (monitor.edidInfo) {
        screen.hasEDID = true;
        screen.vendorNumber = monitor.edidInfo->vendor;
        screen.modelNumber = monitor.edidInfo->model;
        screen.serialNumber = monitor.edidInfo->serial;
    }
    screen.connectorName = monitor.name;
    screen.localizedName = monitor.localizedName;
    screen.isBuiltIn = monitor.isBuiltIn;
    return screen;
}

std::vector<Screen> X11Screens::read() const {
    std::vector<Screen> result;
    for (const X11Monitor& monitor : monitors_.monitors()) result.push_back(screenFor(monitor));
    return result;
}

void X11Screens::refreshIfDirty() const {
    if (!dirty_) return;
    dirty_ = false;
    auto current = read();
    if (current == last_) return;
    last_ = std::move(current);
    generation_ = nextGeneration();
    unannounced_ = true;
}

std::vector<Screen> X11Screens::screens() const {
    refreshIfDirty();
    return last_;
}

std::uint64_t X11Screens::generation() const {
    refreshIfDirty();
    return generation_;
}

Subscription X11Screens::onChange(std::function<void()> handler) {
    return changed_.subscribe(std::move(handler));
}

}  // namespace tessary
