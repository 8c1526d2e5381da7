// The real program's tray menu on a virtual desktop (two 1920x1080 monitors, openbox, trayer) with
// libraries of a hundred and a thousand layouts: the menu's X window fits the monitor it opens on,
// each display's tiles are seen through a list of a few rows with the display's layout in sight,
// and the keys choose a tile, as a click does also while a submenu is still open; a click on the
// icon opens the menu, one just after it closed or as a window of ours goes too, and closes it
// while it is open. What the menu shows of its tiles and items comes from the program's test-only
// query (`tessary tray-test rows`, `tessary tray-test item TITLE`, under TESSARY_E2E), checked
// against the X server's windows.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/PinnedDesktop.h"
#include "tests/e2e/harness/TrayMenu.h"
#include "tests/e2e/settings/SettingsDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_E2E_OUTPUT
#error "TESSARY_E2E_OUTPUT must name the folder for screenshots"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDown = 0xff54, kRight = 0xff53, kReturn = 0xff0d, kEscape = 0xff1b;

// What the query says of one display's row.
struct ShownRow {
    int visible = 0, total = 0, selected = -1;
    Rect tile, list;
};

// The program as the settings tests run it (their options, onboarding done), with trayer.
class TrayMenuTest : public SettingsDesktopTest {
protected:
    void SetUp() override {
        SettingsDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        desktop->startTray();
    }

    // The rows the open menu shows, top to bottom; none when the query fails or the menu is closed.
    std::vector<ShownRow> shownRows() {
        ChildProcess::Options options = programOptions({"tray-test", "rows"});
        options.arguments.insert(options.arguments.begin(), {"sh", "-c", "exec \"$0\" \"$@\" 2>&1"});
        options.pipeStdout = true;
        ChildProcess later = ChildProcess::start(options);
        const auto deadline = Clock::now() + 10s;
        std::vector<ShownRow> rows;
        while (auto line = later.readLine(deadline)) {
            std::istringstream in(*line);
            ShownRow row;
            double x, y, w, h, lx, ly, lw, lh;
            if (in >> row.visible >> row.total >> row.selected >> x >> y >> w >> h >> lx >> ly >> lw >> lh) {
                row.tile = Rect(x, y, w, h);
                row.list = Rect(lx, ly, lw, lh);
                rows.push_back(row);
            }
        }
        const auto status = later.waitForExit(deadline);
        if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return {};
        return rows;
    }

    // A library of `count` layouts, and the program started over it.
    void startWith(int count) {
        std::tie(leftLayout, rightLayout) = writeLayoutLibrary(desktop->dataHome(), count);
        startInstance();
    }

    // The icon once the tray shows it whole; none when it does not within `limit`.
    std::optional<Rect> shownIcon(std::chrono::seconds limit = 10s) {
        std::optional<Rect> icon;
        waitFor([&] { return (icon = e2e::trayIcon(*platform, desktop->trayPid(), instance.pid())).has_value(); }, limit);
        return icon;
    }

    // Clicks the icon once, when the tray shows it whole, as a user does; the menu it opened.
    std::optional<Rect> openTrayMenu() {
        const auto icon = shownIcon();
        if (!icon) return std::nullopt;
        clickTrayIcon(*desktop, *icon);
        std::optional<Rect> menu;
        if (waitFor([&] { return (menu = trayMenu()).has_value(); })) throughTheProgramsLoop();
        return menu;
    }

    // The open menu; the zones' overlay a chosen layout shows is as wide as a monitor.
    std::optional<Rect> trayMenu() { return e2e::openMenu(*platform, instance.pid(), 1920); }

    static bool inside(const Rect& inner, const Rect& outer) {
        return inner.minX() >= outer.minX() && inner.minY() >= outer.minY() && inner.maxX() <= outer.maxX() &&
               inner.maxY() <= outer.maxY();
    }

