#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <X11/keysym.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/settings/SettingsDesktop.h"

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

// The settings window of the real program, found through its test-only query.
class SettingsTest : public SettingsDesktopTest {
protected:
    // A later start with a URL, as a desktop or a script passes it; its exit status.
    int openURL(const std::string& url) {
        ChildProcess::Options options = programOptions({url});
        options.discardStdout = true;
        ChildProcess later = ChildProcess::start(options);
        const auto status = later.waitForExit(Clock::now() + 10s);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // The instance's windows the window manager maps and lists.
    std::vector<xcb_window_t> listedWindows() {
        std::vector<xcb_window_t> listed;
        for (xcb_window_t client : e2e::listedWindows(*platform, instance.pid())) {
            if (isManaged(client)) listed.push_back(client);
        }
        return listed;
    }

    // Whether a shortcut recorder records: its placeholder says so, shown or not.
    bool isRecording(const std::string& recorder) { return ask({"placeholder", recorder}) == "Press Shortcut"; }

    // Opens the window on the Shortcuts pane through the test verb.
    bool openShortcuts() { return ask({"open", "shortcuts"}).empty() && paneIs("Shortcuts"); }

    // The resident memory of the instance, in kilobytes.
    long residentKilobytes() const {
        std::ifstream status("/proc/" + std::to_string(instance.pid()) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        }
        return -1;
    }
};

constexpr uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kShiftL = 0xffe1, kSuperL = 0xffeb;

// Presses the keys in order and lets them go in reverse, as a hand on a keyboard does.
void typeKeys(VirtualDesktop& desktop, const std::vector<uint32_t>& keys) {
    for (uint32_t key : keys) desktop.pressKey(key, true);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) desktop.pressKey(*key, false);
    desktop.syncInput();
}

// What defaults.json holds for a shortcut name (its line, trimmed), after the instance ended.
std::string storedShortcutLine(const VirtualDesktop& desktop, const std::string& name) {
    std::ifstream file(fs::path(desktop.configHome()) / "Tessary" / "defaults.json");
    std::string line;
    while (std::getline(file, line)) {
        if (line.find("\"GlobalShortcuts_" + name + "\"") == std::string::npos) continue;
        line.erase(0, line.find_first_not_of(' '));
        if (!line.empty() && line.back() == ',') line.pop_back();
        return line;
    }
    return "none";
}

// A first start shows the zones with Shift, or with Ctrl beside a window manager that takes
// Shift-drag for itself (kwin, metacity, marco); the next key down the list is kept over a restart.
TEST_F(SettingsTest, TheSnappingChoiceIsStoredAndShownAfterARestart) {
    const bool shiftTaken = desktop->windowManager().activationModifier == "control";
    const std::string first = shiftTaken ? "Ctrl" : "Shift", next = shiftTaken ? "Super" : "Ctrl";
    startInstance();
    ASSERT_EQ(ask({"open", "snapping"}), "");
    ASSERT_TRUE(paneIs("Snapping"));
    ASSERT_EQ(ask({"value", "activationModifier"}), first);
    click("activationModifier");
    ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "open"; }, 10s)) << "the list did not open";
    // The list opens on the current choice.
    type(XK_Down);
    type(XK_Return);
    EXPECT_TRUE(waitFor([&] { return ask({"value", "activationModifier"}) == next; }, 10s));

    stopInstance();
    startInstance();
    ASSERT_EQ(ask({"open", "snapping"}), "");
    ASSERT_TRUE(paneIs("Snapping"));
    EXPECT_EQ(ask({"value", "activationModifier"}), next);
}

