#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidgetAction>

#include <functional>
#include <map>
#include <set>

#include "Platform/Qt/QtScheduler.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/shell/ui/LayoutTileList.h"
#include "Tessary/shell/ui/MenuRows.h"
#include "Tessary/shell/ui/StatusItemController.h"
#include "QtApplication.h"
#include "TestWorld.h"

using namespace tessary;
using tessary::testing::makeDisplay;

namespace {

StatusMenuInputs threeDisplays() {
    StatusMenuInputs inputs;
    inputs.displays = {makeDisplay(1, "Built-in Display", Rect(0, 0, 1440, 900)),
                       makeDisplay(2, "DELL U2720Q", Rect(1440, 0, 2560, 1440)),
                       makeDisplay(3, "HDMI-1", Rect(4000, 0, 1920, 1080))};
    for (auto [kind, count, name] : {std::tuple{LayoutTemplate::columns, 2, "Halves"}, {LayoutTemplate::columns, 3, "Thirds"},
                                     {LayoutTemplate::grid, 4, "Quarters"}, {LayoutTemplate::focus, 3, "Focus"}}) {
        inputs.library.layouts.emplace_back(kind, count, name);
    }
    inputs.library.assign(inputs.library.layouts[1].id, inputs.displays[1].displayKey());
    Workspace coding;
    coding.name = "R&D";
    inputs.workspaces.workspaces = {coding};
    return inputs;
}

}  // namespace

TEST(StatusItemController, EachOpeningRebuildsTheMenuAndKeepsNothingOfTheLast) {
    qttest::qtApplication();
    std::vector<MenuAction::Kind> performed;
    std::vector<std::string> bound;
    StatusItemController controller({[] { return threeDisplays(); },
                                      [&](const MenuAction& action) { performed.push_back(action.kind); },
                                      [&](QAction*, const GlobalShortcuts::Name& name) { bound.push_back(name.rawValue); },
                                      {}});
    controller.rebuildMenu();
    const auto children = controller.menu()->findChildren<QObject*>().size();
    for (int i = 0; i < 1000; ++i) controller.rebuildMenu();
    EXPECT_EQ(controller.menu()->findChildren<QObject*>().size(), children);

    const auto actions = controller.menu()->actions();
    int rows = 0;
    for (QAction* action : actions) rows += qobject_cast<QWidgetAction*>(action) != nullptr;
    EXPECT_EQ(rows, 3) << "a row per display";
    QMenu* workspaces = nullptr;
    for (QAction* action : actions) {
        if (action->text() == "Workspaces") workspaces = action->menu();
    }
    ASSERT_NE(workspaces, nullptr);
    EXPECT_EQ(workspaces->actions()[0]->text(), "R&&D") << "the name shows as written, no mnemonic";
    EXPECT_EQ(actions.back()->shortcut(), QKeySequence("Ctrl+Q"));

    bound.clear();
    controller.rebuildMenu();
    EXPECT_EQ(bound.size(), 3u + 3u + 1u) << "zones 1-3 (the most a display shows), three commands, one workspace";

    auto* row = qobject_cast<DisplayLayoutsRow*>(qobject_cast<QWidgetAction*>(controller.menu()->actions()[1])->defaultWidget());
    ASSERT_NE(row, nullptr);
    row->tileList()->chooseTile(0);
    controller.menu()->actions().back()->trigger();
    EXPECT_EQ(performed, (std::vector<MenuAction::Kind>{MenuAction::Kind::assignLayout, MenuAction::Kind::quit}));

    controller.menu()->resize(controller.menu()->sizeHint());
    qttest::screenshot(*controller.menu(), "view-blocks", "tray-menu-three-displays");
}

