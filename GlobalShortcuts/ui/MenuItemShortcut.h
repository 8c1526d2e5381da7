#pragma once

// A menu action that shows the shortcut stored for a name and follows every change of it. While
// the name has a shortcut the action carries no key sequence of its own (only the hot key may act
// on the press) and shows the module's text after a tab, which QMenu puts in its shortcut column:
// "Ctrl+Alt+Super+Right", as the settings write it. Without one, or while the name's shortcut does
// not work (another program holds it: a label would promise what a press does not do), it gets
// back its own key sequence from before its first binding.
//
// The binding belongs to the action: it ends with it (a menu rebuilt at every opening leaves
// nothing behind) or when the action is unbound or given a shortcut directly.

#include "GlobalShortcuts/GlobalShortcuts.h"

#include <optional>

class QAction;

namespace tessary {

// Binds the action to the name, or unbinds it (none).
void bindMenuItemShortcut(GlobalShortcuts& shortcuts, QAction* action, const std::optional<GlobalShortcuts::Name>& name);
// Shows one shortcut (or none) without a binding, ending any binding and forgetting its fallback.
void setMenuItemShortcut(GlobalShortcuts& shortcuts, QAction* action, const std::optional<Shortcut>& shortcut);

}  // namespace tessary
