#pragma once

namespace tessary {

// Whether the session's tray host takes status items over D-Bus (a StatusNotifierWatcher is on the
// session bus). Qt then exports the tray menu over D-Bus, which carries plain items only. False
// without a session bus. Cheap enough to ask at every opening of a menu.
bool statusNotifierHostRunning();

}  // namespace tessary
