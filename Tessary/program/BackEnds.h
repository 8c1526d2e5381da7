#pragma once

// Start order 4, first: the settings file, login items, the keyboard layer, the application
// launcher, the window engine and the compositor's watch, over the connection the tray icon came
// with. A settings write that fails is reported and tried again (`settingsRetry`).

#include <memory>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/Linux/AutostartLoginItems.h"
#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "Platform/X11/X11CompositorWatcher.h"
#include "Platform/X11/X11HotKeys.h"
#include "Platform/X11/X11KeyboardLayout.h"
#include "Tessary/program/TrayFirst.h"
#include "Tessary/services/SaveReport.h"
#include "Tessary/services/SaveRetry.h"
#include "WindowEngine/AXWindowEngine.h"

namespace tessary {

class BackEnds {
public:
    BackEnds(TrayFirst& first, const char* argv0, const Logger& log);
    ~BackEnds();
    BackEnds(const BackEnds&) = delete;
    BackEnds& operator=(const BackEnds&) = delete;

private:
    const Logger& log_;

public:
    JSONFileUserDefaults defaults;
    // Settings that cannot be written are told as the documents are, once there is someone to tell.
    SaveReport settingsSaves{"settings", "Cannot save the settings: "};
    // Settings changed while they could not be written reach the file once it can be.
    SaveRetry settingsRetry;
    AutostartLoginItems loginItems;
    X11KeyboardLayout keyboard;
    X11HotKeys hotKeys;
    QtLocalEvents localEvents;
    GlobalShortcuts shortcuts;
    DesktopApplicationLauncher launcher;
    std::shared_ptr<AXWindowEngine> engine;
    X11CompositorWatcher compositor;

private:
    // Each write's outcome reaches the report before the retry follows it.
    SaveReport& reportingWrites();
};

}  // namespace tessary
