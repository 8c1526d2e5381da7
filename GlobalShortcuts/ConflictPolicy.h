#pragma once

// How strictly a recorder treats a shortcut that is already taken: by an item of the program's
// menu, by the desktop (reserved, or held by another program), by another of the program's own
// global shortcuts, or forbidden by the platform rule on Alt-only shortcuts. The rules themselves
// are GlobalShortcuts::isTakenBySystem, namesUsing and isDisallowed.

#include <cstdint>
#include <utility>
#include <vector>

#include "GlobalShortcuts/Shortcut.h"

namespace tessary {

enum class ConflictBehavior : std::uint8_t {
    block,  // an alert explains the conflict; the shortcut is refused
    warn,   // an alert offers to use it anyway ("force_use_shortcut"; for one of the program's own
            // shortcuts "use_here", which moves it); refused for disallowed ones
    allow,  // no alert; the shortcut is used (one of the program's own is then shared)
};

struct ConflictPolicy {
    ConflictBehavior menuItem = ConflictBehavior::block;
    ConflictBehavior systemShortcut = ConflictBehavior::warn;
    ConflictBehavior disallowed = ConflictBehavior::block;
    // The shortcut of another of the program's global shortcut names: both would act on one press.
    ConflictBehavior ownShortcut = ConflictBehavior::warn;

    static const ConflictPolicy standard;
    static const ConflictPolicy permissive;

    friend bool operator==(const ConflictPolicy&, const ConflictPolicy&) = default;
};

inline constexpr ConflictPolicy ConflictPolicy::standard{ConflictBehavior::block, ConflictBehavior::warn,
                                                         ConflictBehavior::block, ConflictBehavior::warn};
inline constexpr ConflictPolicy ConflictPolicy::permissive{ConflictBehavior::allow, ConflictBehavior::allow,
                                                           ConflictBehavior::allow, ConflictBehavior::allow};

// The running system as the disallowed rule reads it. The rule names two releases of another
// operating system; on Linux it never applies, and tests set the reader to reach it.
struct OperatingSystemVersion {
    bool isMacOS = false;
    int major = 0;
    int minor = 0;
    int patch = 0;
};

// True when the environment holds APP_SANDBOX_CONTAINER_ID; read once.
bool isSandboxed();

// The platform rule: on macOS 15.0 and 15.1, a sandboxed process may not take shortcuts whose only
// modifier besides Shift is Alt.
bool isDisallowedShortcut(const Shortcut& shortcut, const OperatingSystemVersion& version, bool sandboxed);

// The desktop's reserved shortcuts as shortcuts: five modifier bits, and no Fn bit on the keys
// reported with it, so that they compare with recorded ones.
std::vector<Shortcut> reservedShortcuts(const std::vector<std::pair<std::int64_t, std::int64_t>>& system);

}  // namespace tessary
