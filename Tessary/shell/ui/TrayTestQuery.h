#pragma once

// A command-line verb for the end-to-end tests only, installed when TESSARY_E2E is set: what the
// open tray menu shows of each display's tiles, in the X server's pixels, so that a test can check
// it against the menu's X window instead of guessing pixels. Never part of a normal run.
//
//   tray-test rows    one line per display's row of the open menu, top to bottom:
//                     "VISIBLE TOTAL SELECTED X Y W H LX LY LW LH": the rows of tiles shown and
//                     all of them, the selected tile's index (-1 for none) and rectangle, and the
//                     rectangle of the list the tiles are seen through; "closed" without an open menu
//   tray-test item T  the open menu's item titled T: "X Y W H" and, for an item with a submenu,
//                     "open" or "shut" after it; "closed" without an open menu, status 1 without
//                     such an item

#include <functional>

#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

class StatusItemController;

// `statusItem` gives the tray's controller; none before the launch made it.
CommandLineVerb trayTestVerb(std::function<const StatusItemController*()> statusItem);

}  // namespace tessary
