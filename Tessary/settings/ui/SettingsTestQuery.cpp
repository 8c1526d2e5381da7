#include "Tessary/settings/ui/SettingsTestQuery.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QToolButton>

#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/shell/ui/StatusTag.h"

namespace tessary {

namespace {

InstanceReply failure(std::string text) { return {std::move(text), 1}; }

// "X Y WIDTH HEIGHT" in Qt's global coordinates; for a place inside one of the program's windows,
// then "window ID X Y": that window's native id and where Qt believes its client area is. Qt's
// belief comes from the window manager, which may leave it stale (icewm announces a dialog's first
// place and not the one it then gives it): a test places the control by the X server's answer.
InstanceReply rectReply(const QRect& rect, const QWidget* inside = nullptr) {
    std::string reply = std::to_string(rect.x()) + " " + std::to_string(rect.y()) + " " +
                        std::to_string(rect.width()) + " " + std::to_string(rect.height());
    const QWidget* window = inside ? inside->window() : nullptr;
    if (window && window->internalWinId()) {
        const QPoint origin = window->mapToGlobal(QPoint(0, 0));
        reply += " window " + std::to_string(window->internalWinId()) + " " + std::to_string(origin.x()) + " " +
                 std::to_string(origin.y());
    }
    return {reply, 0};
}

// A sidebar row, "section.zones", as the rectangle of its item.
std::optional<QRect> sectionRect(SettingsWindow* window, const std::string& name) {
    constexpr std::string_view prefix = "section.";
    if (!name.starts_with(prefix) || !window->sidebar()) return std::nullopt;
    const auto section = settingsSectionFromRawValue(std::string_view(name).substr(prefix.size()));
    if (!section) return std::nullopt;
    QListWidget* list = window->sidebar();
    const QRect item = list->visualItemRect(list->item(static_cast<int>(*section)));
    return QRect(list->viewport()->mapToGlobal(item.topLeft()), item.size());
}

QWidget* namedControl(QWidget* window, const std::string& name) {
    for (QWidget* widget : window->findChildren<QWidget*>(QString::fromStdString(name))) {
        if (widget->isVisible()) return widget;
    }
    return nullptr;
}

// Scrolls the pane until the control shows, as a user does before clicking it: with a larger font
// the lower rows of a pane lie below the window's edge.
void scrollIntoView(QWidget* control) {
    for (QWidget* widget = control->parentWidget(); widget; widget = widget->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(widget)) {
            area->ensureWidgetVisible(control, 0, 0);
            return;
        }
    }
}

const QLineEdit* fieldOf(const QWidget* control) {
    auto* field = qobject_cast<const QLineEdit*>(control);
    return field ? field : control->findChild<QLineEdit*>();
}

std::string valueOf(const QWidget* control) {
    if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText().toStdString();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->isCheckable() ? (button->isChecked() ? "on" : "off") : button->text().toStdString();
    }
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text().toStdString();
    if (auto* tag = qobject_cast<const StatusTag*>(control)) return tag->text().toStdString();
    // A field, or a control made around one (a shortcut recorder): its text, else its placeholder.
    if (const QLineEdit* field = fieldOf(control)) return (field->text().isEmpty() ? field->placeholderText() : field->text()).toStdString();
    return {};
}

// A text as the user reads it: a menu's or a button's "&" marks are not shown.
QString shownText(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove('&');
    text.replace(QChar(1), QChar('&'));
    return text;
}

// "menu:TEXT", an item of the open pop-up menu.
std::optional<QRect> menuItemRect(const QString& text) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return std::nullopt;
    for (QAction* action : menu->actions()) {
        if (action->isVisible() && !action->isSeparator() && shownText(action->text()) == text) {
            const QRect item = menu->actionGeometry(action);
            return QRect(menu->mapToGlobal(item.topLeft()), item.size());
        }
    }
    return std::nullopt;
}

// "button:TEXT", a shown button of any of the program's windows (the settings window's dialogs too).
QAbstractButton* shownButton(const QString& text) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && shownText(button->text()) == text) return button;
        }
    }
    return nullptr;
}

// A shown list of that name: a pane's long list or a dialog's.
QAbstractItemView* namedList(QWidget* window, const QString& name) {
    for (QAbstractItemView* list : window->findChildren<QAbstractItemView*>(name)) {
        if (list->isVisible() && list->model()) return list;
    }
    return nullptr;
}

int rowsOf(const QAbstractItemView& list) { return list.model()->rowCount(list.rootIndex()); }

// "row:LIST:N", the Nth row (from 0) of a shown list, scrolled into sight; placed by the window that
// holds the list (a dialog's, not the settings window's).
std::optional<InstanceReply> rowRect(QWidget* window, const QString& listAndRow) {
    const QStringList parts = listAndRow.split(':');
    if (parts.size() != 2) return std::nullopt;
    QAbstractItemView* list = namedList(window, parts[0]);
    bool number = false;
    const int row = parts[1].toInt(&number);
    if (!list || !number || row < 0 || row >= rowsOf(*list)) return std::nullopt;
    const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
    list->scrollTo(index);
    const QRect item = list->visualRect(index);
    return rectReply(QRect(list->viewport()->mapToGlobal(item.topLeft()), item.size()), list);
}

