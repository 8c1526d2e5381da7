#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <X11/keysym.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/harness/DesktopTest.h"

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
