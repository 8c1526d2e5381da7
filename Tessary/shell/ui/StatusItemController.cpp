#include "Tessary/shell/ui/StatusItemController.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>

#include <limits>

#include "Platform/Linux/ProcessMemory.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/ClosedWindowRelease.h"
#include "Tessary/shell/ui/LayoutTileList.h"
#include "Tessary/shell/ui/MenuRows.h"
#include "Tessary/shell/ui/PlainText.h"

namespace tessary {

namespace {

// The open menu's own keys. A popup's items get no key shortcuts from Qt (only the window that is
// active has them, and a popup never is), so the menu acts on the keys it shows itself: Ctrl+Q
// quits and Ctrl+, opens the settings from anywhere in the open menu, as a click on the item does.
//
// Some styles also close a popup menu on a bare Alt press. While the menu is open the global
// shortcuts are matched on the keys it takes, and most of them hold Alt: closing on the Alt would
// end that matching before the rest of the combination arrives, losing it.
class MenuKeys final : public QObject {
public:
    MenuKeys(QMenu* root, QObject* parent) : QObject(parent), root_(root) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt) return true;
        const QKeySequence typed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
        QAction* item = itemWithKeys(root_, typed);
        if (!item) return false;
        // As a click does: the menus close, then the item acts.
        for (int open = 0; open < 8; ++open) {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) break;
            menu->close();
        }
        root_->close();
        item->trigger();
        return true;
    }

private:
    static QAction* itemWithKeys(const QMenu* menu, const QKeySequence& typed) {
        for (QAction* action : menu->actions()) {
            if (!action->isEnabled() || !action->isVisible()) continue;
            if (!action->shortcut().isEmpty() && action->shortcut() == typed) return action;
            if (const QMenu* submenu = action->menu()) {
                if (QAction* found = itemWithKeys(submenu, typed)) return found;
            }
        }
        return nullptr;
    }

    QMenu* root_;
};

}  // namespace

QKeySequence menuKeySequence(const std::string& keyEquivalent) {
    if (keyEquivalent.empty()) return {};
    return QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(keyEquivalent).toUpper());
}

QString menuText(const std::string& text) { return menuItemText(QString::fromStdString(text)); }

QIcon StatusItemController::drawIcon(bool withUpdateDot, const QColor& accent) {
    return applicationTrayIcon(withUpdateDot, accent);
}

StatusItemController::StatusItemController(Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), menu_(std::make_unique<QMenu>()) {
    // What screen readers call the menu.
    menu_->setAccessibleName(QStringLiteral("Tessary"));
    tray_ = new QSystemTrayIcon(this);
    tray_->setToolTip(QStringLiteral("Tessary"));
    tray_->setIcon(drawIcon(false, QApplication::palette().color(QPalette::Highlight)));
    tray_->setContextMenu(menu_.get());
    menuKeys_ = new MenuKeys(menu_.get(), this);
    menu_->installEventFilter(menuKeys_);
    menu_->installEventFilter(this);
    handClicksToHostedRows(*menu_);
    connect(menu_.get(), &QMenu::aboutToShow, this, &StatusItemController::rebuildMenu);
    // A left click opens the same menu at the pointer, as a right click does; with the menu open,
    // a click that reaches the icon closes it (one the menu takes is handled in eventFilter()).
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        watchIconWidget();
        if (reason == QSystemTrayIcon::Trigger) openOrClose();
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        log_.info("no system tray yet; the icon appears when one starts");
    }
    tray_->show();
}

bool StatusItemController::awaitShown(Scheduler& scheduler, std::chrono::milliseconds limit) {
    // Only a tray that embeds a window of ours shows it; a D-Bus host draws the icon itself.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    if (hooks_.statusNotifierHost && hooks_.statusNotifierHost()) return false;
    QEventLoop loop;
    // Qt makes the embedded widget on the loop, under this name; its first paint is the icon drawn.
    // The loop ends on the turn after, once the paint has reached the X server.
    struct Painted final : QObject {
        explicit Painted(QEventLoop& loop) : loop_(loop) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (!shown && event->type() == QEvent::Paint && watched->objectName() == QLatin1String("QSystemTrayIconSys")) {
                shown = true;
                QMetaObject::invokeMethod(&loop_, &QEventLoop::quit, Qt::QueuedConnection);
            }
            return false;
        }
        QEventLoop& loop_;
        bool shown = false;
    } painted(loop);
    // Only while the program starts, before anything else runs.
    qApp->installEventFilter(&painted);
    ScheduledTask timeout = scheduler.schedule(limit, [&loop] { loop.quit(); });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    scheduler.cancel(timeout);
    qApp->removeEventFilter(&painted);
    if (!painted.shown) log_.info("the tray has not shown the icon yet; starting without waiting for it");
    return painted.shown;
}

StatusItemController::~StatusItemController() {
    tray_->setContextMenu(nullptr);
    for (auto& object : opening_) delete object.data();
}

