// The Rules, Excluded Apps, Workspaces and Snapping panes of the real program, used as a user uses
// them: what is chosen there places, leaves alone, restores and drags real windows, and outlives a
// restart.

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/settings/SettingsDesktop.h"

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

class SettingsPanesTest : public SettingsDesktopTest {
protected:
    void SetUp() override {
        SettingsDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        // Two columns on the right monitor, four quarters (the default) on the left one.
        rightZones = writeDragLayouts(desktop->dataHome());
        ZoneLayout four(LayoutTemplate::grid, 4);
        leftZones = ZoneGeometry::zones(four, Rect(0, 0, 1920, 1080));
        // The test client's .desktop entry, where only this desktop's programs look.
        const fs::path applications = fs::path(desktop->directory()) / "share" / "applications";
        fs::create_directories(applications);
        std::ofstream(applications / "tessary-ledger.desktop") << "[Desktop Entry]\nType=Application\nName=Ledger Book\n"
                                                                    "Exec="
                                                                 << TESSARY_TEST_CLIENT
                                                                 << "\nStartupWMClass=TessaryTestClient\n";
        extraEnvironment.push_back("XDG_DATA_DIRS=" + (fs::path(desktop->directory()) / "share").string() +
                                   ":/usr/local/share:/usr/share");
    }

    void TearDown() override {
        for (ChildProcess& xterm : xterms) xterm.kill();
        SettingsDesktopTest::TearDown();
    }

    // Starts an xterm and waits until the window manager manages its window.
    xcb_window_t startXterm(const std::string& geometry) {
        xterms.push_back(desktop->startXterm(geometry, "xterm " + std::to_string(xterms.size() + 1)));
        const pid_t pid = xterms.back().pid();
        xcb_window_t window = XCB_WINDOW_NONE;
        EXPECT_TRUE(waitFor([&] {
            for (const X11Client& client : platform->tracker().clients()) {
                if (client.pid == static_cast<ProcessID>(pid) && client.windowClass == "XTerm") window = client.window;
            }
            return window != XCB_WINDOW_NONE;
        }, 10s)) << "no xterm";
        return window;
    }

    // An xterm takes a zone's frame to within one character cell (6 by 13 pixels), inside it.
    bool xtermIn(xcb_window_t window, const Rect& zone, std::chrono::milliseconds limit = 10s) {
        return waitFor([&] {
            const Rect f = frame(window);
            return f.minX() >= zone.minX() - 1 && f.minY() >= zone.minY() - 1 && f.maxX() <= zone.maxX() + 1 &&
                   f.maxY() <= zone.maxY() + 1 && f.width() > zone.width() - 8 && f.height() > zone.height() - 15;
        }, limit);
    }