// A text a list's row draws under a name ("workspaceSummary"): the selected row's, else the first's.
std::optional<std::string> namedRowText(QWidget* window, const std::string& name) {
    for (const RowListView* list : window->findChildren<RowListView*>()) {
        if (!list->isVisible()) continue;
        if (const auto text = list->namedText(QString::fromStdString(name))) return text->toStdString();
    }
    return std::nullopt;
}

std::optional<InstanceReply> lookedUpRect(QWidget* window, const std::string& name) {
    const QString text = QString::fromStdString(name);
    // A pop-up menu is placed by Qt itself, not by the window manager.
    if (text.startsWith(QStringLiteral("menu:"))) {
        if (auto rect = menuItemRect(text.mid(5))) return rectReply(*rect);
    }
    if (text.startsWith(QStringLiteral("button:"))) {
        if (QAbstractButton* button = shownButton(text.mid(7))) {
            return rectReply(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()), button);
        }
    }
    if (text.startsWith(QStringLiteral("row:")) && window) {
        if (auto reply = rowRect(window, text.mid(4))) return reply;
    }
    return std::nullopt;
}

}  // namespace

CommandLineVerb settingsTestVerb(AppDelegate& delegate) {
    return [&delegate](const std::vector<std::string>& arguments) -> InstanceReply {
        const std::string verb = arguments.empty() ? "" : arguments[0];
        if (verb == "open") {
            std::optional<SettingsSection> section;
            if (arguments.size() > 1) section = settingsSectionFromRawValue(arguments[1]);
            delegate.showSettings(section);
            return {};
        }
        auto* window = qobject_cast<SettingsWindow*>(delegate.settingsWindow());
        if (verb == "pane") {
            if (!window || !window->isVisible() || !window->pane()) return {"closed", 0};
            return {window->paneTitle().toStdString(), 0};
        }
        if (verb == "focus") {
            for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
                if (!widget->objectName().isEmpty()) return {widget->objectName().toStdString(), 0};
            }
            return {"none", 0};
        }
        if (verb == "alert") {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return {"none", 0};
            return {(box->windowTitle() + QStringLiteral(": ") + box->text()).toStdString(), 0};
        }
        if (verb == "popup") return {QApplication::activePopupWidget() ? "open" : "closed", 0};
        if (verb == "close") {
            if (window) window->close();
            return {};
        }
        if (verb == "rect" && arguments.size() > 1) {
            QWidget* shown = window && window->isVisible() ? window : nullptr;
            if (auto rect = shown ? sectionRect(window, arguments[1]) : std::nullopt) return rectReply(*rect, window);
            if (auto reply = lookedUpRect(shown, arguments[1])) return *reply;
        }
        if (verb == "count" && arguments.size() > 1) {
            QAbstractItemView* list =
                window && window->isVisible() ? namedList(window, QString::fromStdString(arguments[1])) : nullptr;
            return {list ? std::to_string(rowsOf(*list)) : "0", 0};
        }
        if (verb == "selected" && arguments.size() > 1) {
            QAbstractItemView* list =
                window && window->isVisible() ? namedList(window, QString::fromStdString(arguments[1])) : nullptr;
            const QModelIndexList rows = list && list->selectionModel() ? list->selectionModel()->selectedIndexes() : QModelIndexList();
            return {rows.isEmpty() ? "none" : std::to_string(rows.front().row()), 0};
        }
        if ((verb == "rect" || verb == "value" || verb == "placeholder" || verb == "field" || verb == "description" ||
             verb == "clear") &&
            arguments.size() > 1) {
            QWidget* control = window && window->isVisible() ? namedControl(window, arguments[1]) : nullptr;
            if (!control && verb == "value" && window && window->isVisible()) {
                if (const auto text = namedRowText(window, arguments[1])) return {*text, 0};
            }
            if (!control) return failure("no control " + arguments[1]);
            if (verb == "rect" || verb == "field" || verb == "clear") scrollIntoView(control);
            if (verb == "value") return {valueOf(control), 0};
            if (verb == "description") {
                const QLineEdit* field = fieldOf(control);
                return {(field ? field->accessibleDescription() : control->accessibleDescription()).toStdString(), 0};
            }
            if (verb == "placeholder" || verb == "field" || verb == "clear") {
                const QLineEdit* field = fieldOf(control);
                if (!field) return failure("no field " + arguments[1]);
                if (verb == "clear") {
                    // The field's own clear button, while it shows one.
                    for (const QAbstractButton* button : field->findChildren<QAbstractButton*>()) {
                        const auto* tool = qobject_cast<const QToolButton*>(button);
                        const QAction* action = tool ? tool->defaultAction() : nullptr;
                        if (action && action->objectName() == QLatin1String("_q_qlineeditclearaction") &&
                            button->isVisible()) {
                            return rectReply(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()), button);
                        }
                    }
                    return failure("no clear button in " + arguments[1]);
                }
                if (verb == "field") return rectReply(QRect(field->mapToGlobal(QPoint(0, 0)), field->size()), field);
                return {field->placeholderText().toStdString(), 0};
            }
            return rectReply(QRect(control->mapToGlobal(QPoint(0, 0)), control->size()), control);
        }
        return failure("usage: settings-test open [PANE] | close | pane | popup | alert | focus | count LIST | selected LIST | "
                       "value NAME | placeholder NAME | field NAME | clear NAME | description NAME | rect NAME|menu:TEXT|button:TEXT|row:LIST:N");
    };
}

}  // namespace tessary