TEST(StatusItemController, TheUpdateDotIsDrawnOnceAndRemoved) {
    qttest::qtApplication();
    StatusItemController controller({[] { return StatusMenuInputs{}; }, {}, {}, {}});
    EXPECT_FALSE(controller.showsUpdateDot());
    controller.updateStatusButton(true);
    controller.updateStatusButton(true);
    EXPECT_TRUE(controller.showsUpdateDot());
    const QImage dotted = StatusItemController::drawIcon(true, Qt::blue).pixmap(22, 22).toImage();
    const QImage plain = StatusItemController::drawIcon(false, Qt::blue).pixmap(22, 22).toImage();
    EXPECT_EQ(dotted.pixelColor(22 - 2 - 3, 3 + 3), QColor(Qt::blue)) << "6 px dot, 2 from the right, 3 from the top";
    EXPECT_NE(plain.pixelColor(22 - 2 - 3, 3 + 3), QColor(Qt::blue));
    controller.updateStatusButton(false);
    EXPECT_FALSE(controller.showsUpdateDot());
}

// Most global shortcuts hold Alt, and while the menu is open they are matched on the keys it takes:
// a menu that closed on the Alt would lose the rest of the combination.
TEST(StatusItemController, TheMenuStaysOpenOnABareAltAndClosesOnEscape) {
    qttest::qtApplication();
    StatusItemController controller({[] { return threeDisplays(); }, {}, {}, {}});
    QMenu* menu = controller.menu();
    menu->popup(QPoint(0, 0));
    ASSERT_TRUE(menu->isVisible());
    QMenu* workspaces = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == "Workspaces") workspaces = action->menu();
    }
    ASSERT_NE(workspaces, nullptr);
    workspaces->popup(QPoint(300, 0));
    for (QMenu* open : {workspaces, menu}) {
        QKeyEvent alt(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        QApplication::sendEvent(open, &alt);
        EXPECT_TRUE(open->isVisible());
    }
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(menu, &escape);
    EXPECT_FALSE(menu->isVisible());
}

// A popup's items get no key shortcuts from Qt: the open menu acts on the keys it shows itself,
// from a submenu too, and closes as a click on the item would close it.
TEST(StatusItemController, TheOpenMenuActsOnTheKeysItShows) {
    qttest::qtApplication();
    for (const auto& [key, expected] : {std::pair{Qt::Key_Q, MenuAction::Kind::quit},
                                        std::pair{Qt::Key_Comma, MenuAction::Kind::showSettings}}) {
        std::vector<MenuAction::Kind> performed;
        StatusItemController controller(
            {[] { return threeDisplays(); }, [&](const MenuAction& action) { performed.push_back(action.kind); }, {}, {}});
        QMenu* menu = controller.menu();
        menu->popup(QPoint(0, 0));
        QMenu* workspaces = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == "Workspaces") workspaces = action->menu();
        }
        ASSERT_NE(workspaces, nullptr);
        workspaces->popup(QPoint(300, 0));
        QKeyEvent plain(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(workspaces, &plain);
        EXPECT_TRUE(performed.empty()) << "the key alone is not the item's";
        QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(workspaces, &press);
        EXPECT_EQ(performed, std::vector<MenuAction::Kind>{expected});
        EXPECT_FALSE(menu->isVisible());
        EXPECT_FALSE(workspaces->isVisible());
    }
}

// What recorders check new shortcuts against: the items with keys, never the rest of the menu.
TEST(StatusItemController, TheProgramsKeysAreTheSettingsAndQuitItems) {
    qttest::qtApplication();
    StatusItemController controller({[] { return threeDisplays(); }, {}, {}, {}});
    std::vector<std::pair<QString, QKeySequence>> items;
    for (QAction* action : controller.programKeys()->actions()) items.emplace_back(action->text(), action->shortcut());
    EXPECT_EQ(items, (std::vector<std::pair<QString, QKeySequence>>{{QString::fromUtf8("Settings…"), QKeySequence("Ctrl+,")},
                                                                    {"Quit Tessary", QKeySequence("Ctrl+Q")}}));
}

