#include "Platform/Qt/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace tessary {

QtEventPump::QtEventPump(int descriptor, std::function<bool()> process)
    : process_(std::move(process)), notifier_(descriptor, QSocketNotifier::Read) {
    auto run = [this] {
        // A handler that spins a nested event loop must not re-enter the processing.
        if (processing_ || !notifier_.isEnabled()) return;
        processing_ = true;
        bool alive = process_();
        processing_ = false;
        if (!alive) stop();
    };
    QObject::connect(&notifier_, &QSocketNotifier::activated, run);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
        beforeSleep_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, run);
    }
}

QtEventPump::~QtEventPump() {
    QObject::disconnect(beforeSleep_);
}

void QtEventPump::stop() {
    notifier_.setEnabled(false);
    QObject::disconnect(beforeSleep_);
}

}  // namespace tessary
