#pragma once

namespace tessary {

class X11Connection;

// Whether a compositing manager runs on the default screen: it owns the _NET_WM_CM_S0 selection.
// One round trip; asked when the overlay shows, never on a per-event path.
bool x11CompositorRuns(X11Connection& connection);

}  // namespace tessary
