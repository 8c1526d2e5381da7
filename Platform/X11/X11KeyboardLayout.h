#pragma once

// The keyboard through xkbcommon-x11: the keymap and state of the core keyboard, followed through
// the XKB notices (a new keyboard, a new map, a group switch), and the modifier bits from the core
// modifier map. Carbon key codes reach key codes through the fixed XKB key-name table
// (X11KeyNames). Characters are what a key types at its first level in the active group.
//
// Reads happen from the cached keymap; only keyRepeat() and isKeyDown() ask the server, and only
// when called (a stream's creation, a repeat tick). Events are handled from
// X11Connection::processPendingEvents on the main loop; onChange fires once the keymap is read anew,
// once per burst of notices.

#include "Platform/CarbonModifiers.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11KeyboardNotices.h"

#include <cstdint>
#include <optional>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace tessary {

// The core modifier bit that Num Lock sets (0 when no key of the modifier map carries Num_Lock).
// `keycodes` holds keycodesPerModifier codes for each of the eight modifiers; `keysyms` holds
// keysymsPerKeycode symbols for each key code from `minKeycode`.
std::uint16_t numLockMask(const std::uint8_t* keycodes, int keycodesPerModifier, const std::uint32_t* keysyms,
                          int keysymCount, int keysymsPerKeycode, std::uint8_t minKeycode);

class X11KeyboardLayout final : public KeyboardLayout {
public:
    explicit X11KeyboardLayout(X11Connection& connection);
    ~X11KeyboardLayout() override;
    X11KeyboardLayout(const X11KeyboardLayout&) = delete;
    X11KeyboardLayout& operator=(const X11KeyboardLayout&) = delete;

    std::optional<std::string> character(std::int64_t carbonKeyCode) const override;
    std::optional<std::int64_t> carbonKeyCode(std::uint32_t nativeKeyCode) const override;
    KeyRepeatTiming keyRepeat() const override;
    bool isKeyDown(std::int64_t carbonKeyCode) const override;
    Subscription onChange(std::function<void()> handler) override { return changed_.subscribe(std::move(handler)); }

    // False when the server has no XKB: nothing can be named or grabbed.
    bool isAvailable() const { return keymap_ != nullptr; }
    // The key code of a Carbon code in the current keymap.
    std::optional<xcb_keycode_t> keyCode(std::int64_t carbonKeyCode) const;
    CoreModifierBits modifierBits() const { return bits_; }
    std::uint16_t numLockBit() const { return numLock_; }

private:
    void readKeymap();
    void readModifierMap();
    void handle(const xcb_generic_event_t& event);

    X11Connection& connection_;
    X11KeyboardNotices notices_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    std::int32_t deviceID_ = -1;
    CoreModifierBits bits_;
    std::uint16_t numLock_ = 0;
    int handlerID_ = 0;
    int batchID_ = 0;
    bool mappingStale_ = false;
    Signal<> changed_;
};

}  // namespace tessary
