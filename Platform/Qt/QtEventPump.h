#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>

namespace tessary {

// Feeds a connection's events to the Qt main loop: `process` runs when the descriptor becomes
// readable and each time the loop is about to sleep. The second matters because a client library
// may read events off the socket while waiting for a reply (xcb does), after which the descriptor
// is no longer readable though events wait to be handled.
class QtEventPump {
public:
    QtEventPump(int descriptor, std::function<void()> process);
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

private:
    std::function<void()> process_;
    QSocketNotifier notifier_;
    QMetaObject::Connection beforeSleep_;
    bool running_ = false;
};

}  // namespace tessary
