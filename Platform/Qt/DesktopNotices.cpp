#include "Platform/Qt/DesktopNotices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <utility>

namespace tessary {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action key a click on the notification itself invokes.
const QString kDefaultAction = QStringLiteral("default");

// Servers may read the body as a subset of HTML: the text is given as text.
QString plainBody(const std::string& body) { return QString::fromStdString(body).toHtmlEscaped(); }

}  // namespace

DesktopNotices::DesktopNotices(Fallback fallback, QDBusConnection bus, QObject* parent)
    : QObject(parent), fallback_(std::move(fallback)), bus_(std::move(bus)) {}

DesktopNotices::~DesktopNotices() = default;

void DesktopNotices::post(UserNotice notice) {
    QDBusConnection& bus = bus_;
    if (!bus.isConnected()) {
        showElsewhere(notice);
        return;
    }
    if (!listening_) {
        listening_ = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                 SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint)));
    }
    QStringList actions;
    if (notice.action) {
        const QString label = QString::fromStdString(notice.actionLabel);
        actions << kDefaultAction << label;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QString::fromLatin1(applicationName) << uint(0) << QString::fromLatin1(iconName)
         << QString::fromStdString(notice.title) << plainBody(notice.body) << actions << QVariantMap()
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    auto kept = std::make_shared<UserNotice>(std::move(notice));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, kept](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            // No notification server (or it failed): show it another way.
            showElsewhere(*kept);
            return;
        }
        if (kept->action) actions_[reply.value()] = std::move(kept->action);
    });
}

void DesktopNotices::actionInvoked(uint id, const QString&) {
    // Either key (the default action or the button) means the one action.
    auto found = actions_.find(id);
    if (found == actions_.end()) return;
    auto action = std::move(found->second);
    actions_.erase(found);
    if (action) action();
}

void DesktopNotices::notificationClosed(uint id, uint) { actions_.erase(id); }

void DesktopNotices::showElsewhere(const UserNotice& notice) {
    if (fallback_ && fallback_(notice)) return;
    log_.notice("No notification server to show: " + notice.title + ": " + notice.body);
}

}  // namespace tessary
