#pragma once

// The window manager the desktop runs, as it names itself. Read when asked: a window manager can be
// replaced while the program runs (`kwin_x11 --replace`), and nothing here is on a per-event path.

#include <string>

namespace tessary {

class WindowManagerInfo {
public:
    virtual ~WindowManagerInfo() = default;

    // Its name ("KWin", "Openbox", "Metacity (Marco)"); empty when none runs or it gives none.
    virtual std::string name() = 0;
};

}  // namespace tessary
