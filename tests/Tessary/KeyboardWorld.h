#pragma once

// The placement world with the shortcut module over in-memory hot keys, a pointer, and the
// displays published to the display provider for as long as the world lives.

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/CarbonModifiers.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/SimHotKeys.h"
#include "Platform/Sim/SimKeyboardLayout.h"
#include "Platform/Sim/SimLocalEvents.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/Tessary/TestWorld.h"

namespace tessary::testing {

inline constexpr std::int64_t kControlAlt = carbon::controlKey | carbon::optionKey;
inline constexpr std::int64_t kControlAltSuper = kControlAlt | carbon::cmdKey;

class KeyboardWorld : public PlacementWorld {
public:
    KeyboardWorld() { DisplayProvider::displaysOverride = displays; }
    ~KeyboardWorld() { DisplayProvider::displaysOverride.reset(); }

    void setDisplays(std::vector<DisplayInfo> list) {
        displays = list;
        DisplayProvider::displaysOverride = std::move(list);
    }
    // A layout of its own for one display.
    void useLayout(const DisplayInfo& display, const ZoneLayout& layout) {
        zones->updateLibrary([&](LayoutLibrary& library) {
            library.layouts.push_back(layout);
            library.assign(layout.id, display.displayKey());
        });
    }
    // Presses and lets go of a combination; whether a hot key took it.
    bool press(Key key, std::int64_t modifiers) {
        const bool taken = hotKeys.press(key.rawValue, modifiers);
        hotKeys.release(key.rawValue, modifiers);
        return taken;
    }

    std::string stored(const std::string& name) const {
        return defaults.stringValue(std::string(GlobalShortcuts::keyPrefix) + name).value_or("none");
    }

    MemoryUserDefaults defaults;
    SimHotKeys hotKeys;
    SimKeyboardLayout keyboard;
    SimLocalEvents localEvents;
    SimGlobalInput input;
    GlobalShortcuts shortcuts{{defaults, hotKeys, keyboard, localEvents, scheduler}};
};

}  // namespace tessary::testing
