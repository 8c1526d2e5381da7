#include "Platform/X11/X11GlobalInput.h"

#include <algorithm>
#include <utility>

#include <xcb/xinput.h>

namespace tessary {

namespace {

constexpr uint32_t kAltL = 0xffe9, kAltR = 0xffea, kMetaL = 0xffe7, kMetaR = 0xffe8;
constexpr uint32_t kSuperL = 0xffeb, kSuperR = 0xffec;
constexpr uint16_t kButton1Mask = XCB_BUTTON_MASK_1;

struct RawEventMask {
    xcb_input_event_mask_t head;
    uint32_t bits;
};

}  // namespace

X11ModifierLayout X11ModifierLayout::from(const uint8_t* keycodes, int keycodesPerModifier, const uint32_t* keysyms,
                                          int keysymCount, int keysymsPerKeycode, uint8_t minKeycode) {
    X11ModifierLayout layout;
    uint16_t alt = 0;
    uint16_t super = 0;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < keycodesPerModifier; ++i) {
            const uint8_t code = keycodes[modifier * keycodesPerModifier + i];
            if (code == 0) continue;
            layout.isModifierKey[code] = true;
            layout.modifierBits[code] |= uint16_t(1u << modifier);
            // Shift, Lock and Control (the first three) are fixed; only Mod1 to Mod5 are looked up.
            if (modifier < 3 || code < minKeycode || keysymsPerKeycode <= 0) continue;
            const long first = static_cast<long>(code - minKeycode) * keysymsPerKeycode;
            for (long s = first; s < first + keysymsPerKeycode && s < keysymCount; ++s) {
                const uint32_t sym = keysyms[s];
                if (sym == kAltL || sym == kAltR || sym == kMetaL || sym == kMetaR) alt |= uint16_t(1u << modifier);
                if (sym == kSuperL || sym == kSuperR) super |= uint16_t(1u << modifier);
            }
        }
    }
    if (alt) layout.altMask = alt;
    if (super) layout.superMask = super;
    return layout;
}

GlobalModifierKeys X11ModifierLayout::keys(uint16_t stateMask) const {
    GlobalModifierKeys keys;
    keys.shift = (stateMask & XCB_MOD_MASK_SHIFT) != 0;
    keys.control = (stateMask & XCB_MOD_MASK_CONTROL) != 0;
    keys.alt = (stateMask & altMask) != 0;
    keys.super = (stateMask & superMask) != 0;
    return keys;
}

void X11PointerTracking::reset(Point pointer, uint16_t stateMask, Size root) {
    location = pointer;
    mask = stateMask;
    rootSize = root;
    keyDown = {};
}

void X11PointerTracking::moveBy(std::optional<double> dx, std::optional<double> dy) {
    // The server keeps the pointer on the root window; an overshoot at an edge is not carried over.
    if (dx) location.x = std::clamp(location.x + *dx, 0.0, std::max(0.0, rootSize.width - 1));
    if (dy) location.y = std::clamp(location.y + *dy, 0.0, std::max(0.0, rootSize.height - 1));
}

void X11PointerTracking::key(const X11ModifierLayout& layout, uint32_t keycode, bool down) {
    if (keycode > 255) return;
    keyDown[keycode] = down;
    const uint16_t bits = layout.modifierBits[keycode];
    if (down) {
        mask |= bits;
        return;
    }
    uint16_t stillHeld = 0;
    for (std::size_t code = 0; code < keyDown.size(); ++code) {
        if (keyDown[code]) stillHeld |= layout.modifierBits[code];
    }
    mask &= uint16_t(~(bits & ~stillHeld));
}

