#include "Tessary/shell/ui/ConfirmDestructive.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <memory>
#include <utility>

#include "Tessary/shell/ui/WindowCentring.h"

namespace tessary {

void widenForItsTitle(QWidget& dialog) {
    // The title in a bold face of the dialog's font, room for three buttons of a title bar, margins.
    QFont title = dialog.font();
    title.setBold(true);
    const int needed = std::max(QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) + 3 * 28 + 2 * 24, 360);
    // Through the layout: a dialog's layout sets the dialog's minimum size from its own.
    if (QLayout* layout = dialog.layout()) {
        layout->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    } else {
        dialog.setMinimumWidth(std::max(dialog.minimumWidth(), needed));
    }
}

QString defaultConfirmationMessage() {
    static const QString message = QApplication::translate("Tessary", "This cannot be undone.");
    return message;
}

void confirmDestructive(const QString& title, const QString& confirmTitle, std::function<void()> action) {
    confirmDestructive(title, defaultConfirmationMessage(), confirmTitle, std::move(action));
}

void confirmDestructive(const QString& title, const QString& message, const QString& confirmTitle,
                        std::function<void()> action) {
    confirmDestructive(QApplication::activeWindow(), title, message, confirmTitle, std::move(action));
}

void confirmDestructive(QWidget* window, const QString& title, const QString& message, const QString& confirmTitle,
                        std::function<void()> action) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString(), title, QMessageBox::NoButton, window);
    // Names in the texts are the user's: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(message);
    // Qt makes a message box as wide as its title and wraps the sentence under it to that: a short
    // title ("Reset “Halves”?") gave a box 210 px wide with its sentence on five lines. The
    // sentence asks for a reading width of its own, up to some fifty characters.
    if (auto* sentence = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const QFontMetrics metrics(sentence->font());
        sentence->setMinimumWidth(std::min(metrics.horizontalAdvance(message), 52 * metrics.averageCharWidth()));
    }
    QPushButton* confirm = box->addButton(confirmTitle, QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirm"));
    QPushButton* cancel = box->addButton(QApplication::translate("Tessary", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    box->setDefaultButton(confirm);
    box->setEscapeButton(cancel);

    if (!window) {
        box->setWindowModality(Qt::ApplicationModal);
        centreWhenShown(*box);
        box->exec();
        const bool confirmed = box->clickedButton() == confirm;
        delete box;
        if (confirmed && action) action();
        return;
    }

    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> owner(window);
    auto pending = std::make_shared<std::function<void()>>(std::move(action));
    QObject::connect(box, &QMessageBox::finished, box, [box, confirm, owner, pending] {
        // Taken out before it runs, so that a second answer (or an action that answers again)
        // finds nothing.
        std::function<void()> run = std::exchange(*pending, nullptr);
        if (!run || box->clickedButton() != confirm || !owner || !owner->isVisible()) return;
        run();
    });
    box->open();
}

}  // namespace tessary
