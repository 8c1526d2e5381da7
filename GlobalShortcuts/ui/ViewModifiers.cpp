#include "GlobalShortcuts/ui/ViewModifiers.h"

#include "GlobalShortcuts/ui/ShortcutKeySequence.h"

#include <QAction>
#include <QEvent>
#include <QWidget>

namespace tessary {

namespace {

// A child of the widget: follows its showing and hiding, and ends the stream with it.
class ShownStream final : public QObject {
public:
    ShownStream(GlobalShortcuts& shortcuts, QWidget* widget, GlobalShortcuts::Name name,
                std::function<void(GlobalShortcuts::EventType)> action)
        : QObject(widget), shortcuts_(shortcuts), name_(std::move(name)), action_(std::move(action)) {
        widget->installEventFilter(this);
        if (widget->isVisible()) open();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) open();
        if (event->type() == QEvent::Hide) stream_.end();
        return false;
    }

private:
    void open() {
        if (!stream_.isOpen()) stream_ = shortcuts_.events(name_, action_);
    }

    GlobalShortcuts& shortcuts_;
    GlobalShortcuts::Name name_;
    std::function<void(GlobalShortcuts::EventType)> action_;
    KeyEventStream stream_;
};

// A child of the action: keeps its key sequence in step with the name's shortcut.
class ActionShortcut final : public QObject {
public:
    ActionShortcut(GlobalShortcuts& shortcuts, QAction* action, GlobalShortcuts::Name name)
        : QObject(action), shortcuts_(shortcuts), action_(action), name_(std::move(name)) {
        changed_ = shortcuts_.shortcutByNameDidChange.subscribe([this](const GlobalShortcuts::Name& changed) {
            if (changed.rawValue == name_.rawValue) refresh();
        });
        recording_ = shortcuts_.recorderActiveStatusDidChange.subscribe([this](bool active) {
            recorderActive_ = active;
            refresh();
        });
        refresh();
    }

private:
    void refresh() {
        std::optional<QKeySequence> sequence;
        if (!recorderActive_) {
            if (auto shortcut = shortcuts_.getShortcut(name_)) sequence = keySequence(*shortcut, shortcuts_.keyboard());
        }
        action_->setShortcut(sequence.value_or(QKeySequence()));
    }

    GlobalShortcuts& shortcuts_;
    QAction* action_;
    GlobalShortcuts::Name name_;
    bool recorderActive_ = false;
    Subscription changed_;
    Subscription recording_;
};

}  // namespace

void onKeyboardShortcut(GlobalShortcuts& shortcuts, QWidget* widget, const GlobalShortcuts::Name& name,
                        std::function<void(GlobalShortcuts::EventType)> action) {
    new ShownStream(shortcuts, widget, name, std::move(action));
}

void onKeyboardShortcut(GlobalShortcuts& shortcuts, QWidget* widget, const GlobalShortcuts::Name& name,
                        GlobalShortcuts::EventType type, std::function<void()> action) {
    onKeyboardShortcut(shortcuts, widget, name, [type, action = std::move(action)](GlobalShortcuts::EventType event) {
        if (event == type) action();
    });
}

void globalKeyboardShortcut(GlobalShortcuts& shortcuts, QAction* action, const GlobalShortcuts::Name& name) {
    new ActionShortcut(shortcuts, action, name);
}

}  // namespace tessary
