#include "Tessary/integrations/ui/FeedbackMail.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPushButton>
#include <QUrlQuery>

#include "Tessary/shell/BuildOptions.h"
#include "TessaryCore/TessaryInfo.h"

namespace tessary {

namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Everything but unreserved characters encoded, "+" included: mail programs differ on whether a
// "+" in a mailto query is a blank.
QString encoded(const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }

}  // namespace

std::string supportEmailAddress() { return std::string(buildOptions::supportEmail); }

QUrl feedbackMailURL(std::string_view message, std::string_view address, const FeedbackFacts& facts) {
    const QString body = qs(message) + QStringLiteral("\n\n\n\u2014\n") + qs(TessaryInfo::productName) + " " +
                         qs(facts.appVersion) + QStringLiteral("\nLinux ") + qs(facts.systemVersion) + "\n";
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), encoded(QObject::tr("Tessary feedback")));
    query.addQueryItem(QStringLiteral("body"), encoded(body));
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(qs(address));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

void openMailFallback(const std::string& message, const FeedbackFacts& facts, QWidget* parent,
                      std::string_view address, const URLOpener& open) {
    const QUrl url = feedbackMailURL(message, address, facts);
    if (url.isValid() && open(url)) return;

    if (parent) {
        parent->window()->raise();
        parent->window()->activateWindow();
    }
    QMessageBox alert(parent);
    alert.setIcon(QMessageBox::Information);
    alert.setWindowTitle(QObject::tr("Send Feedback"));
    alert.setText(QObject::tr("Send Feedback"));
    QPushButton* copy = nullptr;
    if (address.empty()) {
        alert.setInformativeText(QObject::tr("No mail app is set up on this computer."));
        alert.addButton(QMessageBox::Cancel);
    } else {
        alert.setInformativeText(QObject::tr("No mail app is set up on this computer. Write to %1 from wherever you "
                                             "read your email.")
                                     .arg(qs(address)));
        copy = alert.addButton(QObject::tr("Copy Address"), QMessageBox::AcceptRole);
        alert.addButton(QMessageBox::Cancel)->setText(QObject::tr("Cancel"));
        alert.setDefaultButton(copy);
    }
    alert.exec();
    if (copy && alert.clickedButton() == copy) {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(qs(address));
    }
}

}  // namespace tessary