    // Opens the menu of a library of `count` layouts and checks what the X server shows of it.
    void checkTheMenuAt(int count) {
        startWith(count);
        if (HasFatalFailure()) return;
        const auto menu = openTrayMenu();
        ASSERT_TRUE(menu) << "no menu opened";
        EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/tray-menu-" +
                                                                   std::to_string(count) + "-layouts.png"},
                                 Clock::now() + 10s));
        const Rect monitor = menu->minX() >= 1920 ? Rect(1920, 0, 1920, 1080) : Rect(0, 0, 1920, 1080);
        EXPECT_TRUE(inside(*menu, monitor)) << "the menu at " << *menu << " does not fit " << monitor;
        EXPECT_LT(menu->width(), 500) << "the menu is not one column";

        std::vector<ShownRow> rows;
        ASSERT_TRUE(waitFor([&] { return (rows = shownRows()).size() == 2; }, 10s)) << "the query shows no rows";
        const int selected[] = {leftLayout, rightLayout};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("display " + std::to_string(i + 1));
            const ShownRow& row = rows[i];
            EXPECT_GE(row.visible, 1);
            EXPECT_LE(row.visible, 6);
            EXPECT_EQ(row.total, (count + 2) / 3) << "three columns";
            EXPECT_EQ(row.selected, selected[i]);
            EXPECT_TRUE(inside(row.list, *menu)) << "the tiles' list at " << row.list << " is outside the menu";
            EXPECT_TRUE(inside(row.tile, row.list)) << "the display's layout at " << row.tile << " is out of sight in "
                                                    << row.list;
        }

        // The keys: into the first display's tiles at its layout, one to the right, chosen.
        type(kDown);
        type(kRight);
        type(kReturn);
        EXPECT_TRUE(waitFor([&] { return !trayMenu(); })) << "the menu stayed open";
        ASSERT_TRUE(openTrayMenu()) << "the menu did not open again";
        ASSERT_TRUE(waitFor([&] { return (rows = shownRows()).size() == 2; }, 10s));
        EXPECT_EQ(rows[0].selected, leftLayout + 1) << "Right and Return did not choose the next layout";
        EXPECT_TRUE(inside(rows[0].tile, rows[0].list));
        type(kEscape);
        EXPECT_TRUE(waitFor([&] { return !trayMenu(); }));
    }

    int leftLayout = 0, rightLayout = 0;
};

TEST_F(TrayMenuTest, AtAHundredLayoutsTheMenuFitsTheMonitorWithEachDisplaysLayoutInSight) { checkTheMenuAt(100); }

TEST_F(TrayMenuTest, AtAThousandLayoutsTheMenuFitsTheMonitorWithEachDisplaysLayoutInSight) { checkTheMenuAt(1000); }

// A screen reader follows the keys over AT-SPI: into the first display's tiles at its layout, heard
// as a list item named after it, selected, in the list "Layouts" of the display's menu item, then
// the next tile, not selected, while the display's layout stays the selected one.
// One click on the icon as soon as it shows, while ten thousand layouts still load: the menu opens
// once they are up, and shows all of them with each display's own.
TEST_F(TrayMenuTest, AMenuOpenedAsSoonAsTheIconShowsShowsTheLoadedLibrary) {
    constexpr int count = 10000;
    std::tie(leftLayout, rightLayout) = writeLayoutLibrary(desktop->dataHome(), count);
    instance = ChildProcess::start(programOptions({}));
    const auto icon = shownIcon(30s);
    ASSERT_TRUE(icon) << "no icon";
    clickTrayIcon(*desktop, *icon);
    ASSERT_TRUE(waitFor([&] { return trayMenu().has_value(); }, 30s)) << "the click was lost";
    std::vector<ShownRow> rows;
    ASSERT_TRUE(waitFor([&] { return (rows = shownRows()).size() == 2; }, 10s)) << "the query shows no rows";
    const int selected[] = {leftLayout, rightLayout};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("display " + std::to_string(i + 1));
        EXPECT_EQ(rows[i].total, (count + 2) / 3) << "three columns";
        EXPECT_EQ(rows[i].selected, selected[i]);
    }
    type(kEscape);
    EXPECT_TRUE(waitFor([&] { return !trayMenu(); }));
}

