#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/Workspace.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// What a menu item does when chosen, as data: the tray menu's controller carries it out. Values
// an item needs (the display and layout of a tile, the workspace as the menu saw it, a zone index)
// travel with it, so choosing an item acts on what the menu showed.
struct MenuAction {
    enum class Kind {
        none,
        showOnboarding,
        assignLayout,
        snapToZone,
        flashZones,
        restoreAllWindows,
        restoreWorkspace,
        saveWorkspace,
        showEditor,
        checkForUpdates,
        askForReview,
        showAbout,
        sendFeedback,
        showSettings,
        quit,
    };

    Kind kind = Kind::none;
    std::int64_t zoneIndex = 0;             // snapToZone
    std::optional<DisplayInfo> display;     // assignLayout
    std::optional<UUID> layoutID;           // assignLayout
    std::optional<Workspace> workspace;     // restoreWorkspace
    // Rows hosted in the menu close it themselves before acting.
    bool closesMenu = false;

    friend bool operator==(const MenuAction&, const MenuAction&) = default;
};

// One item of the tray menu. Texts are shown exactly as they stand: names of layouts, displays and
// workspaces are the user's data and never pass through a translation or markup.
struct StatusMenuItem {
    enum class Kind { action, separator, submenu, layoutRow, twoLineRow };

    Kind kind = Kind::action;
    std::string text;
    std::string subtitle;                  // twoLineRow
    std::optional<std::string> boundName;  // the global shortcut shown beside the item
    std::string keyEquivalent;             // with Ctrl: "," or "q"
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    MenuAction action;
    std::vector<StatusMenuItem> children;  // submenu

    // layoutRow: one display's row of tiles.
    std::optional<DisplayInfo> display;
    std::optional<std::string> currentLayoutName;
    std::vector<ZoneLayout> layouts;
    std::optional<UUID> selectedLayoutID;
    std::string accessibilityLabel;
};

// The state the menu is built from at each opening.
struct StatusMenuInputs {
    bool windowControlGranted = true;
    std::vector<DisplayInfo> displays;
    LayoutLibrary library;
    WorkspaceLibrary workspaces;
    std::optional<std::string> pendingUpdateVersion;
    bool updaterConfigured = false;
    // The updater exists and can check right now.
    bool updaterCanCheck = false;
    bool offerReview = false;
};

namespace StatusMenuModel {

// The shortcut names the zone items show: zones 1 to 9.
std::vector<std::string> snapToZoneNames();
// The shortcut name of a saved workspace.
std::string workspaceShortcutName(const UUID& id);

// The whole menu, top to bottom.
std::vector<StatusMenuItem> build(const StatusMenuInputs& inputs);

// How many rows of tiles each display's row shows, given the rows of tiles each needs for the whole
// library and the rows that fit in the room the menu has for them: each shows all of its rows up to
// `most`; while together they do not fit, the row showing the most gives up one (the first of
// equals), down to one row each, which is shown even when it does not fit. A row with no tiles shows none.
std::vector<int> tileRowsShown(const std::vector<int>& needed, int fit, int most);

// Where the menu opens so that it leaves its icon in sight (a click on the icon then reaches the
// icon): `placed` where it would open, moved beside the icon when it covers it: below it, else above,
// else to its left, else to its right, the first of these that lies inside the monitor. Unmoved when
// it covers nothing of the icon or none fits.
Rect menuBesideIcon(const Rect& placed, const Rect& icon, const Rect& monitor);

// The menu for tray hosts that cannot show widgets in menus: each layout row becomes a submenu of
// the display's layouts with the current one checked, each two-line row a plain item.
std::vector<StatusMenuItem> withoutWidgetRows(std::vector<StatusMenuItem> items);

}  // namespace StatusMenuModel

}  // namespace tessary
