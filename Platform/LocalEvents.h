#pragma once

// Events inside this program, seen before they reach their widget: key presses and releases (also
// while one of its menus is open) and mouse releases. A monitor may pass an event on or consume it.
// Also tells when the program's menus are open: from the first popup opening to the last closing.

#include <cstdint>
#include <functional>
#include <optional>

#include "Platform/Signal.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

enum class LocalEventType : std::uint8_t { keyDown, keyUp, leftMouseUp, rightMouseUp };

// A set of event types, one bit each (1 << type).
using LocalEventMask = std::uint32_t;
constexpr LocalEventMask localEventBit(LocalEventType type) { return LocalEventMask(1) << unsigned(type); }

struct LocalEvent {
    LocalEventType type = LocalEventType::keyDown;
    // The native key code (an X key code), its Carbon key code when the key has one, and the key
    // symbol it types (an X keysym, 0 when none).
    std::uint32_t nativeKeyCode = 0;
    std::optional<std::int64_t> carbonKeyCode;
    std::uint32_t keySymbol = 0;
    // The Carbon mask of the modifiers held (Shift, Control, Alt, Super).
    std::int64_t carbonModifiers = 0;
    bool isRepeat = false;
    // Mouse releases: where, in the program's global coordinates.
    Point location;

    friend bool operator==(const LocalEvent&, const LocalEvent&) = default;
};

class LocalEvents {
public:
    // Gives the event back (changed or not) to pass it on; nothing consumes it.
    using Handler = std::function<std::optional<LocalEvent>(const LocalEvent&)>;

    virtual ~LocalEvents() = default;

    // Monitors the given types until the subscription ends. Monitors see an event in the order
    // they were added; the first that consumes it ends its road.
    [[nodiscard]] virtual Subscription addMonitor(LocalEventMask types, Handler handler) = 0;
    virtual bool isMenuTracking() const = 0;
    // Menu tracking began (true) or ended (false).
    [[nodiscard]] virtual Subscription onMenuTracking(std::function<void(bool)> handler) = 0;
};

}  // namespace tessary
