#include "GlobalShortcuts/ConflictPolicy.h"

#include "GlobalShortcuts/Utilities.h"
#include "Platform/CarbonModifiers.h"

#include <cstdlib>

namespace tessary {

bool isSandboxed() {
    static const bool sandboxed = std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr;
    return sandboxed;
}

bool isDisallowedShortcut(const Shortcut& shortcut, const OperatingSystemVersion& version, bool sandboxed) {
    if (!version.isMacOS || version.major != 15 || version.minor > 1 || !sandboxed) return false;
    // Control, Alt, Super and Fn (Caps Lock has no Carbon bit here): exactly Alt.
    const std::int64_t held = shortcut.carbonModifiers &
                              (carbon::controlKey | carbon::optionKey | carbon::cmdKey | carbon::functionKey);
    return held == carbon::optionKey;
}

std::vector<Shortcut> reservedShortcuts(const std::vector<std::pair<std::int64_t, std::int64_t>>& system) {
    std::vector<Shortcut> shortcuts;
    shortcuts.reserve(system.size());
    for (const auto& [code, modifiers] : system) {
        shortcuts.emplace_back(code, normalisedModifiers(code, modifiers));
    }
    return shortcuts;
}

}  // namespace tessary