    // Opens the list's "+" menu and chooses an item.
    void chooseFromAddMenu(const std::string& item) {
        click("addItem");
        ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "open"; }, 10s)) << "the menu did not open";
        click("menu:" + item);
        ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "closed"; }, 10s)) << "the menu stayed open";
    }

    // "Choose Application…" in the list's "+" menu, then the first application whose name or
    // identifier holds `filter`.
    void chooseInPicker(const std::string& filter) {
        chooseFromAddMenu("Choose Application\u2026");
        ASSERT_TRUE(controlRect("applicationFilter")) << "the picker did not open";
        click("applicationFilter");
        ASSERT_TRUE(waitFor([&] { return ask({"focus"}) == "applicationFilter"; }, 10s)) << ask({"focus"});
        typeText(filter);
        ASSERT_TRUE(waitFor([&] { return ask({"value", "applicationFilter"}) == filter; }, 10s));
        click("row:applications:0");
        click("button:OK");
    }

    void pressCtrlAlt(uint32_t key) {
        desktop->pressKey(XK_Control_L, true);
        desktop->pressKey(XK_Alt_L, true);
        type(key);
        desktop->pressKey(XK_Alt_L, false);
        desktop->pressKey(XK_Control_L, false);
        desktop->syncInput();
    }

    // Drag keys chosen in an earlier session, written before the instance starts.
    void writeStoredDragKeys(const std::string& activation, const std::string& span) {
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true, \"preferences.v1\": {\"data\": \"{\\\"activationModifier\\\":\\\""
            << activation << "\\\",\\\"spanModifier\\\":\\\"" << span << "\\\"}\"}}\n";
    }

    std::string storedDefaults() const {
        std::ifstream file(fs::path(desktop->configHome()) / "Tessary" / "defaults.json");
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // The drag keys a user of this window manager chooses in Settings (kwin takes Shift+drag for its
    // own tiling, metacity and marco for their edge snapping), written before the instance starts.
    void chooseThisWindowManagersDragKeys() {
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << desktop->windowManager().onboardedUserDefaults();
    }

    // Drags the window by its title bar, the modifier held, from the left monitor to the middle of
    // the right monitor's second zone; whether the zones showed on the way.
    bool dragToRightZone2(xcb_window_t window, uint32_t modifier) {
        platform->windows().moveResize(window, Point{200, 200}, std::nullopt, 2s);
        bool shown = false;
        const Rect target = rightZones[1].rect;
        dragTitleBar(
            window, modifier, Point{target.midX(), target.midY()},
            // The program reads which window is under the press when it takes the press; a drag
            // that went on at once (the whole of it takes a few milliseconds) could take the window
            // away first on a loaded machine. This instance's log is not read here, so the button
            // rests a moment, as a hand's does, before the drag.
            [this](int, int) {
                waitFor([] { return false; }, 200ms);
                return true;
            },
            // The modifier stays down for half a second after the drop, while the drop is handled.
            [released = std::optional<Clock::time_point>()]() mutable {
                if (!released) released = Clock::now();
                return Clock::now() - *released >= 500ms;
            },
            // The program's own overlay: xfwm4 keeps wide override-redirect windows of its own
            // mapped just off the screen's edges.
            [&] { shown = waitFor([&] { return overlayMappedFrom(*platform, 0, 1000, instance.pid()); }, 2s); });
        return shown;
    }

    std::vector<Zone> rightZones, leftZones;
    std::vector<ChildProcess> xterms;
};

TEST_F(SettingsPanesTest, ARuleMadeFromRunningAppsPlacesTheNextXtermAndOutlivesARestart) {
    startXterm("60x20+200+200");
    startInstance();
    open("rules", "Rules");
    chooseFromAddMenu("XTerm");
    ASSERT_EQ(ask({"count", "rules"}), "1");
    // The right monitor is the last of the display choices (after "Display the window appears on").
    click("ruleDisplay");
    ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "open"; }, 10s)) << "the display list did not open";
    type(XK_End);
    type(XK_Return);
    ASSERT_TRUE(waitFor([&] { return ask({"value", "ruleDisplay"}) != "Display the window appears on"; }, 10s));
    // A new rule has zone 1; zone 2 alone is wanted.
    click("zoneToggle.1");
    ASSERT_TRUE(waitFor([&] { return ask({"value", "zoneToggle.1"}) == "on"; }, 10s));
    click("zoneToggle.0");
    ASSERT_TRUE(waitFor([&] { return ask({"value", "zoneToggle.0"}) == "off"; }, 10s));

    EXPECT_TRUE(xtermIn(startXterm("60x20+100+100"), rightZones[1].rect)) << "the rule did not place the new xterm";

    stopInstance();
    startInstance();
    EXPECT_TRUE(xtermIn(startXterm("60x20+300+300"), rightZones[1].rect)) << "the rule did not outlive the restart";
    open("rules", "Rules");
    EXPECT_EQ(ask({"count", "rules"}), "1");
}

TEST_F(SettingsPanesTest, AnApplicationChosenInThePickerGetsARuleThatPlacesItsNextWindow) {
    startInstance();
    open("rules", "Rules");
    chooseInPicker("Ledger");
    ASSERT_TRUE(waitFor([&] { return ask({"count", "rules"}) == "1"; }, 10s)) << "no rule was made";
    // A new rule sends the app's windows to zone 1 of the display they open on.
    EXPECT_EQ(ask({"value", "zoneToggle.0"}), "on");

    TestClient client = desktop->startClient();
    const xcb_window_t window = client.open("x=700 y=600 w=400 h=300 title=Accounts");
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(waitFor([&] { return frame(window) == leftZones[0].rect; }, 10s))
        << "the new window is at " << frame(window);
    client.quit();
}

