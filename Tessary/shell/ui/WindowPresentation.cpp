#include "Tessary/shell/ui/WindowPresentation.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "Platform/X11/X11WindowActivation.h"

namespace tessary {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Asks again once the window is on screen, then goes: one per window at a time.
class ExposeWatch final : public QObject {
public:
    ExposeWatch(QWindow* window, QWidget* widget) : QObject(window), widget_(widget) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !window->isExposed()) return false;
        window->removeEventFilter(this);
        deleteLater();
        xcb_connection_t* connection = x11Connection();
        if (widget_ && widget_->isVisible() && connection) {
            X11WindowActivation::bringForward(connection, xcb_window_t(widget_->winId()));
        }
        return false;
    }

private:
    QPointer<QWidget> widget_;
};

}  // namespace

void presentWindow(QWidget& window, const std::function<void()>& show) {
    // Our request first, Qt's own after it on the same connection. Asked by Qt first (the map
    // request that un-minimises, the activation of show() and of the controllers), a window manager
    // switches the user to the desktop the window is on before our request brings the window here:
    // kwin counts a window on another desktop as minimised, and so does Qt then.
    xcb_connection_t* connection = x11Connection();
    const bool asked = connection && window.windowHandle() &&
                       X11WindowActivation::bringForward(connection, xcb_window_t(window.winId()));
    if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    if (show) {
        show();
    } else {
        window.show();
    }
    window.raise();
    window.activateWindow();

    QWindow* handle = window.windowHandle();
    if (asked || !connection || !handle) return;
    // A window the window manager does not manage yet (being mapped, or mapped again after a
    // close) is asked for once it is on screen.
    if (!handle->isExposed() && !handle->findChild<ExposeWatch*>(QString(), Qt::FindDirectChildrenOnly)) {
        new ExposeWatch(handle, &window);
    }
}

}  // namespace tessary
