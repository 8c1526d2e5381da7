#include "Platform/X11/X11KeyboardLayout.h"

#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11KeyNames.h"

// xcb-xkb names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

namespace tessary {

namespace {

constexpr std::uint32_t kNumLock = 0xff7f;
constexpr std::uint32_t kDeadKeysFirst = 0xfe50, kDeadKeysLast = 0xfe93;

}  // namespace

std::uint16_t numLockMask(const std::uint8_t* keycodes, int keycodesPerModifier, const std::uint32_t* keysyms,
                          int keysymCount, int keysymsPerKeycode, std::uint8_t minKeycode) {
    std::uint16_t mask = 0;
    // Shift, Lock and Control (the first three) never stand for Num Lock.
    for (int modifier = 3; modifier < 8; ++modifier) {
        for (int i = 0; i < keycodesPerModifier; ++i) {
            const std::uint8_t code = keycodes[modifier * keycodesPerModifier + i];
            if (code == 0 || code < minKeycode || keysymsPerKeycode <= 0) continue;
            const long first = long(code - minKeycode) * keysymsPerKeycode;
            for (long s = first; s < first + keysymsPerKeycode && s < keysymCount; ++s) {
                if (keysyms[s] == kNumLock) mask |= std::uint16_t(1u << modifier);
            }
        }
    }
    return mask;
}

X11KeyboardLayout::X11KeyboardLayout(X11Connection& connection) : connection_(connection), notices_(connection) {
    if (!notices_.isAvailable()) {
        connection_.log().error("keyboard: the server has no XKB; global shortcuts are unavailable");
        return;
    }
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    deviceID_ = xkb_x11_get_core_keyboard_device_id(connection_.xcb());
    readKeymap();
    readModifierMap();
    handlerID_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    // setxkbmap sends a burst of notices: the keymap is read once, at the burst's end.
    batchID_ = connection_.addBatchEndHandler([this] {
        if (!mappingStale_) return;
        mappingStale_ = false;
        readKeymap();
        readModifierMap();
        changed_.emit();
    });
}

X11KeyboardLayout::~X11KeyboardLayout() {
    if (handlerID_) connection_.removeEventHandler(handlerID_);
    if (batchID_) connection_.removeEventHandler(batchID_);
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

void X11KeyboardLayout::readKeymap() {
    if (!context_ || deviceID_ < 0) return;
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context_, connection_.xcb(), deviceID_,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        connection_.log().error("keyboard: the keymap could not be read; keeping the previous one");
        return;
    }
    xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_.xcb(), deviceID_);
    if (!state) {
        xkb_keymap_unref(keymap);
        return;
    }
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
}

void X11KeyboardLayout::readModifierMap() {
    xcb_connection_t* c = connection_.xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto modifierCookie = xcb_get_modifier_mapping(c);
    auto keyboardCookie =
        xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(setup->max_keycode - setup->min_keycode + 1));
    auto modifiers = connection_.reply(xcb_get_modifier_mapping_reply, modifierCookie, "GetModifierMapping");
    auto keyboard = connection_.reply(xcb_get_keyboard_mapping_reply, keyboardCookie, "GetKeyboardMapping");
    if (!modifiers || !keyboard) return;
    const std::uint8_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const std::uint32_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    const int count = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
    const X11ModifierLayout layout = X11ModifierLayout::from(keycodes, modifiers->keycodes_per_modifier, keysyms, count,
                                                             keyboard->keysyms_per_keycode, setup->min_keycode);
    bits_ = CoreModifierBits{layout.altMask, layout.superMask};
    numLock_ = numLockMask(keycodes, modifiers->keycodes_per_modifier, keysyms, count, keyboard->keysyms_per_keycode,
                           setup->min_keycode);
}

void X11KeyboardLayout::handle(const xcb_generic_event_t& event) {
    const bool coreMapping = (event.response_type & 0x7f) == XCB_MAPPING_NOTIFY;
    if (coreMapping || notices_.isMappingChange(event)) {
        mappingStale_ = true;
        return;
    }
    if (notices_.isGroupChange(event) && state_) {
        const auto& notice = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        xkb_state_update_mask(state_, notice.baseMods, notice.latchedMods, notice.lockedMods, notice.baseGroup,
                              notice.latchedGroup, notice.lockedGroup);
        changed_.emit();
    }
}

std::optional<xcb_keycode_t> X11KeyboardLayout::keyCode(std::int64_t carbonKeyCode) const {
    const auto name = xkbKeyName(carbonKeyCode);
    if (!name || !keymap_) return std::nullopt;
    const xkb_keycode_t code = xkb_keymap_key_by_name(keymap_, std::string(*name).c_str());
    if (code == XKB_KEYCODE_INVALID || code > 255) return std::nullopt;
    return xcb_keycode_t(code);
}

std::optional<std::int64_t> X11KeyboardLayout::carbonKeyCode(std::uint32_t nativeKeyCode) const {
    if (!keymap_) return std::nullopt;
    const char* name = xkb_keymap_key_get_name(keymap_, nativeKeyCode);
    if (!name) return std::nullopt;
    if (const auto code = carbonKeyCodeOfXkbName(name)) return code;
    // The table's name may be an alias in this keymap (the older key codes of an X server started
    // without input hot-plugging name the Menu key <MENU>, with <COMP> its alias; evdev's the other
    // way round): the key the keymap gives for a name is the one grabbed, so it is the one named.
    return carbonKeyCodeWhere([&](std::string_view tableName) {
        return xkb_keymap_key_by_name(keymap_, std::string(tableName).c_str()) == nativeKeyCode;
    });
}

std::optional<std::string> X11KeyboardLayout::character(std::int64_t carbonKeyCode) const {
    const auto code = keyCode(carbonKeyCode);
    if (!code || !state_) return std::nullopt;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, *code);
    if (layout == XKB_LAYOUT_INVALID) return std::nullopt;
    const xkb_keysym_t* symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap_, *code, layout, 0, &symbols) < 1) return std::nullopt;
    const xkb_keysym_t symbol = symbols[0];
    if (symbol >= kDeadKeysFirst && symbol <= kDeadKeysLast) return std::nullopt;
    const std::uint32_t scalar = xkb_keysym_to_utf32(symbol);
    if (scalar < 0x20 || scalar == 0x7f) return std::nullopt;
    char text[8] = {};
    if (xkb_keysym_to_utf8(symbol, text, sizeof text) <= 1) return std::nullopt;
    return std::string(text);
}

KeyRepeatTiming X11KeyboardLayout::keyRepeat() const {
    KeyRepeatTiming timing;
    if (!keymap_) return timing;
    auto controls = connection_.reply(xcb_xkb_get_controls_reply,
                                      xcb_xkb_get_controls(connection_.xcb(), XCB_XKB_ID_USE_CORE_KBD), "XkbGetControls");
    if (controls && controls->repeatDelay && controls->repeatInterval) {
        timing.delay = std::chrono::milliseconds(controls->repeatDelay);
        timing.interval = std::chrono::milliseconds(controls->repeatInterval);
    }
    return timing;
}

bool X11KeyboardLayout::isKeyDown(std::int64_t carbonKeyCode) const {
    const auto code = keyCode(carbonKeyCode);
    if (!code) return false;
    auto keymap = connection_.reply(xcb_query_keymap_reply, xcb_query_keymap(connection_.xcb()), "QueryKeymap");
    return keymap && (keymap->keys[*code / 8] & (1u << (*code % 8))) != 0;
}

}  // namespace tessary
