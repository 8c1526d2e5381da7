#include "Tessary/settings/ui/SettingsTestQuery.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>

#include "Tessary/settings/ui/SettingsWindow.h"

namespace tessary {

namespace {

InstanceReply failure(std::string text) { return {std::move(text), 1}; }

InstanceReply rectReply(const QRect& rect) {
    return {std::to_string(rect.x()) + " " + std::to_string(rect.y()) + " " + std::to_string(rect.width()) + " " +
                std::to_string(rect.height()),
            0};
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
    // A field, or a control made around one (a shortcut recorder): its text, else its placeholder.
    if (const QLineEdit* field = fieldOf(control)) return (field->text().isEmpty() ? field->placeholderText() : field->text()).toStdString();
    return {};
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
        if (verb == "rect" && arguments.size() > 1 && window && window->isVisible()) {
            if (auto rect = sectionRect(window, arguments[1])) return rectReply(*rect);
        }
        if ((verb == "rect" || verb == "value" || verb == "placeholder" || verb == "field") && arguments.size() > 1) {
            QWidget* control = window && window->isVisible() ? namedControl(window, arguments[1]) : nullptr;
            if (!control) return failure("no control " + arguments[1]);
            if (verb == "value") return {valueOf(control), 0};
            if (verb == "placeholder" || verb == "field") {
                const QLineEdit* field = fieldOf(control);
                if (!field) return failure("no field " + arguments[1]);
                if (verb == "field") return rectReply(QRect(field->mapToGlobal(QPoint(0, 0)), field->size()));
                return {field->placeholderText().toStdString(), 0};
            }
            return rectReply(QRect(control->mapToGlobal(QPoint(0, 0)), control->size()));
        }
        return failure(
            "usage: settings-test open [PANE] | close | pane | popup | alert | focus | rect NAME | field NAME | "
            "value NAME | placeholder NAME");
    };
}

}  // namespace tessary
