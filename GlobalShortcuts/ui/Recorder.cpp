#include "GlobalShortcuts/ui/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tessary {

Recorder::Recorder(GlobalShortcuts& shortcuts, const GlobalShortcuts::Name& name, const QString& label,
                   RecorderModel::ChangeHandler onChange, QWidget* parent)
    : QWidget(parent) {
    field_ = new RecorderWidget(shortcuts, name, std::move(onChange), this);
    place(label);
}

Recorder::Recorder(GlobalShortcuts& shortcuts, Binding binding, const QString& label,
                   RecorderModel::ChangeHandler onChange, QWidget* parent)
    : QWidget(parent) {
    auto relay = [set = binding.set, onChange = std::move(onChange)](std::optional<Shortcut> shortcut) {
        if (set) set(shortcut);
        if (onChange) onChange(shortcut);
    };
    field_ = new RecorderWidget(shortcuts, binding.get ? binding.get() : std::nullopt, std::move(relay), this);
    place(label);
}

void Recorder::place(const QString& label) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!label.isEmpty()) {
        auto* title = new QLabel(label, this);
        title->setBuddy(field_);
        layout->addWidget(title);
    }
    layout->addWidget(field_);
}

Recorder& Recorder::withValidation(std::function<ValidationResult(const Shortcut&)> validate) {
    field_->model().validateShortcut = std::move(validate);
    return *this;
}

}  // namespace tessary
