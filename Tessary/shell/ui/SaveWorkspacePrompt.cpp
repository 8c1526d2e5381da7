#include "Tessary/shell/ui/SaveWorkspacePrompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/shell/ui/WindowCentring.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

SaveWorkspacePrompt::SaveWorkspacePrompt(std::size_t existingCount, QWidget* parent) : QDialog(parent) {
    setObjectName("SaveWorkspacePrompt");
    setWindowTitle(tr("Save Current Windows"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(tr("Save Current Windows"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(new QLabel(tr("Every open window's position will be remembered under this name."), this));
    nameField_ = new QLineEdit(this);
    nameField_->setMinimumWidth(240);
    nameField_->setPlaceholderText(tr("Workspace %1").arg(static_cast<qulonglong>(existingCount) + 1));
    layout->addWidget(nameField_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    nameField_->setFocus();
    centreWhenShown(*this);
}

std::string SaveWorkspacePrompt::chosenName() const {
    return chosenName(nameField_->text().toStdString(), nameField_->placeholderText().toStdString());
}

std::string SaveWorkspacePrompt::chosenName(const std::string& text, const std::string& placeholder) {
    std::string name = trimmingSpacesAndTabs(text);
    if (!name.empty()) return name;
    return placeholder.empty() ? tr("Workspace").toStdString() : placeholder;
}

}  // namespace tessary
