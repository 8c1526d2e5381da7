#include "Tessary/integrations/ui/FeedbackMail.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QUrlQuery>

#include <memory>
#include <utility>

#include "Platform/Logger.h"
#include "Tessary/shell/BuildOptions.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
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
                         qs(facts.appVersion) + "\n" + qs(facts.systemVersion) + "\n";
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), encoded(QObject::tr("Tessary feedback")));
    query.addQueryItem(QStringLiteral("body"), encoded(body));
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(qs(address));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

MailOpener desktopMailOpener() {
    return [](const QUrl& url, std::function<void(bool)> done) {
        static const Logger log("Feedback");
        auto* process = new QProcess(QCoreApplication::instance());
        // Its output is the mail program's, which may be long-lived: never into a pipe nobody reads.
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->setStandardInputFile(QProcess::nullDevice());
        auto answer = std::make_shared<std::function<void(bool)>>(std::move(done));
        QObject::connect(process, &QProcess::finished, process, [process, answer](int code, QProcess::ExitStatus status) {
            const bool opened = status == QProcess::NormalExit && code == 0;
            if (!opened) log.error("xdg-open found no mail program for mailto (exit status " + std::to_string(code) + ")");
            process->deleteLater();
            if (*answer) std::exchange(*answer, nullptr)(opened);
        });
        QObject::connect(process, &QProcess::errorOccurred, process, [process, answer](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart) return;
            log.error("Cannot run xdg-open to open the mail program: " + process->errorString().toStdString());
            process->deleteLater();
            if (*answer) std::exchange(*answer, nullptr)(false);
        });
        process->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
    };
}

void openMailFallback(const std::string& message, const FeedbackFacts& facts, QWidget* parent,
                      std::string_view address, const MailOpener& open) {
    const QUrl url = feedbackMailURL(message, address, facts);
    auto offerAddress = [parent = QPointer<QWidget>(parent), address = qs(address)] {
        if (parent) {
            parent->window()->raise();
            parent->window()->activateWindow();
        }
        QMessageBox alert(parent);
        alert.setIconPixmap(applicationIcon(64, alert.devicePixelRatioF()));
        alert.setWindowTitle(QObject::tr("Send Feedback"));
        alert.setText(QObject::tr("Send Feedback"));
        alert.setInformativeText(QObject::tr("No mail app is set up on this computer. Write to %1 from wherever you "
                                             "read your email.")
                                     .arg(address));
        QPushButton* copy = alert.addButton(QObject::tr("Copy Address"), QMessageBox::AcceptRole);
        alert.addButton(QMessageBox::Cancel)->setText(QObject::tr("Cancel"));
        alert.setDefaultButton(copy);
        alert.exec();
        if (alert.clickedButton() == copy) {
            QClipboard* clipboard = QApplication::clipboard();
            clipboard->clear();
            clipboard->setText(address);
        }
    };
    if (!url.isValid()) return offerAddress();
    open(url, [offerAddress](bool opened) {
        if (!opened) offerAddress();
    });
}

}  // namespace tessary
