#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QWidgetAction>

#include <map>

#include "Tessary/keyboard/ShortcutNames.h"
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
    row->tiles()[0]->click();
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
    const QPoint beside(place.right() - 4, row->mapTo(menu, row->tiles().back()->geometry().center()).y());
    ASSERT_EQ(menu->childAt(beside), row) << "the point is on the row itself";
    QTest::mouseMove(menu, beside);
    QTest::mouseClick(menu->childAt(beside), Qt::LeftButton, Qt::NoModifier, row->mapFrom(menu, beside));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(performed.empty());

    QTest::mouseClick(row->tiles()[0], Qt::LeftButton);
    EXPECT_EQ(performed, std::vector<MenuAction::Kind>{MenuAction::Kind::assignLayout});
    EXPECT_FALSE(menu->isVisible()) << "a tile closes the menu";
}
