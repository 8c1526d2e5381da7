#pragma once

// The drag tests' desktop: the drag program on Xvfb with openbox (and, unless a test says
// otherwise, a compositing manager: xcompmgr, or the window manager's own), a test-client window to drag by its title bar through XTest, and the
// program's lines to wait on.

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/DragLayouts.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef TESSARY_DRAG_SNAP_PROGRAM
#error "TESSARY_DRAG_SNAP_PROGRAM must name the drag program"
#endif
#ifndef TESSARY_E2E_OUTPUT
#error "TESSARY_E2E_OUTPUT must name the folder for screenshots"
#endif

namespace tessary::e2e {

// Under AddressSanitizer freed memory waits in a quarantine and every allocation has shadow
// memory, so only the part shared with the X server says what the program keeps; the resident
// size is bounded in optimised builds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentSizeIsMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentSizeIsMeaningful = false;
#else
inline constexpr bool kResidentSizeIsMeaningful = true;
#endif
#else
inline constexpr bool kResidentSizeIsMeaningful = true;
#endif


class DragSnapTest : public DesktopTest {
protected:
    static constexpr int sanitizerExitStatus = 86;

    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        writeLayouts();
        // The compositor reports every window that vanished under it; its complaints are noise here.
        if (startsCompositor()) compositor = startCompositor();
        ChildProcess::Options options;
        options.arguments = {TESSARY_DRAG_SNAP_PROGRAM, "--idle-release-ms", "300",
                             "activation=" + desktop->windowManager().activationModifier,
                             "span=" + desktop->windowManager().spanModifier};
        // A sanitizer's report ends the program with a status of its own, whatever else the
        // caller's options say, so that it differs from the status the program ends with itself.
        const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
        options.environment = {"DISPLAY=" + desktop->display(), "QT_QPA_PLATFORM=xcb",
                               "XDG_DATA_HOME=" + desktop->directory() + "/data",
                               "XDG_CONFIG_HOME=" + desktop->directory() + "/config",
                               "ASAN_OPTIONS=" + std::string(sanitizerOptions ? sanitizerOptions : "") + ":exitcode=" +
                                   std::to_string(sanitizerExitStatus)};
        options.pipeStdout = true;
        options.pipeStdin = true;
        program = ChildProcess::start(options);
        ASSERT_TRUE(expectLine("ready"));
        // The layouts file names the right monitor by its key; the program must see the same.
        ASSERT_TRUE(expectLine("display " + std::to_string(rightDisplayID()) + " tessary-right@1920x1080"))
            << "the right monitor's display key is not the one the layouts file assigns";
        client = std::make_unique<TestClient>(desktop->startClient());
        window = openWindow(*client, "x=300 y=300 w=400 h=300");
        // marco starts no move on a window it has mapped but not yet activated; every window manager
        // here activates a new window (xfwm4 on a busy machine only when asked, as by a taskbar),
        // and a hand comes later than that.
        ASSERT_TRUE(becomesActive(window)) << "the window manager did not activate the new window";
    }

    void TearDown() override {
        program.kill();
        xterm.kill();
        if (client) client->quit();
        compositor.kill();
        DesktopTest::TearDown();
    }

    // Whether the desktop has a compositing manager from the start.
    virtual bool startsCompositor() const { return true; }

    void writeLayouts() {
        rightZones = writeDragLayouts(desktop->dataHome());
        ASSERT_EQ(rightZones.size(), 2u);
    }

    std::uint32_t rightDisplayID() {
        auto screens = platform->screens().screens();
        for (const auto& screen : screens) {
            if (screen.connectorName == "tessary-right" && screen.displayNumber) return *screen.displayNumber;
        }
        ADD_FAILURE() << "no right monitor";
        return 0;
    }

    // Finds the next line, after the last one found, that equals `line` (or starts with it, for a
    // prefix ending in a space), reading more of the program's output while needed. Every line read
    // is kept in `seen`.
    bool expectLine(const std::string& line, std::chrono::milliseconds limit = 10s) {
        return findLine(line, cursor, limit);
    }

