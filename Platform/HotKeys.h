#pragma once

// System-wide hot keys: a key combination that reaches this program whichever window has the
// focus. Combinations are given as a Carbon virtual key code and a Carbon modifier mask (the
// stored form of a shortcut, Platform/CarbonModifiers.h); the back end maps them to the keyboard.
//
// A held combination gives one press and one release: key repeat is folded, and the release ends
// the press of its key whatever modifiers are let go first. A key already down when its
// combination is taken gives nothing until it has been let go: its repeats are no new press. Notices arrive on the main loop.

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/Signal.h"
#include "TessaryCore/Expected.h"

namespace tessary {

enum class HotKeyRefusal {
    // Another program (often the window manager) holds the combination.
    heldByAnotherClient,
    // The key or the modifiers have no form on this keyboard: a code outside the key table, a mask
    // with bits beyond Shift, Control, Alt and Super (Fn has no X modifier).
    notRepresentable,
    // There is no display to register with.
    unavailable,
};

// The refusal as the log says it.
std::string_view hotKeyRefusalText(HotKeyRefusal refusal);

// Names one registration; 0 is never used.
using HotKeyRegistration = std::uint32_t;

enum class HotKeyEventKind { pressed, released };

class HotKeys {
public:
    using EventHandler = std::function<void(HotKeyRegistration, HotKeyEventKind)>;

    virtual ~HotKeys() = default;

    // Registers the combination; all of it or nothing.
    virtual Expected<HotKeyRegistration, HotKeyRefusal> registerHotKey(std::int64_t carbonKeyCode,
                                                                       std::int64_t carbonModifiers) = 0;
    // Ends a registration; unknown ones are ignored.
    virtual void unregisterHotKey(HotKeyRegistration registration) = 0;
    // Whether another program holds the combination now. A combination this program registered
    // counts as free (and stays registered).
    virtual bool isHeldByAnotherClient(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) = 0;
    // The desktop's own reserved shortcuts (code, Carbon mask), where the desktop lists them.
    virtual std::vector<std::pair<std::int64_t, std::int64_t>> systemShortcuts() const { return {}; }

    // Presses and releases of registered combinations.
    [[nodiscard]] virtual Subscription onEvent(EventHandler handler) = 0;
    // A registration the back end had to give up (the keyboard changed and the combination could
    // not be taken again), with the reason. It is gone: it needs no unregistering.
    using LostHandler = std::function<void(HotKeyRegistration, HotKeyRefusal)>;
    [[nodiscard]] virtual Subscription onLost(LostHandler handler) = 0;
};

}  // namespace tessary
