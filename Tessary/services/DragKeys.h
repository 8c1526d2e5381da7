#pragma once

// The two drag keys together: the key that shows the zones and the key that spans them. They never
// name one key: with one key for both, every drag with the zones showing would span every zone the
// pointer crossed. So choosing for one the key the other holds moves the other to its partner:
// Ctrl and Super go together, and Shift goes with Ctrl. Shift is never the partner, since some
// window managers take a Shift-drag for their own tiling.
//
// A window manager that takes a drag key for its own use (kwin tiles a window moved with Shift,
// metacity and marco snap it to edges) is known by the name it gives itself; beside one, the keys
// a first start chooses leave that key to it.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Tessary/services/ActivationModifier.h"
#include "Tessary/services/SpanModifier.h"

namespace tessary {

struct DragKeys {
    ActivationModifier activation = ActivationModifier::shift;
    SpanModifier span = SpanModifier::control;

    friend bool operator==(const DragKeys&, const DragKeys&) = default;
};

// "Ctrl, Super": the key that shows the zones, then the span key, as the settings name them.
std::ostream& operator<<(std::ostream& os, const DragKeys& keys);

// True when both name the same key; never for `always` or `none`.
bool sameKey(ActivationModifier activation, SpanModifier span);
// The span key that goes with a drag key: Super with Ctrl, Ctrl with Shift or Super, and
// `fallback` with `always`, which takes no key.
SpanModifier spanPartner(ActivationModifier activation, SpanModifier fallback);
// The drag key that goes with a span key: Super with Ctrl, Ctrl with Shift or Super.
ActivationModifier activationPartner(SpanModifier span, ActivationModifier fallback);

// The pair once the drag key is `chosen`: the span key moves to its partner when it was that key.
DragKeys withActivation(DragKeys keys, ActivationModifier chosen);
// The pair once the span key is `chosen`: the drag key moves to its partner when it was that key.
DragKeys withSpan(DragKeys keys, SpanModifier chosen);

// A drag key a window manager takes for its own drags, and what it does with it.
struct TakenDragKey {
    // The window manager as texts name it ("KWin", "Metacity", "Marco"), never the outside text.
    std::string windowManager;
    ActivationModifier key;
    // "tile windows": completes "KWin uses Shift-drag to …".
    std::string use;
};

// The key the window manager of that name takes for its own drags (kwin, metacity and marco, whose
// name begins with "Metacity": Shift); none for any other or an empty name.
std::optional<TakenDragKey> dragKeyTakenBy(std::string_view windowManagerName);

// The drag keys of a first start beside that window manager: Shift and Ctrl, or Ctrl and Super
// where Shift is taken.
DragKeys defaultDragKeys(std::string_view windowManagerName);

}  // namespace tessary
