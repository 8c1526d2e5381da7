#pragma once

// What every request to show one of the program's own windows (a tray item, a URL, a shortcut, a
// later start) does: the window is shown, un-minimised, put on the current desktop, raised and
// given the focus.
//
// Qt alone does neither of the last: show() on a window the window manager minimised does nothing
// (Qt counts it as visible), and its activation is an application's own (EWMH source indication
// 1), which focus-stealing prevention refuses to a request that came from outside, with no recent
// user time of ours. So the window manager is asked as a pager asks (X11WindowActivation): at
// once, ahead of Qt's own requests, for a window it manages, else (a window being mapped is not its yet) once the window is on
// screen. Without X11 (tests on the offscreen platform) Qt's own requests are all there is.
//
// Main thread only.

#include <functional>

class QWidget;

namespace tessary {

// `show` is the window's own way of showing it (its controller's), else QWidget::show().
void presentWindow(QWidget& window, const std::function<void()>& show = {});

}  // namespace tessary
