#include "Tessary/settings/ui/SettingsConfirmation.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace tessary {

void confirmDestructive(QWidget* window, const ConfirmationTexts& texts, std::function<void()> action) {
    auto* box = new QMessageBox(window);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(texts.title));
    box->setInformativeText(QString::fromStdString(texts.message));
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* confirm = box->addButton(QString::fromStdString(texts.confirmTitle), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirm"));
    box->addButton(QObject::tr("Cancel"), QMessageBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    box->setDefaultButton(confirm);
    QPointer<QPushButton> confirmButton(confirm);
    QObject::connect(box, &QMessageBox::finished, box, [box, confirmButton, action = std::move(action)]() mutable {
        if (!action || !confirmButton || box->clickedButton() != confirmButton) return;
        auto once = std::move(action);
        action = nullptr;
        once();
    });
    box->open();
}

}  // namespace tessary
