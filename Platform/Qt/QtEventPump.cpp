#include "Platform/Qt/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace tessary {

QtEventPump::QtEventPump(int descriptor, std::function<bool()> process, std::function<bool()> beforeSleep)
    : process_(std::move(process)),
      beforeSleep_(beforeSleep ? std::move(beforeSleep) : process_),
      notifier_(descriptor, *this) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
        sleeping_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { run(beforeSleep_); });
    }
}

QtEventPump::QtEventPump(int descriptor, std::function<bool()> process, WhenReadableOnly)
    : process_(std::move(process)), notifier_(descriptor, *this) {}

QtEventPump::~QtEventPump() {
    QObject::disconnect(sleeping_);
}

bool QtEventPump::Notifier::event(QEvent* event) {
    if (event->type() != QEvent::SockAct && event->type() != QEvent::SockClose) return QSocketNotifier::event(event);
    pump_.run(pump_.process_);
    return true;
}

void QtEventPump::run(const std::function<bool()>& work) {
    // A handler that spins a nested event loop must not re-enter the processing.
    if (processing_ || !notifier_.isEnabled()) return;
    processing_ = true;
    const bool alive = work();
    processing_ = false;
    if (!alive) stop();
}

void QtEventPump::stop() {
    notifier_.setEnabled(false);
    QObject::disconnect(sleeping_);
}

}  // namespace tessary
