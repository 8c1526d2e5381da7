#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Qt/DesktopNotices.h"
#include "tests/PinnedDesktop.h"
#include "tests/Platform/QtCoreApplication.h"

extern char** environ;

using namespace tessary;
using namespace std::chrono_literals;

namespace {

// A session bus of the test's own: a dbus-daemon that ends with the fixture.
class PrivateBus {
public:
    PrivateBus() {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string configuration = tessary::pinned::privateBusConfiguration();
        char* argv[] = {const_cast<char*>("dbus-daemon"), configuration.data(), const_cast<char*>("--nofork"),
                        const_cast<char*>("--print-address=1"), nullptr};
        if (posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv, environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c;
        while (pid_ && ::read(out[0], &c, 1) == 1 && c != '\n') address_.push_back(c);
        ::close(out[0]);
    }
    ~PrivateBus() {
        // Qt keeps named connections for the process: each test's bus gets names of its own.
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        if (!pid_) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string& address() const { return address_; }
    QDBusConnection connect(const char* name) {
        names_.push_back(QString::fromLatin1(name) + QString::fromStdString(address_));
        return QDBusConnection::connectToBus(QString::fromStdString(address_), names_.back());
    }

private:
    QStringList names_;
    pid_t pid_ = 0;
    std::string address_;
};

// A notification server that records each Notify call and answers with ids from 7 on.
class FakeNotificationServer final : public QDBusVirtualObject {
public:
    struct Call {
        QString application, icon, summary, body;
        QStringList actions;
    };
    std::vector<Call> calls;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) return false;
        const QList<QVariant> a = message.arguments();
        if (a.size() < 8) return false;
        calls.push_back({a[0].toString(), a[2].toString(), a[3].toString(), a[4].toString(), a[5].toStringList()});
        connection.send(message.createReply(QVariant::fromValue(uint(6 + calls.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

bool spinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void emitFromServer(QDBusConnection& server, const char* name, const QList<QVariant>& arguments) {
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                     QStringLiteral("org.freedesktop.Notifications"),
                                                     QString::fromLatin1(name));
    signal.setArguments(arguments);
    server.send(signal);
}

class DesktopNoticesTest : public ::testing::Test {
protected:
    void SetUp() override {
        qttest::qtCoreApplication();
        if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
    }
    void TearDown() override {
        if (server.isConnected()) server.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }
    void serve() {
        server = bus.connect("notification-server");
        ASSERT_TRUE(server.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &fake));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    PrivateBus bus;
    QDBusConnection server{QString()};
    FakeNotificationServer fake;
};

TEST_F(DesktopNoticesTest, ANoticeBecomesANotificationWhoseActionRunsOnce) {
    serve();
    int fallbacks = 0;
    DesktopNotices notices([&](const UserNotice&) { return ++fallbacks, true; }, bus.connect("program"));
    int taken = 0;
    notices.post({"Layouts set aside", "“layouts.json” could not be read <a> & kept as layouts.json.unreadable-1.",
                  "Open Folder", [&] { ++taken; }});
    ASSERT_TRUE(spinUntil([&] { return !fake.calls.empty(); }));
    const auto& call = fake.calls.front();
    EXPECT_EQ(call.application, "Tessary");
    EXPECT_EQ(call.icon, "tessary");
    EXPECT_EQ(call.summary, "Layouts set aside");
    // Servers may read markup in the body: the text arrives as text.
    EXPECT_EQ(call.body, "“layouts.json” could not be read &lt;a&gt; &amp; kept as layouts.json.unreadable-1.");
    EXPECT_EQ(call.actions, (QStringList{"default", "Open Folder"}));

    // The id the server gave (7) carries the action; another id's invocation does nothing. The
    // server's reply went out before its signals, and arrives before them.
    emitFromServer(server, "ActionInvoked", {uint(99), QStringLiteral("default")});
    emitFromServer(server, "ActionInvoked", {uint(7), QStringLiteral("default")});
    ASSERT_TRUE(spinUntil([&] { return taken == 1; }));
    // Once more, then a later notice's action: signals come in order, so once that one ran the
    // repeat has been handled.
    int later = 0;
    notices.post({"Later", "", "Act", [&] { ++later; }});
    ASSERT_TRUE(spinUntil([&] { return fake.calls.size() == 2; }));
    emitFromServer(server, "ActionInvoked", {uint(7), QStringLiteral("default")});
    emitFromServer(server, "ActionInvoked", {uint(8), QStringLiteral("default")});
    ASSERT_TRUE(spinUntil([&] { return later == 1; }));
    EXPECT_EQ(taken, 1) << "an action runs at most once";
    EXPECT_EQ(fallbacks, 0);
}

TEST_F(DesktopNoticesTest, AClosedNotificationForgetsItsAction) {
    serve();
    DesktopNotices notices({}, bus.connect("program"));
    int taken = 0, later = 0;
    notices.post({"Title", "Body", "Act", [&] { ++taken; }});
    notices.post({"Plain", "No action", "", nullptr});
    notices.post({"Later", "", "Act", [&] { ++later; }});
    ASSERT_TRUE(spinUntil([&] { return fake.calls.size() == 3; }));
    EXPECT_TRUE(fake.calls[1].actions.isEmpty()) << "no action, no buttons";
    emitFromServer(server, "NotificationClosed", {uint(7), uint(2)});
    emitFromServer(server, "ActionInvoked", {uint(7), QStringLiteral("default")});
    emitFromServer(server, "ActionInvoked", {uint(9), QStringLiteral("default")});
    ASSERT_TRUE(spinUntil([&] { return later == 1; }));
    EXPECT_EQ(taken, 0);
}

TEST_F(DesktopNoticesTest, WithoutANotificationServerTheFallbackShowsIt) {
    std::vector<std::string> shown;
    DesktopNotices notices(
        [&](const UserNotice& notice) {
            shown.push_back(notice.title + ": " + notice.body);
            return true;
        },
        bus.connect("program"));
    notices.post({"Shortcut held", "Ctrl+Alt+2 is held by another program.", "", nullptr});
    ASSERT_TRUE(spinUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown.front(), "Shortcut held: Ctrl+Alt+2 is held by another program.");

    // Without a bus at all, at once.
    DesktopNotices unconnected([&](const UserNotice& notice) { return shown.push_back(notice.title), true; },
                               QDBusConnection(QString()));
    unconnected.post({"No bus", "", "", nullptr});
    EXPECT_EQ(shown.back(), "No bus");
}

}  // namespace