    // The same with a cursor of its own, for the pacing of the input: it reads ahead without
    // passing over what expectLine looks for.
    bool awaitInput(const std::string& line) { return findLine(line, inputCursor, 10s); }

    bool findLine(const std::string& line, size_t& from, std::chrono::milliseconds limit) {
        auto matches = [&](const std::string& l) { return l == line || (line.back() == ' ' && l.rfind(line, 0) == 0); };
        for (; from < seen.size(); ++from) {
            if (matches(seen[from])) return ++from, true;
        }
        const auto deadline = Clock::now() + limit;
        while (auto next = program.readLine(deadline)) {
            seen.push_back(*next);
            from = seen.size();
            if (matches(*next)) return true;
        }
        return false;
    }

    // The last line found by expectLine.
    const std::string& found() const { return seen[cursor - 1]; }

    bool sawLineStartingWith(const std::string& prefix) const {
        return std::any_of(seen.begin(), seen.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }

    Rect frame() { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // Presses the left button on the window's title bar and nudges the pointer until the window
    // manager moves the window, and waits for it to follow before it drags on; from then on the
    // window keeps its offset to the pointer.
    Point grabTitleBar() {
        EXPECT_TRUE(becomesActive(window)) << "the window manager did not activate the window";
        const Rect outer = frame();
        const auto geometry = platform->windows().geometry(window);
        EXPECT_TRUE(geometry);
        pointer = Point{std::floor(outer.midX()), std::floor(outer.minY() + (geometry ? geometry->frame.top / 2 : 5))};
        desktop->movePointerTo(int(pointer.x), int(pointer.y));
        const Point start = pointer;
        desktop->pressButton(1, true);
        // The program reads the pointer when it handles a notice; a hand is never faster than that.
        EXPECT_TRUE(awaitInput("input down " + at(pointer))) << testing::PrintToString(seen);
        const auto deadline = Clock::now() + 10s;
        while (frame().origin == outer.origin && Clock::now() < deadline) {
            step(1, 0);
            waitFor([&] { return frame().origin != outer.origin; }, 100ms);
        }
        EXPECT_NE(frame().origin, outer.origin) << "the window manager does not move the window";
        // Most window managers keep the pressed point under the pointer and may catch up over a few
        // moves; openbox keeps the offset it finds when its move begins.
        const Point pressed{pointer.x + (outer.x() - start.x), pointer.y + (outer.y() - start.y)};
        waitFor([&] { return frame().origin == pressed; }, 300ms);
        offset = Point{frame().x() - pointer.x, frame().y() - pointer.y};
        return pointer;
    }

    // Moves the pointer in steps, as a hand would, each once the program has followed the last and
    // the window manager has moved the window along.
    void dragBy(int dx, int dy, int steps = 24) {
        int doneX = 0, doneY = 0;
        for (int i = 1; i <= steps && !HasFatalFailure(); ++i) {
            const int x = dx * i / steps, y = dy * i / steps;
            step(x - doneX, y - doneY);
            doneX = x;
            doneY = y;
        }
    }

    void step(int dx, int dy) {
        desktop->movePointerBy(dx, dy);
        pointer = Point{pointer.x + dx, pointer.y + dy};
        if (offset) {
            const Point origin{pointer.x + offset->x, pointer.y + offset->y};
            const double lag = WindowManager::current().edgeResistance;
            ASSERT_TRUE(waitFor([&] {
                const Point at = frame().origin;
                return std::abs(at.x - origin.x) <= lag && std::abs(at.y - origin.y) <= lag;
            })) << "the window is at " << frame() << ", not at " << origin;
        }
        ASSERT_TRUE(awaitInput("input drag " + at(pointer))) << testing::PrintToString(seen);
    }

    // Presses or lets go of a modifier key, once the program has seen the change.
    void key(uint32_t keysym, bool down) {
        desktop->pressKey(keysym, down);
        EXPECT_TRUE(awaitInput("input keys ")) << testing::PrintToString(seen);
    }

    static std::string at(Point p) { return std::to_string(int(p.x)) + " " + std::to_string(int(p.y)) + " "; }

    bool waitForFrame(const Rect& expected) {
        return waitFor([&] { return frame() == expected; }, 5s);
    }

    // The colour of one root pixel as ImageMagick reads it ("srgb(...)").
    std::string pixel(int x, int y) {
        const std::string out = desktop->directory() + "/pixel.txt";
        ChildProcess::Options options;
        options.arguments = {"sh", "-c",
                             "import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                                 " txt:- > " + out};
        options.environment = {"DISPLAY=" + desktop->display()};
        auto status = ChildProcess::start(options).waitForExit(Clock::now() + 10s);
        if (!status) return {};
        std::ifstream in(out);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // "#RRGGBB", or "#RRRRGGGGBBBB" where ImageMagick counts in 16 bits.
        const auto at = text.rfind('#');
        if (at == std::string::npos) return {};
        const std::string hex = text.substr(at + 1, text.find_first_of(" \t\n", at) - at - 1);
        if (hex.size() == 12) return "#" + hex.substr(0, 2) + hex.substr(4, 2) + hex.substr(8, 2);
        return "#" + hex.substr(0, 6);
    }

    // The program's resident memory in kilobytes: all of it, and the part shared with the X
    // server (the windows' pixel buffers, through MIT-SHM).
    struct Memory {
        long resident = -1;
        long shared = -1;
    };
    Memory memory() {
        std::ifstream status("/proc/" + std::to_string(program.pid()) + "/status");
        Memory m;
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) m.resident = std::stol(line.substr(6));
            if (line.rfind("RssShmem:", 0) == 0) m.shared = std::stol(line.substr(9));
        }
        return m;
    }
    Memory reportMemory(const std::string& when, const std::string& property) {
        const Memory m = memory();
        RecordProperty(property, std::to_string(m.resident));
        std::cout << "[ MEMORY   ] drag program resident " << when << ": " << m.resident << " kB (" << m.shared
                  << " kB shared with the X server)\n";
        return m;
    }

    // The keys a user of this window manager holds (Shift and Control unless Shift+drag is the
    // window manager's own).
    uint32_t activationKey() const { return desktop->windowManager().activationKeysym(); }
    uint32_t spanKey() const { return desktop->windowManager().spanKeysym(); }

    // Drags the window with the activation key by its title bar into the right monitor's right zone, to its middle,
    // and waits until the overlay highlights that zone. A window already in the zone fills it:
    // it is dragged level, 200 pixels left, since openbox resists moving it past the screen's
    // bottom edge.
    void dragIntoTheRightZone() {
        const Rect right = rightZones[1].rect;
        const bool inside = frame() == right;
        key(activationKey(), true);
        const Point start = grabTitleBar();
        if (inside) {
            dragBy(-200, 0);
        } else {
            dragBy(int(right.midX() - start.x), int(right.midY() - start.y));
        }
        ASSERT_TRUE(expectLine("highlight " + std::to_string(rightDisplayID()) + " [1]"))
            << testing::PrintToString(seen);
    }

    // Lets go of the drag begun by dragIntoTheRightZone and checks the snap and the hide.
    void dropIntoTheRightZone() {
        const Rect right = rightZones[1].rect;
        desktop->pressButton(1, false);
        ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
        std::ostringstream expected;
        expected << "snap " << rightDisplayID() << " [1] " << right.x() << " " << right.y() << " " << right.width()
                 << " " << right.height();
        EXPECT_EQ(found(), expected.str());
        EXPECT_TRUE(waitForFrame(right)) << "the window is at " << frame() << ", the zone at " << right;
        EXPECT_TRUE(expectLine("hide"));
        key(activationKey(), false);
        offset.reset();
    }

    ChildProcess compositor;
    ChildProcess program;
    ChildProcess xterm;
    std::unique_ptr<TestClient> client;
    xcb_window_t window = 0;
    std::vector<Zone> rightZones;
    std::vector<std::string> seen;
    size_t cursor = 0;
    size_t inputCursor = 0;
    Point pointer;
    // The window's origin less the pointer, once the window manager moves the window.
    std::optional<Point> offset;
};

}  // namespace tessary::e2e
