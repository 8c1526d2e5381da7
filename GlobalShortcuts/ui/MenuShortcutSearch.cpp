#include "GlobalShortcuts/ui/MenuShortcutSearch.h"

#include "GlobalShortcuts/ui/ShortcutKeySequence.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace tessary {

namespace {

QPointer<QMenu>& mainMenuPointer() {
    static QPointer<QMenu> menu;
    return menu;
}

QAction* search(const QKeySequence& sequence, const QMenu* menu) {
    for (QAction* item : menu->actions()) {
        if (item->shortcut() == sequence) return item;
        if (const QMenu* submenu = item->menu()) {
            if (QAction* found = search(sequence, submenu)) return found;
        }
    }
    return nullptr;
}

}  // namespace

QAction* menuItemWithMatchingShortcut(const Shortcut& shortcut, const QMenu* menu, const KeyboardLayout& layout) {
    const auto sequence = keySequence(shortcut, layout);
    if (!sequence || !menu) return nullptr;
    return search(*sequence, menu);
}

void setMainMenu(QMenu* menu) {
    mainMenuPointer() = menu;
}

QMenu* mainMenu() {
    return mainMenuPointer();
}

}  // namespace tessary