TEST_F(SettingsPanesTest, AnExcludedXtermShowsNoZonesUntilItIsRemovedAgain) {
    const xcb_window_t window = startXterm("60x20+200+200");
    chooseThisWindowManagersDragKeys();
    const uint32_t dragKey = desktop->windowManager().activationKeysym();
    startInstance();
    open("excludedApps", "Excluded Apps");
    chooseFromAddMenu("XTerm");
    ASSERT_TRUE(waitFor([&] { return ask({"count", "excludedApps"}) == "1"; }, 10s)) << "XTerm was not excluded";
    ASSERT_EQ(ask({"close"}), "");

    const Rect before = frame(window);
    EXPECT_FALSE(dragToRightZone2(window, dragKey)) << "the zones showed for an excluded app";
    EXPECT_FALSE(xtermIn(window, rightZones[1].rect, 500ms)) << "an excluded window was snapped";
    EXPECT_NE(frame(window).size, rightZones[1].rect.size) << "from " << before;

    stopInstance();
    startInstance();
    EXPECT_FALSE(dragToRightZone2(window, dragKey)) << "the exclusion did not outlive the restart";

    open("excludedApps", "Excluded Apps");
    ASSERT_EQ(ask({"count", "excludedApps"}), "1");
    click("row:excludedApps:0");
    ASSERT_TRUE(waitFor([&] { return ask({"focus"}) == "excludedApps"; }, 10s)) << ask({"focus"});
    type(XK_Delete);
    ASSERT_TRUE(controlRect("button:Remove")) << "no confirmation";
    click("button:Remove");
    ASSERT_TRUE(waitFor([&] { return ask({"count", "excludedApps"}) == "0"; }, 10s));
    ASSERT_EQ(ask({"close"}), "");

    EXPECT_TRUE(dragToRightZone2(window, dragKey)) << "no zones once XTerm is no longer excluded";
    EXPECT_TRUE(xtermIn(window, rightZones[1].rect)) << "the xterm is at " << frame(window);
}

TEST_F(SettingsPanesTest, AWorkspaceSavedFromTwoXtermsIsRenamedAndRestoredBeforeAndAfterARestart) {
    const xcb_window_t first = startXterm("60x20+200+200");
    const xcb_window_t second = startXterm("60x20+300+500");
    startInstance();
    auto snap = [&](xcb_window_t window, uint32_t key, const Rect& zone) {
        // Pressed again when the program had not yet seen the focus change (a loaded machine).
        for (int attempt = 0; attempt < 3; ++attempt) {
            platform->windows().activate(window, 2s);
            if (!waitFor([&] { return platform->windows().activeWindow() == window; }, 5s)) continue;
            pressCtrlAlt(key);
            if (xtermIn(window, zone, 3s)) return true;
        }
        return false;
    };
    ASSERT_TRUE(snap(first, '1', leftZones[0].rect));
    ASSERT_TRUE(snap(second, '2', leftZones[1].rect));

    open("workspaces", "Workspaces");
    click("addItem");
    ASSERT_TRUE(controlRect("button:Save")) << "no save prompt";
    typeText("Coding");
    type(XK_Return);
    ASSERT_TRUE(waitFor([&] { return ask({"count", "workspaces"}) == "1"; }, 10s)) << "nothing was saved";
    // The settings window itself is not among the windows saved.
    EXPECT_EQ(ask({"value", "workspaceSummary"}), "2 windows \u00B7 1 app");

    click("workspaceName");
    ASSERT_TRUE(waitFor([&] { return ask({"focus"}) == "workspaceName"; }, 10s)) << ask({"focus"});
    desktop->pressKey(XK_Control_L, true);
    type('a');
    desktop->pressKey(XK_Control_L, false);
    typeText("Desk");
    EXPECT_TRUE(waitFor([&] { return ask({"value", "workspaceName"}) == "Desk"; }, 10s));

    // Moved by hand (through the window manager) to where no zone is.
    auto moveAway = [&] {
        platform->windows().moveResize(first, Point{1000, 600}, std::nullopt, 2s);
        platform->windows().moveResize(second, Point{2400, 300}, std::nullopt, 2s);
        ASSERT_FALSE(xtermIn(first, leftZones[0].rect, 0ms));
    };
    moveAway();
    click("restoreWorkspace");
    EXPECT_TRUE(xtermIn(first, leftZones[0].rect)) << "the first xterm is at " << frame(first);
    EXPECT_TRUE(xtermIn(second, leftZones[1].rect)) << "the second xterm is at " << frame(second);

    stopInstance();
    startInstance();
    moveAway();
    open("workspaces", "Workspaces");
    click("row:workspaces:0");
    ASSERT_TRUE(waitFor([&] { return ask({"value", "workspaceName"}) == "Desk"; }, 10s)) << "the new name was lost";
    click("restoreWorkspace");
    EXPECT_TRUE(xtermIn(first, leftZones[0].rect)) << "the first xterm is at " << frame(first);
    EXPECT_TRUE(xtermIn(second, leftZones[1].rect)) << "the second xterm is at " << frame(second);
}

