#include "Platform/X11/X11HotKeys.h"

#include "Platform/CarbonModifiers.h"

// xcb-xkb names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xcb/xinput.h>

#include <algorithm>

namespace tessary {

std::vector<std::uint16_t> lockVariants(std::uint16_t numLockBit) {
    std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (numLockBit && numLockBit != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLockBit);
        variants.push_back(std::uint16_t(numLockBit | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

bool X11HotKeyPresses::press(xcb_keycode_t code, HotKeyRegistration registration) {
    auto [it, inserted] = held_.try_emplace(code, Held{registration, true});
    if (inserted) return true;
    // Held since before the grab: the server's repeats of it, whatever modifiers come with them.
    if (!it->second.announced || it->second.registration == registration) return false;
    // Another combination on the same key (the modifiers changed while it was held): a new press.
    it->second.registration = registration;
    return true;
}

void X11HotKeyPresses::heldAtGrab(xcb_keycode_t code, HotKeyRegistration registration, std::uint32_t sequence) {
    // A press already announced on this key stays what it is.
    held_.try_emplace(code, Held{registration, false, sequence});
}

bool X11HotKeyPresses::letGo(xcb_keycode_t code, std::uint32_t sequence) {
    auto it = held_.find(code);
    if (it == held_.end() || it->second.announced) return false;
    // Sent before the server read the keyboard for the grab: a release from before this hold.
    if (static_cast<std::int32_t>(sequence - it->second.grabSequence) < 0) return false;
    held_.erase(it);
    return true;
}

bool X11HotKeyPresses::awaitsLetGo() const {
    return std::any_of(held_.begin(), held_.end(), [](const auto& entry) { return !entry.second.announced; });
}

std::optional<HotKeyRegistration> X11HotKeyPresses::release(xcb_keycode_t code) {
    auto it = held_.find(code);
    if (it == held_.end()) return std::nullopt;
    const Held held = it->second;
    held_.erase(it);
    if (!held.announced) return std::nullopt;
    return held.registration;
}

void X11HotKeyPresses::forget(HotKeyRegistration registration) {
    std::erase_if(held_, [registration](const auto& entry) { return entry.second.registration == registration; });
}

X11HotKeys::X11HotKeys(X11Connection& connection, X11KeyboardLayout& keyboard)
    : connection_(connection), keyboard_(keyboard) {
    variants_ = lockVariants(keyboard_.numLockBit());
    for (std::uint16_t variant : variants_) lockBits_ |= variant;
    if (keyboard_.isAvailable()) {
        // Held combinations then repeat as presses alone, which fold; without it each repeat would
        // be a release and a press.
        const std::uint32_t detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
        auto flags = connection_.reply(xcb_xkb_per_client_flags_reply,
                                       xcb_xkb_per_client_flags(connection_.xcb(), XCB_XKB_ID_USE_CORE_KBD, detectable,
                                                                detectable, 0, 0, 0),
                                       "XkbPerClientFlags");
        if (!flags || !(flags->value & detectable)) {
            connection_.log().notice("hot keys: the server does not report key repeat detectably");
        }
    }
    handlerID_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    rawHandlerID_ = connection_.addGenericEventHandler([this](const xcb_generic_event_t& event) { handleRawRelease(event); });
    keyboardChange_ = keyboard_.onChange([this] { keyboardChanged(); });
}

X11HotKeys::~X11HotKeys() {
    connection_.removeEventHandler(handlerID_);
    connection_.removeEventHandler(rawHandlerID_);
    if (connection_.hasFailed()) return;
    for (const auto& [id, entry] : entries_) ungrab(entry.grab, variants_);
    presses_ = {};
    followHeldKeys();
    connection_.flush();
}

Expected<X11HotKeys::Grab, HotKeyRefusal> X11HotKeys::grabFor(std::int64_t carbonKeyCode,
                                                              std::int64_t carbonModifiers) const {
    if (!keyboard_.isAvailable() || connection_.hasFailed()) return unexpected(HotKeyRefusal::unavailable);
    const auto keyCode = keyboard_.keyCode(carbonKeyCode);
    const auto state = coreStateFromCarbonModifiers(carbonModifiers, keyboard_.modifierBits());
    if (!keyCode || !state) return unexpected(HotKeyRefusal::notRepresentable);
    return Grab{*keyCode, *state};
}

X11HotKeys::Taken X11HotKeys::grab(const Grab& grab) {
    xcb_connection_t* c = connection_.xcb();
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t variant : variants_) {
        cookies.push_back(xcb_grab_key_checked(c, 1, connection_.root(), std::uint16_t(grab.state | variant),
                                               grab.keyCode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Answered after the grabs: a key down now was pressed before the grab could see it.
    const xcb_query_keymap_cookie_t keymap = xcb_query_keymap(c);
    const std::uint32_t keymapSequence = keymap.sequence;
    std::vector<std::uint16_t> taken;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (connection_.checkNow(cookies[i], "GrabKey", X11ErrorTolerance::keyMayBeGrabbed)) {
            taken.push_back(variants_[i]);
        }
    }
    auto keys = connection_.reply(xcb_query_keymap_reply, keymap, "QueryKeymap");
    if (taken.size() == variants_.size()) {
        return {true, keys && (keys->keys[grab.keyCode / 8] & (1u << (grab.keyCode % 8))) != 0, keymapSequence};
    }
    for (std::uint16_t variant : taken) {
        xcb_ungrab_key(c, grab.keyCode, connection_.root(), std::uint16_t(grab.state | variant));
    }
    connection_.flush();
    return {};
}

void X11HotKeys::ungrab(const Grab& grab, const std::vector<std::uint16_t>& variants) {
    for (std::uint16_t variant : variants) {
        connection_.checkLater(
            xcb_ungrab_key_checked(connection_.xcb(), grab.keyCode, connection_.root(), std::uint16_t(grab.state | variant)),
            "UngrabKey", X11ErrorTolerance::none);
    }
}

Expected<HotKeyRegistration, HotKeyRefusal> X11HotKeys::registerHotKey(std::int64_t carbonKeyCode,
                                                                       std::int64_t carbonModifiers) {
    auto combination = grabFor(carbonKeyCode, carbonModifiers);
    if (!combination) return unexpected(combination.error());
    const Taken taken = grab(*combination);
    if (!taken.taken) return unexpected(HotKeyRefusal::heldByAnotherClient);
    const HotKeyRegistration id = ++next_;
    entries_[id] = Entry{carbonKeyCode, carbonModifiers, *combination};
    if (taken.keyDown) {
        presses_.heldAtGrab(combination->keyCode, id, taken.sequence);
        followHeldKeys();
    }
    return id;
}

void X11HotKeys::unregisterHotKey(HotKeyRegistration registration) {
    auto it = entries_.find(registration);
    if (it == entries_.end()) return;
    presses_.forget(registration);
    if (!connection_.hasFailed()) {
        ungrab(it->second.grab, variants_);
        followHeldKeys();
        connection_.flush();
    }
    entries_.erase(it);
}

bool X11HotKeys::isHeldByAnotherClient(std::int64_t carbonKeyCode, std::int64_t carbonModifiers) {
    auto combination = grabFor(carbonKeyCode, carbonModifiers);
    if (!combination) return false;
    for (const auto& [id, entry] : entries_) {
        // Ours: asking the server again would let go of it.
        if (entry.grab.keyCode == combination->keyCode && entry.grab.state == combination->state) return false;
    }
    if (!grab(*combination).taken) return true;
    ungrab(*combination, variants_);
    connection_.flush();
    return false;
}

void X11HotKeys::handle(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return;
    const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
    if (key.event != connection_.root()) return;
    if (type == XCB_KEY_RELEASE) {
        if (auto registration = presses_.release(key.detail)) events_.emit(*registration, HotKeyEventKind::released);
        return;
    }
    const std::uint16_t state = key.state & std::uint16_t(~lockBits_) & 0xff;
    for (const auto& [id, entry] : entries_) {
        if (entry.grab.keyCode != key.detail || entry.grab.state != state) continue;
        if (presses_.press(key.detail, id)) events_.emit(id, HotKeyEventKind::pressed);
        return;
    }
}

void X11HotKeys::handleRawRelease(const xcb_generic_event_t& event) {
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (!inputOpcode_ || generic.extension != inputOpcode_ || generic.event_type != XCB_INPUT_RAW_KEY_RELEASE) return;
    const auto& raw = reinterpret_cast<const xcb_input_raw_key_release_event_t&>(event);
    if (raw.detail > 0xff) return;
    if (presses_.letGo(static_cast<xcb_keycode_t>(raw.detail), raw.full_sequence)) followHeldKeys();
}

const std::vector<std::uint16_t>& X11HotKeys::masterKeyboards() {
    if (masterKeyboards_) return *masterKeyboards_;
    masterKeyboards_.emplace();
    xcb_connection_t* c = connection_.xcb();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present) return *masterKeyboards_;
    // Raw events reach the root window whatever holds the focus or a grab from XInput 2.1 on; 2.2
    // is the version the global input announces on this connection too.
    auto version = connection_.reply(xcb_input_xi_query_version_reply, xcb_input_xi_query_version(c, 2, 2),
                                     "XIQueryVersion");
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 1)) {
        return *masterKeyboards_;
    }
    auto devices = connection_.reply(xcb_input_xi_query_device_reply,
                                     xcb_input_xi_query_device(c, XCB_INPUT_DEVICE_ALL_MASTER), "XIQueryDevice");
    if (!devices) return *masterKeyboards_;
    for (auto info = xcb_input_xi_query_device_infos_iterator(devices.get()); info.rem; xcb_input_xi_device_info_next(&info)) {
        if (info.data->type == XCB_INPUT_DEVICE_TYPE_MASTER_KEYBOARD) masterKeyboards_->push_back(info.data->deviceid);
    }
    inputOpcode_ = extension->major_opcode;
    return *masterKeyboards_;
}

void X11HotKeys::followHeldKeys() {
    const bool wanted = presses_.awaitsLetGo();
    if (wanted == followingReleases_ || connection_.hasFailed()) return;
    // Selected for each master keyboard by its own number: the mask of all master devices is the
    // global input's, which a selection of ours would replace.
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{0, 1}, wanted ? std::uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE) : 0u};
    for (std::uint16_t keyboard : masterKeyboards()) {
        mask.head.deviceid = keyboard;
        connection_.checkLater(xcb_input_xi_select_events_checked(connection_.xcb(), connection_.root(), 1, &mask.head),
                               "XISelectEvents", X11ErrorTolerance::deviceMayVanish);
    }
    followingReleases_ = wanted && !masterKeyboards().empty();
    connection_.flush();
}

