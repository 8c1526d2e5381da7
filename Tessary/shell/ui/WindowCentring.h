#pragma once

// Places the program's own windows (onboarding, settings, editor, About, feedback, alerts) inside
// one display of DisplayProvider's list: the display under the pointer, centred in its work area.
// Qt's screens are used only to turn points into Qt's logical pixels (see OwnWindowPlacement for why
// they are not asked where a window goes).
//
// Main thread only.

class QWidget;

namespace tessary {

// Centres the window on the pointer's display, now.
void centreOnPointerDisplay(QWidget& window);

// For a window about to be shown: a window shown before keeps where it was left when that lies
// inside one display (or when there is no display list); a new one, or one left across two
// displays (or on a display since removed), is centred on the pointer's display. Nothing while it
// is visible.
void placeOnPointerDisplay(QWidget& window);

// For an alert or prompt made without a parent window: centred on the pointer's display each time
// it is shown (Qt would centre it on its own screen, which may span several monitors). An alert
// with a parent is left to Qt, which centres it over that parent.
void centreWhenShown(QWidget& alert);

}  // namespace tessary
