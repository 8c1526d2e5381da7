#pragma once

#include "Platform/GlobalInput.h"
#include "Platform/HandlerList.h"
#include "Platform/Scheduler.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11KeyboardNotices.h"
#include "Platform/X11/X11PointerDevices.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tessary {

// Which modifier bits of the core state mask stand for Alt and Super, and which key codes change a
// modifier, from the server's modifier and keyboard mappings.
struct X11ModifierLayout {
    uint16_t altMask = XCB_MOD_MASK_1;
    uint16_t superMask = XCB_MOD_MASK_4;
    std::array<bool, 256> isModifierKey{};
    // The state-mask bits each key code sets while it is held.
    std::array<uint16_t, 256> modifierBits{};

    // The modifier bits whose key codes carry the Alt (or Meta) and Super key symbols; Mod1 and
    // Mod4, as nearly every layout has them, when none does. `keycodes` holds keycodesPerModifier
    // codes for each of the eight modifiers; `keysyms` holds keysymsPerKeycode symbols for each key
    // code from `minKeycode`.
    static X11ModifierLayout from(const uint8_t* keycodes, int keycodesPerModifier, const uint32_t* keysyms,
                                  int keysymCount, int keysymsPerKeycode, uint8_t minKeycode);
    // The carried keys of a core state mask (QueryPointer, core events).
    GlobalModifierKeys keys(uint16_t stateMask) const;
};

// The pointer and the modifier mask between two reads of the server's, followed from raw events so
// that a drag notice costs no round trip. Relative devices (mice, touchpads) report deltas, added
// here and kept within the root window as the server keeps the pointer; the other devices' values
// are read as X11MotionReadings learned them. A key press or release of a modifier key sets or
// clears its bits, unless another held key sets them too.
struct X11PointerTracking {
    Point location;
    Size rootSize;
    uint16_t mask = 0;
    std::array<bool, 256> keyDown{};

    // Starts again from what the server reported.
    void reset(Point pointer, uint16_t stateMask, Size root);
    // Adds a raw motion's deltas of the valuators 0 and 1 (x and y), each when present.
    void moveBy(std::optional<double> dx, std::optional<double> dy);
    void key(const X11ModifierLayout& layout, uint32_t keycode, bool down);
};

// The values of valuators 0 and 1 of a raw event (the processed ones, after acceleration), each when
// the event carries it.
std::pair<std::optional<double>, std::optional<double>> rawAxes(const xcb_input_raw_button_press_event_t& event);

// Global input over XInput 2 raw events on the root window. Raw events reach every client that
// selected them, also while another client (the window manager moving a window) holds a grab, and
// they carry no position. A button notice reads the pointer, the modifier mask and the root's size
// (one round trip, together with the first look at a new input device); while the button is down
// the position follows the raw motion (X11PointerTracking: a mouse's deltas; the values of tablets,
// touch screens and the XTest device as X11MotionReadings learned to read them at the drag's first
// motion) and the mask the raw key events, so the notices of a drag make no request at all. A
// pointer that is warped (XWarpPointer, as `xdotool mousemove` does) sends no raw motion: while the
// button is down and no raw motion has come, the pointer is read every pollInterval through the
// scheduler; once it has stayed put for pollPatience, every restInterval, for as long as the button
// stays down (a warp after any rest is seen, and nothing else would tell of it); a change or a
// modifier key pressed or let go brings the quick reads back. A modifier notice without the button
// reads the pointer, which moved unseen. The root window's pixels are the desktop space's points
// (origin at the top left, y down), so positions need no conversion.
//
// Events are handled from X11Connection::processPendingEvents, on the main loop. Pointer motion is
// selected only while the left button is down, so moving the mouse does not wake the program, and
// the motions of one batch of events are folded into one drag notice at the batch's end; a button
// or key notice first delivers a folded drag, so that the order of events is kept.
class X11GlobalInput : public GlobalInput {
public:
    // Without a scheduler, a warped pointer is seen only at the release.
    explicit X11GlobalInput(X11Connection& connection, Scheduler* scheduler = nullptr);
    ~X11GlobalInput() override;
    X11GlobalInput(const X11GlobalInput&) = delete;
    X11GlobalInput& operator=(const X11GlobalInput&) = delete;

    Subscription addMonitor(Handler handler) override;
    // QueryPointer: one round trip; root pixels are already the desktop space.
    std::optional<Point> pointerLocation() override;

    static constexpr std::chrono::milliseconds pollInterval{16};
    static constexpr std::chrono::milliseconds pollPatience{1000};
    static constexpr std::chrono::milliseconds restInterval{100};

private:
    // Checks for XInput 2.2, selects the raw events and installs the event handler; false when the
    // server cannot deliver them.
    bool startListening();
    void selectRawEvents(bool withMotion);
    // Mapping notices (core and XKB) and the XInput events.
    void handleMapping(const xcb_generic_event_t& event);
    void handle(const xcb_generic_event_t& event);
    void handleButton(uint32_t physicalButton, uint16_t sourceDevice, bool down);
    void handleMotion(const xcb_input_raw_motion_event_t& event);
    void handleKey(uint32_t keycode, bool down);
    void deliverFoldedMotion();
    void send(GlobalInputKind kind);
    // Reads the pointer, its mask and the root's size into tracking_ (and, for a device not seen
    // before, what its motion says), in one round trip; false when that failed.
    bool readPointer(std::optional<uint16_t> newDevice = std::nullopt);
    // The reads of a pointer that moves without raw motion (see the class comment).
    void pollWhileWarped();
    void poll();
    void readMappings();
    // The logical button of a physical one (raw events carry the physical number).
    uint32_t logicalButton(uint32_t physicalButton) const;

    X11Connection& connection_;
    Scheduler* scheduler_;
    // Called with every notice: a list walked without copies or reference counts (a Signal's
    // emission takes both), held shared only so that a subscription may outlive the back end.
    std::shared_ptr<HandlerList<const GlobalInputEvent&>> monitors_ =
        std::make_shared<HandlerList<const GlobalInputEvent&>>();
    int nextMonitorId_ = 0;
    bool listening_ = false;
    uint8_t inputOpcode_ = 0;
    int handlerId_ = 0;
    int inputHandlerId_ = 0;
    int batchEndId_ = 0;

    bool leftDown_ = false;
    bool motionSelected_ = false;
    bool motionFolded_ = false;
    // A motion of this batch is not followed yet: read the pointer (and, for a device not seen
    // before, what it is).
    bool foldedNeedsRead_ = false;
    std::optional<uint16_t> foldedNewDevice_;
    GlobalModifierKeys lastKeys_;
    X11PointerTracking tracking_;
    std::map<uint16_t, X11PointerDevice> devices_;
    X11MotionReadings readings_;
    // Since the press: raw motion came (no reads needed), and the reads of a warped pointer.
    bool rawMotionSinceDown_ = false;
    ScheduledTask poll_;
    Scheduler::TimePoint lastPointerChange_;

    bool mappingsStale_ = true;
    // Once another component initialised XKB on the connection, only XKB notices tell of a new
    // keyboard mapping (no core MappingNotify comes).
    std::optional<X11KeyboardNotices> keyboardNotices_;
    X11ModifierLayout layout_;
    std::vector<uint8_t> buttonMap_;
};

}  // namespace tessary