QMenu* StatusItemController::programKeys() {
    if (!programKeys_) {
        programKeys_ = std::make_unique<QMenu>();
        for (const StatusMenuItem& item : StatusMenuModel::build(StatusMenuInputs{})) {
            if (item.keyEquivalent.empty()) continue;
            auto* action = new QAction(menuText(item.text), programKeys_.get());
            action->setShortcut(menuKeySequence(item.keyEquivalent));
            programKeys_->addAction(action);
        }
    }
    return programKeys_.get();
}

void StatusItemController::updateStatusButton(bool updatePending) {
    if (updateDot_ == updatePending) return;
    updateDot_ = updatePending;
    tray_->setIcon(drawIcon(updatePending, QApplication::palette().color(QPalette::Highlight)));
}

void StatusItemController::rebuildMenu() {
    dropOpening();
    monitor_ = Rect::null();
    if (!hooks_.readInputs) return;
    const StatusMenuInputs inputs = hooks_.readInputs();
    auto items = StatusMenuModel::build(inputs);
    if (hooks_.statusNotifierHost && hooks_.statusNotifierHost()) items = StatusMenuModel::withoutWidgetRows(std::move(items));
    addItems(menu_.get(), items);
    fitLayoutRows(availableHeight(inputs.displays));
}

void StatusItemController::dropOpening() {
    // QMenu::clear() deletes the actions it owns but not submenus or hosted widgets: delete all
    // that the last opening made.
    menu_->clear();
    for (auto& object : opening_) delete object.data();
    opening_.clear();
    layoutRows_.clear();
}

int StatusItemController::availableHeight(const std::vector<DisplayInfo>& displays) {
    // The monitor under the pointer, where the menu opens, from the program's own display list
    // (Qt may see one screen across several monitors; its work area leaves out the panels), and
    // the screen Qt keeps the menu in.
    const QPoint pointer = QCursor::pos();
    const double ratio = qApp->devicePixelRatio();
    int height = std::numeric_limits<int>::max();
    for (const DisplayInfo& display : displays) {
        if (display.frame.contains(Point{pointer.x() * ratio, pointer.y() * ratio})) {
            height = static_cast<int>(display.workArea.height() / ratio);
            monitor_ = Rect(display.frame.x() / ratio, display.frame.y() / ratio, display.frame.width() / ratio,
                            display.frame.height() / ratio);
        }
    }
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) height = std::min(height, screen->availableGeometry().height());
    if (monitor_.isNull() && screen) {
        const QRect area = screen->geometry();
        monitor_ = Rect(area.x(), area.y(), area.width(), area.height());
    }
    return height == std::numeric_limits<int>::max() ? 768 : height;
}

void StatusItemController::fitLayoutRows(int availableHeight) {
    if (layoutRows_.empty()) return;
    // The rest of the menu as it will show, without the rows.
    for (HostedRowAction* host : layoutRows_) host->setVisible(false);
    int room = availableHeight - menu_->sizeHint().height();
    std::vector<int> needed;
    for (HostedRowAction* host : layoutRows_) {
        auto* row = static_cast<DisplayLayoutsRow*>(host->row());
        room -= row->heightWithoutTiles();
        needed.push_back(row->tileRowCount());
    }
    const int rowHeight = LayoutTileList::tileHeight + LayoutTileList::spacing;
    const auto shown = StatusMenuModel::tileRowsShown(needed, std::max(0, room) / rowHeight, mostTileRows);
    for (std::size_t i = 0; i < layoutRows_.size(); ++i) {
        static_cast<DisplayLayoutsRow*>(layoutRows_[i]->row())->setVisibleTileRows(shown[i]);
        layoutRows_[i]->setVisible(true);
    }
}

void StatusItemController::watchIconWidget() {
    if (iconWidget_) return;
    // The window Qt embeds in an XEmbed tray, made once a tray is there; none under a D-Bus host.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys")) {
            iconWidget_ = widget;
            widget->installEventFilter(this);
            return;
        }
    }
}

bool StatusItemController::eventFilter(QObject* watched, QEvent* event) {
    // The icon has no double click. Qt takes a click within the double-click time of the one before
    // (the icon clicked again just after its menu closed) for the second of one and opens nothing,
    // with either button: it opens or closes the menu, as any click does.
    if (watched == iconWidget_ && event->type() == QEvent::MouseButtonDblClick) {
        openOrClose();
        return true;
    }
    if (watched != menu_.get()) return false;
    switch (event->type()) {
        case QEvent::Show:
            // Before it is mapped: it maps where it is moved to.
            placeBesideIcon();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The open menu takes every click. One on its icon closes it, and Qt must not hand that
            // click on to the icon once it has closed: the icon would open it again at once.
            if (isOnIcon(static_cast<QMouseEvent*>(event)->globalPosition().toPoint())) {
                menu_->setAttribute(Qt::WA_NoMouseReplay);
                menu_->close();
                return true;
            }
            break;
        case QEvent::Hide:
            // A menu a D-Bus tray host shows is never hidden as a widget, and its items must stay
            // until the host is done with them.
            if (!menu_->isVisible()) scheduleRelease();
            break;
        default: break;
    }
    return false;
}

