#pragma once

// Start order 3: the X connection, raw presses and the tray icon, made before anything else loads
// so that the user sees at once that the program started, and a drag begun as soon as the icon
// shows still snaps. The icon's menu reads the delegate, the shortcuts and the updater through
// `TrayTargets`, filled as they come up; a menu opens only once the loop takes the user's clicks,
// after the launch. Installs the static display and accessibility sources, and ends them last.

#include <memory>
#include <optional>

#include "Platform/Qt/QtApplication.h"
#include "Platform/Qt/QtEventPump.h"
#include "Platform/Qt/QtScheduler.h"
#include "Platform/Signal.h"
#include "Platform/UserNotices.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/shell/ui/StatusItemController.h"

namespace tessary {

class AppDelegate;
class GlobalShortcuts;
class Logger;
class UpdaterController;

struct TrayTargets {
    AppDelegate* delegate = nullptr;
    GlobalShortcuts* shortcuts = nullptr;
    UpdaterController* updater = nullptr;
};

class TrayFirst {
public:
    // Shows the icon and runs the loop, the user's input held back, until the tray has drawn it
    // (at most 500 ms).
    TrayFirst(QtApplication& application, std::unique_ptr<X11Platform> connected, const Logger& log);
    ~TrayFirst();
    TrayFirst(const TrayFirst&) = delete;
    TrayFirst& operator=(const TrayFirst&) = delete;

    // A notice as the tray icon's message, its action taken by a click on the message; false where
    // the icon is not on a tray that shows messages.
    bool showMessage(const UserNotice& notice);

    QtApplication& application;
    std::unique_ptr<X11Platform> platform;
    QtScheduler scheduler;
    X11GlobalInput input;
    // Holds the raw presses selected until the services listen.
    Subscription pressesDuringStart;
    TrayTargets trayTargets;
    std::unique_ptr<StatusItemController> statusItem;
    // Set once the connection broke: the program is quitting.
    bool serverGone = false;

private:
    bool processX(X11Connection::Read read);

    const Logger& log_;
    std::optional<QtEventPump> pump_;
};

}  // namespace tessary
