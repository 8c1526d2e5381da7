#pragma once

#include "Platform/X11/X11Accessibility.h"
#include "Platform/X11/X11ApplicationWorkspace.h"
#include "Platform/X11/X11ClientTracker.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Monitors.h"
#include "Platform/X11/X11Screens.h"
#include "Platform/X11/X11WindowManagerInfo.h"
#include "Platform/X11/X11Windows.h"

#include <memory>

namespace tessary {

// The X11 back ends over one connection, built in the order they depend on each other. The main
// loop watches fileDescriptor() and calls processPendingEvents() when it is readable, and
// processPendingEvents(X11Connection::Read::queuedOnly) before it sleeps.
class X11Platform {
public:
    // Null when no X server can be reached.
    static std::unique_ptr<X11Platform> open(const char* displayName = nullptr);

    X11Connection& connection() { return *connection_; }
    X11Windows& windows() { return windows_; }
    X11Monitors& monitors() { return monitors_; }
    X11ClientTracker& tracker() { return tracker_; }
    X11Accessibility& accessibility() { return accessibility_; }
    X11Screens& screens() { return screens_; }
    X11ApplicationWorkspace& workspace() { return workspace_; }
    X11WindowManagerInfo& windowManager() { return windowManager_; }

    int fileDescriptor() const { return connection_->fileDescriptor(); }
    // Sends the window writes still held (the end of a main-loop turn), then dispatches what the
    // server sent; false once the connection is broken (the X server is gone).
    bool processPendingEvents(X11Connection::Read read = X11Connection::Read::socket) {
        accessibility_.commitPendingWrites();
        connection_->processPendingEvents(read);
        return !connection_->hasFailed();
    }

private:
    explicit X11Platform(std::unique_ptr<X11Connection> connection);

    std::unique_ptr<X11Connection> connection_;
    X11Windows windows_;
    X11Monitors monitors_;
    X11ClientTracker tracker_;
    X11Screens screens_;
    X11Accessibility accessibility_;
    X11ApplicationWorkspace workspace_;
    X11WindowManagerInfo windowManager_;
};

}  // namespace tessary
