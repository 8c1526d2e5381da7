#pragma once

// Named shortcuts on widgets and actions.
//
// onKeyboardShortcut: runs the action for every press (and release) of the name's hot key while the
// widget is shown; the stream opens when it is shown and ends when it is hidden or destroyed.
//
// globalKeyboardShortcut: gives the action the name's current shortcut as its own key sequence and
// follows every change of it; while any recorder records, the action has none, so that the keys
// reach the recorder. The binding lives as long as the action.

#include "GlobalShortcuts/GlobalShortcuts.h"

#include <functional>

class QAction;
class QWidget;

namespace tessary {

void onKeyboardShortcut(GlobalShortcuts& shortcuts, QWidget* widget, const GlobalShortcuts::Name& name,
                        std::function<void(GlobalShortcuts::EventType)> action);
void onKeyboardShortcut(GlobalShortcuts& shortcuts, QWidget* widget, const GlobalShortcuts::Name& name,
                        GlobalShortcuts::EventType type, std::function<void()> action);
void globalKeyboardShortcut(GlobalShortcuts& shortcuts, QAction* action, const GlobalShortcuts::Name& name);

}  // namespace tessary
