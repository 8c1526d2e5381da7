#include "Platform/X11/X11WindowManagerInfo.h"

namespace tessary {

std::string X11WindowManagerInfo::name() {
    const xcb_window_t check = windows_.windowManagerCheckWindow();
    if (check == XCB_WINDOW_NONE) return {};
    return windows_.title(check).value_or(std::string());
}

}  // namespace tessary
