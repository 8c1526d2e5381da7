#pragma once

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>

#include "Platform/Logger.h"
#include "Platform/UserNotices.h"

namespace tessary {

// Notices as desktop notifications: org.freedesktop.Notifications on the session bus, asked
// without waiting for its answer (a notification server that is slow to start never holds up the
// main loop). The notice's action is offered as the notification's default action (a click on it)
// and, where the server shows buttons, as a button with its label; it runs when the server says
// it was invoked, and is forgotten when the notification closes. Where no notification server
// answers (none runs, or there is no session bus), the notice goes to `fallback` (the program
// gives the tray icon's message balloon), which gets the action to run when its message is
// clicked and answers whether it could show it; else it is only logged. Main loop only.
class DesktopNotices final : public QObject, public UserNotices {
    Q_OBJECT
public:
    using Fallback = std::function<bool(const UserNotice& notice)>;
    // `bus`: the session bus, unless a test gives one of its own.
    explicit DesktopNotices(Fallback fallback = {}, QDBusConnection bus = QDBusConnection::sessionBus(),
                            QObject* parent = nullptr);
    ~DesktopNotices() override;

    void post(UserNotice notice) override;

    // The name the notifications carry, and the icon they show (a theme icon's name).
    static constexpr const char* applicationName = "Tessary";
    static constexpr const char* iconName = "tessary";

private Q_SLOTS:
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id, uint reason);

private:
    void showElsewhere(const UserNotice& notice);

    Fallback fallback_;
    QDBusConnection bus_;
    Logger log_{"Notices"};
    bool listening_ = false;
    // The actions of notifications on screen, by the server's id.
    std::map<uint32_t, std::function<void()>> actions_;
};

}  // namespace tessary
