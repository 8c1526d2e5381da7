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

// The menu the program hands the module as its main menu, which recorders check new shortcuts
// against; none by default (a tray program has none). Not owned: forgotten when it is destroyed.
void setMainMenu(QMenu* menu);
QMenu* mainMenu();

}  // namespace tessary
