#include "Platform/Qt/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace tessary {

QtEventPump::QtEventPump(int descriptor, std::function<void()> process)
    : process_(std::move(process)), notifier_(descriptor, QSocketNotifier::Read) {
    auto run = [this] {
        // A handler that spins a nested event loop must not re-enter the processing.
        if (running_) return;
        running_ = true;
        process_();
        running_ = false;
    };
    QObject::connect(&notifier_, &QSocketNotifier::activated, run);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
        beforeSleep_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, run);
    }
}

QtEventPump::~QtEventPump() {
    QObject::disconnect(beforeSleep_);
}

}  // namespace tessary
