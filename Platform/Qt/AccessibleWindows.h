#pragma once

// What screen readers meet of the program's windows (over AT-SPI, the application object and its
// children).
//
// A top-level window made of a plain QWidget is a window to them: Qt gives such a widget the role
// of a client area, which AT-SPI calls a filler, so opening one announced no window. Dialogs and
// windows Qt knows (QDialog, QMainWindow) keep their own roles; a window that bypasses the window
// manager (the zone overlay) says for itself what it is.
//
// The application lists the windows a user can see: Qt lists every top-level window it has made,
// hidden ones included (the overlay's windows, kept for the next drag, and any window hidden but
// not yet given back), and readers took them for windows on the screen. A window's interface that
// says it is invisible leaves the list; popups stay out of it, as Qt leaves them.
//
// Installed once, by the program's application object, before anything asks.

namespace tessary {

void installAccessibleWindows();

}  // namespace tessary
