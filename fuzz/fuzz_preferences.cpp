// Any stored preferences value loads without crashing, and what a load then saves loads back
// to the same settings.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/Logger.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/services/Preferences.h"

namespace {

class DiscardingSink : public tessary::LogSink {
public:
    void write(const tessary::LogRecord&) override {}
};

bool sameSettings(const tessary::Preferences& a, const tessary::Preferences& b) {
    return a.activationModifier() == b.activationModifier() && a.spanModifier() == b.spanModifier() &&
           a.overlayColor() == b.overlayColor() && a.zoneOpacity() == b.zoneOpacity() &&
           a.highlightOpacity() == b.highlightOpacity() && a.showZoneNumbers() == b.showZoneNumbers() &&
           a.flashOnLayoutChange() == b.flashOnLayoutChange() && a.excludedBundleIDs() == b.excludedBundleIDs() &&
           a.restoreOnDisplayChange() == b.restoreOnDisplayChange() &&
           a.moveNewWindowsToLastZone() == b.moveNewWindowsToLastZone() &&
           a.centerUnresizableWindows() == b.centerUnresizableWindows() &&
           a.iCloudSyncEnabled() == b.iCloudSyncEnabled() && a.appearance() == b.appearance();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DiscardingSink sink;
    static tessary::ScopedLogSink scoped(sink);

    tessary::MemoryUserDefaults defaults;
    defaults.set(tessary::Preferences::storageKey,
                 tessary::UserDefaultsData{std::string(reinterpret_cast<const char*>(data), size)});
    tessary::Preferences first(defaults);
    first.save();
    tessary::Preferences second(defaults);
    if (!sameSettings(first, second)) __builtin_trap();
    return 0;
}