// A shortcut typed into "Zone 1" as a hand types it moves the focused xterm into zone 1 at once and
// Ctrl+Alt+1 no longer does; after "Reset All to Defaults" Ctrl+Alt+1 does again.
TEST_F(SettingsTest, ResetAllToDefaultsBringsBackZone1sShortcutAfterARecording) {
    writeDragLayouts(desktop->dataHome());
    startInstance();
    ChildProcess xterm = desktop->startXterm("60x20+300+300", "terminal");
    std::optional<xcb_window_t> window;
    ASSERT_TRUE(waitFor([&] {
        for (xcb_window_t client : platform->windows().clientList()) {
            if (platform->windows().processID(client) == xterm.pid()) window = client;
        }
        return window.has_value();
    }, 10s)) << "no xterm";
    // Zone 1 of the quarters (gaps of 8); the xterm takes the largest size in whole cells that fits.
    const Rect zone(8, 8, 948, 528);
    auto inZone1 = [&](std::chrono::milliseconds limit) {
        return waitFor([&] {
            const Rect at = platform->windows().outerFrame(*window).value_or(Rect::null());
            return at.minX() >= zone.minX() && at.minY() >= zone.minY() && at.maxX() <= zone.maxX() &&
                   at.maxY() <= zone.maxY() && at.width() > zone.width() - 13 && at.height() > zone.height() - 13;
        }, limit);
    };
    // Out of zone 1 and focused, as a shortcut press finds it. A hand moves it once the snap is
    // over: a window that takes its size in cells is centred in the zone by a second move, a few
    // milliseconds after the first, which would undo a move made meanwhile. Moved again until it
    // stays, should a late step still come.
    auto putBack = [&] {
        std::optional<Rect> last;
        auto since = Clock::now();
        waitFor([&] {
            const auto now = platform->windows().outerFrame(*window);
            if (now != last) {
                last = now;
                since = Clock::now();
            }
            return Clock::now() - since >= 200ms;
        }, 5s);
        auto away = [&] {
            return platform->windows().activeWindow() == window &&
                   platform->windows().outerFrame(*window).value_or(Rect::null()).minX() >= 290;
        };
        bool back = false;
        for (int attempt = 0; attempt < 3 && !back; ++attempt) {
            platform->windows().moveTo(*window, Point{300, 300}, 2s);
            platform->windows().activate(*window, 2s);
            back = waitFor(away, 5s) && !waitFor([&] { return !away(); }, 300ms);
        }
        EXPECT_TRUE(back) << "the xterm did not come back";
    };

    ASSERT_TRUE(openShortcuts());
    ASSERT_EQ(ask({"value", "shortcut.snapToZone1"}), "Ctrl+Alt+1");
    click("shortcut.snapToZone1");
    ASSERT_TRUE(waitFor([&] { return isRecording("shortcut.snapToZone1"); }, 10s));
    typeKeys(*desktop, {kControlL, kShiftL, XK_F5});
    ASSERT_TRUE(waitFor([&] { return ask({"value", "shortcut.snapToZone1"}) == "Ctrl+Shift+F5"; }, 10s))
        << ask({"value", "shortcut.snapToZone1"});

    putBack();
    typeKeys(*desktop, {kControlL, kShiftL, XK_F5});
    EXPECT_TRUE(inZone1(10s)) << "the recorded shortcut did not move the xterm";
    putBack();
    typeKeys(*desktop, {kControlL, kAltL, '1'});
    EXPECT_FALSE(inZone1(1500ms)) << "Ctrl+Alt+1 still snaps after another shortcut was recorded";

    ASSERT_EQ(ask({"open", "shortcuts"}), "");
    click("primaryAction");
    ASSERT_TRUE(waitFor([&] { return ask({"rect", "confirm"}).rfind("status", 0) != 0; }, 10s)) << "no confirmation";
    click("confirm");
    EXPECT_TRUE(waitFor([&] { return ask({"value", "shortcut.snapToZone1"}) == "Ctrl+Alt+1"; }, 10s));
    putBack();
    typeKeys(*desktop, {kControlL, kAltL, '1'});
    EXPECT_TRUE(inZone1(10s)) << "Ctrl+Alt+1 did not snap the xterm after the reset";
    xterm.kill();
}

// A workspace "Desk" whose one entry, the test client's "notes" window, goes into zone 1 of the
// left monitor; its id.
UUID writeDeskWorkspace(const VirtualDesktop& desktop) {
    const std::string left = DisplayKey("tessary-left", 1920, 1080).description();
    const UUID id = UUID::random();
    WorkspaceLibrary library;
    library.workspaces = {Workspace(id, "Desk", {WorkspaceEntry(UUID::random(), "TessaryNotes", "notes", left, {0}, Rect())},
                                    {}, false, false, Date::now())};
    fs::create_directories(fs::path(desktop.dataHome()) / "Tessary");
    std::ofstream(fs::path(desktop.dataHome()) / "Tessary" / "workspaces.json")
        << JSONDocumentStore<WorkspaceLibrary>::encode(library).value();
    return id;
}

