// The reference for the program's CPU per pointer notice: a process that asks the X server for
// XInput 2 raw motion on the root window, as the program does during a drag, and only reads and
// frees each event. Started beside the program on the same desktop; prints "ready" once the
// server has taken the selection.

#include "RawMotionConnection.h"

#include <cstdio>
#include <cstdlib>

int main() {
    xcb_connection_t* c = connectForRawMotion();
    if (!c) return 1;
    std::puts("ready");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) std::free(event);
    xcb_disconnect(c);
    return 0;
}
