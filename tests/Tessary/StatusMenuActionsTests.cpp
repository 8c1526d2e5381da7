#include <gtest/gtest.h>

#include <cmath>

#include <QAction>
#include <QMenu>
#include <QWidgetAction>

#include "Tessary/shell/ui/LayoutTileList.h"
#include "Tessary/shell/ui/MenuRows.h"
#include "Tessary/shell/ui/StatusItemController.h"
#include "Tessary/shell/ui/StatusMenuActions.h"
#include "tests/Tessary/AppWorld.h"

using namespace tessary;
using tessary::testing::AppWorld;

namespace {

// The tray menu over a launched delegate, its host a StatusNotifier one while `notifierHost` says so.
struct MenuWorld {
    MenuWorld() {
        delegate.zones().updateLibrary([&](LayoutLibrary& library) { library.layouts.push_back(halves); });
    }
    StatusMenuInputs inputs() {
        StatusMenuInputs in;
        in.displays = DisplayProvider::displays();
        in.library = delegate.zones().library();
        in.workspaces = delegate.workspaces().library();
        return in;
    }
    QAction* item(QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) return action;
        }
        return nullptr;
    }

    AppWorld world;
    AppDelegate& delegate = world.launched();
    ZoneLayout halves{UUID::random(), "Halves & Co", LayoutKind(ZoneGrid::uniform(2, 1)), 0, 0, std::nullopt, Date(0)};
    bool notifierHost = false;
    StatusItemController controller{{[this] { return inputs(); },
                                     [this](const MenuAction& action) { performStatusMenuAction(delegate, action); },
                                     {},
                                     [this] { return notifierHost; }}};
};

}  // namespace

