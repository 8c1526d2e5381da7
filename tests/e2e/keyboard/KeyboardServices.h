#pragma once

// The keyboard side of the application over one X connection, wired as the program wires it: the
// keymap, the hot keys, the shortcut module (stored values in memory) and the keyboard snap
// controller with the default shortcuts registered.

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimLocalEvents.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11HotKeys.h"
#include "Platform/X11/X11KeyboardLayout.h"
#include "Tessary/keyboard/KeyboardSnapController.h"
#include "Tessary/services/ZoneService.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary::e2e {

struct KeyboardServices {
    KeyboardServices(X11Connection& connection, ZoneService& zones)
        : keyboard(connection),
          hotKeys(connection, keyboard),
          shortcuts({defaults, hotKeys, keyboard, localEvents, scheduler}),
          input(connection),
          controller(shortcuts, zones, input, [] { return DisplayProvider::displays(); }, scheduler) {
        controller.registerShortcuts();
    }

    MemoryUserDefaults defaults;
    SimLocalEvents localEvents;
    VirtualScheduler scheduler;
    X11KeyboardLayout keyboard;
    X11HotKeys hotKeys;
    GlobalShortcuts shortcuts;
    X11GlobalInput input;
    KeyboardSnapController controller;
};

}  // namespace tessary::e2e
