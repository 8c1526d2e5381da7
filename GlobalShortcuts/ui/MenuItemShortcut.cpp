#include "GlobalShortcuts/ui/MenuItemShortcut.h"

#include <QAction>
#include <QKeySequence>

namespace tessary {

namespace {

// The action's text without the shortcut column.
QString baseText(const QAction* action) {
    return action->text().section(QLatin1Char('\t'), 0, 0);
}

void show(GlobalShortcuts& shortcuts, QAction* action, const std::optional<Shortcut>& shortcut,
          const QKeySequence& fallback) {
    if (shortcut) {
        action->setShortcut(QKeySequence());
        action->setText(baseText(action) + QLatin1Char('\t') + QString::fromStdString(shortcuts.description(*shortcut)));
    } else {
        action->setShortcut(fallback);
        action->setText(baseText(action));
    }
}

// A child of the bound action: its fallback and its subscription end with it.
class MenuItemBinding final : public QObject {
public:
    MenuItemBinding(GlobalShortcuts& shortcuts, QAction* action)
        : QObject(action), shortcuts_(shortcuts), action_(action), fallback_(action->shortcut()) {}

    void bind(const GlobalShortcuts::Name& name) {
        name_ = name;
        apply();
        auto follow = [this](const GlobalShortcuts::Name& changed) {
            if (changed.rawValue == name_.rawValue) apply();
        };
        changed_ = shortcuts_.shortcutByNameDidChange.subscribe(follow);
        refused_ = shortcuts_.refusalDidChange.subscribe(follow);
    }
    const QKeySequence& fallback() const { return fallback_; }

private:
    void apply() {
        const auto shortcut = shortcuts_.refusal(name_) ? std::nullopt : shortcuts_.getShortcut(name_);
        show(shortcuts_, action_, shortcut, fallback_);
    }

    GlobalShortcuts& shortcuts_;
    QAction* action_;
    QKeySequence fallback_;
    GlobalShortcuts::Name name_;
    Subscription changed_;
    Subscription refused_;
};

MenuItemBinding* bindingOf(QAction* action) {
    for (QObject* child : action->children()) {
        if (auto* binding = dynamic_cast<MenuItemBinding*>(child)) return binding;
    }
    return nullptr;
}

}  // namespace

void bindMenuItemShortcut(GlobalShortcuts& shortcuts, QAction* action, const std::optional<GlobalShortcuts::Name>& name) {
    MenuItemBinding* binding = bindingOf(action);
    if (!name) {
        if (!binding) return;
        show(shortcuts, action, std::nullopt, binding->fallback());
        delete binding;
        return;
    }
    if (!binding) binding = new MenuItemBinding(shortcuts, action);
    binding->bind(*name);
}

void setMenuItemShortcut(GlobalShortcuts& shortcuts, QAction* action, const std::optional<Shortcut>& shortcut) {
    delete bindingOf(action);
    show(shortcuts, action, shortcut, QKeySequence());
}

}  // namespace tessary
