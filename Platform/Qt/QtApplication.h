#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>

namespace tessary {

// The program's application object. It offers the program's own input events (key presses and
// releases, mouse releases) and the showing and hiding of widgets to one reader, QtLocalEvents,
// before Qt delivers them, in place of an application-wide event filter: Qt calls such a filter
// with every event of the main thread, the X connection's socket notice of every pointer motion
// of a drag among them. The reader is offered an event as a filter would be, once for each
// receiver Qt sends it to, and stops it by answering true.
class QtApplication : public QApplication {
public:
    QtApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    void setInputReader(QObject* reader) { reader_ = reader; }
    QObject* inputReader() const { return reader_; }

    static bool isInput(QEvent::Type type) {
        switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonRelease:
        case QEvent::ShowToParent:
        case QEvent::Hide: return true;
        default: return false;
        }
    }

    bool notify(QObject* receiver, QEvent* event) override {
        // The type first: it is what every other event is turned away by.
        if (isInput(event->type()) && reader_ && reader_->eventFilter(receiver, event)) return true;
        return QApplication::notify(receiver, event);
    }

private:
    QPointer<QObject> reader_;
};

}  // namespace tessary