void StatusItemController::openOrClose() {
    if (menu_->isVisible()) {
        menu_->close();
    } else {
        menu_->popup(QCursor::pos());
    }
}

QRect StatusItemController::iconRect() {
    watchIconWidget();
    if (!iconWidget_ || !iconWidget_->isVisible()) return {};
    return QRect(iconWidget_->mapToGlobal(QPoint(0, 0)), iconWidget_->size());
}

bool StatusItemController::isOnIcon(const QPoint& global) {
    return !menu_->geometry().contains(global) && iconRect().contains(global);
}

void StatusItemController::placeBesideIcon() {
    // Clicks outside it reach what lies there again, as Qt hands them on.
    menu_->setAttribute(Qt::WA_NoMouseReplay, false);
    const QRect icon = iconRect();
    if (icon.isEmpty() || monitor_.isNull()) return;
    const QRect placed = menu_->geometry();
    const Rect beside = StatusMenuModel::menuBesideIcon(Rect(placed.x(), placed.y(), placed.width(), placed.height()),
                                                        Rect(icon.x(), icon.y(), icon.width(), icon.height()), monitor_);
    const QPoint at(static_cast<int>(beside.x()), static_cast<int>(beside.y()));
    if (at != placed.topLeft()) menu_->move(at);
}

void StatusItemController::scheduleRelease() {
    if (releasePending_) return;
    releasePending_ = true;
    // After the event that closed it: the chosen item acts after the menu hides.
    QMetaObject::invokeMethod(this, [this] { releaseClosedMenu(); }, Qt::QueuedConnection);
}

void StatusItemController::releaseClosedMenu() {
    releasePending_ = false;
    if (menu_->isVisible()) return;
    // An item still acting may wait in a dialog of its own, with the item and its menu on the
    // stack under it: what the opening made stays until it is done.
    if (acting_ > 0) {
        releaseAfterActing_ = true;
        return;
    }
    dropOpening();
    ClosedWindowRelease::release(*menu_);
    // The font engines stay, as a closed window's do: the next opening draws with them, and
    // loading them again took it some 3 ms.
    ProcessMemory::returnToSystem();
}

void StatusItemController::choose(const MenuAction& action) {
    if (action.closesMenu) menu_->close();
    if (!hooks_.perform) return;
    ++acting_;
    hooks_.perform(action);
    if (--acting_ == 0 && releaseAfterActing_) {
        releaseAfterActing_ = false;
        scheduleRelease();
    }
}

void StatusItemController::addItems(QMenu* menu, const std::vector<StatusMenuItem>& items) {
    for (const StatusMenuItem& item : items) {
        switch (item.kind) {
            case StatusMenuItem::Kind::separator: {
                QAction* separator = menu->addSeparator();
                opening_.emplace_back(separator);
                break;
            }
            case StatusMenuItem::Kind::submenu: {
                auto* submenu = new QMenu(menuText(item.text), menu);
                opening_.emplace_back(submenu);
                submenu->installEventFilter(menuKeys_);
                addItems(submenu, item.children);
                menu->addMenu(submenu);
                break;
            }
            case StatusMenuItem::Kind::layoutRow: {
                const DisplayInfo display = *item.display;
                auto* row = new DisplayLayoutsRow(
                    QString::fromStdString(item.text),
                    item.currentLayoutName ? std::optional(QString::fromStdString(*item.currentLayoutName)) : std::nullopt,
                    item.layouts, item.selectedLayoutID, [this, display](const ZoneLayout& layout) {
                        MenuAction action;
                        action.kind = MenuAction::Kind::assignLayout;
                        action.display = display;
                        action.layoutID = layout.id;
                        action.closesMenu = true;
                        choose(action);
                    });
                auto* host = new HostedRowAction(row, QString::fromStdString(item.accessibilityLabel), menu);
                opening_.emplace_back(host);
                layoutRows_.push_back(host);
                menu->addAction(host);
                break;
            }
            case StatusMenuItem::Kind::twoLineRow: {
                const MenuAction action = item.action;
                auto* row = new TwoLineMenuRow(QString::fromStdString(item.text), QString::fromStdString(item.subtitle),
                                               [this, action] { choose(action); });
                auto* host = new HostedRowAction(row, QString::fromStdString(item.text), menu);
                opening_.emplace_back(host);
                menu->addAction(host);
                break;
            }
            case StatusMenuItem::Kind::action: {
                auto* action = new QAction(menuText(item.text), menu);
                opening_.emplace_back(action);
                action->setEnabled(item.enabled);
                action->setCheckable(item.checkable);
                action->setChecked(item.checked);
                action->setShortcut(menuKeySequence(item.keyEquivalent));
                if (item.boundName && hooks_.bindShortcut) {
                    hooks_.bindShortcut(action, ShortcutNames::named(*item.boundName));
                }
                const MenuAction chosen = item.action;
                if (chosen.kind != MenuAction::Kind::none) {
                    connect(action, &QAction::triggered, this, [this, chosen] { choose(chosen); });
                }
                menu->addAction(action);
                break;
            }
        }
    }
}

}  // namespace tessary
