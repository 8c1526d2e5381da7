#include "Platform/X11/X11KeyboardNotices.h"

// xcb-xkb names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace tessary {

namespace {

// The three XKB events share these first fields.
struct XkbEventHead {
    std::uint8_t responseType;
    std::uint8_t xkbType;
};

constexpr std::uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                  XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
constexpr std::uint16_t kMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
    XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
    XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
constexpr std::uint16_t kGroupParts = XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH |
                                      XCB_XKB_STATE_PART_GROUP_LOCK;

}  // namespace

X11KeyboardNotices::X11KeyboardNotices(X11Connection& connection) {
    xcb_connection_t* c = connection.xcb();
    if (connection.hasFailed()) return;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!extension || !extension->present) return;
    auto version = connection.reply(xcb_xkb_use_extension_reply, xcb_xkb_use_extension(c, 1, 0), "XkbUseExtension");
    if (!version || !version->supported) return;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = kGroupParts;
    details.stateDetails = kGroupParts;
    connection.checkLater(xcb_xkb_select_events_aux_checked(c, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0, kEvents, kMapParts,
                                                            kMapParts, &details),
                          "XkbSelectEvents", X11ErrorTolerance::none);
    connection.flush();
    firstEvent_ = extension->first_event;
}

std::uint8_t X11KeyboardNotices::xkbType(const xcb_generic_event_t& event) const {
    if (!firstEvent_ || (event.response_type & 0x7f) != firstEvent_) return 0xff;
    return reinterpret_cast<const XkbEventHead&>(event).xkbType;
}

bool X11KeyboardNotices::isMappingChange(const xcb_generic_event_t& event) const {
    const std::uint8_t type = xkbType(event);
    return type == XCB_XKB_NEW_KEYBOARD_NOTIFY || type == XCB_XKB_MAP_NOTIFY;
}

bool X11KeyboardNotices::isGroupChange(const xcb_generic_event_t& event) const {
    if (xkbType(event) != XCB_XKB_STATE_NOTIFY) return false;
    return (reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event).changed & kGroupParts) != 0;
}

}  // namespace tessary
