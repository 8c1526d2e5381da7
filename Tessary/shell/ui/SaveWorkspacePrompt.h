#pragma once

// The modal prompt for the name of a new workspace: "Save Current Windows", a name field whose
// placeholder is the next default name ("Workspace 3" when two exist), Save (the default) and
// Cancel. A name left blank, or made only of spaces and tabs, takes the placeholder.

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace tessary {

class SaveWorkspacePrompt final : public QDialog {
public:
    // `existingCount`: how many workspaces are saved now.
    explicit SaveWorkspacePrompt(std::size_t existingCount, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return nameField_; }
    // The name to save under, once accepted.
    std::string chosenName() const;

    // The field's text trimmed of spaces and tabs, else the placeholder, else "Workspace".
    static std::string chosenName(const std::string& text, const std::string& placeholder);

private:
    QLineEdit* nameField_;
};

}  // namespace tessary
