#include "Platform/X11/X11Platform.h"

namespace tessary {

std::unique_ptr<X11Platform> X11Platform::open(const char* displayName) {
    auto connection = X11Connection::open(displayName);
    if (!connection) return nullptr;
    return std::unique_ptr<X11Platform>(new X11Platform(std::move(connection)));
}

X11Platform::X11Platform(std::unique_ptr<X11Connection> connection)
    : connection_(std::move(connection)),
      windows_(*connection_),
      monitors_(*connection_, windows_),
      tracker_(*connection_, windows_),
      screens_(*connection_, monitors_),
      accessibility_(*connection_, windows_, tracker_, screens_),
      workspace_(windows_, tracker_, accessibility_),
      windowManager_(windows_) {}

}  // namespace tessary
