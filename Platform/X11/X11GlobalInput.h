#pragma once

#include "Platform/GlobalInput.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11KeyboardNotices.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tessary {

// Which modifier bits of the core state mask stand for Alt and Super, and which key codes change a
// modifier, from the server's modifier and keyboard mappings.
struct X11ModifierLayout {
    uint16_t altMask = XCB_MOD_MASK_1;
    uint16_t superMask = XCB_MOD_MASK_4;
    std::array<bool, 256> isModifierKey{};

    // The modifier bits whose key codes carry the Alt (or Meta) and Super key symbols; Mod1 and
    // Mod4, as nearly every layout has them, when none does. `keycodes` holds keycodesPerModifier
    // codes for each of the eight modifiers; `keysyms` holds keysymsPerKeycode symbols for each key
    // code from `minKeycode`.
    static X11ModifierLayout from(const uint8_t* keycodes, int keycodesPerModifier, const uint32_t* keysyms,
                                  int keysymCount, int keysymsPerKeycode, uint8_t minKeycode);
    // The carried keys of a core state mask (QueryPointer, core events).
    GlobalModifierKeys keys(uint16_t stateMask) const;
};

// Global input over XInput 2 raw events on the root window. Raw events reach every client that
// selected them, also while another client (the window manager moving a window) holds a grab, and
// they carry no position: the pointer position and the modifier mask are read with QueryPointer
// when a notice is handled. The root window's pixels are the desktop space's points (origin at the
// top left, y down), so positions need no conversion.
//
// Events are handled from X11Connection::processPendingEvents, on the main loop. Pointer motion is
// selected only while the left button is down, so moving the mouse does not wake the program, and
// the motions of one batch of events are folded into one drag notice at the batch's end (each
// would read the same position); a button or key notice first delivers a folded drag, so that the
// order of events is kept.
class X11GlobalInput : public GlobalInput {
public:
    explicit X11GlobalInput(X11Connection& connection);
    ~X11GlobalInput() override;
    X11GlobalInput(const X11GlobalInput&) = delete;
    X11GlobalInput& operator=(const X11GlobalInput&) = delete;

    Subscription addMonitor(Handler handler) override;
    // QueryPointer: one round trip; root pixels are already the desktop space.
    std::optional<Point> pointerLocation() override;

private:
    struct PointerState {
        Point location;
        uint16_t mask = 0;
    };

    // Checks for XInput 2.2, selects the raw events and installs the event handler; false when the
    // server cannot deliver them.
    bool startListening();
    void selectRawEvents(bool withMotion);
    void handle(const xcb_generic_event_t& event);
    void handleButton(uint32_t physicalButton, bool down);
    void handleKey(uint32_t keycode);
    void deliverFoldedMotion();
    void send(GlobalInputKind kind, const PointerState& state);
    std::optional<PointerState> queryPointer();
    void readMappings();
    // The logical button of a physical one (raw events carry the physical number).
    uint32_t logicalButton(uint32_t physicalButton) const;

    X11Connection& connection_;
    Signal<const GlobalInputEvent&> monitors_;
    bool listening_ = false;
    uint8_t inputOpcode_ = 0;
    int handlerId_ = 0;
    int batchEndId_ = 0;

    bool leftDown_ = false;
    bool motionSelected_ = false;
    bool motionFolded_ = false;
    GlobalModifierKeys lastKeys_;

    bool mappingsStale_ = true;
    // Once another component initialised XKB on the connection, only XKB notices tell of a new
    // keyboard mapping (no core MappingNotify comes).
    std::optional<X11KeyboardNotices> keyboardNotices_;
    X11ModifierLayout layout_;
    std::vector<uint8_t> buttonMap_;
};

}  // namespace tessary
