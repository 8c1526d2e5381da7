#pragma once

// The first item of a menu tree that already uses a shortcut: depth first, items in menu order,
// each item before its submenu. An item matches when its own key sequence is the shortcut's (the
// same key and exactly the same modifiers); a shortcut without a Qt form matches nothing.

#include "GlobalShortcuts/Shortcut.h"
#include "Platform/KeyboardLayout.h"

class QAction;
class QMenu;

namespace tessary {

QAction* menuItemWithMatchingShortcut(const Shortcut& shortcut, const QMenu* menu, const KeyboardLayout& layout);

}  // namespace tessary
