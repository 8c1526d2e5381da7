#pragma once

// Global left-button and modifier-key notices, whichever application the pointer is over. A global
// monitor only watches: it never changes or swallows the events, so a window manager that moves a
// window on a drag keeps doing so while a monitor follows the drag.

#include <cstdint>
#include <functional>
#include <optional>

#include "Platform/Signal.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// The modifier keys a notice carries. Lock keys (Caps Lock, Num Lock) and the other modifiers are
// never carried.
struct GlobalModifierKeys {
    bool shift = false;
    bool control = false;
    bool alt = false;    // Option on keyboards that have one
    bool super = false;  // Command on keyboards that have one

    friend bool operator==(const GlobalModifierKeys&, const GlobalModifierKeys&) = default;
};

enum class GlobalInputKind {
    leftMouseDown,
    leftMouseUp,
    // The pointer moved while the left button was down. Moves without the button are not reported.
    leftMouseDragged,
    // The set of held modifier keys (as GlobalModifierKeys carries them) changed.
    modifiersChanged,
};

struct GlobalInputEvent {
    GlobalInputKind kind = GlobalInputKind::leftMouseDown;
    // The pointer position and the modifier keys as they are when the notice is handled (not as they
    // were when the event happened), in the desktop space: origin at the top left of the primary
    // display, y down, in points.
    Point location;
    GlobalModifierKeys modifiers;

    friend bool operator==(const GlobalInputEvent&, const GlobalInputEvent&) = default;
};

class GlobalInput {
public:
    using Handler = std::function<void(const GlobalInputEvent&)>;

    virtual ~GlobalInput() = default;

    // Registers a monitor that receives every notice, on the main loop, in the order the events
    // happened. Gives an inactive subscription when no monitor can be registered (no input
    // extension, no connection); a later call may succeed. The monitor lasts until the subscription
    // ends.
    [[nodiscard]] virtual Subscription addMonitor(Handler handler) = 0;

    // Where the pointer is now, in the desktop space; nothing when it cannot be read.
    virtual std::optional<Point> pointerLocation() { return std::nullopt; }
};

}  // namespace tessary
