#include "GlobalShortcuts/ui/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

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
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* layout = new QHBoxLayout;
    column->addLayout(layout);
    if (!label.isEmpty()) {
        auto* title = new QLabel(label, this);
        title->setBuddy(field_);
        layout->addWidget(title);
    }
    layout->addWidget(field_, 0, Qt::AlignRight);
    // Two or three lines under a field in a narrow column; read after the field by screen readers,
    // which get the same text as its description.
    auto* problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setTextFormat(Qt::PlainText);
    problem->setWordWrap(true);
    problem->setMinimumWidth(200);
    problem->setForegroundRole(QPalette::PlaceholderText);
    QFont font = problem->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    problem->setFont(font);
    column->addWidget(problem);
    field_->setProblemLabel(problem);
}

Recorder& Recorder::withValidation(std::function<ValidationResult(const Shortcut&)> validate) {
    field_->model().validateShortcut = std::move(validate);
    return *this;
}

}  // namespace tessary
