#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>

namespace tessary {

// Feeds a connection's events to the Qt main loop: `process` runs when the descriptor becomes
// readable and each time the loop is about to sleep. The second matters because a client library
// may read events off the socket while waiting for a reply (xcb does), after which the descriptor
// is no longer readable though events wait to be handled; `beforeSleep`, when given, runs then
// instead (it need not read the descriptor, which wakes the loop if anything is left in it). A
// descriptor that nothing reads behind the pump's back (inotify, a pipe) needs no pass before
// sleeping: WhenReadableOnly leaves it out, which saves a read on every turn of the loop.
// Either answers false once the connection is broken: the pump then stops, rather than wake the
// loop forever on a dead socket.
class QtEventPump {
public:
    struct WhenReadableOnly {};

    QtEventPump(int descriptor, std::function<bool()> process, std::function<bool()> beforeSleep = {});
    QtEventPump(int descriptor, std::function<bool()> process, WhenReadableOnly);
    bool isRunning() const { return notifier_.isEnabled(); }
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

private:
    // Takes the readability notice itself rather than through the activated signal: the notice
    // comes with every pointer motion during a drag, and a signal's emission is most of its cost.
    class Notifier : public QSocketNotifier {
    public:
        Notifier(int descriptor, QtEventPump& pump) : QSocketNotifier(descriptor, QSocketNotifier::Read), pump_(pump) {}

    protected:
        bool event(QEvent* event) override;

    private:
        QtEventPump& pump_;
    };

    void run(const std::function<bool()>& work);
    void stop();

    std::function<bool()> process_;
    std::function<bool()> beforeSleep_;
    Notifier notifier_;
    QMetaObject::Connection sleeping_;
    bool processing_ = false;
};

}  // namespace tessary
