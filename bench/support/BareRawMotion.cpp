// The reference for the program's CPU per pointer notice: a process that asks the X server for
// XInput 2 raw motion on the root window, as the program does during a drag, and only reads and
// frees each event. Started beside the program on the same desktop; prints "ready" once the
// server has taken the selection.

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdio>
#include <cstdlib>

int main() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(c, &xcb_input_id);
    if (!input || !input->present) return 1;
    std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    xcb_input_xi_select_events(c, root, 1, &mask.head);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::puts("ready");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) std::free(event);
    xcb_disconnect(c);
    return 0;
}
