#pragma once

// A recorder as a form row: an optional label beside the recorder field, bound to a name or to a
// value its owner keeps (a getter and a setter), and under them, while the shortcut does not work,
// a line that says why. In binding mode the setter is written before onChange runs, so onChange
// reads the new value from the owner.

#include "GlobalShortcuts/ui/RecorderWidget.h"

#include <QWidget>

#include <functional>

namespace tessary {

class Recorder final : public QWidget {
public:
    struct Binding {
        std::function<std::optional<Shortcut>()> get;
        std::function<void(std::optional<Shortcut>)> set;
    };

    Recorder(GlobalShortcuts& shortcuts, const GlobalShortcuts::Name& name, const QString& label = QString(),
             RecorderModel::ChangeHandler onChange = nullptr, QWidget* parent = nullptr);
    Recorder(GlobalShortcuts& shortcuts, Binding binding, const QString& label = QString(),
             RecorderModel::ChangeHandler onChange = nullptr, QWidget* parent = nullptr);

    // The owner's veto, asked before a shortcut is taken.
    Recorder& withValidation(std::function<ValidationResult(const Shortcut&)> validate);
    RecorderWidget& field() { return *field_; }

private:
    void place(const QString& label);

    RecorderWidget* field_ = nullptr;
};

}  // namespace tessary
