#pragma once

// Start order 4, last, and 5: the delegate over the back ends, with its integrations, the keyboard
// layer and the synchronisation wired to it; the launch; then listening for later starts, the
// start's own arguments and the main loop. Listening comes after the launch: a request may move
// windows, which needs the window filter and the snap callbacks. What is made here ends before
// what it was made over, the delegate last of it.

#include <memory>
#include <optional>

#include <QSocketNotifier>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/FolderWatcher.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Linux/TerminationSignals.h"
#include "Platform/Qt/DesktopNotices.h"
#include "Platform/Qt/InstanceServer.h"
#include "Platform/Qt/QtEventPump.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/keyboard/KeyboardSnapController.h"
#include "Tessary/keyboard/WorkspaceHotKeys.h"
#include "Tessary/program/BackEnds.h"
#include "Tessary/program/ProgramWindows.h"
#include "Tessary/program/TrayFirst.h"
#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

class Instance {
public:
    Instance(TrayFirst& first, BackEnds& backEnds, ProgramWindows& windows, const Logger& log);
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // AppDelegate::launch, and what follows the services: the shared folders followed, the
    // settings file's trouble told, saving at exit() arranged.
    void launch();
    // Listens for later starts, answers this start's own arguments and runs the main loop until
    // Quit; the exit status.
    int serve(std::optional<InstanceLock> lock, const InstanceRequest& request);

private:
    void wireKeyboard();
    void wireShell();
    void wireSync();
    void addTestVerbs();
    void followSharedFolders();
    void tellAboutTheSettingsFile();
    void answerOwnArguments(const InstanceRequest& request);
    void quit();

    TrayFirst& first_;
    BackEnds& backEnds_;
    ProgramWindows& windows_;
    const Logger& log_;
    // Notices go to the desktop's notification server; without one, to the tray icon's balloon.
    DesktopNotices notices_;
    AppDelegate delegate_;
    // The keyboard layer: the shortcuts act on the delegate's services and end before them.
    KeyboardSnapController keyboardSnap_;
    WorkspaceHotKeys workspaceHotKeys_;
    // The one synchronisation, made and started by the launch sequence over its services; it ends
    // before them.
    std::unique_ptr<CloudSync> cloudSync_;
    std::optional<TerminationSignals> signals_;
    std::optional<QSocketNotifier> signalNotifier_;
    std::optional<FolderWatcher> sharedFolders_;
    std::optional<QtEventPump> sharedFoldersPump_;
    std::optional<InstanceServer> server_;
};

}  // namespace tessary