// Each combination typed as a keyboard sends it (the modifier's own press first), into a zone's
// field and a workspace's: the field shows the modifiers held so far and stores exactly what was
// typed; modifiers let go without a key change nothing (the prompt shows again), and Escape ends
// the recording with the shortcut it had.
TEST_F(SettingsTest, EachCombinationIsRecordedExactlyAsTyped) {
    const UUID desk = writeDeskWorkspace(*desktop);
    startInstance();
    const struct {
        std::string pane, title, field, storedName;
    } fields[] = {
        {"shortcuts", "Shortcuts", "shortcut.snapToZone1", "snapToZone1"},
        {"workspaces", "Workspaces", "shortcut.workspace." + desk.uuidString(), "workspace." + desk.uuidString()},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.field);
        ASSERT_EQ(ask({"open", f.pane}), "");
        ASSERT_TRUE(paneIs(f.title));
        auto value = [&] { return ask({"value", f.field}); };
        auto recording = [&] { return isRecording(f.field); };
        const struct {
            std::vector<uint32_t> keys;
            std::string whileFirstHeld;
            std::string stored;
        } cases[] = {
            {{kControlL, kShiftL, XK_F5}, "Ctrl+…", "Ctrl+Shift+F5"},
            {{kControlL, kAltL, '1'}, "Ctrl+…", "Ctrl+Alt+1"},
            {{kSuperL, XK_Left}, "Super+…", "Super+Left"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.stored);
            click(f.field);
            ASSERT_TRUE(waitFor(recording, 10s)) << "not recording";
            desktop->pressKey(c.keys.front(), true);
            desktop->syncInput();
            EXPECT_TRUE(waitFor([&] { return value() == c.whileFirstHeld; }, 10s)) << value();
            desktop->pressKey(c.keys.front(), false);
            typeKeys(*desktop, c.keys);
            // The workspace's Super+Left is the zone's by now: the recorder names it, and takes it.
            if (waitFor([&] { return ask({"alert"}).find("already uses this shortcut") != std::string::npos; }, 1s)) {
                click("button:Use Here");
            }
            EXPECT_TRUE(waitFor([&] { return value() == c.stored; }, 10s)) << value();
            EXPECT_TRUE(waitFor([&] { return !recording(); }, 10s)) << "the recording went on";
        }

        click(f.field);
        ASSERT_TRUE(waitFor(recording, 10s));
        desktop->pressKey(kAltL, true);
        desktop->syncInput();
        EXPECT_TRUE(waitFor([&] { return value() == "Alt+…"; }, 10s)) << value();
        desktop->pressKey(kAltL, false);
        desktop->syncInput();
        EXPECT_TRUE(waitFor([&] { return value() == "Press Shortcut"; }, 10s)) << "Alt let go: " << value();
        EXPECT_TRUE(recording()) << "Alt let go ended the recording";

        desktop->pressKey(kShiftL, true);
        desktop->syncInput();
        EXPECT_TRUE(waitFor([&] { return value() == "Shift+…"; }, 10s)) << value();
        desktop->pressKey(kShiftL, false);
        typeKeys(*desktop, {XK_Escape});
        EXPECT_TRUE(waitFor([&] { return !recording(); }, 10s)) << "Escape did not end the recording";
        EXPECT_EQ(value(), "Super+Left");
    }

    stopInstance();
    EXPECT_EQ(storedShortcutLine(*desktop, "snapToZone1"), "\"GlobalShortcuts_snapToZone1\": false")
        << "the workspace took its Super+Left";
    EXPECT_EQ(storedShortcutLine(*desktop, "workspace." + desk.uuidString()),
              "\"GlobalShortcuts_workspace." + desk.uuidString() +
                  R"(": "{\"carbonKeyCode\":123,\"carbonModifiers\":256}")");
}