std::pair<std::optional<double>, std::optional<double>> rawAxes(const xcb_input_raw_button_press_event_t& event) {
    // Read in place (every drag notice passes here), within the length the server gave: the mask
    // words, then one value for each set bit, the processed values before the raw ones.
    std::pair<std::optional<double>, std::optional<double>> axes;
    const std::size_t bytes = std::size_t(event.length) * 4;
    const std::size_t maskWords = event.valuators_len;
    if (maskWords == 0 || maskWords * 4 > bytes) return axes;
    const auto* mask = reinterpret_cast<const uint32_t*>(&event + 1);
    const auto* values = reinterpret_cast<const xcb_input_fp3232_t*>(mask + maskWords);
    const std::size_t count = (bytes - maskWords * 4) / sizeof(xcb_input_fp3232_t);
    auto value = [&](std::size_t index) {
        return double(values[index].integral) + double(values[index].frac) / 4294967296.0;
    };
    // Values come in the order of the set bits: x is the first when bit 0 is set.
    std::size_t index = 0;
    if ((mask[0] & 1u) && index < count) axes.first = value(index++);
    if ((mask[0] & 2u) && index < count) axes.second = value(index);
    return axes;
}

X11GlobalInput::X11GlobalInput(X11Connection& connection, Scheduler* scheduler)
    : connection_(connection), scheduler_(scheduler) {}

X11GlobalInput::~X11GlobalInput() {
    if (scheduler_) scheduler_->cancel(poll_);
    if (!listening_) return;
    connection_.removeEventHandler(handlerId_);
    connection_.removeEventHandler(inputHandlerId_);
    connection_.removeEventHandler(batchEndId_);
    if (!connection_.hasFailed()) {
        RawEventMask none{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, 0};
        connection_.checkLater(xcb_input_xi_select_events_checked(connection_.xcb(), connection_.root(), 1, &none.head),
                               "XISelectEvents", X11ErrorTolerance::none);
        connection_.flush();
    }
}

Subscription X11GlobalInput::addMonitor(Handler handler) {
    if (!listening_ && !startListening()) return Subscription();
    const int id = ++nextMonitorId_;
    monitors_->add(id, std::move(handler));
    std::weak_ptr<HandlerList<const GlobalInputEvent&>> weak = monitors_;
    return Subscription([weak, id] {
        if (auto monitors = weak.lock()) monitors->remove(id);
    });
}

bool X11GlobalInput::startListening() {
    xcb_connection_t* c = connection_.xcb();
    if (connection_.hasFailed()) return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present) {
        connection_.log().error("global input: the server has no XInput extension");
        return false;
    }
    // 2.1 delivers raw events regardless of grabs; 2.2 is what every current server speaks.
    auto version = connection_.reply(xcb_input_xi_query_version_reply, xcb_input_xi_query_version(c, 2, 2),
                                     "XIQueryVersion");
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 1)) {
        connection_.log().error("global input: the server's XInput is older than 2.1");
        return false;
    }
    inputOpcode_ = extension->major_opcode;
    keyboardNotices_.emplace(connection_);
    readMappings();
    // A button already down when listening starts gives drags but no mouse-down, which a drag
    // controller ignores; its release is reported.
    leftDown_ = false;
    lastKeys_ = {};
    if (readPointer()) {
        leftDown_ = (tracking_.mask & kButton1Mask) != 0;
        lastKeys_ = layout_.keys(tracking_.mask);
    }
    handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handleMapping(event); });
    inputHandlerId_ = connection_.addGenericEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    batchEndId_ = connection_.addBatchEndHandler([this] { deliverFoldedMotion(); });
    listening_ = true;
    selectRawEvents(leftDown_);
    return true;
}

void X11GlobalInput::selectRawEvents(bool withMotion) {
    uint32_t bits = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE |
                    XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    if (withMotion) bits |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    // Master devices only: each slave's event would come a second time through its master.
    RawEventMask mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, bits};
    connection_.checkLater(xcb_input_xi_select_events_checked(connection_.xcb(), connection_.root(), 1, &mask.head),
                           "XISelectEvents", X11ErrorTolerance::none);
    connection_.flush();
    motionSelected_ = withMotion;
}

void X11GlobalInput::handleMapping(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) == XCB_MAPPING_NOTIFY || keyboardNotices_->isMappingChange(event)) {
        mappingsStale_ = true;
    }
}

