#pragma once

// One system-wide key combination with its press and release actions. Owned by the module's table
// of registered shortcuts; the centre only refers to it weakly. Its release gives up the
// registration with the platform and leaves the centre's table.

#include <cstdint>
#include <functional>
#include <optional>

#include "Platform/HotKeys.h"

namespace tessary {

class HotKeyCenter;

class HotKey {
public:
    HotKey(HotKeyCenter& center, std::int64_t carbonKeyCode, std::int64_t carbonModifiers, std::function<void()> onKeyDown,
           std::function<void()> onKeyUp);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    const std::int64_t carbonKeyCode;
    const std::int64_t carbonModifiers;
    const std::function<void()> onKeyDown;
    const std::function<void()> onKeyUp;
    // Run when the centre fails to take the combination again (or the platform gives it up), with
    // the reason.
    std::function<void(HotKeyRefusal)> onRegistrationFailed;
    // Unique in the centre, handed out when the hot key is made.
    const std::int64_t id;
    // Present while the combination is registered with the platform.
    std::optional<HotKeyRegistration> registration;

private:
    HotKeyCenter& center_;
};

}  // namespace tessary
