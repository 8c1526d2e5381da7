#pragma once

// The real program on a virtual desktop, its settings window driven as a user drives it: XTest
// clicks at the places its test-only query (`tessary settings-test`, under TESSARY_E2E) reports.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TessaryCore/Geometry.h"

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/TessaryProgram.h"

namespace tessary::e2e {

class SettingsDesktopTest : public DesktopTest {
protected:
    void SetUp() override {
        start(desktopOptions());
        if (HasFatalFailure()) return;
        std::filesystem::create_directories(std::filesystem::path(desktop->configHome()) / "Tessary");
        std::ofstream(std::filesystem::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
    }

    void TearDown() override {
        instance.kill();
        DesktopTest::TearDown();
    }

    // The desktop a fixture wants (the window manager's own key bindings, say).
    virtual VirtualDesktop::Options desktopOptions() const { return {}; }

    ChildProcess::Options programOptions(std::vector<std::string> arguments) const {
        ChildProcess::Options options;
        options.arguments = {programUnderTest(TESSARY_PROGRAM)};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = desktop->environment();
        options.environment.insert(options.environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.environment.push_back("TESSARY_E2E=1");
        return options;
    }

    std::filesystem::path socket() const {
        return std::filesystem::path(desktop->runtimeDirectory()) / "tessary" /
               ("local-" + desktop->display().substr(1) + ".socket");
    }

    void startInstance() {
        // The instance's log goes to the test's output, where a failure's story is read.
        instance = ChildProcess::start(programOptions({}));
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(socket()); }, 20s)) << "the instance never answered";
    }

    void stopInstance() {
        ::kill(instance.pid(), SIGTERM);
        const auto status = instance.waitForExit(Clock::now() + 10s);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        EXPECT_TRUE(waitFor([&] { return !std::filesystem::exists(socket()); }));
    }

    // A later start's reply to the settings query (its first line), or "status " and the reply
    // when it failed.
    std::string ask(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "settings-test");
        return answerTo(std::move(arguments));
    }

    void throughTheProgramsLoop() override { answerTo({"list", "layouts"}); }

    // A later start's reply (its first line that says something), or "status " and the reply when
    // it failed.
    std::string answerTo(const std::vector<std::string>& arguments) {
        const auto [succeeded, lines] = answerLines(arguments);
        const auto said = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); });
        const std::string reply = said == lines.end() ? std::string() : *said;
        return succeeded ? reply : "status " + reply;
    }

    // Every line of a later start's reply, and whether it succeeded.
    std::pair<bool, std::vector<std::string>> answerLines(const std::vector<std::string>& arguments) {
        ChildProcess::Options options = programOptions(arguments);
        // Its replies go to standard error: read them with its output.
        options.arguments.insert(options.arguments.begin(), {"sh", "-c", "exec \"$0\" \"$@\" 2>&1"});
        options.pipeStdout = true;
        ChildProcess later = ChildProcess::start(options);
        const auto deadline = Clock::now() + 10s;
        std::vector<std::string> lines;
        while (auto line = later.readLine(deadline)) lines.push_back(*line);
        const auto status = later.waitForExit(deadline);
        return {status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0, lines};
    }

    bool paneIs(const std::string& title) {
        return waitFor([&] { return ask({"pane"}) == title; }, 10s);
    }

    void open(const std::string& pane, const std::string& title) {
        ASSERT_EQ(ask({"open", pane}), "");
        ASSERT_TRUE(paneIs(title)) << ask({"pane"});
    }

    // Where a control the query names is, once it is shown: inside a window, where the X server
    // shows that window, which Qt's idea of it may miss (icewm leaves it stale for a dialog).
    // `verb` "field" gives the text field inside a control made around one (a shortcut recorder).
    std::optional<Rect> controlRect(const std::string& name, std::chrono::milliseconds limit = 10s,
                                    const std::string& verb = "rect") {
        std::optional<Rect> found;
        waitFor([&] {
            std::istringstream reply(ask({verb, name}));
            int x = 0, y = 0, width = 0, height = 0;
            if (!(reply >> x >> y >> width >> height)) return false;
            std::string word;
            xcb_window_t window = XCB_WINDOW_NONE;
            int believedX = 0, believedY = 0;
            if (reply >> word >> window >> believedX >> believedY && word == "window") {
                X11Connection& c = platform->connection();
                const auto shown = c.reply(xcb_translate_coordinates_reply,
                                           xcb_translate_coordinates(c.xcb(), window, c.root(), 0, 0),
                                           "TranslateCoordinates", X11ErrorTolerance::windowMayVanish);
                if (!shown) return false;
                x += shown->dst_x - believedX;
                y += shown->dst_y - believedY;
            }
            found = Rect(x, y, width, height);
            return true;
        }, limit);
        return found;
    }

    void clickAt(int x, int y) {
        desktop->movePointerTo(x, y);
        desktop->pressButton(1, true);
        desktop->pressButton(1, false);
        desktop->syncInput();
    }

    // Clicks the middle of a named control (see the query's "rect").
    void click(const std::string& name) {
        const auto rect = controlRect(name);
        ASSERT_TRUE(rect) << "no control " << name;
        clickAt(int(rect->midX()), int(rect->midY()));
    }

    void type(uint32_t keysym) {
        desktop->pressKey(keysym, true);
        desktop->pressKey(keysym, false);
        desktop->syncInput();
    }

    void typeText(const std::string& text) {
        for (char c : text) {
            const bool upper = c >= 'A' && c <= 'Z';
            if (upper) desktop->pressKey(XK_Shift_L, true);
            type(static_cast<unsigned char>(upper ? c - 'A' + 'a' : c));
            if (upper) desktop->pressKey(XK_Shift_L, false);
        }
        desktop->syncInput();
    }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // Programs the instance is started with beyond the desktop's own (XDG_DATA_DIRS, say).
    std::vector<std::string> extraEnvironment;
    ChildProcess instance;
};

}  // namespace tessary::e2e
