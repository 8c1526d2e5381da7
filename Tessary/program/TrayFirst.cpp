#include "Tessary/program/TrayFirst.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>

#include <chrono>
#include <functional>

#include "GlobalShortcuts/ui/MenuItemShortcut.h"
#include "Platform/Logger.h"
#include "Platform/Qt/StatusNotifierHost.h"
#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/program/LastWrites.h"
#include "Tessary/shell/StatusMenuModel.h"
#include "Tessary/shell/ui/AppDelegate.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/StatusMenuActions.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Platform/Qt/InstanceServer.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

// The tray icon and its menu, rebuilt from the delegate's state at every opening; a chosen item acts
// through the command table and the services, as the menu showed them.
std::unique_ptr<StatusItemController> makeStatusItem(const TrayTargets& targets) {
    StatusItemController::Hooks hooks;
    hooks.readInputs = [&targets] {
        StatusMenuInputs inputs;
        if (!targets.delegate || !targets.updater) return inputs;
        AppDelegate& delegate = *targets.delegate;
        const UpdaterController& updater = *targets.updater;
        delegate.state().refreshAccessibility();
        inputs.windowControlGranted = delegate.state().accessibilityTrusted();
        inputs.displays = DisplayProvider::displays();
        inputs.library = delegate.zones().library();
        inputs.workspaces = delegate.workspaces().library();
        inputs.offerReview = delegate.reviewPrompt().shouldOffer();
        inputs.pendingUpdateVersion = updater.pendingUpdateVersion();
        inputs.updaterConfigured = updater.isConfigured();
        inputs.updaterCanCheck = updater.controller() && updater.controller()->canCheckForUpdates();
        return inputs;
    };
    hooks.perform = [&targets](const MenuAction& action) {
        if (targets.delegate) performStatusMenuAction(*targets.delegate, action);
    };
    hooks.bindShortcut = [&targets](QAction* action, const GlobalShortcuts::Name& name) {
        if (targets.shortcuts) bindMenuItemShortcut(*targets.shortcuts, action, name);
    };
    // Qt picks the tray protocol itself: D-Bus when a StatusNotifier host runs (its menu then
    // carries plain items only), else XEmbed (trayer, X11 panels), which shows widget rows.
    hooks.statusNotifierHost = statusNotifierHostRunning;
    return std::make_unique<StatusItemController>(std::move(hooks));
}

}  // namespace

TrayFirst::TrayFirst(QtApplication& application, std::unique_ptr<X11Platform> connected, const Logger& log)
    : application(application), platform(std::move(connected)), input(platform->connection(), &scheduler), log_(log) {
    DisplayProvider::setScreens(&platform->screens());
    AccessibilityPermission::setAccessibility(&platform->accessibility());
    // Presses are selected before the icon shows: one made while the documents load waits in the
    // connection, which is read only once the launch is done, and reaches the drag controller then.
    if (AccessibilityPermission::isTrusted()) pressesDuringStart = input.addMonitor([](const GlobalInputEvent&) {});
    statusItem = makeStatusItem(trayTargets);
    statusItem->awaitShown(scheduler, std::chrono::milliseconds(500));
    giveWindowsTheIcon();
    adoptFallbackIconTheme();
    pump_.emplace(
        platform->fileDescriptor(), [this] { return processX(X11Connection::Read::socket); },
        [this] { return processX(X11Connection::Read::queuedOnly); });
}

TrayFirst::~TrayFirst() {
    AccessibilityPermission::setAccessibility(nullptr);
    DisplayProvider::setScreens(nullptr);
}

bool TrayFirst::showMessage(const UserNotice& notice) {
    QSystemTrayIcon* tray = statusItem ? statusItem->trayIcon() : nullptr;
    if (!tray || !tray->isVisible() || !QSystemTrayIcon::supportsMessages()) return false;
    // Only the newest message can be clicked: an older one's action goes with it.
    QObject::disconnect(tray, &QSystemTrayIcon::messageClicked, nullptr, nullptr);
    if (notice.action) {
        auto action = std::make_shared<std::function<void()>>(notice.action);
        QObject::connect(tray, &QSystemTrayIcon::messageClicked, tray, [tray, action] {
            QObject::disconnect(tray, &QSystemTrayIcon::messageClicked, nullptr, nullptr);
            if (*action) (*action)();
        });
    }
    tray->showMessage(QString::fromStdString(notice.title), QString::fromStdString(notice.body), tray->icon());
    return true;
}

bool TrayFirst::processX(X11Connection::Read read) {
    const bool alive = platform->processPendingEvents(read);
    if (!alive && !serverGone) {
        serverGone = true;
        log_.notice("The X server is gone; quitting");
        // Its own removal must not look like someone else's, which it would answer by listening anew.
        if (LastWrites::server) LastWrites::server->close();
        // Qt's own connection may notice next and exit() from inside the loop. No window is asked
        // to close (there is no display to close it on): every loop just ends.
        LastWrites::saveAndLeave();
        QMetaObject::invokeMethod(&application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
    return alive;
}

}  // namespace tessary
