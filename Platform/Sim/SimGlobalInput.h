#pragma once

#include "Platform/GlobalInput.h"

namespace tessary {

// A pointer and a keyboard moved by the test. Like a real back end it reports drags only while the
// left button is down and modifier changes only when the carried keys change, and every notice
// carries the pointer position and the keys of the moment.
class SimGlobalInput : public GlobalInput {
public:
    Subscription addMonitor(Handler handler) override;
    std::optional<Point> pointerLocation() override { return location_; }

    // When false, addMonitor registers nothing (as without an input extension).
    bool available = true;

    void pressLeft();
    void releaseLeft();
    // Moves the pointer; a drag notice when the left button is down.
    void moveTo(Point location);
    void setModifiers(GlobalModifierKeys keys);

    Point location() const { return location_; }
    GlobalModifierKeys modifiers() const { return modifiers_; }
    bool isLeftDown() const { return leftDown_; }
    std::size_t monitorCount() const { return monitors_.subscriberCount(); }

private:
    void send(GlobalInputKind kind);

    Signal<const GlobalInputEvent&> monitors_;
    Point location_;
    GlobalModifierKeys modifiers_;
    bool leftDown_ = false;
};

}  // namespace tessary
