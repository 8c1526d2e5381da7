#include "Platform/Qt/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace tessary {

QtEventPump::QtEventPump(int descriptor, std::function<bool()> process, std::function<bool()> beforeSleep)
    : process_(std::move(process)),
      beforeSleep_(beforeSleep ? std::move(beforeSleep) : process_),
      notifier_(descriptor, QSocketNotifier::Read) {
    auto runner = [this](std::function<bool()>& work) {
        return [this, &work] {
            // A handler that spins a nested event loop must not re-enter the processing.
            if (processing_ || !notifier_.isEnabled()) return;
            processing_ = true;
            bool alive = work();
            processing_ = false;
            if (!alive) stop();
        };
    };
    QObject::connect(&notifier_, &QSocketNotifier::activated, runner(process_));
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
        sleeping_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, runner(beforeSleep_));
    }
}

QtEventPump::~QtEventPump() {
    QObject::disconnect(sleeping_);
}

void QtEventPump::stop() {
    notifier_.setEnabled(false);
    QObject::disconnect(sleeping_);
}

}  // namespace tessary
