#pragma once

// The real program on a test desktop, onboarded, with the drag layouts (two columns on the right
// monitor, quarters elsewhere) and whatever more documents a test writes; its socket up.

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/TessaryProgram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

namespace tessary::e2e {

namespace fs = std::filesystem;

inline std::string programPath() { return programUnderTest(TESSARY_PROGRAM); }

class SnappingTest : public DesktopTest {
protected:
    void SetUp() override {
        start(desktopOptions());
        if (HasFatalFailure()) return;
        rightZones = writeDragLayouts(desktop->dataHome());
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << desktop->windowManager().onboardedUserDefaults();
        writeDocuments();
        program = std::make_unique<TessaryProgram>(*desktop, programPath());
        ASSERT_TRUE(program->expectLine(activeLine)) << testing::PrintToString(program->lines);
        const fs::path socket = fs::path(desktop->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop->display().substr(1) + ".socket");
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket); })) << "no socket";
    }
    void TearDown() override {
        program.reset();
        DesktopTest::TearDown();
    }
    // The window manager's own panel shows, as it installs: zones and moves keep off it.
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options;
        options.panels = true;
        return options;
    }
    // More of the user's documents, written before the program starts.
    virtual void writeDocuments() {}
    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // The first window of the process the window manager lists, once it is there and active.
    xcb_window_t awaitWindowOf(pid_t pid) {
        xcb_window_t found = XCB_WINDOW_NONE;
        EXPECT_TRUE(waitFor(
            [&] {
                const auto listed = listedWindows(*platform, pid);
                found = listed.empty() ? xcb_window_t{XCB_WINDOW_NONE} : listed.front();
                return found != XCB_WINDOW_NONE;
            },
            20s))
            << "no window of process " << pid;
        if (found != XCB_WINDOW_NONE) {
            EXPECT_TRUE(becomesActive(found)) << "the window of process " << pid;
        }
        return found;
    }

    // The window's frame once it has stayed put for a moment.
    Rect settledFrame(xcb_window_t window) {
        Rect last = frame(window);
        holds([&] { return std::exchange(last, frame(window)) == last; });
        return last;
    }

    // Drags the window by its title bar, the activation key held from before the press, into the
    // right monitor's right zone, the pointer moved `way`, and expects the zones on screen during
    // the drag and the snap reported; the frame the window settled at.
    Rect dropIntoTheRightZone(xcb_window_t window, DragWay way) {
        EXPECT_TRUE(waitFor([&] { return platform->windows().activeWindow() == window; }))
            << "the window manager did not activate the window";
        const std::size_t start = program->lines.size();
        const Rect target = rightZones[1].rect;
        bool overlay = false;
        const bool pressed = dragTitleBar(
            window, desktop->windowManager().activationKeysym(), Point{target.midX(), target.midY()},
            [&](int x, int y) {
                return program->expectLine(
                    "InputMonitor: left button down at " + std::to_string(x) + " " + std::to_string(y), start);
            },
            [&] { return program->expectLine("AppDelegate: snapped ", start, 5s); },
            [&] { overlay = waitFor([&] { return overlayMappedFrom(*platform, 1920, 1000, program->process.pid()); }); },
            way);
        EXPECT_TRUE(pressed) << testing::PrintToString(program->lines);
        EXPECT_TRUE(overlay) << "the zones did not show";
        EXPECT_TRUE(program->expectLine("AppDelegate: snapped ", start)) << testing::PrintToString(program->lines);
        return settledFrame(window);
    }
    void dragIntoTheRightZone(xcb_window_t window, DragWay way) {
        EXPECT_EQ(dropIntoTheRightZone(window, way), rightZones[1].rect);
    }

    std::unique_ptr<TessaryProgram> program;
    std::vector<Zone> rightZones;
};

}  // namespace tessary::e2e