// Before window control is granted no hot key is registered, and the tray's items are the first to
// show the names: they come with their defaults, so the defaults are stored and shown at once.
TEST(StatusItemController, TheProgramsNamesReachTheMenuWithTheirDefaults) {
    qttest::qtApplication();
    std::map<std::string, std::optional<Shortcut>> bound;
    StatusItemController controller({[] { return threeDisplays(); }, {},
                                     [&](QAction*, const GlobalShortcuts::Name& name) {
                                         bound[name.rawValue] = name.initialShortcut;
                                     },
                                     {}});
    controller.rebuildMenu();
    for (const GlobalShortcuts::Name& name : {ShortcutNames::showZones(), ShortcutNames::restoreAllWindows(),
                                              ShortcutNames::openEditor(), ShortcutNames::snapToZone(0)}) {
        ASSERT_TRUE(bound.count(name.rawValue)) << name.rawValue;
        EXPECT_TRUE(bound[name.rawValue].has_value()) << name.rawValue;
        EXPECT_EQ(bound[name.rawValue], name.initialShortcut) << name.rawValue;
    }
    const std::string workspace = "workspace." + threeDisplays().workspaces.workspaces[0].id.uuidString();
    ASSERT_TRUE(bound.count(workspace));
    EXPECT_FALSE(bound[workspace].has_value()) << "a workspace's name has no default";
}

// A display's row acts only through its tiles: a click beside them leaves the menu open and does
// nothing, as a click on a menu's separator does. Long shortcuts make the menu wider than a row's
// 300 pixels, as the program's do; the row's place in the menu is all the row's.
TEST(StatusItemController, AClickBesideALayoutRowsTilesKeepsTheMenuOpen) {
    qttest::qtApplication();
    std::vector<MenuAction::Kind> performed;
    StatusItemController controller({[] { return threeDisplays(); },
                                     [&](const MenuAction& action) { performed.push_back(action.kind); },
                                     [](QAction* action, const GlobalShortcuts::Name&) {
                                         action->setShortcut(QKeySequence("Ctrl+Alt+Shift+Meta+Backspace"));
                                     },
                                     {}});
    QMenu* menu = controller.menu();
    menu->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QAction* rowAction = menu->actions()[1];
    auto* row = qobject_cast<DisplayLayoutsRow*>(qobject_cast<QWidgetAction*>(rowAction)->defaultWidget());
    ASSERT_NE(row, nullptr);
    const QRect place = menu->actionGeometry(rowAction);
    ASSERT_GT(place.width(), 320) << "the menu is wider than a row's 300 pixels";
    EXPECT_EQ(row->geometry(), place) << "the row fills its place";
    // The right end of the row's place, level with the last tile (alone on the second line).
    LayoutTileList* tiles = row->tileList();
    const QPoint beside(place.right() - 4, tiles->mapTo(menu, tiles->tileRect(tiles->tileCount() - 1).center()).y());
    ASSERT_EQ(menu->childAt(beside), row) << "the point is on the row itself";
    QTest::mouseMove(menu, beside);
    QTest::mouseClick(menu->childAt(beside), Qt::LeftButton, Qt::NoModifier, row->mapFrom(menu, beside));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(performed.empty());

    QTest::mouseClick(tiles->viewport(), Qt::LeftButton, Qt::NoModifier,
                      tiles->viewport()->mapFrom(tiles, tiles->tileRect(0).center()));
    EXPECT_EQ(performed, std::vector<MenuAction::Kind>{MenuAction::Kind::assignLayout});
    EXPECT_FALSE(menu->isVisible()) << "a tile closes the menu";
}

// --- A large library: the menu fits, the keys and screen readers reach every tile -------------------

