#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/DragLayouts.h"

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

// The settings window of the real program, found through its test-only query.
class SettingsTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json") << "{\"hasCompletedOnboarding\": true}\n";
    }

    ChildProcess::Options programOptions(std::vector<std::string> arguments) const {
        ChildProcess::Options options;
        // Its replies go to standard error: read them with its output.
        // TESSARY_E2E_PROGRAM runs another build (a Release build, for the memory figures).
        const char* other = std::getenv("TESSARY_E2E_PROGRAM");
        options.arguments = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", other && *other ? other : TESSARY_PROGRAM};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = desktop->environment();
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.environment.push_back("TESSARY_E2E=1");
        options.pipeStdout = true;
        return options;
    }

    fs::path socket() const {
        return fs::path(desktop->runtimeDirectory()) / "tessary" / ("local-" + desktop->display().substr(1) + ".socket");
    }

    void startInstance() {
        instance = ChildProcess::start(programOptions({}));
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket()); }, 20s)) << "the instance never answered";
    }

    void stopInstance() {
        ::kill(instance.pid(), SIGTERM);
        const auto status = instance.waitForExit(Clock::now() + 10s);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        EXPECT_TRUE(waitFor([&] { return !fs::exists(socket()); }));
    }

    // A later start's reply (its first line), or "status N" when it failed.
    std::string ask(std::vector<std::string> arguments) {
        std::vector<std::string> full{"settings-test"};
        full.insert(full.end(), arguments.begin(), arguments.end());
        ChildProcess later = ChildProcess::start(programOptions(full));
        const auto deadline = Clock::now() + 10s;
        std::string reply;
        while (auto line = later.readLine(deadline)) {
            if (reply.empty()) reply = *line;
        }
        const auto status = later.waitForExit(deadline);
        if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return "status " + reply;
        return reply;
    }

    bool paneIs(const std::string& title) {
        return waitFor([&] { return ask({"pane"}) == title; }, 10s);
    }

    // Clicks the middle of a named control.
    void click(const std::string& name) {
        std::istringstream rect(ask({"rect", name}));
        int x = 0, y = 0, width = 0, height = 0;
        ASSERT_TRUE(rect >> x >> y >> width >> height) << "no control " << name;
        desktop->movePointerTo(x + width / 2, y + height / 2);
        desktop->pressButton(1, true);
        desktop->pressButton(1, false);
        desktop->syncInput();
    }

    void type(uint32_t keysym) {
        desktop->pressKey(keysym, true);
        desktop->pressKey(keysym, false);
        desktop->syncInput();
    }

    // The resident memory of the instance, in kilobytes.
    long residentKilobytes() const {
        std::ifstream status("/proc/" + std::to_string(instance.pid()) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        }
        return -1;
    }

    ChildProcess instance;
};

constexpr uint32_t kControlL = 0xffe3, kAltL = 0xffe9;

// Holds Ctrl and the other modifier, types the key, lets go.
void typeWithControlAnd(VirtualDesktop& desktop, uint32_t modifier, uint32_t key) {
    desktop.pressKey(kControlL, true);
    if (modifier) desktop.pressKey(modifier, true);
    desktop.pressKey(key, true);
    desktop.pressKey(key, false);
    if (modifier) desktop.pressKey(modifier, false);
    desktop.pressKey(kControlL, false);
    desktop.syncInput();
}

TEST_F(SettingsTest, TheSnappingChoiceIsStoredAndShownAfterARestart) {
    startInstance();
    ASSERT_EQ(ask({"open", "snapping"}), "");
    ASSERT_TRUE(paneIs("Snapping"));
    ASSERT_EQ(ask({"value", "activationModifier"}), "Shift");
    click("activationModifier");
    ASSERT_TRUE(waitFor([&] { return ask({"popup"}) == "open"; }, 10s)) << "the list did not open";
    // The list opens on the current choice; the next one down is Ctrl.
    type(XK_Down);
    type(XK_Return);
    EXPECT_TRUE(waitFor([&] { return ask({"value", "activationModifier"}) == "Ctrl"; }, 10s));

    stopInstance();
    startInstance();
    ASSERT_EQ(ask({"open", "snapping"}), "");
    ASSERT_TRUE(paneIs("Snapping"));
    EXPECT_EQ(ask({"value", "activationModifier"}), "Ctrl");
}

TEST_F(SettingsTest, ResetAllToDefaultsBringsBackZone1sShortcutAfterARecording) {
    writeDragLayouts(desktop->dataHome());
    LayoutLibrary library = JSONDocumentStore<LayoutLibrary>(fs::path(desktop->dataHome()) / "Tessary" / "layouts.json")
                                .load()
                                .value()
                                .value();
    const Rect zone1 = ZoneGeometry::zones(*library.layout(*library.defaultLayoutID), Rect(0, 0, 1920, 1080))[0].rect;
    startInstance();
    ASSERT_EQ(ask({"open", "shortcuts"}), "");
    ASSERT_TRUE(paneIs("Shortcuts"));
    ASSERT_EQ(ask({"value", "shortcut.snapToZone1"}), "Ctrl+Alt+1");
    click("shortcut.snapToZone1");
    ASSERT_TRUE(waitFor([&] { return ask({"focus"}) == "shortcut.snapToZone1"; }, 10s)) << ask({"focus"});
    typeWithControlAnd(*desktop, 0, 'q');
    ASSERT_TRUE(waitFor([&] { return ask({"value", "shortcut.snapToZone1"}) != "Ctrl+Alt+1"; }, 10s))
        << "nothing was recorded";

    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
    auto at = [&](const Rect& target, std::chrono::milliseconds limit) {
        return waitFor([&] {
            const auto frame = platform->windows().outerFrame(window);
            return frame && std::abs(frame->minX() - target.minX()) <= 2 && std::abs(frame->minY() - target.minY()) <= 2 &&
                   std::abs(frame->maxX() - target.maxX()) <= 2 && std::abs(frame->maxY() - target.maxY()) <= 2;
        }, limit);
    };
    platform->windows().activate(window, 2s);
    typeWithControlAnd(*desktop, kAltL, '1');
    EXPECT_FALSE(at(zone1, 1500ms)) << "Ctrl+Alt+1 still snaps after another shortcut was recorded";

    click("primaryAction");
    ASSERT_TRUE(waitFor([&] { return ask({"rect", "confirm"}).rfind("status", 0) != 0; }, 10s)) << "no confirmation";
    click("confirm");
    EXPECT_TRUE(waitFor([&] { return ask({"value", "shortcut.snapToZone1"}) == "Ctrl+Alt+1"; }, 10s));
    platform->windows().activate(window, 2s);
    typeWithControlAnd(*desktop, kAltL, '1');
    EXPECT_TRUE(at(zone1, 10s)) << "Ctrl+Alt+1 did not snap the window after the reset";
    client.quit();
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
