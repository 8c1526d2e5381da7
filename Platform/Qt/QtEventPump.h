#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>

namespace tessary {

// Feeds a connection's events to the Qt main loop: `process` runs when the descriptor becomes
// readable and each time the loop is about to sleep. The second matters because a client library
// may read events off the socket while waiting for a reply (xcb does), after which the descriptor
// is no longer readable though events wait to be handled; `beforeSleep`, when given, runs then
// instead (it need not read the descriptor, which wakes the loop if anything is left in it).
// Either answers false once the connection is broken: the pump then stops, rather than wake the
// loop forever on a dead socket.
class QtEventPump {
public:
    QtEventPump(int descriptor, std::function<bool()> process, std::function<bool()> beforeSleep = {});
    bool isRunning() const { return notifier_.isEnabled(); }
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

private:
    void stop();

    std::function<bool()> process_;
    std::function<bool()> beforeSleep_;
    QSocketNotifier notifier_;
    QMetaObject::Connection sleeping_;
    bool processing_ = false;
};

}  // namespace tessary
