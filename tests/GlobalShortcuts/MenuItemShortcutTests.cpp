#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "GlobalShortcuts/ui/MenuItemShortcut.h"
#include "tests/GlobalShortcuts/ShortcutsWorld.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

const QKeySequence kQuit(Qt::ControlModifier | Qt::Key_Q);

class MenuItemShortcuts : public ::testing::Test, public ShortcutsWorld {
protected:
    MenuItemShortcuts() { action.setShortcut(kQuit); }
    // What the menu shows: the text and the action's own key sequence.
    std::string shown() const {
        return action.text().toStdString() + " [" + action.shortcut().toString().toStdString() + "]";
    }
    QApplication& application = qttest::qtApplication();  // before any action
    QAction action{"Show Zones"};
    GlobalShortcuts& g = *shortcuts;
};

TEST_F(MenuItemShortcuts, ABoundItemFollowsItsNameAndFallsBackToItsOwnKeys) {
    const GlobalShortcuts::Name showZones("showZones");
    const GlobalShortcuts::Name other("other");
    const struct {
        const char* name;
        std::function<void()> step;
        std::string shown;
    } steps[] = {
        {"bound to a name without a shortcut", [&] { bindMenuItemShortcut(g, &action, showZones); }, "Show Zones [Ctrl+Q]"},
        {"a shortcut recorded for it", [&] { g.setShortcut(Shortcut(Key::rightArrow, kControlAlt | carbon::cmdKey), showZones); },
         "Show Zones\tCtrl+Alt+Super+Right []"},
        {"another name changes", [&] { g.setShortcut(Shortcut(Key::x, kControlAlt), other); },
         "Show Zones\tCtrl+Alt+Super+Right []"},
        {"a keypad key", [&] { g.setShortcut(Shortcut(Key::keypad1, carbon::controlKey), showZones); },
         "Show Zones\tCtrl+Num 1 []"},
        {"rebound to another name keeps the first fallback", [&] { bindMenuItemShortcut(g, &action, other); },
         "Show Zones\tCtrl+Alt+X []"},
        {"its shortcut removed", [&] { g.setShortcut(std::nullopt, other); }, "Show Zones [Ctrl+Q]"},
        {"unbound", [&] {
             g.setShortcut(Shortcut(Key::x, kControlAlt), other);
             bindMenuItemShortcut(g, &action, std::nullopt);
         }, "Show Zones [Ctrl+Q]"},
        {"no longer following", [&] { g.setShortcut(Shortcut(Key::y, kControlAlt), other); }, "Show Zones [Ctrl+Q]"},
        {"set directly", [&] { setMenuItemShortcut(g, &action, Shortcut(Key::z, kControlAlt)); }, "Show Zones\tCtrl+Alt+Z []"},
        {"cleared directly: no fallback", [&] { setMenuItemShortcut(g, &action, std::nullopt); }, "Show Zones []"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        s.step();
        EXPECT_EQ(shown(), s.shown);
    }
}

// An item must not promise a combination that does nothing: while another program holds it, the
// item shows no shortcut, and it shows it again once the module gets it.
TEST_F(MenuItemShortcuts, AnItemShowsNoShortcutWhileAnotherProgramHoldsIt) {
    const GlobalShortcuts::Name zone2("snapToZone2", Shortcut(Key::two, kControlAlt));
    hotKeys.takenByOthers.insert({Key::two.rawValue, kControlAlt});
    g.onKeyDown(zone2, [] {});
    bindMenuItemShortcut(g, &action, zone2);
    EXPECT_EQ(shown(), "Show Zones [Ctrl+Q]");

    hotKeys.takenByOthers.clear();
    g.retryRefused();
    EXPECT_EQ(shown(), "Show Zones\tCtrl+Alt+2 []") << "the other program let go";

    hotKeys.lose(Key::two.rawValue, kControlAlt);
    EXPECT_EQ(shown(), "Show Zones [Ctrl+Q]") << "taken again after a keyboard change";
}

TEST_F(MenuItemShortcuts, BindingsEndWithTheirItemsWhenAMenuIsRebuiltAtEveryOpening) {
    const GlobalShortcuts::Name showZones("showZones");
    const std::size_t before = g.shortcutByNameDidChange.subscriberCount();
    auto menu = std::make_unique<QMenu>();
    for (int opening = 0; opening < 1000; ++opening) {
        menu = std::make_unique<QMenu>();
        for (int item = 0; item < 12; ++item) bindMenuItemShortcut(g, menu->addAction("Zone"), showZones);
    }
    EXPECT_EQ(g.shortcutByNameDidChange.subscriberCount(), before + 12);
    menu.reset();
    EXPECT_EQ(g.shortcutByNameDidChange.subscriberCount(), before);
    g.setShortcut(Shortcut(Key::z, kControlAlt), showZones);  // touches no deleted item
}

}  // namespace