void X11GlobalInput::handle(const xcb_generic_event_t& event) {
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != inputOpcode_) return;
    const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
    switch (generic.event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE:
        deliverFoldedMotion();
        handleButton(raw.detail, raw.sourceid, generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS);
        break;
    case XCB_INPUT_RAW_MOTION:
        handleMotion(raw);
        break;
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE:
        deliverFoldedMotion();
        handleKey(raw.detail, generic.event_type == XCB_INPUT_RAW_KEY_PRESS);
        break;
    default:
        break;
    }
}

void X11GlobalInput::handleMotion(const xcb_input_raw_motion_event_t& event) {
    if (!leftDown_) return;
    motionFolded_ = true;
    rawMotionSinceDown_ = true;
    const auto device = devices_.find(event.sourceid);
    if (device == devices_.end()) {
        // A device that moved the pointer without pressing the button: first look at it.
        foldedNeedsRead_ = true;
        foldedNewDevice_ = event.sourceid;
        return;
    }
    const auto [dx, dy] = rawAxes(event);
    // A mouse: its deltas, with no lookup beyond this.
    if (device->second.relative) {
        tracking_.moveBy(dx, dy);
        return;
    }
    if (!readings_.apply(event.sourceid, device->second, dx, dy, tracking_.location, tracking_.rootSize)) {
        foldedNeedsRead_ = true;
    }
}

void X11GlobalInput::deliverFoldedMotion() {
    if (!motionFolded_) return;
    motionFolded_ = false;
    const bool needsRead = std::exchange(foldedNeedsRead_, false);
    const auto newDevice = std::exchange(foldedNewDevice_, std::nullopt);
    if (!leftDown_) return;
    if (needsRead) {
        if (!readPointer(newDevice)) return;
        readings_.learn(tracking_.location);
    }
    send(GlobalInputKind::leftMouseDragged);
}

void X11GlobalInput::handleButton(uint32_t physicalButton, uint16_t sourceDevice, bool down) {
    if (mappingsStale_) readMappings();
    if (logicalButton(physicalButton) != 1 || down == leftDown_) return;
    leftDown_ = down;
    if (motionSelected_ != down) selectRawEvents(down);
    readings_.startDrag();
    rawMotionSinceDown_ = false;
    // The exact position where the drag starts and ends; motion in between follows the deltas.
    const bool unknown = down && !devices_.contains(sourceDevice);
    if (!readPointer(unknown ? std::optional<uint16_t>(sourceDevice) : std::nullopt)) return;
    send(down ? GlobalInputKind::leftMouseDown : GlobalInputKind::leftMouseUp);
    pollWhileWarped();
}

void X11GlobalInput::pollWhileWarped() {
    if (!scheduler_) return;
    if (!leftDown_ || rawMotionSinceDown_) {
        scheduler_->cancel(std::exchange(poll_, {}));
        return;
    }
    lastPointerChange_ = scheduler_->now();
    if (!poll_) poll_ = scheduler_->schedule(pollInterval, [this] { poll(); });
}

void X11GlobalInput::poll() {
    poll_ = {};
    if (!leftDown_ || rawMotionSinceDown_) return;
    const Point before = tracking_.location;
    const uint16_t mask = tracking_.mask;
    if (!readPointer()) return;
    const bool released = !(tracking_.mask & kButton1Mask);
    if (tracking_.location != before || tracking_.mask != mask) {
        lastPointerChange_ = scheduler_->now();
        // The release itself comes as a raw event; until then the pointer is where it was read.
        if (!released) send(GlobalInputKind::leftMouseDragged);
    }
    if (released) return;
    // A resting pointer is read less often, never not at all: the next warp tells nothing else.
    const bool resting = scheduler_->now() - lastPointerChange_ >= pollPatience;
    poll_ = scheduler_->schedule(resting ? restInterval : pollInterval, [this] { poll(); });
}