// A workspace saved while the program runs, from the command line or with the pane's "+", restores
// on the very first press of the shortcut just recorded for it. The keys are held as a hand holds
// them, until the field has taken them: the combination is grabbed while its key is still down.
TEST_F(SettingsPanesTest, AWorkspaceSavedWhileRunningRestoresOnTheFirstPressOfItsNewShortcut) {
    const xcb_window_t window = startXterm("60x20+200+200");
    startInstance();
    auto snap = [&](std::int64_t zone) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            platform->windows().activate(window, 2s);
            if (!waitFor([&] { return platform->windows().activeWindow() == window; }, 5s)) continue;
            EXPECT_EQ(answerTo({"snap-front-window", "--zone", std::to_string(zone + 1)}), "");
            if (xtermIn(window, leftZones[std::size_t(zone)].rect, 3s)) return true;
        }
        return false;
    };
    auto workspaceID = [&](const std::string& name) {
        for (const std::string& line : answerLines({"list", "workspaces"}).second) {
            if (line.size() > 37 && line.substr(37) == name) return line.substr(0, 36);
        }
        return std::string();
    };

    const struct {
        const char* how;
        std::string name;
        uint32_t key;
        std::string shown;
    } ways[] = {
        {"saved from the command line", "W57", 'y', "Ctrl+Alt+Y"},
        {"saved with the pane's +", "W58", 'u', "Ctrl+Alt+U"},
    };
    for (std::size_t row = 0; row < std::size(ways); ++row) {
        const auto& way = ways[row];
        SCOPED_TRACE(way.how);
        ASSERT_TRUE(snap(0)) << "the xterm did not go into zone 1";
        open("workspaces", "Workspaces");
        if (row == 0) {
            ASSERT_EQ(answerTo({"save-workspace", "--name", way.name}), "");
        } else {
            click("addItem");
            ASSERT_TRUE(controlRect("button:Save")) << "no save prompt";
            typeText(way.name);
            type(XK_Return);
        }
        ASSERT_TRUE(waitFor([&] { return ask({"count", "workspaces"}) == std::to_string(row + 1); }, 10s));
        const std::string id = workspaceID(way.name);
        ASSERT_FALSE(id.empty()) << way.name << " is not listed";
        click("row:workspaces:" + std::to_string(row));
        ASSERT_TRUE(waitFor([&] { return ask({"value", "workspaceName"}) == way.name; }, 10s));

        const std::string recorder = "shortcut.workspace." + id;
        click(recorder);
        ASSERT_TRUE(waitFor([&] { return ask({"placeholder", recorder}) == "Press Shortcut"; }, 10s)) << "not recording";
        for (uint32_t key : {uint32_t(XK_Control_L), uint32_t(XK_Alt_L), way.key}) desktop->pressKey(key, true);
        desktop->syncInput();
        EXPECT_TRUE(waitFor([&] { return ask({"value", recorder}) == way.shown; }, 10s)) << ask({"value", recorder});
        for (uint32_t key : {way.key, uint32_t(XK_Alt_L), uint32_t(XK_Control_L)}) desktop->pressKey(key, false);
        desktop->syncInput();

        ASSERT_TRUE(snap(1)) << "the xterm did not go into zone 2";
        pressCtrlAlt(way.key);
        EXPECT_TRUE(xtermIn(window, leftZones[0].rect)) << "the first " << way.shown << " did not restore " << way.name;
    }
}