// The icon clicked as soon as a window of ours has gone (minimised, as by a key), on a machine so
// busy that the menu takes a while to open: the menu opens and stays open. Qt hears that the
// program lost the focus 100 ms after the window did, and took that for the user leaving the menu.
TEST_F(TrayMenuTest, AMenuOpenedAsAWindowOfOursGoesStaysOpen) {
    startWith(100);
    if (HasFatalFailure()) return;
    ChildProcess::Options options = programOptions({"tessary://settings"});
    options.discardStdout = true;
    ChildProcess::start(options).waitForExit(Clock::now() + 15s);
    std::optional<xcb_window_t> settings;
    ASSERT_TRUE(waitFor(
        [&] {
            settings = platform->windows().activeWindow();
            return settings && platform->windows().processID(*settings) == instance.pid();
        },
        10s))
        << "the settings window did not take the focus";
    const auto icon = shownIcon();
    ASSERT_TRUE(icon) << "no icon";

    sendClientMessage(*settings, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
    ASSERT_TRUE(waitFor([&] { return !isViewable(*settings); })) << "the window manager did not minimise it";
    clickTrayIcon(*desktop, *icon);
    // The server held for longer than Qt's 100 ms while the program opens the menu, as a busy
    // machine holds it: the program cannot finish opening before then.
    xcb_connection_t* c = platform->connection().xcb();
    xcb_grab_server(c);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::this_thread::sleep_for(300ms);
    xcb_ungrab_server(c);
    platform->connection().flush();
    EXPECT_TRUE(waitFor([&] { return trayMenu().has_value(); })) << "no menu opened";
    EXPECT_TRUE(holds([&] { return trayMenu().has_value(); })) << "the menu closed by itself";
    type(kEscape);
    EXPECT_TRUE(waitFor([&] { return !trayMenu(); }));
}

// The icon clicked again right after its menu closed, with either button: the menu opens again.
// Qt takes a click within its double-click time (0.4 s) of the one before for a double click,
// which the icon has no use for.
TEST_F(TrayMenuTest, TheIconClickedAgainJustAfterItsMenuClosedOpensItAgain) {
    startWith(100);
    if (HasFatalFailure()) return;
    const auto icon = shownIcon();
    ASSERT_TRUE(icon) << "no icon";
    for (const int button : {1, 3}) {
        SCOPED_TRACE(button == 1 ? "the left button" : "the right button");
        clickTrayIcon(*desktop, *icon, button);
        ASSERT_TRUE(waitFor([&] { return trayMenu().has_value(); })) << "no menu opened";
        throughTheProgramsLoop();
        type(kEscape);
        ASSERT_TRUE(waitFor([&] { return !trayMenu(); })) << "the menu stayed open";
        clickTrayIcon(*desktop, *icon, button);
        EXPECT_TRUE(waitFor([&] { return trayMenu().has_value(); })) << "the click again was lost";
        throughTheProgramsLoop();
        type(kEscape);
        ASSERT_TRUE(waitFor([&] { return !trayMenu(); })) << "the menu stayed open";
    }
}

// The icon clicked while its menu is open, a moment or a while after it opened: the menu closes, as
// tray menus on Linux desktops do, and stays closed until the icon is clicked again. The menu opens
// beside the icon (the tray is in the screen's corner, where a menu at the pointer covered it).
TEST_F(TrayMenuTest, TheIconClickedWhileItsMenuIsOpenClosesIt) {
    startWith(100);
    if (HasFatalFailure()) return;
    const auto icon = shownIcon();
    ASSERT_TRUE(icon) << "no icon";
    for (const auto after : {300ms, 600ms, 1200ms}) {
        SCOPED_TRACE(std::to_string(after.count()) + " ms after the menu opened");
        clickTrayIcon(*desktop, *icon);
        std::optional<Rect> menu;
        ASSERT_TRUE(waitFor([&] { return (menu = trayMenu()).has_value(); })) << "no menu opened";
        const Rect covered = menu->intersection(*icon);
        EXPECT_TRUE(covered.isNull() || covered.isEmpty()) << "the menu at " << *menu << " covers the icon";
        // The user's pause, not a wait for the program.
        waitFor([] { return false; }, after);
        clickTrayIcon(*desktop, *icon);
        EXPECT_TRUE(waitFor([&] { return !trayMenu(); })) << "the menu stayed open";
        EXPECT_TRUE(holds([&] { return !trayMenu(); })) << "the menu opened again";
    }
}

TEST_F(TrayMenuTest, AScreenReaderHearsTheTilesTheKeysReach) {
    std::tie(leftLayout, rightLayout) = writeLayoutLibrary(desktop->dataHome(), 100);
    // A session bus of the test's own, which starts the accessibility bus when it is first asked.
    ChildProcess::Options busOptions;
    busOptions.arguments = {"dbus-daemon", tessary::pinned::privateBusConfiguration(), "--nofork", "--print-address=1"};
    busOptions.environment = desktop->environment();
    busOptions.pipeStdout = true;
    ChildProcess bus = ChildProcess::start(busOptions);
    const auto address = bus.readLine(Clock::now() + 10s);
    ASSERT_TRUE(address && !address->empty()) << "no session bus";
    extraEnvironment = {"DBUS_SESSION_BUS_ADDRESS=" + *address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};

    ChildProcess::Options listenerOptions;
    listenerOptions.arguments = {TESSARY_ATSPI_FOCUS};
    listenerOptions.environment = desktop->environment();
    listenerOptions.environment.push_back(extraEnvironment[0]);
    listenerOptions.pipeStdout = true;
    ChildProcess listener = ChildProcess::start(listenerOptions);
    ASSERT_EQ(listener.readLine(Clock::now() + 20s), std::optional<std::string>("ready"));

    startInstance();
    ASSERT_TRUE(openTrayMenu()) << "no menu opened";
    // What the listener hears next about a list item (the menu's own items come first).
    auto heardTile = [&] {
        const auto deadline = Clock::now() + 10s;
        while (auto line = listener.readLine(deadline)) {
            if (line->starts_with("list item|")) return *line;
        }
        return std::string("nothing");
    };
    const std::string display = "tessary-left: Layout 78";
    const std::string ancestors =
        "|list:Layouts < panel:" + display + " < menu item:" + display + " < popup menu:Tessary < application:Tessary|";
    type(kDown);
    const std::string first = heardTile();
    EXPECT_TRUE(first.starts_with("list item|Layout 78|selectable selected focused showing" + ancestors)) << first;
    EXPECT_TRUE(first.ends_with("|78 of 100, selected Layout 78")) << first;
    type(kRight);
    const std::string next = heardTile();
    EXPECT_TRUE(next.starts_with("list item|Layout 79|selectable focused showing" + ancestors)) << next;
    EXPECT_TRUE(next.ends_with("|79 of 100, selected Layout 78")) << next;
    type(kEscape);
    EXPECT_TRUE(waitFor([&] { return !trayMenu(); }));
    instance.kill();
    listener.kill();
    bus.kill();
}

// A tile clicked while the submenu the pointer came from is still open (Qt keeps it a second after
// the pointer left it, and it holds the pointer meanwhile): the click chooses the tile, as it does
// with no submenu open, and the menu closes.
TEST_F(TrayMenuTest, ATileClickedWhileASubmenuIsStillOpenChoosesItsLayout) {
    startWith(6);
    ASSERT_TRUE(openTrayMenu()) << "no menu opened";
    std::vector<ShownRow> rows;
    ASSERT_TRUE(waitFor([&] { return (rows = shownRows()).size() == 2; }, 10s)) << "the query shows no rows";
    // The left display's layout is the second of its row of three: the tile left of it is the first.
    ASSERT_EQ(leftLayout % 3, 1);
    const Rect chosen = rows[0].tile;
    const Point other{chosen.minX() - 2 - chosen.width() / 2, chosen.midY()};

    auto submenu = [&] {
        std::istringstream reply(answerTo({"tray-test", "item", "Snap Focused Window"}));
        Rect item = Rect::null();
        double x, y, w, h;
        std::string state;
        if (reply >> x >> y >> w >> h >> state) item = Rect(x, y, w, h);
        return std::make_pair(item, state);
    };
    const Rect item = submenu().first;
    ASSERT_FALSE(item.isNull()) << "the menu has no Snap Focused Window";
    desktop->movePointerTo(int(item.midX()), int(item.midY()));
    ASSERT_TRUE(waitFor([&] { return submenu().second == "open"; }, 10s)) << "the submenu did not open";
    // Up across the menu to the tile, and a click there at once: the submenu is still open.
    desktop->movePointerTo(int(item.midX()), int(item.minY()) - 4);
    desktop->movePointerTo(int(other.x), int(other.y));
    desktop->pressButton(1, true);
    desktop->pressButton(1, false);
    desktop->syncInput();

    EXPECT_TRUE(waitFor([&] { return !trayMenu(); })) << "the menu stayed open";
    ASSERT_TRUE(openTrayMenu()) << "the menu did not open again";
    ASSERT_TRUE(waitFor([&] { return (rows = shownRows()).size() == 2; }, 10s));
    EXPECT_EQ(rows[0].selected, leftLayout - 1) << "the click did not choose the tile";
    type(kEscape);
    EXPECT_TRUE(waitFor([&] { return !trayMenu(); }));
}

}  // namespace
}  // namespace tessary::e2e
