#pragma once

// The shortcut module over in-memory back ends: user defaults, a display's hot keys, a US keyboard,
// the program's event queue and virtual time. Notices and log lines are recorded.

#include <memory>
#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/CarbonModifiers.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimHotKeys.h"
#include "Platform/Sim/SimKeyboardLayout.h"
#include "Platform/Sim/SimLocalEvents.h"
#include "Platform/Sim/VirtualScheduler.h"

namespace tessary::testing {

inline constexpr std::int64_t kControlAlt = carbon::controlKey | carbon::optionKey;

class ShortcutsWorld {
public:
    ShortcutsWorld() {
        notices = shortcuts->shortcutByNameDidChange.subscribe(
            [this](const GlobalShortcuts::Name& name) { changed.push_back(name.rawValue); });
    }

    // A key event inside the program (as a menu would get it).
    static LocalEvent key(LocalEventType type, std::int64_t code, std::int64_t modifiers, bool repeat = false) {
        LocalEvent event;
        event.type = type;
        event.carbonKeyCode = code;
        event.nativeKeyCode = SimKeyboardLayout::nativeKeyCode(code);
        event.carbonModifiers = modifiers;
        event.isRepeat = repeat;
        return event;
    }
    std::string stored(const std::string& raw) const {
        auto value = defaults.object(std::string(GlobalShortcuts::keyPrefix) + raw);
        if (!value) return defaults.contains(std::string(GlobalShortcuts::keyPrefix) + raw) ? "unreadable" : "none";
        if (auto* flag = std::get_if<bool>(&*value)) return *flag ? "true" : "false";
        if (auto* text = std::get_if<std::string>(&*value)) return *text;
        return "other";
    }
    std::vector<std::string> errors() const { return sink.messages("GlobalShortcuts"); }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    MemoryUserDefaults defaults;
    SimHotKeys hotKeys;
    SimKeyboardLayout keyboard;
    SimLocalEvents localEvents;
    VirtualScheduler scheduler;
    std::unique_ptr<GlobalShortcuts> shortcuts = std::make_unique<GlobalShortcuts>(
        GlobalShortcuts::Dependencies{defaults, hotKeys, keyboard, localEvents, scheduler});
    std::vector<std::string> changed;
    Subscription notices;
};

}  // namespace tessary::testing
