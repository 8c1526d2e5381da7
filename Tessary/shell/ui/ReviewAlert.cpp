#include "Tessary/shell/ui/ReviewAlert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "Tessary/shell/ui/ApplicationIdentity.h"

namespace tessary {

ReviewPrompt::Answer runReviewAlert(bool hasReviewPage) {
    QMessageBox alert;
    // An invitation, not a warning: the application's icon, as the desktop's own alerts show it.
    alert.setIconPixmap(applicationIcon(64, alert.devicePixelRatioF()));
    alert.setWindowModality(Qt::ApplicationModal);
    alert.setTextFormat(Qt::PlainText);
    alert.setText(QStringLiteral("Enjoying Tessary?"));
    QString informative = QStringLiteral("A short review helps other people find it. If something is missing or not "
                                         "working, tell us instead and we will look into it.");
    if (!hasReviewPage) informative += QStringLiteral("\n\nThis build has no review page: no web site is configured.");
    alert.setInformativeText(informative);
    QPushButton* review = alert.addButton(QStringLiteral("Write a Review"), QMessageBox::AcceptRole);
    QPushButton* feedback = alert.addButton(QString::fromUtf8("Send Feedback\u2026"), QMessageBox::ActionRole);
    QPushButton* notNow = alert.addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    review->setEnabled(hasReviewPage);
    alert.setDefaultButton(hasReviewPage ? review : feedback);
    alert.setEscapeButton(notNow);
    alert.raise();
    alert.activateWindow();
    alert.exec();
    if (alert.clickedButton() == review) return ReviewPrompt::Answer::writeReview;
    if (alert.clickedButton() == feedback) return ReviewPrompt::Answer::sendFeedback;
    return ReviewPrompt::Answer::notNow;
}

}  // namespace tessary
