#pragma once

#include <vector>

#include "Platform/GlobalInput.h"
#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Tessary/services/InputModifiers.h"

namespace tessary {

class DragSnapController;

// Feeds the drag controller every global left-button down, drag and up and every change of the
// modifier keys, on the main loop, as they arrive. It keeps no state about the drag.
//
// Positions come from the platform in the desktop space already: on X11 the root window's pixels
// have their origin at the top left with y down, so there is no flip to make here.
class InputMonitor final {
public:
    // Both must outlive the monitor. `monitors` is normally empty (the program passes none).
    InputMonitor(GlobalInput& input, DragSnapController& controller, std::vector<Subscription> monitors = {});
    InputMonitor(const InputMonitor&) = delete;
    InputMonitor& operator=(const InputMonitor&) = delete;

    // Registers the global monitor unless one is registered already; true when one is registered
    // after the call. A failed registration leaves the list empty, so a later call tries again.
    bool start();

    DragSnapController& controller() const { return controller_; }
    // The registered platform monitors; they end with the input monitor.
    const std::vector<Subscription>& monitors() const { return monitors_; }

    // The system's modifier set for the platform's keys: Alt stands for Option, Super for Command.
    static InputModifiers modifiers(const GlobalModifierKeys& keys);

private:
    void handle(const GlobalInputEvent& event);

    GlobalInput& input_;
    DragSnapController& controller_;
    std::vector<Subscription> monitors_;
    Logger log_{"InputMonitor"};
};

}  // namespace tessary