// A chosen layout shows its zones only when the user asked for that; "Show Zones" always shows.
TEST(StatusMenuActions, AChosenLayoutFlashesByTheSettingAndShowZonesAlways) {
    struct Row {
        const char* name;
        bool flashOnLayoutChange;
        bool notifierHost;
        bool tileShows;
    };
    const Row rows[] = {
        {"setting on, widget rows", true, false, true},
        {"setting off, widget rows", false, false, false},
        {"setting on, plain submenu", true, true, true},
        {"setting off, plain submenu", false, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MenuWorld w;
        w.notifierHost = row.notifierHost;
        w.delegate.preferences().setFlashOnLayoutChange(row.flashOnLayoutChange);
        w.controller.rebuildMenu();
        if (row.notifierHost) {
            QAction* display = w.item(w.controller.menu(), "MAIN \u00B7 Quarters");
            ASSERT_TRUE(display && display->menu());
            QAction* choice = w.item(display->menu(), "Halves && Co");
            ASSERT_NE(choice, nullptr);
            choice->trigger();
        } else {
            auto* host = qobject_cast<QWidgetAction*>(w.controller.menu()->actions()[0]);
            ASSERT_NE(host, nullptr);
            auto* row0 = qobject_cast<DisplayLayoutsRow*>(host->defaultWidget());
            ASSERT_NE(row0, nullptr);
            row0->tileList()->chooseTile(1);
        }
        EXPECT_EQ(w.delegate.zones().library().layout(w.world.main.displayKey())->id, w.halves.id);
        EXPECT_EQ(w.delegate.overlay().isShowing(), row.tileShows);

        w.delegate.overlay().hide();
        w.controller.rebuildMenu();
        w.item(w.controller.menu(), "Show Zones")->trigger();
        EXPECT_TRUE(w.delegate.overlay().isShowing());
    }
}

// The host is asked at each opening: a StatusNotifier host gets no widget rows (D-Bus cannot carry
// them) but a submenu per display with its layout checked; an XEmbed tray gets the rows back.
TEST(StatusMenuActions, TheMenuFollowsTheTrayHostAtEachOpening) {
    MenuWorld w;
    auto widgetRows = [&] {
        int rows = 0;
        for (QAction* action : w.controller.menu()->actions()) rows += qobject_cast<QWidgetAction*>(action) != nullptr;
        return rows;
    };
    w.controller.rebuildMenu();
    EXPECT_EQ(widgetRows(), 2);

    w.notifierHost = true;
    w.controller.rebuildMenu();
    EXPECT_EQ(widgetRows(), 0);
    for (const char* display : {"MAIN \u00B7 Quarters", "SIDE \u00B7 Quarters"}) {
        SCOPED_TRACE(display);
        QAction* submenu = w.item(w.controller.menu(), display);
        ASSERT_TRUE(submenu && submenu->menu());
        std::vector<std::pair<QString, bool>> choices;
        for (QAction* choice : submenu->menu()->actions()) choices.emplace_back(choice->text(), choice->isChecked());
        EXPECT_EQ(choices, (std::vector<std::pair<QString, bool>>{{"Quarters", true}, {"Halves && Co", false}}));
    }

    w.notifierHost = false;
    w.controller.rebuildMenu();
    EXPECT_EQ(widgetRows(), 2);
}

// Most desktop entries name no window class: a calculator's window (class "gnome-calculator") is
// told by the program its entry runs. The notice names it as the entry does, and excluding the
// entry's id (what the installed list stores) leaves its windows alone.
TEST(StatusMenuActions, AWindowIsNamedAndExcludedAsTheEntryItBelongsTo) {
    MenuWorld menu;
    AppWorld& world = menu.world;
    world.launcher.install(tessary::testing::desktopEntry("org.gnome.Calculator", "Calculator", "gnome-calculator"));
    constexpr ProcessID calculatorPID = 300;
    world.applications.addApplication({calculatorPID, "gnome-calculator", "gnome-calculator", ActivationPolicy::regular, false});
    const WindowHandle calculator = world.addWindow(calculatorPID, Rect(10, 10, 300, 200), "Calculator");
    world.accessibility.window(calculator.element).minimumSize = Size{600, 300};
    world.applications.setFrontmost(calculatorPID);
    world.accessibility.setFocusedWindow(calculatorPID, calculator.element);

    MenuAction snap;
    snap.kind = MenuAction::Kind::snapToZone;
    snap.zoneIndex = 0;
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    ASSERT_EQ(world.notices.lines().size(), 1u);
    EXPECT_TRUE(world.notices.lines()[0].starts_with("Window too large for this zone: Calculator needs 600 "))
        << world.notices.lines()[0];

    world.notices.clear();
    world.accessibility.window(calculator.element).minimumSize = Size{0, 0};
    menu.delegate.preferences().setExcludedBundleIDs({"org.gnome.Calculator"});
    const Rect before = world.frameOf(calculator);
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_EQ(world.frameOf(calculator), before) << "an excluded application's window was moved";
}

// A zone chosen in the menu for a window too large for it is told in a notice, whose action opens
// the layout editor; the same from a URL. A window the window manager does not move is told too;
// a zone the layout lacks is not.
TEST(StatusMenuActions, AWindowTooLargeForTheChosenZoneIsToldInANotice) {
    MenuWorld menu;
    AppWorld& world = menu.world;
    world.launcher.install("org.example.Editor", "Text Editor");
    const WindowHandle wide = world.addWindow(AppWorld::editorPID, Rect(10, 10, 300, 200), "Wide");
    world.accessibility.window(wide.element).minimumSize = Size{600, 300};
    world.applications.setFrontmost(AppWorld::editorPID);
    world.accessibility.setFocusedWindow(AppWorld::editorPID, wide.element);

    MenuAction snap;
    snap.kind = MenuAction::Kind::snapToZone;
    snap.zoneIndex = 0;
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    const std::string told = "Window too large for this zone: Text Editor needs 600 px; this zone is 500 px. Choose a "
                             "larger zone, or give this display a layout with larger zones. [Edit Layouts…]";
    ASSERT_EQ(world.notices.lines(), std::vector<std::string>{told});
    EXPECT_EQ(world.made("editor"), 0);
    world.notices.act(0);
    EXPECT_EQ(world.made("editor"), 1);

    EXPECT_FALSE(world.integrations->urlCommands().handle("tessary://snap?zone=1"));
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_EQ(world.notices.lines().back(), told);

    // Tried again at once with a zone it fits (two shortcuts 40 ms apart): the failure is moot.
    world.notices.clear();
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(std::chrono::milliseconds(40));
    world.accessibility.window(wide.element).minimumSize = Size{0, 0};
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(10 * AppDelegate::snapFailureGrace);
    EXPECT_TRUE(world.notices.posted().empty()) << ::testing::PrintToString(world.notices.lines());

    // Tried again at once, whatever comes of it (here a zone the layout lacks): the failure's notice
    // would be about a shortcut that is not the last. A snap of another window leaves it.
    world.accessibility.window(wide.element).minimumSize = Size{600, 300};
    snap.zoneIndex = 0;
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(std::chrono::milliseconds(40));
    MenuAction missing = snap;
    missing.zoneIndex = 7;
    performStatusMenuAction(menu.delegate, missing);
    world.scheduler.advance(10 * AppDelegate::snapFailureGrace);
    EXPECT_TRUE(world.notices.posted().empty()) << ::testing::PrintToString(world.notices.lines());
    performStatusMenuAction(menu.delegate, snap);
    const WindowHandle other = world.addWindow(AppWorld::editorPID, Rect(600, 10, 100, 100), "Other");
    EXPECT_TRUE(menu.delegate.zones().snap(other, 1));
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_EQ(world.notices.lines(), std::vector<std::string>{told});
    world.notices.clear();
    world.accessibility.window(wide.element).minimumSize = Size{0, 0};
    performStatusMenuAction(menu.delegate, snap);

    world.accessibility.window(wide.element).movable = false;
    world.accessibility.window(wide.element).resizable = false;
    snap.zoneIndex = 1;
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_EQ(world.notices.lines(), std::vector<std::string>{"Window not moved into the zone: The app did not accept "
                                                              "the new size or position."});

    // A zone the layout does not have is no news for a notice.
    world.notices.clear();
    snap.zoneIndex = 7;
    performStatusMenuAction(menu.delegate, snap);
    EXPECT_TRUE(world.notices.posted().empty());
}

// A window of one fixed size that fits the zone is centred in it, as the "centre windows that cannot
// fill" setting asks: the snap did what the user's setting says, so nothing is told, from the menu
// or a URL. With the setting off the same window stays at the zone's corner, and that is told.
TEST(StatusMenuActions, AFixedSizeWindowCentredInAZoneItFitsIsToldNothing) {
    MenuWorld menu;
    AppWorld& world = menu.world;
    const WindowHandle fixed = world.addWindow(AppWorld::editorPID, Rect(10, 10, 300, 200), "Fixed");
    world.accessibility.window(fixed.element).minimumSize = Size{300, 200};
    world.accessibility.window(fixed.element).maximumSize = Size{300, 200};
    world.applications.setFrontmost(AppWorld::editorPID);
    world.accessibility.setFocusedWindow(AppWorld::editorPID, fixed.element);
    const std::vector<Zone> zones = menu.delegate.zones().zones(world.main);

    MenuAction snap;
    snap.kind = MenuAction::Kind::snapToZone;
    snap.zoneIndex = 0;
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    const Rect zone = zones[0].rect;
    EXPECT_EQ(menu.delegate.zones().engine().frame(fixed),
              Rect(zone.minX() + std::round((zone.width() - 300) / 2), zone.minY() + std::round((zone.height() - 200) / 2),
                   300, 200));
    EXPECT_TRUE(world.notices.posted().empty()) << ::testing::PrintToString(world.notices.lines());
    // A script still hears that the window did not take the zone's size.
    EXPECT_FALSE(world.integrations->urlCommands().handle("tessary://snap?zone=2").hasValue());
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_TRUE(world.notices.posted().empty()) << ::testing::PrintToString(world.notices.lines());

    menu.delegate.preferences().setCenterUnresizableWindows(false);
    performStatusMenuAction(menu.delegate, snap);
    world.scheduler.advance(AppDelegate::snapFailureGrace);
    EXPECT_EQ(menu.delegate.zones().engine().frame(fixed), Rect(zone.origin, Size{300, 200}));
    EXPECT_EQ(world.notices.lines(), std::vector<std::string>{"Window not moved into the zone: The app did not accept "
                                                              "the new size or position."});
}