void X11GlobalInput::handleKey(uint32_t keycode, bool down) {
    if (mappingsStale_) readMappings();
    // Only the keys of the modifier map can change the mask.
    if (keycode > 255 || !layout_.isModifierKey[keycode]) return;
    // During a drag the position and the mask are followed; otherwise the pointer has moved unseen
    // (motion is selected only while the button is down), and a key notice is rare enough to ask.
    if (leftDown_) {
        tracking_.key(layout_, keycode, down);
        // A warped pointer's reads start again with a key: a script or a user about to move it.
        pollWhileWarped();
    } else if (!readPointer()) {
        return;
    }
    if (layout_.keys(tracking_.mask) == lastKeys_) return;
    send(GlobalInputKind::modifiersChanged);
}

void X11GlobalInput::send(GlobalInputKind kind) {
    lastKeys_ = layout_.keys(tracking_.mask);
    monitors_->call(GlobalInputEvent{kind, tracking_.location, lastKeys_});
}

std::optional<Point> X11GlobalInput::pointerLocation() {
    if (!readPointer()) return std::nullopt;
    return tracking_.location;
}

bool X11GlobalInput::readPointer(std::optional<uint16_t> newDevice) {
    xcb_connection_t* c = connection_.xcb();
    const auto pointerCookie = xcb_query_pointer(c, connection_.root());
    const auto rootCookie = xcb_get_geometry(c, connection_.root());
    std::optional<xcb_input_xi_query_device_cookie_t> deviceCookie;
    if (newDevice) deviceCookie = xcb_input_xi_query_device(c, *newDevice);
    auto pointer = connection_.reply(xcb_query_pointer_reply, pointerCookie, "QueryPointer");
    auto root = connection_.reply(xcb_get_geometry_reply, rootCookie, "GetGeometry");
    if (deviceCookie) {
        // A device unplugged meanwhile answers BadDevice; it is then simply not followed.
        auto device = connection_.reply(xcb_input_xi_query_device_reply, *deviceCookie, "XIQueryDevice",
                                        X11ErrorTolerance::deviceMayVanish);
        devices_[*newDevice] = device ? X11PointerDevice::from(*device) : X11PointerDevice{};
    }
    if (!pointer || !root) return false;
    tracking_.reset(Point{double(pointer->root_x), double(pointer->root_y)}, pointer->mask,
                    Size{double(root->width), double(root->height)});
    return true;
}

void X11GlobalInput::readMappings() {
    mappingsStale_ = false;
    xcb_connection_t* c = connection_.xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto modifierCookie = xcb_get_modifier_mapping(c);
    auto keyboardCookie = xcb_get_keyboard_mapping(c, setup->min_keycode,
                                                   uint8_t(setup->max_keycode - setup->min_keycode + 1));
    auto pointerCookie = xcb_get_pointer_mapping(c);
    auto modifiers = connection_.reply(xcb_get_modifier_mapping_reply, modifierCookie, "GetModifierMapping");
    auto keyboard = connection_.reply(xcb_get_keyboard_mapping_reply, keyboardCookie, "GetKeyboardMapping");
    auto pointer = connection_.reply(xcb_get_pointer_mapping_reply, pointerCookie, "GetPointerMapping");
    if (modifiers && keyboard) {
        layout_ = X11ModifierLayout::from(xcb_get_modifier_mapping_keycodes(modifiers.get()),
                                          modifiers->keycodes_per_modifier,
                                          xcb_get_keyboard_mapping_keysyms(keyboard.get()),
                                          xcb_get_keyboard_mapping_keysyms_length(keyboard.get()),
                                          keyboard->keysyms_per_keycode, setup->min_keycode);
    }
    buttonMap_.clear();
    if (pointer) {
        const uint8_t* map = xcb_get_pointer_mapping_map(pointer.get());
        buttonMap_.assign(map, map + xcb_get_pointer_mapping_map_length(pointer.get()));
    }
}

uint32_t X11GlobalInput::logicalButton(uint32_t physicalButton) const {
    if (physicalButton >= 1 && physicalButton <= buttonMap_.size()) return buttonMap_[physicalButton - 1];
    return physicalButton;
}

}  // namespace tessary
