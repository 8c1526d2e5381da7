#include "Platform/Qt/QtEventPump.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace tessary {
namespace {

// A Qt loop and a non-blocking pipe whose read end a pump watches.
struct PipeLoop {
    int argc = 1;
    char name[5] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    int fds[2] = {-1, -1};

    bool open() { return ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0; }
    // The writer goes away: the read end then stays readable, at its end of file.
    void closeWriter() { ::close(std::exchange(fds[1], -1)); }
    ~PipeLoop() {
        for (int fd : fds) {
            if (fd >= 0) ::close(fd);
        }
    }

    // Reads what is there into `received`; false at the end of file.
    bool read(std::string& received) const {
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<size_t>(n));
        return n != 0;
    }
};

TEST(QtEventPump, ProcessesBeforeTheLoopSleepsAndWhenReadable) {
    PipeLoop loop;
    ASSERT_TRUE(loop.open());
    QCoreApplication& application = loop.application;
    const int* fds = loop.fds;

    int calls = 0;
    std::string received;
    QtEventPump pump(fds[0], [&] {
        ++calls;
        const bool open = loop.read(received);
        QCoreApplication::quit();
        return open;  // end of file: the other side is gone
    });
    // Nothing to read: the loop may only sleep after the pump ran, which ends it.
    application.exec();
    EXPECT_GE(calls, 1);
    EXPECT_EQ(received, "");

    ASSERT_EQ(::write(fds[1], "event", 5), 5);
    application.exec();
    EXPECT_EQ(received, "event");
    EXPECT_TRUE(pump.isRunning());

    // The writer goes away: the descriptor stays readable for ever, and the pump must stop.
    loop.closeWriter();
    application.exec();
    EXPECT_FALSE(pump.isRunning());
}

// The program's X pump: the descriptor is read only when readable; before the loop sleeps another
// pass runs that must not read it (what is left there wakes the loop anyway).
TEST(QtEventPump, TheWorkBeforeSleepingIsItsOwnWhenGiven) {
    PipeLoop loop;
    ASSERT_TRUE(loop.open());
    QCoreApplication& application = loop.application;
    const int* fds = loop.fds;

    std::string received;
    int readable = 0, beforeSleep = 0;
    bool keepGoing = true;
    QtEventPump pump(
        fds[0],
        [&] {
            ++readable;
            const bool open = loop.read(received);
            QCoreApplication::quit();
            return open;
        },
        [&] {
            ++beforeSleep;
            QCoreApplication::quit();
            return keepGoing;
        });
    application.exec();
    EXPECT_GE(beforeSleep, 1);
    EXPECT_EQ(readable, 0) << "nothing was written: the descriptor's own work must not run";

    ASSERT_EQ(::write(fds[1], "event", 5), 5);
    application.exec();
    EXPECT_EQ(received, "event");
    EXPECT_TRUE(pump.isRunning());

    // The pass before sleeping finds the connection broken: the pump stops as well.
    keepGoing = false;
    application.exec();
    EXPECT_FALSE(pump.isRunning());
    loop.closeWriter();
}

// A watched folder's pump: nothing reads its descriptor behind its back, so the loop's other turns
// must not read it (each such read would be one more system call on every pointer notice).
TEST(QtEventPump, OnlyWhenReadableRunsNothingOnTheLoopsOtherTurns) {
    PipeLoop loop;
    ASSERT_TRUE(loop.open());
    QCoreApplication& application = loop.application;
    const int* fds = loop.fds;

    int calls = 0;
    std::string received;
    QtEventPump pump(
        fds[0],
        [&] {
            ++calls;
            return loop.read(received);
        },
        QtEventPump::WhenReadableOnly{});
    // Turns of the loop with nothing to read: posted calls wake it, the last one ends it.
    int turns = 0;
    std::function<void()> turn = [&] {
        if (++turns == 5) return QCoreApplication::quit();
        QMetaObject::invokeMethod(&application, turn, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(&application, turn, Qt::QueuedConnection);
    application.exec();
    EXPECT_EQ(calls, 0);

    ASSERT_EQ(::write(fds[1], "event", 5), 5);
    for (int round = 0; round < 100 && received.empty(); ++round) {
        QMetaObject::invokeMethod(&application, [&] { turns = 0; turn(); }, Qt::QueuedConnection);
        application.exec();
    }
    EXPECT_EQ(received, "event");
    QMetaObject::invokeMethod(&application, [&] { turns = 0; turn(); }, Qt::QueuedConnection);
    application.exec();
    EXPECT_EQ(calls, 1) << "read once when readable, never on the turns after it";

    // The writer goes away: the end of file stops the pump.
    loop.closeWriter();
    for (int round = 0; round < 100 && pump.isRunning(); ++round) {
        QMetaObject::invokeMethod(&application, [&] { turns = 0; turn(); }, Qt::QueuedConnection);
        application.exec();
    }
    EXPECT_FALSE(pump.isRunning());
}

}  // namespace
}  // namespace tessary
