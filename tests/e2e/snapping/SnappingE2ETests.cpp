// Snapping as users meet it, with the real program: every kind of pointer, a window manager that
// does not move a window dragged with the key held from the press, windows maximised or full
// screen, and windows larger than their zone.

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/TessaryProgram.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

const std::string activeLine = "AppDelegate: drag snapping, shortcuts and window memory active";

class SnappingTest : public DesktopTest {
protected:
    void SetUp() override {
        start(desktopOptions());
        if (HasFatalFailure()) return;
        rightZones = writeDragLayouts(desktop->dataHome());
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << desktop->windowManager().onboardedUserDefaults();
        program = std::make_unique<TessaryProgram>(*desktop, TESSARY_PROGRAM);
        ASSERT_TRUE(program->expectLine(activeLine)) << testing::PrintToString(program->lines);
        const fs::path socket = fs::path(desktop->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop->display().substr(1) + ".socket");
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket); })) << "no socket";
    }
    void TearDown() override {
        program.reset();
        DesktopTest::TearDown();
    }
    virtual VirtualDesktop::Options desktopOptions() const { return {}; }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // Whether the condition comes true within 5 s and then stays so for 300 ms on end.
    bool holds(const std::function<bool()>& condition) {
        auto since = Clock::time_point::max();
        return waitFor(
            [&] {
                if (!condition()) {
                    since = Clock::time_point::max();
                    return false;
                }
                if (since == Clock::time_point::max()) since = Clock::now();
                return Clock::now() - since >= 300ms;
            },
            5s);
    }

    // Drags the window by its title bar, the activation key held from before the press, into the
    // right monitor's right zone, the pointer moved `way`; whether it ended there, snapped and
    // reported as such, with the zones on screen during the drag.
    void dragIntoTheRightZone(xcb_window_t window, DragWay way) {
        ASSERT_TRUE(waitFor([&] { return platform->windows().activeWindow() == window; }))
            << "the window manager did not activate the window";
        const std::size_t start = program->lines.size();
        const Rect target = rightZones[1].rect;
        bool overlay = false, snapped = false;
        const bool pressed = dragTitleBar(
            window, desktop->windowManager().activationKeysym(), Point{target.midX(), target.midY()},
            [&](int x, int y) {
                return program->expectLine(
                    "InputMonitor: left button down at " + std::to_string(x) + " " + std::to_string(y), start);
            },
            [&] { return snapped = holds([&] { return frame(window) == target; }); },
            [&] { overlay = waitFor([&] { return overlayMappedFrom(*platform, 1920, 1000, program->process.pid()); }); },
            way);
        ASSERT_TRUE(pressed) << testing::PrintToString(program->lines);
        EXPECT_TRUE(overlay) << "the zones did not show";
        EXPECT_TRUE(snapped) << "the window is at " << frame(window);
        EXPECT_TRUE(program->expectLine("AppDelegate: snapped ", start)) << testing::PrintToString(program->lines);
    }

    std::unique_ptr<TessaryProgram> program;
    std::vector<Zone> rightZones;
};

const struct PointerRow {
    const char* name;
    Pointer pointer;
} pointerRows[] = {
    {"a mouse (relative motion)", Pointer::relative},
    {"a tablet, remote desktop or input-sharing tool (XTest's absolute motion)", Pointer::absolute},
    {"a warped pointer (as xdotool mousemove moves it)", Pointer::warped},
};

TEST_F(SnappingTest, ADragSnapsWhateverMovesThePointer) {
    TestClient client = desktop->startClient();
    for (const PointerRow& row : pointerRows) {
        SCOPED_TRACE(row.name);
        const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
        dragIntoTheRightZone(window, {row.pointer, true});
        client.close(window);
    }
}

// openbox out of the box moves no window whose title bar is dragged with Shift held from the press:
// the zones that showed still promise the drop.
class StockOpenboxSnappingTest : public SnappingTest {
protected:
    void SetUp() override {
        if (WindowManager::current().name != "openbox") GTEST_SKIP() << "openbox's own mouse bindings";
        SnappingTest::SetUp();
    }
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options;
        options.stockMouseBindings = true;
        return options;
    }
};

TEST_F(StockOpenboxSnappingTest, ADragTheWindowManagerDoesNotMoveSnapsWhereTheZonesShowed) {
    TestClient client = desktop->startClient();
    for (const PointerRow& row : pointerRows) {
        SCOPED_TRACE(row.name);
        const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
        dragIntoTheRightZone(window, {row.pointer, false});
        client.close(window);
    }
}

}  // namespace
}  // namespace tessary::e2e