namespace {

// Two 1920x1080 displays (the pointer on the first) sharing a generated library, the second
// display's layout far down the list.
StatusMenuInputs library(int layouts, int displays = 2, double height = 1080) {
    StatusMenuInputs inputs;
    for (int i = 0; i < displays; ++i) {
        inputs.displays.push_back(makeDisplay(std::uint32_t(i + 1), "Display " + std::to_string(i + 1),
                                              Rect(1920.0 * i, 0, 1920, height)));
    }
    for (int i = 0; i < layouts; ++i) {
        inputs.library.layouts.emplace_back(LayoutTemplate::allCases[std::size_t(i) % 5], 2 + i % 5,
                                            "Layout " + std::to_string(i + 1));
    }
    inputs.library.assign(inputs.library.layouts[std::size_t(layouts * 7 / 9)].id, inputs.displays.back().displayKey());
    return inputs;
}

std::vector<DisplayLayoutsRow*> layoutRows(QMenu* menu) {
    std::vector<DisplayLayoutsRow*> rows;
    for (QAction* action : menu->actions()) {
        if (auto* host = qobject_cast<QWidgetAction*>(action)) {
            if (auto* row = qobject_cast<DisplayLayoutsRow*>(host->defaultWidget())) rows.push_back(row);
        }
    }
    return rows;
}

void press(QMenu* menu, Qt::Key key) {
    QTest::keyClick(menu->windowHandle(), key);
    QApplication::processEvents();
}

// The menu of `inputs`, open, recording what its items do.
struct OpenMenu {
    explicit OpenMenu(StatusMenuInputs shown)
        : inputs(std::move(shown)),
          controller({[this] { return inputs; }, [this](const MenuAction& action) { performed.push_back(action); }, {}, {}}) {
        open();
    }
    void open() {
        controller.menu()->popup(QPoint(0, 0));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(controller.menu()));
    }
    QMenu* menu() const { return controller.menu(); }
    std::vector<MenuAction::Kind> kinds() const {
        std::vector<MenuAction::Kind> all;
        for (const MenuAction& action : performed) all.push_back(action.kind);
        return all;
    }

    StatusMenuInputs inputs;
    std::vector<MenuAction> performed;
    StatusItemController controller;
};

}  // namespace

// From 100 layouts the rows ran off the bottom of the screen with no way to the rest. Each row now
// shows as many rows of tiles as there is room for (six at most) and scrolls the rest, the
// display's own layout in sight; the displays share the room.
TEST(StatusItemController, TheMenuFitsTheMonitorAtAnyNumberOfLayouts) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        int layouts, displays;
        double height;
        bool allShown;
    };
    const Row rows[] = {
        {"10 layouts", 10, 1, 1080, true},
        {"100 layouts", 100, 2, 1080, false},
        {"1,000 layouts", 1000, 2, 1080, false},
        {"1,000 layouts, three displays on 768 pixels", 1000, 3, 768, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const StatusMenuInputs inputs = library(row.layouts, row.displays, row.height);
        StatusItemController controller({[&] { return inputs; }, {}, {}, {}});
        QCursor::setPos(10, 10);
        QMenu* menu = controller.menu();
        menu->popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        // The monitor, or the smaller screen the test platform has.
        const int room = std::min(int(row.height), QGuiApplication::primaryScreen()->availableGeometry().height());
        EXPECT_LE(menu->height(), room) << "the menu is taller than the monitor";
        EXPECT_LT(menu->width(), 500) << "one column of items";
        const auto shown = layoutRows(menu);
        ASSERT_EQ(shown.size(), std::size_t(row.displays));
        int most = 0, least = 1000;
        for (DisplayLayoutsRow* each : shown) {
            const int visible = each->tileList()->visibleRows();
            EXPECT_GE(visible, 1);
            EXPECT_LE(visible, std::min(6, each->tileRowCount()));
            EXPECT_EQ(visible == each->tileRowCount(), row.allShown);
            most = std::max(most, visible);
            least = std::min(least, visible);
        }
        EXPECT_LE(most - least, 1) << "the displays share the room";
        // The last display's layout, far down the library, is in sight.
        LayoutTileList* last = shown.back()->tileList();
        const int chosen = row.layouts * 7 / 9;
        ASSERT_TRUE(last->isTileSelected(chosen));
        EXPECT_TRUE(last->isTileInSight(chosen)) << "the chosen tile is at " << last->tileRect(chosen).y();
        EXPECT_TRUE(last->isVisible());
        if (row.layouts == 100) qttest::screenshot(*menu, "view-blocks", "tray-menu-100-layouts");
        menu->hide();
    }
}

