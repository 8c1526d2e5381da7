#pragma once

// The bare raw-motion readers' connection: XInput 2 raw motion selected on the root, as the
// program selects it during a drag, and the selection taken by the server before it returns.

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>

// Null when the display cannot be opened or has no XInput.
inline xcb_connection_t* connectForRawMotion() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_query_extension_reply_t* input =
        xcb_connection_has_error(c) ? nullptr : xcb_get_extension_data(c, &xcb_input_id);
    if (!input || !input->present) {
        xcb_disconnect(c);
        return nullptr;
    }
    std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_input_xi_select_events(c, root, 1, &mask.head);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return c;
}