// Ctrl chosen over Shift moves spanning from Ctrl to Super, and the pane says so: a Ctrl-drag across
// both of the right monitor's zones fills the one it ends in.
TEST_F(SettingsPanesTest, CtrlChosenInTheSnappingPaneOpenedByItsURLMakesCtrlDragsSnapAndShiftDragsNot) {
    // Chosen before, whatever a first start beside this window manager would choose.
    writeStoredDragKeys("shift", "control");
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300 title=Ledger");
    startInstance();
    auto openByURL = [&] {
        ChildProcess later = ChildProcess::start(programOptions({"tessary://settings?pane=snapping"}));
        const auto status = later.waitForExit(Clock::now() + 10s);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        ASSERT_TRUE(paneIs("Snapping")) << ask({"pane"});
    };
    openByURL();
    ASSERT_EQ(ask({"value", "activationModifier"}), "Shift");
    click("activationModifier");
    ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "open"; }, 10s)) << "the list did not open";
    // The list opens on the current choice; the next one down is Ctrl.
    type(XK_Down);
    type(XK_Return);
    ASSERT_TRUE(waitFor([&] { return ask({"value", "activationModifier"}) == "Ctrl"; }, 10s));
    EXPECT_EQ(ask({"value", "spanModifier"}), "Super");
    EXPECT_EQ(ask({"value", "dragKeysMoved"}), "Ctrl now shows the zones, so spanning moved to Super.");
    ASSERT_EQ(ask({"close"}), "");

    const Rect zone = rightZones[1].rect;
    EXPECT_FALSE(dragToRightZone2(window, XK_Shift_L)) << "Shift still shows the zones";
    EXPECT_NE(frame(window), zone);
    EXPECT_TRUE(dragToRightZone2(window, XK_Control_L)) << "Ctrl shows no zones";
    EXPECT_TRUE(waitFor([&] { return frame(window) == zone; }, 5s)) << "the window is at " << frame(window);

    stopInstance();
    startInstance();
    openByURL();
    EXPECT_EQ(ask({"value", "activationModifier"}), "Ctrl");
    ASSERT_EQ(ask({"close"}), "");
    EXPECT_TRUE(dragToRightZone2(window, XK_Control_L)) << "Ctrl shows no zones after a restart";
    EXPECT_TRUE(waitFor([&] { return frame(window) == zone; }, 5s)) << "the window is at " << frame(window);
    client.quit();
}

// A first start (no drag key stored) finds the window manager: beside one that takes Shift-drag for
// itself (kwin, metacity, marco) it shows the zones with Ctrl and spans with Super, and stores
// that; beside any other, Shift and Ctrl, and nothing is stored for it. A drag with that key across
// both of the right monitor's zones fills the one it ends in.
TEST_F(SettingsPanesTest, AFirstStartDragsWithTheKeyTheWindowManagerLeavesFreeIntoOneZone) {
    const bool shiftTaken = desktop->windowManager().activationModifier == "control";
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300 title=Ledger");
    startInstance();
    open("snapping", "Snapping");
    EXPECT_EQ(ask({"value", "activationModifier"}), shiftTaken ? "Ctrl" : "Shift");
    EXPECT_EQ(ask({"value", "spanModifier"}), shiftTaken ? "Super" : "Ctrl");
    ASSERT_EQ(ask({"close"}), "");

    EXPECT_TRUE(dragToRightZone2(window, desktop->windowManager().activationKeysym())) << "no zones showed";
    EXPECT_TRUE(waitFor([&] { return frame(window) == rightZones[1].rect; }, 5s)) << "the window is at " << frame(window);
    stopInstance();
    const bool stored = storedDefaults().find("activationModifier\\\":\\\"control\\\",\\\"spanModifier\\\":\\\"command") !=
                        std::string::npos;
    EXPECT_EQ(stored, shiftTaken) << storedDefaults();
    client.quit();
}