// Arrow keys reach every tile: the menu's Down enters a row at its display's layout, Left and Right
// step through the tiles (scrolling them into sight), Down past the last row goes on to the next
// item, and Return chooses the tile the keyboard is on.
TEST(StatusItemController, KeysReachEveryTileAndChooseOne) {
    qttest::qtApplication();
    OpenMenu open(library(100));
    QMenu* menu = open.menu();
    const std::vector<MenuAction>& performed = open.performed;
    const auto rows = layoutRows(menu);
    ASSERT_EQ(rows.size(), 2u);
    // Down enters the first display's tiles, goes down their rows and on to the second display's.
    LayoutTileList* tiles = rows[1]->tileList();
    int downs = 0;
    for (; downs < 60 && !tiles->hasFocus(); ++downs) press(menu, Qt::Key_Down);
    ASSERT_TRUE(tiles->hasFocus()) << "the second display's tiles never took the keys";
    EXPECT_EQ(downs, 1 + rows[0]->tileRowCount()) << "Down went through the first display's rows";
    const int chosen = 100 * 7 / 9;
    EXPECT_EQ(tiles->focusedTile(), chosen) << "the keys start at the display's layout";

    std::set<int> reached{tiles->focusedTile()};
    for (int i = 0; i < 100; ++i) {
        press(menu, Qt::Key_Right);
        reached.insert(tiles->focusedTile());
        ASSERT_TRUE(tiles->isTileInSight(tiles->focusedTile())) << "tile " << tiles->focusedTile();
    }
    for (int i = 0; i < 100; ++i) {
        press(menu, Qt::Key_Left);
        reached.insert(tiles->focusedTile());
        ASSERT_TRUE(tiles->isTileInSight(tiles->focusedTile())) << "tile " << tiles->focusedTile();
    }
    EXPECT_EQ(reached.size(), 100u) << "Left and Right reach every tile";
    EXPECT_TRUE(tiles->hasFocus()) << "a key that leads nowhere left the tiles";
    press(menu, Qt::Key_Down);
    EXPECT_EQ(tiles->focusedTile(), 3) << "Down moves a row";
    press(menu, Qt::Key_Up);
    press(menu, Qt::Key_Up);
    EXPECT_TRUE(rows[0]->tileList()->hasFocus()) << "Up from the first row goes to the item above";
    while (!tiles->hasFocus() && downs-- > 0) press(menu, Qt::Key_Down);
    EXPECT_EQ(tiles->focusedTile(), 0) << "the tiles keep their place";
    press(menu, Qt::Key_Right);
    ASSERT_TRUE(performed.empty()) << "moving chooses nothing";
    press(menu, Qt::Key_Return);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].kind, MenuAction::Kind::assignLayout);
    EXPECT_EQ(performed[0].layoutID, open.inputs.library.layouts[1].id);
    EXPECT_EQ(performed[0].display->identifier, "Display 2");
    EXPECT_FALSE(menu->isVisible());
}

namespace {

// Every accessible below `node`, depth first, as a screen reader walks the tree.
void walk(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit, int depth = 0) {
    ASSERT_LT(depth, 12);
    visit(node);
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->parent(), node) << "a child does not name its parent: "
                                         << child->text(QAccessible::Name).toStdString();
        walk(child, visit, depth + 1);
    }
}

}  // namespace

