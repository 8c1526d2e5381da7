// Keyboard snapping against a real X server and window manager: the application's default
// shortcuts, pressed through XTest, move the focused window between the zones of a 2 x 2 layout and
// across monitors, and a workspace's own shortcut restores it. Wired in-process as the application
// wires it.

#include <gtest/gtest.h>

#include <memory>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Tessary/keyboard/WorkspaceHotKeys.h"
#include "Tessary/services/WorkspaceService.h"
#include "TessaryCore/ZoneGrid.h"
#include "tests/e2e/ZoneDesktopTest.h"
#include "tests/e2e/keyboard/KeyboardServices.h"

namespace tessary::e2e {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kSuperL = 0xffeb;
constexpr std::uint32_t kLeft = 0xff51, kRight = 0xff53;
constexpr std::int64_t kControlAlt = carbon::controlKey | carbon::optionKey;

class KeyboardSnapTest : public ZoneDesktopTest {
protected:
    // Beside the window manager's own panel, as it installs.
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options;
        options.panels = true;
        return options;
    }
    // Zone i (from 0) of the 2 x 2 layout on the monitor at x, in the space the window manager leaves.
    Rect quarter(double monitorX, int index) {
        const Rect area = desktop->workArea(Rect(monitorX, 0, 1920, 1080));
        const double width = area.width() / 2, height = area.height() / 2;
        return Rect(area.minX() + width * (index % 2), area.minY() + height * (index / 2), width, height);
    }

    void SetUp() override {
        ZoneDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        startZones(ZoneLayout(UUID::random(), "Quarters", LayoutKind(ZoneGrid::uniform(2, 2)), 0, 0, std::nullopt, Date(0)));
        keys = std::make_unique<KeyboardServices>(platform->connection(), *zones);
        workspaces = std::make_unique<WorkspaceService>(
            *zones, [] { return DisplayProvider::displays(); },
            JSONDocumentStore<WorkspaceLibrary>(folder / "workspaces.json"), platform->workspace(), launcher, scheduler);
        workspaceHotKeys = std::make_unique<WorkspaceHotKeys>(keys->shortcuts, *workspaces);
    }

    void TearDown() override {
        workspaceHotKeys.reset();
        workspaces.reset();
        keys.reset();
        stopZones();
        DesktopTest::TearDown();
    }

    // Holds the modifiers, types the key, lets go.
    void type(std::vector<std::uint32_t> modifiers, std::uint32_t key) {
        for (std::uint32_t m : modifiers) desktop->pressKey(m, true);
        desktop->pressKey(key, true);
        desktop->pressKey(key, false);
        for (std::uint32_t m : modifiers) desktop->pressKey(m, false);
    }
    bool isFocused(xcb_window_t window) {
        const auto focused = engineHandle->focusedWindow();
        return focused && *focused == handle(window);
    }

    SimApplicationLauncher launcher;
    std::unique_ptr<KeyboardServices> keys;
    std::unique_ptr<WorkspaceService> workspaces;
    std::unique_ptr<WorkspaceHotKeys> workspaceHotKeys;
};

TEST_F(KeyboardSnapTest, TheDefaultShortcutsMoveTheFocusedWindowThroughZonesAndMonitors) {
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "class=TessaryNotes title=notes x=100 y=100 w=400 h=300");
    ASSERT_TRUE(waitFor([&] { return isFocused(window); }));
    const struct {
        const char* name;
        std::vector<std::uint32_t> modifiers;
        std::uint32_t key;
        Rect to;
    } steps[] = {
        {"Ctrl+Alt+1", {kControlL, kAltL}, '1', quarter(0, 0)},
        {"Ctrl+Alt+2", {kControlL, kAltL}, '2', quarter(0, 1)},
        {"Ctrl+Alt+3", {kControlL, kAltL}, '3', quarter(0, 2)},
        {"Ctrl+Alt+4", {kControlL, kAltL}, '4', quarter(0, 3)},
        {"Ctrl+Alt+Right from zone 4 wraps to zone 1", {kControlL, kAltL}, kRight, quarter(0, 0)},
        {"Ctrl+Alt+Left goes back", {kControlL, kAltL}, kLeft, quarter(0, 3)},
        {"Ctrl+Alt+Super+Right: the other monitor's zone 4", {kControlL, kAltL, kSuperL}, kRight, quarter(1920, 3)},
        {"Ctrl+Alt+Super+Right again wraps to the first monitor", {kControlL, kAltL, kSuperL}, kRight, quarter(0, 3)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        type(step.modifiers, step.key);
        EXPECT_TRUE(waitFor([&] { return isAt(window, step.to); })) << "the window is at " << *frame(window);
    }
}

TEST_F(KeyboardSnapTest, AnXtermLandsInItsZoneWithinOneSizeIncrement) {
    ChildProcess xterm = desktop->startXterm("60x20+100+100", "terminal");
    std::optional<xcb_window_t> window;
    ASSERT_TRUE(waitFor([&] {
        for (xcb_window_t w : platform->windows().clientList()) {
            if (isManaged(w)) window = w;
        }
        return window && isFocused(*window);
    }, 10s));
    type({kControlL, kAltL}, '4');
    // xterm's fixed font: 6 by 13 pixels a cell.
    EXPECT_TRUE(waitFor([&] { return isAt(*window, quarter(0, 3), 13); })) << "the xterm is at " << *frame(*window);
}

TEST_F(KeyboardSnapTest, AWorkspacesShortcutRestoresItAndRemovingItFreesTheCombination) {
    TestClient notesClient = desktop->startClient();
    TestClient mailClient = desktop->startClient();
    const xcb_window_t notes = openWindow(notesClient, "class=TessaryNotes title=notes x=100 y=100 w=400 h=300");
    const xcb_window_t mail = openWindow(mailClient, "class=TessaryMail title=inbox x=200 y=200 w=400 h=300");
    ASSERT_TRUE(waitFor([&] { return frame(notes) && frame(mail); }));
    ASSERT_TRUE(zones->snap(handle(notes), 0));
    ASSERT_TRUE(zones->snap(handle(mail), 3));
    const Workspace desk = workspaces->saveCurrentWindows("Desk");
    ASSERT_EQ(desk.entries.size(), 2u);
    workspaceHotKeys->syncShortcuts();
    keys->shortcuts.setShortcut(Shortcut(Key::w, kControlAlt), WorkspaceHotKeys::shortcutName(desk.id));
    engineHandle->setFrame(Rect(300, 200, 500, 400), handle(notes));
    engineHandle->setFrame(Rect(700, 300, 500, 400), handle(mail));

    type({kControlL, kAltL}, 'w');
    EXPECT_TRUE(waitFor([&] { return isAt(notes, quarter(0, 0)) && isAt(mail, quarter(0, 3)); }));

    workspaceHotKeys->removeShortcut(desk.id);
    // Another program can take the combination now.
    auto otherConnection = X11Connection::open(desktop->display().c_str());
    ASSERT_TRUE(otherConnection);
    X11KeyboardLayout otherKeyboard(*otherConnection);
    X11HotKeys otherHotKeys(*otherConnection, otherKeyboard);
    EXPECT_TRUE(otherHotKeys.registerHotKey(Key::w.rawValue, kControlAlt));
}

}  // namespace
}  // namespace tessary::e2e
