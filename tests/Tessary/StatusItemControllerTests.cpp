#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QWidgetAction>

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
                                      [&](QAction*, const std::string& name) { bound.push_back(name); }, false});
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
    StatusItemController controller({[] { return StatusMenuInputs{}; }, {}, {}, false});
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