// Screen readers met each display's row as a nameless menu item without children. From the menu
// they now reach every tile, named after its layout and selected for the display's layout, and
// nothing they can act on is nameless; selecting a tile chooses its layout, pressing the update
// row runs it.
TEST(StatusItemController, ScreenReadersReachEveryTileFromTheMenu) {
    qttest::qtApplication();
    StatusMenuInputs inputs = library(40);
    inputs.library.layouts[5].name = "Columns";
    inputs.library.assign(inputs.library.layouts[5].id, inputs.displays[0].displayKey());
    inputs.pendingUpdateVersion = "2.0";
    inputs.offerReview = true;
    inputs.windowControlGranted = false;
    OpenMenu open(inputs);
    QMenu* menu = open.menu();

    std::vector<std::string> nameless, items;
    std::map<std::string, std::vector<std::string>> tilesByRow;
    std::string row;
    walk(QAccessible::queryAccessibleInterface(menu), [&](QAccessibleInterface* node) {
        const QAccessible::Role role = node->role();
        const std::string name = node->text(QAccessible::Name).toStdString();
        const bool acts = node->state().focusable || (node->actionInterface() && !node->actionInterface()->actionNames().isEmpty());
        if (acts && role != QAccessible::Separator && name.empty()) nameless.push_back(std::to_string(int(role)));
        if (role == QAccessible::MenuItem && node->parent()->object() == menu) {
            items.push_back(name);
            row = name;
        }
        if (role == QAccessible::ListItem) {
            const QAccessible::State state = node->state();
            EXPECT_TRUE(state.selectable) << name;
            if (state.selected) tilesByRow[row].push_back(name + ", selected");
            else tilesByRow[row].push_back(name);
        }
    });
    EXPECT_TRUE(nameless.empty()) << "nameless elements of roles " << ::testing::PrintToString(nameless);
    ASSERT_GE(items.size(), 4u);
    EXPECT_EQ(items[1], "Display 1: Columns");
    EXPECT_EQ(items[2], "Display 2: Layout 32");
    ASSERT_EQ(tilesByRow["Display 1: Columns"].size(), 40u);
    EXPECT_EQ(tilesByRow["Display 1: Columns"][5], "Columns, selected");
    EXPECT_EQ(tilesByRow["Display 1: Columns"][6], "Layout 7");
    EXPECT_EQ(tilesByRow["Display 2: Layout 32"][31], "Layout 32, selected");
    EXPECT_NE(std::find(items.begin(), items.end(), "Tessary 2.0 is available"), items.end());

    // A screen reader selects the ninth tile of the first display: that is choosing it.
    QAccessibleInterface* menuAccess = QAccessible::queryAccessibleInterface(menu);
    QAccessibleInterface* list = menuAccess->child(2)->child(0)->child(1);
    ASSERT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->text(QAccessible::Name), "Layouts");
    QAccessibleInterface* ninth = list->child(8);
    ASSERT_TRUE(ninth->actionInterface());
    ninth->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(open.kinds(), std::vector<MenuAction::Kind>{MenuAction::Kind::assignLayout});
    QApplication::processEvents();

    // The update row is pressed as a button.
    open.performed.clear();
    open.open();
    menuAccess = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; i < menuAccess->childCount(); ++i) {
        QAccessibleInterface* item = menuAccess->child(i);
        if (item->text(QAccessible::Name) != "Tessary 2.0 is available") continue;
        ASSERT_TRUE(item->actionInterface());
        item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(open.kinds(), std::vector<MenuAction::Kind>{MenuAction::Kind::checkForUpdates});
}

