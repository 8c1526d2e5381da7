#include "Tessary/shell/ui/WindowCentring.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include <cmath>

#include "Tessary/shell/OwnWindowPlacement.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

constexpr const char* placedProperty = "tessaryPlaced";

// Qt keeps a screen's origin in device pixels and divides its size by the ratio.
QScreen* screenHolding(QPointF points) {
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const double ratio = screen->devicePixelRatio();
        const QRectF native(logical.topLeft(), QSizeF(logical.size()) * ratio);
        if (native.contains(points)) return screen;
    }
    return QGuiApplication::primaryScreen();
}

double ratioOf(const QScreen* screen) { return screen ? screen->devicePixelRatio() : 1.0; }

Point toPoints(QPoint logical) {
    const QScreen* screen = QGuiApplication::screenAt(logical);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {double(logical.x()), double(logical.y())};
    const QPoint origin = screen->geometry().topLeft();
    const double ratio = ratioOf(screen);
    return {origin.x() + (logical.x() - origin.x()) * ratio, origin.y() + (logical.y() - origin.y()) * ratio};
}

QPoint toLogical(Point points) {
    const QScreen* screen = screenHolding(QPointF(points.x, points.y));
    if (!screen) return QPoint(int(std::lround(points.x)), int(std::lround(points.y)));
    const QPoint origin = screen->geometry().topLeft();
    const double ratio = ratioOf(screen);
    return QPoint(int(std::lround(origin.x() + (points.x - origin.x()) / ratio)),
                  int(std::lround(origin.y() + (points.y - origin.y()) / ratio)));
}

// The window's frame as the desktop sees it, in points; before its first showing, its own size.
Rect frameInPoints(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const double ratio = ratioOf(window.screen());
    const Point origin = toPoints(frame.topLeft());
    return Rect(origin, Size{frame.width() * ratio, frame.height() * ratio});
}

// Qt has placed the alert over its own screen when the Show event comes, and maps it after the
// event; an alert that sizes itself in its own show handler (QMessageBox) is resized after this
// filter ran, so it is centred again on each resize until the event loop next turns.
class CentreOnShow final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->isWindow() || event->spontaneous()) return false;
        if (event->type() == QEvent::Show) {
            settling_ = true;
            centreOnPointerDisplay(*widget);
            QMetaObject::invokeMethod(this, [this] { settling_ = false; }, Qt::QueuedConnection);
        } else if (event->type() == QEvent::Resize && settling_) {
            centreOnPointerDisplay(*widget);
        }
        return false;
    }

private:
    bool settling_ = false;
};

}  // namespace

void centreOnPointerDisplay(QWidget& window) {
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    const auto display = OwnWindowPlacement::displayFor(toPoints(QCursor::pos()), displays);
    window.setProperty(placedProperty, true);
    if (!display) {
        // No display list (no screens back end): Qt's primary screen is all there is.
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        QRect frame(QPoint(), window.frameGeometry().size());
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
        return;
    }
    const Rect frame = OwnWindowPlacement::centred(frameInPoints(window).size, *display);
    window.move(toLogical(frame.origin));
}

void placeOnPointerDisplay(QWidget& window) {
    if (window.isVisible()) return;
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    // Without a display list nothing says where it was left is wrong.
    if (window.property(placedProperty).toBool() &&
        (displays.empty() || OwnWindowPlacement::insideOneDisplay(frameInPoints(window), displays))) {
        return;
    }
    centreOnPointerDisplay(window);
}

void centreWhenShown(QWidget& alert) {
    if (alert.parentWidget()) return;
    alert.installEventFilter(new CentreOnShow(&alert));
}

}  // namespace tessary
