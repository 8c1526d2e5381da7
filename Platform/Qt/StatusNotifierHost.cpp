#include "Platform/Qt/StatusNotifierHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace tessary {

bool statusNotifierHostRunning() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

}  // namespace tessary