// The clear button at the end of a shortcut field, clicked as a hand clicks (press, a moment, release
// through the X server): the shortcut is gone, stored as none, in a zone's field and a workspace's.
TEST_F(SettingsTest, AClickOnTheClearButtonClearsTheShortcut) {
    const UUID desk = writeDeskWorkspace(*desktop);
    startInstance();
    const struct {
        std::string pane, title, field;
    } fields[] = {
        {"shortcuts", "Shortcuts", "shortcut.snapToZone7"},
        {"workspaces", "Workspaces", "shortcut.workspace." + desk.uuidString()},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.field);
        ASSERT_EQ(ask({"open", f.pane}), "");
        ASSERT_TRUE(paneIs(f.title));
        auto value = [&] { return ask({"value", f.field}); };
        if (value() == "Record Shortcut") {
            // A workspace starts without one: give it one first.
            click(f.field);
            ASSERT_TRUE(waitFor([&] { return isRecording(f.field); }, 10s));
            typeKeys(*desktop, {kControlL, kShiftL, XK_F6});
            ASSERT_TRUE(waitFor([&] { return value() == "Ctrl+Shift+F6"; }, 10s)) << value();
        }
        const std::string before = value();
        ASSERT_NE(before, "Record Shortcut");
        std::optional<Rect> button;
        ASSERT_TRUE(waitFor([&] {
            std::istringstream reply(ask({"clear", f.field}));
            int x, y, w, h;
            if (!(reply >> x >> y >> w >> h)) return false;
            button = Rect(x, y, w, h);
            return true;
        }, 10s)) << "no clear button";
        desktop->movePointerTo(int(button->midX()), int(button->midY()));
        desktop->pressButton(1, true);
        desktop->syncInput();
        waitFor([] { return false; }, 150ms);
        desktop->pressButton(1, false);
        desktop->syncInput();
        EXPECT_TRUE(waitFor([&] { return value() == "Press Shortcut"; }, 10s)) << "shows " << value();
        EXPECT_TRUE(isRecording(f.field)) << "cleared, it records the replacement";
        typeKeys(*desktop, {XK_Escape});
        EXPECT_TRUE(waitFor([&] { return value() == "Record Shortcut"; }, 10s)) << "Escape brought back " << value();
    }
    stopInstance();
    // A name with a default keeps the marker that it has none, so that the default does not come
    // back; a workspace's name has no default, and nothing is kept for it.
    EXPECT_EQ(storedShortcutLine(*desktop, "snapToZone7"), "\"GlobalShortcuts_snapToZone7\": false");
    EXPECT_EQ(storedShortcutLine(*desktop, "workspace." + desk.uuidString()), "none");
}

// A workspace's recorded shortcut restores it.
TEST_F(SettingsTest, AWorkspacesRecordedShortcutRestoresIt) {
    writeDragLayouts(desktop->dataHome());
    const UUID id = writeDeskWorkspace(*desktop);
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "class=TessaryNotes title=notes x=300 y=300 w=400 h=300");
    startInstance();
    ASSERT_EQ(ask({"open", "workspaces"}), "");
    ASSERT_TRUE(paneIs("Workspaces"));
    const std::string field = "shortcut.workspace." + id.uuidString();
    ASSERT_TRUE(waitFor([&] { return ask({"value", field}) == "Record Shortcut"; }, 10s)) << ask({"value", field});
    click(field);
    ASSERT_TRUE(waitFor([&] { return isRecording(field); }, 10s));
    typeKeys(*desktop, {kControlL, kShiftL, XK_F6});
    ASSERT_TRUE(waitFor([&] { return ask({"value", field}) == "Ctrl+Shift+F6"; }, 10s)) << ask({"value", field});

    const Rect zone1 = ZoneGeometry::zones(ZoneLayout(LayoutTemplate::grid, 4), Rect(0, 0, 1920, 1080))[0].rect;
    typeKeys(*desktop, {kControlL, kShiftL, XK_F6});
    EXPECT_TRUE(waitFor([&] { return platform->windows().outerFrame(window) == zone1; }, 10s))
        << "the workspace was not restored";
    client.quit();
}

// Within 3 pixels of a recording field a click keeps the recording, whatever it lands on; further
// away it ends it.
TEST_F(SettingsTest, AClickJustBesideARecordingFieldKeepsRecording) {
    startInstance();
    ASSERT_TRUE(openShortcuts());
    const std::string field = "shortcut.snapToZone1";
    auto recording = [&] { return isRecording(field); };
    // Left of the field as it is now: it widens for a longer text.
    auto clickLeftOfTheField = [&](int gap) {
        std::istringstream rect(ask({"field", field}));
        int x = 0, y = 0, width = 0, height = 0;
        ASSERT_TRUE(rect >> x >> y >> width >> height);
        desktop->movePointerTo(x - gap, y + height / 2);
        desktop->pressButton(1, true);
        desktop->pressButton(1, false);
        desktop->syncInput();
    };
    click(field);
    ASSERT_TRUE(waitFor(recording, 10s));
    clickLeftOfTheField(2);
    EXPECT_TRUE(waitFor([&] { return ask({"focus"}) == field; }, 10s)) << ask({"focus"});
    EXPECT_TRUE(recording()) << "a click 2 pixels outside ended the recording";
    typeKeys(*desktop, {kControlL, kShiftL, XK_F7});
    EXPECT_TRUE(waitFor([&] { return ask({"value", field}) == "Ctrl+Shift+F7"; }, 10s)) << ask({"value", field});

    click(field);
    ASSERT_TRUE(waitFor(recording, 10s));
    clickLeftOfTheField(5);
    EXPECT_TRUE(waitFor([&] { return !recording(); }, 10s)) << "a click 5 pixels outside kept recording";
}

