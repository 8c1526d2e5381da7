#pragma once

// The program's name and icon as its windows, alerts and tray show them. Qt titles an alert, and
// any window whose own title is empty, with the application's name; without one set that is the
// executable's file name, "tessary".
//
// The icon is one drawing (shell/resources/tessary.svg) made into PNGs by the build: the sizes up
// to 128 px are compiled in, so that a program run from the build tree shows the icon an installed
// one does; the installed theme copies (hicolor, named "tessary" by the desktop entry) serve the
// desktop's launchers.

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace tessary {

// Names the application "Tessary" (titles, the WM_CLASS class) and its desktop file "tessary" (the
// desktop's taskbar and switcher find its name and icon there), and gives every window the icon
// (_NET_WM_ICON), unless asked to do that `later` with giveWindowsTheIcon(). Call once, after the
// QApplication.
enum class WindowIcon { now, later };
void nameApplication(WindowIcon icon = WindowIcon::now);
// Gives every window the icon, those made so far too.
void giveWindowsTheIcon();

// The icon at every compiled-in size.
QIcon applicationIcon();

// The icon drawn `size` points square.
QPixmap applicationIcon(int size, qreal devicePixelRatio);

// The tray's form of the icon, at the sizes trays ask for: the same tile and zones, with a dot of
// `accent` in its top right corner while an update waits. The white zones carry the shape on a dark
// panel, the tile on a light one.
QIcon applicationTrayIcon(bool withUpdateDot, const QColor& accent);

}  // namespace tessary
