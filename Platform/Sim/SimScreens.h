#pragma once

#include <vector>

#include "Platform/Screens.h"

namespace tessary {

// Monitors set by the test; every change is announced.
class SimScreens : public Screens {
public:
    SimScreens() = default;
    explicit SimScreens(std::vector<Screen> screens) : screens_(std::move(screens)) {}

    std::vector<Screen> screens() const override { return screens_; }
    std::uint64_t generation() const override { return generation_; }
    Subscription onChange(std::function<void()> handler) override { return changed_.subscribe(std::move(handler)); }

    void setScreens(std::vector<Screen> screens) {
        screens_ = std::move(screens);
        generation_ = nextGeneration();
        changed_.emit();
    }

    // A monitor with a display number whose work area is the frame less a top panel.
    static Screen makeScreen(std::uint32_t displayNumber, Rect frame, std::string connectorName,
                             double panelHeight = 0);

private:
    std::vector<Screen> screens_;
    std::uint64_t generation_ = nextGeneration();
    Signal<> changed_;
};

}  // namespace tessary