// Ctrl stored for both keys, as an earlier version let a user choose: Ctrl shows the zones and Super
// spans them, and a Ctrl-drag across both of the right monitor's zones fills the one it ends in.
TEST_F(SettingsPanesTest, CtrlStoredForBothDragKeysFillsOneZone) {
    writeStoredDragKeys("control", "control");
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300 title=Ledger");
    startInstance();
    open("snapping", "Snapping");
    EXPECT_EQ(ask({"value", "activationModifier"}), "Ctrl");
    EXPECT_EQ(ask({"value", "spanModifier"}), "Super");
    ASSERT_EQ(ask({"close"}), "");

    EXPECT_TRUE(dragToRightZone2(window, XK_Control_L)) << "Ctrl shows no zones";
    EXPECT_TRUE(waitFor([&] { return frame(window) == rightZones[1].rect; }, 5s)) << "the window is at " << frame(window);
    client.quit();
}

// Desktop applications as Debian ships them: their entries name no StartupWMClass and their
// windows' classes are not the entries' ids (gnome-calculator for org.gnome.Calculator, Mousepad
// for org.xfce.mousepad). The program sees these entries and no others: the verdict does not
// depend on what else the machine has installed.
class InstalledAppsTest : public SettingsPanesTest {
protected:
    void SetUp() override {
        SettingsPanesTest::SetUp();
        if (HasFatalFailure()) return;
        const fs::path share = fs::path(desktop->directory()) / "share";
        const std::pair<const char*, const char*> entries[] = {
            {"org.gnome.Calculator.desktop", "Name=Calculator\nExec=gnome-calculator\nIcon=org.gnome.Calculator\n"},
            {"org.xfce.mousepad.desktop", "Name=Mousepad\nGenericName=Text Editor\nExec=mousepad %U\n"
                                          "Icon=org.xfce.mousepad\n"},
            // Runs the same program: the editor's windows are not its.
            {"org.xfce.mousepad-settings.desktop", "Name=Text Editor Settings\nExec=mousepad --preferences\n"
                                                   "Icon=org.xfce.mousepad\n"},
        };
        for (const auto& [file, body] : entries) {
            std::ofstream(share / "applications" / file)
                << "[Desktop Entry]\nType=Application\nTerminal=false\nStartupNotify=true\n" << body;
        }
        std::erase_if(extraEnvironment, [](const std::string& v) { return v.starts_with("XDG_DATA_DIRS="); });
        extraEnvironment.push_back("XDG_DATA_DIRS=" + share.string());
        // GTK 4 draws without OpenGL on the virtual server; no accessibility bus is looked for.
        programEnvironment = {"GSK_RENDERER=cairo", "NO_AT_BRIDGE=1"};
        extraEnvironment.insert(extraEnvironment.end(), programEnvironment.begin(), programEnvironment.end());
    }

    void TearDown() override {
        for (ChildProcess& program : programs) program.kill();
        SettingsPanesTest::TearDown();
    }

    // A managed window of that class, once there is one.
    xcb_window_t windowOf(const std::string& windowClass) {
        xcb_window_t found = XCB_WINDOW_NONE;
        waitFor([&] {
            for (const X11Client& client : platform->tracker().clients()) {
                if (client.windowClass == windowClass) found = client.window;
            }
            return found != XCB_WINDOW_NONE;
        }, 30s);
        return found;
    }

    xcb_window_t startProgram(const std::string& program, const std::string& windowClass) {
        std::vector<std::string> arguments = {"env"};
        arguments.insert(arguments.end(), programEnvironment.begin(), programEnvironment.end());
        arguments.push_back(program);
        programs.push_back(desktop->start(arguments));
        const xcb_window_t window = windowOf(windowClass);
        EXPECT_NE(window, XCB_WINDOW_NONE) << program << " showed no window";
        return window;
    }

    // The window's frame is the zone's, to the pixel a client-side shadow's rounding may cost.
    bool fills(xcb_window_t window, const Rect& zone, std::chrono::milliseconds limit = 10s) {
        return waitFor([&] {
            const Rect f = frame(window);
            return std::abs(f.minX() - zone.minX()) <= 1 && std::abs(f.minY() - zone.minY()) <= 1 &&
                   std::abs(f.maxX() - zone.maxX()) <= 1 && std::abs(f.maxY() - zone.maxY()) <= 1;
        }, limit);
    }

    // Makes the window active and presses Ctrl+Alt and the key; whether the window then fills the zone.
    bool snapWithCtrlAlt(xcb_window_t window, uint32_t key, const Rect& zone, std::chrono::milliseconds limit) {
        platform->windows().activate(window, 2s);
        if (!waitFor([&] { return platform->windows().activeWindow() == window; }, 5s)) return false;
        pressCtrlAlt(key);
        return fills(window, zone, limit);
    }