// The menu's Ctrl+Q belongs to "Quit Tessary": recording it for a zone explains why not and records
// on; the zone keeps its shortcut.
TEST_F(SettingsTest, RecordingTheQuitKeysForAZoneShowsTheConflict) {
    startInstance();
    ASSERT_TRUE(openShortcuts());
    const std::string field = "shortcut.snapToZone9";
    click(field);
    ASSERT_TRUE(waitFor([&] { return isRecording(field); }, 10s));
    typeKeys(*desktop, {kControlL, 'q'});
    EXPECT_TRUE(waitFor([&] {
        return ask({"alert"}) == "Tessary: This shortcut cannot be used because the menu item “Quit Tessary” uses it.";
    }, 10s)) << ask({"alert"});
    typeKeys(*desktop, {XK_Return});
    EXPECT_TRUE(waitFor([&] { return ask({"alert"}) == "none"; }, 10s));
    EXPECT_TRUE(waitFor([&] { return isRecording(field); }, 10s)) << "recording resumes";
    typeKeys(*desktop, {XK_Escape});
    EXPECT_TRUE(waitFor([&] { return ask({"value", field}) == "Ctrl+Alt+9"; }, 10s)) << ask({"value", field});
    EXPECT_EQ(instance.waitForExit(Clock::now() + 500ms), std::nullopt) << "the program quit";
}

