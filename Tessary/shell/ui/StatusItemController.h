#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Tessary/shell/StatusMenuModel.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace tessary {

class HostedRowAction;

// The tray icon and its menu. The menu is emptied and built again from StatusMenuModel every time
// it is about to open, from the state `readInputs` gives at that moment; a chosen item's
// MenuAction goes to `perform`. Between openings only the icon's update dot follows the updater.
//
// Every object an opening makes (actions, submenus, hosted rows) is owned by that opening and
// deleted once the menu has closed and its chosen item is done (it acts after the menu hides, and
// may wait in a dialog of its own), or at the next opening; the closed menu's X window and image go too, and the freed heap goes back
// to the system, so what a large library's opening took is given back (the fonts it drew with stay).
//
// The menu fits the monitor under the pointer: each display's row shows up to `mostTileRows` rows of
// tiles and scrolls the rest, and when the displays' rows together would not fit, they give up rows
// in turn, the tallest first, never below one.
//
// The menu opens beside its icon, never over it, and a click on the icon while it is open closes
// it, as tray menus on Linux desktops do.
//
// Tray hosts that export menus over D-Bus (StatusNotifier) cannot show widgets in menus: there
// each display's row becomes a submenu of layouts and the two-line rows plain items. Without any
// tray host the program runs on (logged once); Qt shows the icon when a host appears.
class StatusItemController final : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        std::function<StatusMenuInputs()> readInputs;
        std::function<void(const MenuAction&)> perform;
        // Shows a global shortcut name's combination on an action and follows its changes. The
        // program's names come with their defaults (ShortcutNames::named).
        std::function<void(QAction*, const GlobalShortcuts::Name& name)> bindShortcut;
        // Whether the tray host takes menus over D-Bus, asked at every opening: the host can
        // change while the program runs. None: an XEmbed tray, which shows widget rows.
        std::function<bool()> statusNotifierHost;
    };

    explicit StatusItemController(Hooks hooks, QObject* parent = nullptr);
    ~StatusItemController() override;

    // Draws or removes the update dot on the icon.
    void updateStatusButton(bool updatePending);
    bool showsUpdateDot() const { return updateDot_; }

    // Empties the menu and builds it again; runs on every opening.
    void rebuildMenu();
    QMenu* menu() const { return menu_.get(); }
    // The items whose keys the open menu shows and acts on (Settings…, Quit Tessary), in a menu of
    // their own that is never shown: what shortcut recorders check new shortcuts against.
    QMenu* programKeys();
    QSystemTrayIcon* trayIcon() const { return tray_; }

    // Runs the loop until the tray has shown the icon (its embedded window drawn), or for at most
    // `limit`; at once when no tray embeds a window of ours (none runs, or a D-Bus host draws the
    // icon itself). The user's clicks and keys wait meanwhile, for the main loop: a menu opened this
    // early reads the state only once there is one. True when the icon was shown.
    bool awaitShown(Scheduler& scheduler, std::chrono::milliseconds limit);

    // The icon: a 3 x 3 grid legible on light and dark panels, with the update dot when asked.
    static QIcon drawIcon(bool withUpdateDot, const QColor& accent);

    // The most rows of tiles a display's row shows before its tiles scroll.
    static constexpr int mostTileRows = 6;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addItems(QMenu* menu, const std::vector<StatusMenuItem>& items);
    void choose(const MenuAction& action);
    void dropOpening();
    // Gives each display's row as many rows of tiles as the menu has room for.
    void fitLayoutRows(int availableHeight);
    // The height the menu has on the monitor under the pointer; the monitor goes to monitor_.
    int availableHeight(const std::vector<DisplayInfo>& displays);
    void scheduleRelease();
    void releaseClosedMenu();
    // Follows the clicks on the icon's own window, once Qt has made it.
    void watchIconWidget();
    // What a click that reaches the icon does: opens the menu at the pointer, or closes it.
    void openOrClose();
    // Where the tray shows the icon (Qt's global coordinates); empty when no tray embeds it.
    QRect iconRect();
    // Whether a click there, outside the open menu, is on the icon.
    bool isOnIcon(const QPoint& global);
    // Moves the menu about to be shown off its icon.
    void placeBesideIcon();

    Hooks hooks_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* tray_;
    QPointer<QWidget> iconWidget_;
    // What the current opening made; deleted once the menu has closed, or at the next opening.
    std::vector<QPointer<QObject>> opening_;
    std::vector<HostedRowAction*> layoutRows_;
    bool releasePending_ = false;
    // Items acting now (one may open the menu again from a dialog, and choose another).
    int acting_ = 0;
    bool releaseAfterActing_ = false;
    std::unique_ptr<QMenu> programKeys_;
    // The open menus' keys: their items' own, and a bare Alt that keeps them open.
    QObject* menuKeys_ = nullptr;
    bool updateDot_ = false;
    // The monitor the menu opens on (Qt's logical pixels), found as it is built.
    Rect monitor_ = Rect::null();
    Logger log_{"StatusItem"};
};

// A menu key equivalent ("q", ",") with Ctrl, the program's menu modifier; empty for none.
QKeySequence menuKeySequence(const std::string& keyEquivalent);

// Escapes the mnemonic marker so that a name shows as written in a menu ("R&D" stays "R&D").
QString menuText(const std::string& text);

}  // namespace tessary