    std::vector<std::string> programEnvironment;
    std::vector<ChildProcess> programs;
};

TEST_F(InstalledAppsTest, TheCalculatorChosenInThePickerIsExcludedAndTheSnapShortcutLeavesIt) {
    const xcb_window_t calculator = startProgram("gnome-calculator", "gnome-calculator");
    ASSERT_NE(calculator, XCB_WINDOW_NONE);
    startInstance();
    // On the right monitor, whose zone 1 (its left half) is larger than the calculator's least size.
    const auto moveAway = [&] { platform->windows().moveResize(calculator, Point{2500, 200}, Size{500, 600}, 2s); };
    moveAway();
    ASSERT_TRUE(snapWithCtrlAlt(calculator, '1', rightZones[0].rect, 10s))
        << "Ctrl+Alt+1 did not snap the calculator before it was excluded: it is at " << frame(calculator);
    moveAway();

    open("excludedApps", "Excluded Apps");
    chooseInPicker("Calc");
    ASSERT_TRUE(waitFor([&] { return ask({"count", "excludedApps"}) == "1"; }, 10s)) << "the Calculator was not excluded";
    ASSERT_EQ(ask({"close"}), "");

    const Rect before = frame(calculator);
    EXPECT_FALSE(snapWithCtrlAlt(calculator, '1', rightZones[0].rect, 1s)) << "an excluded window was snapped";
    EXPECT_EQ(frame(calculator), before);
}

TEST_F(InstalledAppsTest, ARuleForMousepadChosenInThePickerPlacesItsNewWindow) {
    startInstance();
    open("rules", "Rules");
    chooseInPicker("Mousepad");
    ASSERT_TRUE(waitFor([&] { return ask({"count", "rules"}) == "1"; }, 10s)) << "no rule was made";
    ASSERT_EQ(ask({"value", "zoneToggle.0"}), "on");
    ASSERT_EQ(ask({"close"}), "");

    // A new rule sends the application's windows to zone 1 of the display they open on.
    const xcb_window_t editor = startProgram("mousepad", "Mousepad");
    ASSERT_NE(editor, XCB_WINDOW_NONE);
    EXPECT_TRUE(waitFor([&] { return fills(editor, leftZones[0].rect, 0ms) || fills(editor, rightZones[0].rect, 0ms); }, 10s))
        << "the new Mousepad window is at " << frame(editor);
}

TEST_F(InstalledAppsTest, AWorkspaceThatLaunchesMissingAppsStartsMousepadAndPlacesIt) {
    const xcb_window_t first = startProgram("mousepad", "Mousepad");
    ASSERT_NE(first, XCB_WINDOW_NONE);
    startInstance();
    platform->windows().moveResize(first, Point{2500, 200}, Size{500, 600}, 2s);
    ASSERT_TRUE(snapWithCtrlAlt(first, '2', rightZones[1].rect, 10s)) << "Mousepad is at " << frame(first);

    open("workspaces", "Workspaces");
    click("addItem");
    ASSERT_TRUE(controlRect("button:Save")) << "no save prompt";
    typeText("Writing");
    type(XK_Return);
    ASSERT_TRUE(waitFor([&] { return ask({"count", "workspaces"}) == "1"; }, 10s)) << "nothing was saved";
    click("launchesMissingApps");
    ASSERT_TRUE(waitFor([&] { return ask({"value", "launchesMissingApps"}) == "on"; }, 10s));

    programs.back().kill();
    ASSERT_TRUE(waitFor([&] {
        const auto clients = platform->tracker().clients();
        return std::none_of(clients.begin(), clients.end(), [](const X11Client& c) { return c.windowClass == "Mousepad"; });
    }, 10s)) << "Mousepad did not go";
    click("restoreWorkspace");
    // Its window may well get the id the first one had: the X server hands a gone client's ids on.
    const xcb_window_t started = windowOf("Mousepad");
    ASSERT_NE(started, XCB_WINDOW_NONE) << "the restore did not start Mousepad";
    EXPECT_TRUE(fills(started, rightZones[1].rect)) << "the started Mousepad window is at " << frame(started);
}

}  // namespace
}  // namespace tessary::e2e
