#include "Platform/X11/X11GlobalInput.h"

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

X11GlobalInput::X11GlobalInput(X11Connection& connection) : connection_(connection) {}

X11GlobalInput::~X11GlobalInput() {
    if (!listening_) return;
    connection_.removeEventHandler(handlerId_);
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
    return monitors_.subscribe(std::move(handler));
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
    if (auto state = queryPointer()) {
        leftDown_ = (state->mask & kButton1Mask) != 0;
        lastKeys_ = layout_.keys(state->mask);
    }
    handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
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

void X11GlobalInput::handle(const xcb_generic_event_t& event) {
    const uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY || keyboardNotices_->isMappingChange(event)) {
        mappingsStale_ = true;
        return;
    }
    if (type != XCB_GE_GENERIC) return;
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != inputOpcode_) return;
    const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
    switch (generic.event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE:
        deliverFoldedMotion();
        handleButton(raw.detail, generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS);
        break;
    case XCB_INPUT_RAW_MOTION:
        motionFolded_ = leftDown_;
        break;
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE:
        deliverFoldedMotion();
        handleKey(raw.detail);
        break;
    default:
        break;
    }
}

void X11GlobalInput::deliverFoldedMotion() {
    if (!motionFolded_) return;
    motionFolded_ = false;
    if (!leftDown_) return;
    if (auto state = queryPointer()) send(GlobalInputKind::leftMouseDragged, *state);
}

void X11GlobalInput::handleButton(uint32_t physicalButton, bool down) {
    if (mappingsStale_) readMappings();
    if (logicalButton(physicalButton) != 1 || down == leftDown_) return;
    leftDown_ = down;
    if (motionSelected_ != down) selectRawEvents(down);
    auto state = queryPointer();
    if (!state) return;
    send(down ? GlobalInputKind::leftMouseDown : GlobalInputKind::leftMouseUp, *state);
}

void X11GlobalInput::handleKey(uint32_t keycode) {
    if (mappingsStale_) readMappings();
    // Typing does not cost a round trip: only the keys of the modifier map can change the mask.
    if (keycode > 255 || !layout_.isModifierKey[keycode]) return;
    auto state = queryPointer();
    if (!state) return;
    if (layout_.keys(state->mask) == lastKeys_) return;
    send(GlobalInputKind::modifiersChanged, *state);
}

void X11GlobalInput::send(GlobalInputKind kind, const PointerState& state) {
    lastKeys_ = layout_.keys(state.mask);
    monitors_.emit(GlobalInputEvent{kind, state.location, lastKeys_});
}

std::optional<Point> X11GlobalInput::pointerLocation() {
    if (auto state = queryPointer()) return state->location;
    return std::nullopt;
}

std::optional<X11GlobalInput::PointerState> X11GlobalInput::queryPointer() {
    xcb_connection_t* c = connection_.xcb();
    auto reply = connection_.reply(xcb_query_pointer_reply, xcb_query_pointer(c, connection_.root()), "QueryPointer");
    if (!reply) return std::nullopt;
    return PointerState{Point{double(reply->root_x), double(reply->root_y)}, reply->mask};
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
