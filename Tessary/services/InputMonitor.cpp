#include "Tessary/services/InputMonitor.h"

#include "Tessary/services/DragSnapController.h"

#include <string>

namespace tessary {

InputMonitor::InputMonitor(GlobalInput& input, DragSnapController& controller, std::vector<Subscription> monitors)
    : input_(input), controller_(controller), monitors_(std::move(monitors)) {}

bool InputMonitor::start() {
    if (!monitors_.empty()) return true;
    // The subscription ends with this object, so the handler never outlives it.
    Subscription monitor = input_.addMonitor([this](const GlobalInputEvent& event) { handle(event); });
    if (!monitor.isActive()) return false;
    monitors_.push_back(std::move(monitor));
    return true;
}

InputModifiers InputMonitor::modifiers(const GlobalModifierKeys& keys) {
    InputModifiers result;
    if (keys.shift) result = result.unionWith(InputModifiers::shift);
    if (keys.control) result = result.unionWith(InputModifiers::control);
    if (keys.alt) result = result.unionWith(InputModifiers::option);
    if (keys.super) result = result.unionWith(InputModifiers::command);
    return result;
}

void InputMonitor::handle(const GlobalInputEvent& event) {
    const InputModifiers held = modifiers(event.modifiers);
    switch (event.kind) {
    case GlobalInputKind::leftMouseDown:
        // Debug lines mark where a drag begins and ends (and pace the end-to-end tests); a motion
        // has none, as it is the hot path. The press's line comes once the controller has read the
        // window under it: a drag that goes on at the line cannot take the window away first.
        controller_.mouseDown(held, event.location);
        log_.debug("left button down at " + std::to_string(int(event.location.x)) + " " +
                   std::to_string(int(event.location.y)));
        break;
    case GlobalInputKind::leftMouseUp:
        log_.debug("left button up at " + std::to_string(int(event.location.x)) + " " +
                   std::to_string(int(event.location.y)));
        controller_.mouseUp(held, event.location);
        break;
    case GlobalInputKind::leftMouseDragged: controller_.mouseDragged(held, event.location); break;
    // The controller re-uses the last point it saw.
    case GlobalInputKind::modifiersChanged: controller_.modifiersChanged(held); break;
    }
}

}  // namespace tessary
