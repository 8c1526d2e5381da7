#pragma once

// A command-line verb for the end-to-end tests only, installed when TESSARY_E2E is set: it lets a
// test find the settings window's named controls instead of guessing pixels, and open the window at
// a pane. Never part of a normal run.
//
//   settings-test open [PANE]     shows the settings window (at the pane, when one is named)
//   settings-test close           closes it
//   settings-test popup           "open" while a popup (a combo box's list, a menu) is open
//   settings-test focus           the name of the focused control (or its nearest named parent)
//   settings-test pane            prints the raw value of the pane shown ("closed" when none)
//   settings-test rect NAME       prints "x y width height" of the visible control NAME, in root pixels;
//                                 "section.RAW" names a sidebar row
//   settings-test value NAME      prints a control's state: a check box's "on"/"off", a combo
//                                 box's text, a label's text, a field's text (else its placeholder),
//                                 or a text a list's selected row draws under that name
//   settings-test count LIST      the number of rows of the shown list LIST
//   settings-test selected LIST   the selected row of LIST (from 0), "none" without one
//   settings-test rect row:LIST:N  the Nth row of LIST, scrolled into sight
//   settings-test field NAME      prints "x y width height" of the field in control NAME (a
//                                 recorder row's own field), in root pixels
//   settings-test placeholder NAME  prints a field's placeholder, shown or not (a shortcut
//                                 recorder's reads "Press Shortcut" exactly while it records)
//   settings-test alert           "TITLE: TEXT" of the open alert, "none" without one
//
// An unknown control or verb answers with status 1.

#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

CommandLineVerb settingsTestVerb(AppDelegate& delegate);

}  // namespace tessary