// A menu of 1,000 layouts kept all it made until the next opening. Once it has closed (after the
// event that closed it) its rows, its items and its X window are gone.
TEST(StatusItemController, AClosedMenuGivesBackWhatItsOpeningMade) {
    qttest::qtApplication();
    OpenMenu open(library(1000));
    QMenu* menu = open.menu();
    for (int opening = 0; opening < 2; ++opening) {
        if (opening > 0) open.open();
        ASSERT_EQ(layoutRows(menu).size(), 2u);
        // Chosen by a click: the item acts after the menu hid, before anything is dropped.
        QAction* about = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == "About Tessary") about = action;
        }
        ASSERT_NE(about, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(about).center());
        EXPECT_FALSE(menu->isVisible());
        EXPECT_EQ(open.performed.size(), std::size_t(opening + 1));
        QApplication::processEvents();
        EXPECT_TRUE(menu->actions().isEmpty());
        EXPECT_TRUE(menu->findChildren<QWidget*>().isEmpty()) << "rows are left";
        EXPECT_EQ(menu->windowHandle(), nullptr) << "the closed menu keeps its X window";
    }
    EXPECT_EQ(open.kinds(), (std::vector<MenuAction::Kind>{MenuAction::Kind::showAbout, MenuAction::Kind::showAbout}));
}

// The update and review rows are reached by the keys as the items are; Return on one did nothing
// but close the menu (the menu took it as choosing an item without an action).
TEST(StatusItemController, ReturnOnATwoLineRowRunsIt) {
    qttest::qtApplication();
    StatusMenuInputs inputs = library(4, 1);
    inputs.pendingUpdateVersion = "2.0";
    OpenMenu open(inputs);
    QMenu* menu = open.menu();
    for (int i = 0; i < 20 && !qobject_cast<TwoLineMenuRow*>(QApplication::focusWidget()); ++i) press(menu, Qt::Key_Down);
    ASSERT_NE(qobject_cast<TwoLineMenuRow*>(QApplication::focusWidget()), nullptr) << "the keys never reached the row";
    press(menu, Qt::Key_Return);
    EXPECT_EQ(open.kinds(), std::vector<MenuAction::Kind>{MenuAction::Kind::checkForUpdates});
    EXPECT_FALSE(menu->isVisible());
}

// "Save Current Windows…" asks for a name in a dialog of its own, from inside the submenu item's
// action: what the opening made stays until the item is done, and goes then.
TEST(StatusItemController, AnItemWaitingInADialogKeepsItsMenuUntilItIsDone) {
    qttest::qtApplication();
    bool keptWhileWaiting = false;
    StatusItemController* controllerInDialog = nullptr;
    StatusItemController controller({[] { return threeDisplays(); },
                                      [&](const MenuAction&) {
                                          // A dialog's own loop, long enough for the menu's release to come due.
                                          QEventLoop dialog;
                                          QTimer::singleShot(50, &dialog, &QEventLoop::quit);
                                          dialog.exec();
                                          keptWhileWaiting = !controllerInDialog->menu()->actions().isEmpty();
                                      },
                                      {}, {}});
    controllerInDialog = &controller;
    QMenu* menu = controller.menu();
    menu->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    // By the keys, as the submenu opens from its item: Workspaces, Right, the last item.
    for (int i = 0; i < 20 && !(menu->activeAction() && menu->activeAction()->text() == "Workspaces"); ++i) {
        press(menu, Qt::Key_Down);
    }
    ASSERT_TRUE(menu->activeAction() && menu->activeAction()->menu());
    press(menu, Qt::Key_Right);
    QMenu* workspaces = menu->activeAction()->menu();
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspaces->isVisible(); }));
    press(menu, Qt::Key_Up);
    ASSERT_EQ(workspaces->activeAction(), workspaces->actions().back());
    press(menu, Qt::Key_Return);
    EXPECT_TRUE(keptWhileWaiting) << "the menu was emptied under the acting item";
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->actions().isEmpty(); }, 2000)) << "the menu kept its items";
}

// Without a tray that embeds the icon (none runs here), the start does not wait for it: the
// documents and services would come up only after the limit.
TEST(StatusItemController, WithoutATrayTheStartDoesNotWaitForTheIcon) {
    qttest::qtApplication();
    StatusItemController item({[] { return StatusMenuInputs{}; }, [](const MenuAction&) {}, {}, {}});
    QtScheduler scheduler;
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(item.awaitShown(scheduler, std::chrono::seconds(5)));
    EXPECT_LT(waited.elapsed(), 1000);
}