void X11HotKeys::keyboardChanged() {
    // A keyboard notice also comes when input switches between devices with the same keymap: what
    // kept its key code and modifiers keeps its grab and its held press (UngrabKey would not end
    // an active grab anyway). The rest is let go and taken again; its press is forgotten, since its
    // release may now go elsewhere.
    const std::vector<std::uint16_t> oldVariants = variants_;
    variants_ = lockVariants(keyboard_.numLockBit());
    lockBits_ = 0;
    for (std::uint16_t variant : variants_) lockBits_ |= variant;
    std::vector<std::pair<HotKeyRegistration, HotKeyRefusal>> lost;
    for (auto& [id, entry] : entries_) {
        auto combination = grabFor(entry.carbonKeyCode, entry.carbonModifiers);
        if (combination && variants_ == oldVariants && combination->keyCode == entry.grab.keyCode &&
            combination->state == entry.grab.state) {
            continue;
        }
        ungrab(entry.grab, oldVariants);
        presses_.forget(id);
        if (!combination) {
            lost.emplace_back(id, combination.error());
            continue;
        }
        const Taken taken = grab(*combination);
        if (!taken.taken) {
            lost.emplace_back(id, HotKeyRefusal::heldByAnotherClient);
            continue;
        }
        entry.grab = *combination;
        if (taken.keyDown) presses_.heldAtGrab(combination->keyCode, id, taken.sequence);
    }
    followHeldKeys();
    connection_.flush();
    for (const auto& [id, refusal] : lost) {
        entries_.erase(id);
        lost_.emit(id, refusal);
    }
}

}  // namespace tessary
