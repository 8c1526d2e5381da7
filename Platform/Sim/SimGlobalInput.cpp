#include "Platform/Sim/SimGlobalInput.h"

namespace tessary {

Subscription SimGlobalInput::addMonitor(Handler handler) {
    if (!available) return Subscription();
    return monitors_.subscribe(std::move(handler));
}

void SimGlobalInput::pressLeft() {
    if (leftDown_) return;
    leftDown_ = true;
    send(GlobalInputKind::leftMouseDown);
}

void SimGlobalInput::releaseLeft() {
    if (!leftDown_) return;
    leftDown_ = false;
    send(GlobalInputKind::leftMouseUp);
}

void SimGlobalInput::moveTo(Point location) {
    location_ = location;
    if (leftDown_) send(GlobalInputKind::leftMouseDragged);
}

void SimGlobalInput::setModifiers(GlobalModifierKeys keys) {
    if (keys == modifiers_) return;
    modifiers_ = keys;
    send(GlobalInputKind::modifiersChanged);
}

void SimGlobalInput::send(GlobalInputKind kind) {
    monitors_.emit(GlobalInputEvent{kind, location_, modifiers_});
}

}  // namespace tessary
