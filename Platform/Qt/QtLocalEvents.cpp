#include "Platform/Qt/QtLocalEvents.h"

#include "Platform/Qt/QtApplication.h"
#include "Platform/Qt/QtModifiers.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace tessary {

QtLocalEvents::QtLocalEvents(KeyboardLayout& keyboard) : keyboard_(keyboard) {
    // The program's application offers only the input events; under another one, an
    // application-wide filter sees them, with every other event of the main thread.
    if (auto* application = dynamic_cast<QtApplication*>(QCoreApplication::instance())) {
        application->setInputReader(this);
    } else {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

QtLocalEvents::~QtLocalEvents() {
    auto* application = QCoreApplication::instance();
    if (auto* ours = dynamic_cast<QtApplication*>(application); ours && ours->inputReader() == this) {
        ours->setInputReader(nullptr);
    } else if (application) {
        application->removeEventFilter(this);
    }
}

Subscription QtLocalEvents::addMonitor(LocalEventMask types, Handler handler) {
    const std::uint64_t id = ++nextID_;
    monitors_->push_back(Monitor{id, types, std::make_shared<Handler>(std::move(handler))});
    std::weak_ptr<std::vector<Monitor>> weak = monitors_;
    return Subscription([weak, id] {
        if (auto monitors = weak.lock()) std::erase_if(*monitors, [id](const Monitor& m) { return m.id == id; });
    });
}

bool QtLocalEvents::deliver(const LocalEvent& event) {
    LocalEvent current = event;
    const std::vector<Monitor> snapshot = *monitors_;
    for (const Monitor& monitor : snapshot) {
        if (!(monitor.types & localEventBit(current.type))) continue;
        auto result = (*monitor.handler)(current);
        if (!result) return false;
        current = *result;
    }
    return true;
}

bool QtLocalEvents::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ShowToParent || type == QEvent::Hide) {
        if (auto* menu = qobject_cast<QMenu*>(watched); menu && menu->isWindow()) {
            if (type == QEvent::ShowToParent) {
                menuShown(menu);
            } else {
                menuGone(menu);
            }
        }
        return false;
    }
    LocalEvent local;
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        local.type = type == QEvent::KeyPress ? LocalEventType::keyDown : LocalEventType::keyUp;
        local.nativeKeyCode = key->nativeScanCode();
        local.carbonKeyCode = keyboard_.carbonKeyCode(key->nativeScanCode());
        local.keySymbol = key->nativeVirtualKey();
        local.carbonModifiers = carbonModifiersFromQt(key->modifiers());
        local.isRepeat = key->isAutoRepeat();
    } else if (type == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) return false;
        local.type = mouse->button() == Qt::LeftButton ? LocalEventType::leftMouseUp : LocalEventType::rightMouseUp;
        local.location = Point{mouse->globalPosition().x(), mouse->globalPosition().y()};
        local.carbonModifiers = carbonModifiersFromQt(mouse->modifiers());
    } else {
        return false;
    }
    const auto timestamp = static_cast<const QInputEvent*>(event)->timestamp();
    // The window passes a key on as it is; a mouse release it passes on as a new event for the
    // widget under the pointer, at the same time and place.
    const bool isKey = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    const bool sameMouseRelease = !isKey && timestamp != 0 && local.location == lastLocation_;
    const bool again = type == lastType_ && timestamp == lastTimestamp_ &&
                       (event == lastEvent_ ? isOnTheWay(watched) : sameMouseRelease);
    if (again) {
        lastEvent_ = event;
        lastReceiver_ = watched;
        return !lastPassed_;
    }
    lastEvent_ = event;
    lastType_ = type;
    lastTimestamp_ = timestamp;
    lastLocation_ = local.location;
    lastReceiver_ = watched;
    lastPassed_ = deliver(local);
    return !lastPassed_;
}

bool QtLocalEvents::isOnTheWay(QObject* receiver) const {
    // An event is offered to its window, then to the focus widget, then to each parent in turn.
    QObject* last = lastReceiver_;
    if (!last || last == receiver) return false;
    if (auto* window = qobject_cast<QWindow*>(last)) {
        auto* widget = qobject_cast<QWidget*>(receiver);
        return widget && widget->window()->windowHandle() == window;
    }
    auto* widget = qobject_cast<QWidget*>(last);
    return widget && widget->parentWidget() == receiver;
}

void QtLocalEvents::menuShown(QObject* menu) {
    if (!openMenus_.insert(menu).second) return;
    connect(menu, &QObject::destroyed, this, [this, menu] { menuGone(menu); });
    if (openMenus_.size() == 1) tracking_.emit(true);
}

void QtLocalEvents::menuGone(QObject* menu) {
    if (!openMenus_.erase(menu)) return;
    disconnect(menu, &QObject::destroyed, this, nullptr);
    if (openMenus_.empty()) tracking_.emit(false);
}

}  // namespace tessary
