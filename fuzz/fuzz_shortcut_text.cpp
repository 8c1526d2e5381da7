// Any text stored under a shortcut name decodes without crashing or throwing; what decodes writes
// back the same pair and shows as text; a name storing it registers and clears without harm.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/Logger.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimHotKeys.h"
#include "Platform/Sim/SimKeyboardLayout.h"
#include "Platform/Sim/SimLocalEvents.h"
#include "Platform/Sim/VirtualScheduler.h"

namespace {

class DiscardingSink : public tessary::LogSink {
public:
    void write(const tessary::LogRecord&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessary;
    static DiscardingSink sink;
    Logger::setSink(&sink);
    const std::string text(reinterpret_cast<const char*>(data), size);

    SimKeyboardLayout keyboard;
    if (const auto shortcut = Shortcut::fromStoredText(text)) {
        const auto again = Shortcut::fromStoredText(shortcut->storedText());
        if (!again || *again != *shortcut) std::abort();
        if (shortcut->description(keyboard).empty()) std::abort();
    }

    MemoryUserDefaults defaults;
    SimHotKeys hotKeys;
    SimLocalEvents localEvents;
    VirtualScheduler scheduler;
    GlobalShortcuts shortcuts({defaults, hotKeys, keyboard, localEvents, scheduler});
    defaults.set("GlobalShortcuts_fuzzed", text);
    const GlobalShortcuts::Name name("fuzzed");
    shortcuts.onKeyDown(name, [] {});
    shortcuts.setShortcut(std::nullopt, name);
    return 0;
}
