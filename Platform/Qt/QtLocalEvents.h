#pragma once

// The program's own events, offered by the program's application (QtApplication) or, under another
// application object, through an application-wide event filter: it sees every key press and
// release (also those a popup menu takes, before the menu does) and mouse releases, in order, and
// can stop them. Qt offers an event to the application's filters once per receiver on its way (the
// window, then the focus widget or the widget under the pointer, and its parents): each event
// reaches the monitors once, and its later offers get the same answer.
//
// Menu tracking: the first QMenu popup shown begins it, the last one hidden or destroyed ends it;
// submenus opening and closing in between change nothing. It begins once the popup holds the
// keyboard (Qt grabs it after the menu's Show event, before its ShowToParent): until then a key
// pressed goes to whoever else holds it, so those who give up a key grab while a menu is open must
// not do so earlier, or a key pressed as the menu opens reaches neither.

#include "Platform/KeyboardLayout.h"
#include "Platform/LocalEvents.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace tessary {

class QtLocalEvents final : public QObject, public LocalEvents {
public:
    // Needs a QCoreApplication; the keyboard names native key codes by their Carbon codes.
    explicit QtLocalEvents(KeyboardLayout& keyboard);
    ~QtLocalEvents() override;

    Subscription addMonitor(LocalEventMask types, Handler handler) override;
    bool isMenuTracking() const override { return !openMenus_.empty(); }
    Subscription onMenuTracking(std::function<void(bool)> handler) override {
        return tracking_.subscribe(std::move(handler));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Monitor {
        std::uint64_t id;
        LocalEventMask types;
        std::shared_ptr<Handler> handler;
    };
    // Runs the monitors; false when one consumed the event.
    bool deliver(const LocalEvent& event);
    // Whether the receiver is the next stop of the event last offered.
    bool isOnTheWay(QObject* receiver) const;
    void menuShown(QObject* menu);
    void menuGone(QObject* menu);

    KeyboardLayout& keyboard_;
    std::shared_ptr<std::vector<Monitor>> monitors_ = std::make_shared<std::vector<Monitor>>();
    std::uint64_t nextID_ = 0;
    std::set<QObject*> openMenus_;
    Signal<bool> tracking_;
    // The event last offered and whether it went on, so that its later offers answer alike.
    const QEvent* lastEvent_ = nullptr;
    QEvent::Type lastType_ = QEvent::None;
    std::uint64_t lastTimestamp_ = 0;
    Point lastLocation_;
    QPointer<QObject> lastReceiver_;
    bool lastPassed_ = true;
};

}  // namespace tessary
