#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "Platform/Qt/AccessibleWindows.h"

namespace tessary {

// The program's application object. It offers the program's own input events (key presses and
// releases, mouse releases) and the showing and hiding of widgets to one reader, QtLocalEvents,
// before Qt delivers them, in place of an application-wide event filter: Qt calls such a filter
// with every event of the main thread, the X connection's socket notice of every pointer motion
// of a drag among them. The reader is offered an event as a filter would be, once for each
// receiver Qt sends it to, and stops it by answering true.
//
// It also keeps a menu open that Qt would close on a late notice of a lost focus. Qt closes every
// open popup when it hears the program lost the focus, and on X it hears so 100 ms after a window
// of ours lost it, unless a window of ours takes the focus meanwhile, as a popup does once it holds
// the keyboard. A menu opened within those 100 ms (the tray icon clicked as a window of ours goes
// away, or as the tray takes the focus) that took longer to open than what was left of them closed
// as it showed. So a loss of the focus by a window that is not a popup leaves open popups alone; a
// popup that itself had the focus still closes when it loses it.
//
// What screen readers meet of its windows is AccessibleWindows'.
class QtApplication : public QApplication {
public:
    QtApplication(int& argc, char** argv) : QApplication(argc, argv) { installAccessibleWindows(); }

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
        const QEvent::Type type = event->type();
        if (isInput(type) && reader_ && reader_->eventFilter(receiver, event)) return true;
        switch (type) {
        case QEvent::FocusOut:
            // Qt tells the window that had the focus just before it tells the application.
            if (receiver->isWindowType()) focusLeft_ = static_cast<QWindow*>(receiver);
            break;
        case QEvent::ApplicationDeactivate: {
            keepPopups_ = focusLeft_ && focusLeft_->type() != Qt::Popup && activePopupWidget();
            focusLeft_ = nullptr;
            const bool handled = QApplication::notify(receiver, event);
            keepPopups_ = false;
            return handled;
        }
        case QEvent::Close:
            if (keepPopups_ && isPopup(receiver)) {
                event->ignore();
                return true;
            }
            break;
        default: break;
        }
        return QApplication::notify(receiver, event);
    }

private:
    static bool isPopup(QObject* object) {
        if (object->isWindowType()) return static_cast<QWindow*>(object)->type() == Qt::Popup;
        const auto* widget = qobject_cast<QWidget*>(object);
        return widget && widget->isWindow() && widget->windowType() == Qt::Popup;
    }

    QPointer<QObject> reader_;
    QPointer<QWindow> focusLeft_;
    bool keepPopups_ = false;
};

}  // namespace tessary