// Ctrl+W and Escape, typed as a keyboard types them, close the window as its close button does; an
// Escape while a shortcut is recorded ends the recording (the shortcut kept) and the window stays.
TEST_F(SettingsTest, CtrlWAndEscapeCloseTheWindowButEscapeEndsARecordingFirst) {
    startInstance();
    // Keys go to the window that holds the keyboard: the window manager gives it a moment later.
    auto openHoldingTheKeyboard = [&] {
        ASSERT_TRUE(openShortcuts());
        ASSERT_TRUE(waitFor([&] {
            const auto listed = listedWindows();
            return listed.size() == 1 && platform->windows().activeWindow() == listed.front();
        }, 10s)) << "the window did not become the active one";
    };
    const struct {
        const char* name;
        std::vector<uint32_t> keys;
    } rows[] = {{"Ctrl+W", {kControlL, XK_w}}, {"Escape", {XK_Escape}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(openHoldingTheKeyboard());
        typeKeys(*desktop, row.keys);
        EXPECT_TRUE(waitFor([&] { return listedWindows().empty(); }, 10s)) << "the window stayed mapped";
        EXPECT_EQ(ask({"pane"}), "closed");
    }

    ASSERT_NO_FATAL_FAILURE(openHoldingTheKeyboard());
    const std::string field = "shortcut.snapToZone1";
    click(field);
    ASSERT_TRUE(waitFor([&] { return isRecording(field); }, 10s)) << "not recording";
    typeKeys(*desktop, {XK_Escape});
    EXPECT_TRUE(waitFor([&] { return !isRecording(field); }, 10s)) << "Escape did not end the recording";
    EXPECT_EQ(listedWindows().size(), 1u) << "Escape closed the window while it recorded";
    EXPECT_EQ(ask({"pane"}), "Shortcuts");
    EXPECT_EQ(ask({"value", field}), "Ctrl+Alt+1");
    typeKeys(*desktop, {XK_Escape});
    EXPECT_TRUE(waitFor([&] { return listedWindows().empty(); }, 10s)) << "the second Escape left the window open";
}

// The URL maps the window on its pane; the same URL again while the user is elsewhere brings the
// pane back; a later plain opening shows what the user chose last, not the old request.
TEST_F(SettingsTest, TheSettingsURLMapsTheWindowOnItsPaneOncePerRequest) {
    startInstance();
    ASSERT_TRUE(listedWindows().empty());
    ASSERT_EQ(openURL("tessary://settings?pane=snapping"), 0);
    EXPECT_TRUE(waitFor([&] { return listedWindows().size() == 1; }, 10s)) << "no window mapped";
    EXPECT_TRUE(paneIs("Snapping"));
    click("section.about");
    ASSERT_TRUE(paneIs("About"));
    ASSERT_EQ(openURL("tessary://settings?pane=snapping"), 0);
    EXPECT_TRUE(paneIs("Snapping")) << "the same request again moves back";
    click("section.zones");
    ASSERT_TRUE(paneIs("Zones"));
    ASSERT_EQ(ask({"close"}), "");
    ASSERT_TRUE(waitFor([&] { return listedWindows().empty(); }, 10s)) << "the window stayed mapped";
    ASSERT_EQ(openURL("tessary://settings"), 0);
    EXPECT_TRUE(waitFor([&] { return listedWindows().size() == 1; }, 10s));
    EXPECT_TRUE(paneIs("Zones")) << "the used request is not applied again";
}

// Closed and opened again by a later start, the window the X server maps again shows the workspace
// a command saved meanwhile, on the pane it was closed on, with that pane's header.
TEST_F(SettingsTest, OpenedAgainItShowsAWorkspaceSavedWhileItWasClosed) {
    ChildProcess xterm = desktop->startXterm("60x20+300+300", "terminal");
    startInstance();
    open("workspaces", "Workspaces");
    ASSERT_EQ(ask({"count", "workspaces"}), "0");
    ASSERT_EQ(ask({"close"}), "");
    ASSERT_TRUE(waitFor([&] { return listedWindows().empty(); }, 10s)) << "the window stayed mapped";
    ASSERT_EQ(answerTo({"save-workspace", "--name", "Desk"}).rfind("status", 0), std::string::npos);
    ASSERT_EQ(openURL("tessary://settings"), 0);
    EXPECT_TRUE(waitFor([&] { return listedWindows().size() == 1; }, 10s)) << "no window mapped";
    EXPECT_TRUE(paneIs("Workspaces"));
    EXPECT_EQ(ask({"count", "workspaces"}), "1") << "the saved workspace is not listed";
    EXPECT_EQ(ask({"value", "workspaceName"}), "Desk") << "the first workspace is not the one shown";
}

// A workspace saved from the command line while the Workspaces pane shows its empty form is the one
// the pane then shows, selected in the list, as the pane's first list does; a second one saved
// leaves that selection alone.
TEST_F(SettingsTest, AWorkspaceSavedWhileThePaneIsOpenIsSelectedInIt) {
    ChildProcess xterm = desktop->startXterm("60x20+300+300", "terminal");
    startInstance();
    open("workspaces", "Workspaces");
    ASSERT_EQ(ask({"count", "workspaces"}), "0");
    ASSERT_EQ(answerTo({"save-workspace", "--name", "Desk"}).rfind("status", 0), std::string::npos);
    ASSERT_TRUE(waitFor([&] { return ask({"count", "workspaces"}) == "1"; }, 10s)) << "the saved workspace is not listed";
    EXPECT_TRUE(waitFor([&] { return ask({"selected", "workspaces"}) == "0"; }, 10s)) << ask({"selected", "workspaces"});
    EXPECT_EQ(ask({"value", "workspaceName"}), "Desk") << "the detail does not show it";
    EXPECT_EQ(ask({"rect", "noWorkspaceSelected"}).rfind("status", 0), 0u) << "the detail says none is selected";

    ASSERT_EQ(answerTo({"save-workspace", "--name", "Later"}).rfind("status", 0), std::string::npos);
    ASSERT_TRUE(waitFor([&] { return ask({"count", "workspaces"}) == "2"; }, 10s));
    EXPECT_EQ(ask({"selected", "workspaces"}), "0");
    EXPECT_EQ(ask({"value", "workspaceName"}), "Desk");
}

// A rule dragged by the pointer through the X server from the bottom of the list to the top is the
// rule tried first: "rules.json" holds the new order at once, and the rule stays selected.
TEST_F(SettingsTest, ARuleDraggedToTheTopOfTheListIsTriedFirst) {
    RuleSet rules;
    for (const char* app : {"XTerm", "firefox", "gimp"}) {
        rules.upsert(PlacementRule(UUID::random(), true, app, std::nullopt, std::nullopt, {0}, Date(1000)));
    }
    const fs::path folder = fs::path(desktop->dataHome()) / "Tessary";
    fs::create_directories(folder);
    std::ofstream(folder / "rules.json") << JSONDocumentStore<RuleSet>::encode(rules).value();
    const auto storedOrder = [&] {
        std::vector<std::string> order;
        auto loaded = JSONDocumentStore<RuleSet>(folder / "rules.json").load();
        if (loaded && *loaded) {
            for (const PlacementRule& rule : (**loaded).rules) order.push_back(rule.bundleID);
        }
        return order;
    };
    startInstance();
    open("rules", "Rules");
    ASSERT_EQ(ask({"count", "rules"}), "3");
    const auto last = controlRect("row:rules:2");
    const auto first = controlRect("row:rules:0");
    ASSERT_TRUE(last && first);
    click("row:rules:2");
    ASSERT_TRUE(waitFor([&] { return ask({"selected", "rules"}) == "2"; }, 10s));

    // Pressed, then moved as a hand moves a mouse: past the drag distance, then up to the top
    // quarter of the first row, where it is let go.
    desktop->movePointerTo(int(last->midX()), int(last->midY()));
    desktop->pressButton(1, true);
    desktop->syncInput();
    const int top = int(first->minY() + first->height() / 4);
    for (int y = int(last->midY()); y > top; y -= 4) {
        desktop->movePointerTo(int(last->midX()), y);
        desktop->syncInput();
        throughTheProgramsLoop();
    }
    desktop->movePointerTo(int(first->midX()), top);
    desktop->syncInput();
    throughTheProgramsLoop();
    desktop->pressButton(1, false);
    desktop->syncInput();

    EXPECT_TRUE(waitFor([&] { return storedOrder() == std::vector<std::string>{"gimp", "XTerm", "firefox"}; }, 10s))
        << testing::PrintToString(storedOrder());
    EXPECT_TRUE(waitFor([&] { return ask({"selected", "rules"}) == "0"; }, 10s)) << ask({"selected", "rules"});
}

TEST_F(SettingsTest, LaunchAtLoginWritesTheAutostartEntryAndOffRemovesIt) {
    startInstance();
    ASSERT_EQ(ask({"open", "general"}), "");
    ASSERT_TRUE(paneIs("General"));
    const fs::path entry = fs::path(desktop->configHome()) / "autostart" / "tessary.desktop";
    click("launchAtLogin");
    EXPECT_TRUE(waitFor([&] { return fs::exists(entry); }, 10s));
    EXPECT_EQ(ask({"value", "launchAtLogin"}), "on");
    click("launchAtLogin");
    EXPECT_TRUE(waitFor([&] { return !fs::exists(entry); }, 10s));
    EXPECT_EQ(ask({"value", "launchAtLogin"}), "off");
}

TEST_F(SettingsTest, EachRequestActsOnceAndAPlainOpeningKeepsTheUsersChoice) {
    startInstance();
    const long before = residentKilobytes();
    ASSERT_EQ(ask({"open", "rules"}), "");
    ASSERT_TRUE(paneIs("Rules"));
    click("section.zones");
    ASSERT_TRUE(paneIs("Zones"));
    ASSERT_EQ(ask({"open", "rules"}), "");
    EXPECT_TRUE(paneIs("Rules")) << "the same request again moves back";
    click("section.about");
    ASSERT_TRUE(paneIs("About"));
    const long open = residentKilobytes();
    ASSERT_EQ(ask({"close"}), "");
    ASSERT_TRUE(paneIs("closed"));
    const long closed = residentKilobytes();
    ASSERT_EQ(ask({"open"}), "");
    EXPECT_TRUE(paneIs("About")) << "the used request is not applied again";
    RecordProperty("residentKilobytesBefore", std::to_string(before));
    RecordProperty("residentKilobytesOpen", std::to_string(open));
    RecordProperty("residentKilobytesClosed", std::to_string(closed));
    std::printf("resident memory: %ld kB before the window, %ld kB with it open, %ld kB after closing it\n", before,
                open, closed);
}

}  // namespace
}  // namespace tessary::e2e
