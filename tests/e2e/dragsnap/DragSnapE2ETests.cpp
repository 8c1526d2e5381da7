// Drag-to-snap end to end: a test-client window dragged by its title bar through XTest, with
// openbox moving it, the drag program watching, and the overlay drawn through a compositor.

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
namespace {


// Under AddressSanitizer freed memory waits in a quarantine and every allocation has shadow
// memory, so only the part shared with the X server says what the program keeps; the resident
// size is bounded in optimised builds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSizeIsMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentSizeIsMeaningful = false;
#else
constexpr bool kResidentSizeIsMeaningful = true;
#endif
#else
constexpr bool kResidentSizeIsMeaningful = true;
#endif


class DragSnapTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        writeLayouts();
        // The compositor reports every window that vanished under it; its complaints are noise here.
        compositor = desktop->start({"sh", "-c", "exec xcompmgr 2>/dev/null"});
        ChildProcess::Options options;
        options.arguments = {TESSARY_DRAG_SNAP_PROGRAM, "--idle-release-ms", "300",
                             "activation=" + desktop->windowManager().activationModifier,
                             "span=" + desktop->windowManager().spanModifier};
        options.environment = {"DISPLAY=" + desktop->display(), "QT_QPA_PLATFORM=xcb",
                               "XDG_DATA_HOME=" + desktop->directory() + "/data",
                               "XDG_CONFIG_HOME=" + desktop->directory() + "/config"};
        options.pipeStdout = true;
        program = ChildProcess::start(options);
        ASSERT_TRUE(expectLine("ready"));
        // The layouts file names the right monitor by its key; the program must see the same.
        ASSERT_TRUE(expectLine("display " + std::to_string(rightDisplayID()) + " tessary-right@1920x1080"))
            << "the right monitor's display key is not the one the layouts file assigns";
        client = std::make_unique<TestClient>(desktop->startClient());
        window = openWindow(*client, "x=300 y=300 w=400 h=300");
    }

    void TearDown() override {
        program.kill();
        xterm.kill();
        if (client) client->quit();
        compositor.kill();
        DesktopTest::TearDown();
    }

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
            ASSERT_TRUE(waitFor([&] { return frame().origin == origin; }))
                << "the window is at " << frame() << ", not at " << origin;
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
        auto at = text.rfind('#');
        return at == std::string::npos ? std::string() : text.substr(at, 7);
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

TEST_F(DragSnapTest, ADragWithTheActivationKeyOntoTheRightHalfOfTheSecondMonitorSnapsTheWindowThere) {
    const Rect left = rightZones[0].rect;
    // A spot of bare desktop in the right monitor's left zone, before the overlay covers it.
    const int spotX = int(left.midX()), spotY = int(left.midY() + 200);
    const std::string bare = pixel(spotX, spotY);
    ASSERT_FALSE(bare.empty());
    const Memory idle = reportMemory("before any overlay", "idle_rss_kb");

    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    EXPECT_TRUE(sawLineStartingWith("show "));
    // The overlay is on screen: wait until the compositor has drawn its tint over that spot, then
    // keep a screenshot for a human to look at.
    std::string tinted;
    EXPECT_TRUE(waitUntil([&] { return (tinted = pixel(spotX, spotY)) != bare; }, Clock::now() + 10s))
        << "the overlay never showed over " << bare;
    EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/drag-snap-overlay.png"},
                             Clock::now() + 20s));
    tinted = pixel(spotX, spotY);  // settled by now
    reportMemory("with the overlays shown", "overlay_rss_kb");
    dropIntoTheRightZone();
    if (HasFatalFailure()) return;

    // The overlay windows stay for the next drag, hidden; once idle, without their pixel buffers (two
    // 1920x1080 buffers are about 16 MB): what is left is code and fonts paged in for drawing.
    EXPECT_TRUE(waitUntil([&] { return memory().shared - idle.shared < 1024; }, Clock::now() + 10s))
        << "the idle overlays keep their buffers";
    const Memory after = reportMemory("after the drag, the overlays idle", "after_drag_rss_kb");
    if (kResidentSizeIsMeaningful) {
        EXPECT_LT(after.resident - idle.resident, 12 * 1024) << "the idle program grew by a drag";
    }

    // A second drag draws into new buffers: the same tint over the same spot, and its own
    // screenshot to compare with the first.
    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    std::string again;
    EXPECT_TRUE(waitUntil([&] { return (again = pixel(spotX, spotY)) == tinted; }, Clock::now() + 10s))
        << "the second drag's overlay shows " << again << " where the first showed " << tinted;
    EXPECT_TRUE(desktop->run(
        {"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/drag-snap-overlay-again.png"},
        Clock::now() + 20s));
    reportMemory("with the overlays shown again", "overlay_again_rss_kb");
    dropIntoTheRightZone();
    if (HasFatalFailure()) return;
    EXPECT_TRUE(waitUntil([&] { return memory().shared - idle.shared < 1024; }, Clock::now() + 10s))
        << "the idle overlays keep their buffers";
    const Memory afterSecond = reportMemory("after the second drag", "after_second_drag_rss_kb");
    if (kResidentSizeIsMeaningful) {
        EXPECT_LT(afterSecond.resident - after.resident, 2 * 1024) << "every drag leaves memory behind";
    }
}

// An xterm steps its size in 6x13 character cells and has a border: it takes the largest size that
// fits, centred (within the 2.0 points of every frame comparison), and that is a snap the program
// reports and remembers.
TEST_F(DragSnapTest, ADraggedXtermSnapsCentredWithinACellOfTheZoneAndIsRemembered) {
    xterm = desktop->startXterm("80x24+200+200", "xterm to snap");
    window = XCB_WINDOW_NONE;
    ASSERT_TRUE(waitFor([&] {
        for (const X11Client& c : platform->tracker().clients()) {
            if (c.windowClass == "XTerm") window = c.window;
        }
        return window != XCB_WINDOW_NONE;
    }));
    const Rect zone = rightZones[1].rect;
    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    desktop->pressButton(1, false);
    ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
    EXPECT_EQ(found().rfind("snap " + std::to_string(rightDisplayID()) + " [1] ", 0), 0u) << found();
    const auto withinACellCentred = [&] {
        const Rect f = frame();
        return f.width() <= zone.width() && f.width() > zone.width() - 6 && f.height() <= zone.height() &&
               f.height() > zone.height() - 13 &&
               std::fabs(f.x() - (zone.x() + std::round((zone.width() - f.width()) / 2))) <= 2.0 &&
               std::fabs(f.y() - (zone.y() + std::round((zone.height() - f.height()) / 2))) <= 2.0;
    };
    EXPECT_TRUE(waitFor(withinACellCentred)) << "the xterm is at " << frame() << ", the zone at " << zone;
    EXPECT_TRUE(expectLine("hide"));
    key(activationKey(), false);

    // Remembered for its application, on the right monitor, in the right zone: saved a second later.
    JSONDocumentStore<WindowPlacementMemory> store(std::filesystem::path(desktop->directory()) / "data" / "Tessary" /
                                                   "memory.json");
    std::optional<WindowPlacementMemory> memory;
    EXPECT_TRUE(waitUntil(
        [&] {
            auto loaded = store.load();
            if (loaded && *loaded) memory = **loaded;
            return memory.has_value();
        },
        Clock::now() + 5s));
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->byApp.count("XTerm"), 1u) << "memory.json has no entry for XTerm";
    EXPECT_EQ(memory->byApp.at("XTerm").displayKey, "tessary-right@1920x1080");
    EXPECT_EQ(memory->byApp.at("XTerm").zoneIndices, std::vector<std::int64_t>{1});
}

TEST_F(DragSnapTest, TheSameDragWithoutTheKeyLeavesTheWindowWhereItWasDropped) {
    const Rect right = rightZones[1].rect;
    const Rect before = frame();
    const Point start = grabTitleBar();
    dragBy(int(right.midX() - start.x), int(right.midY() - start.y));
    desktop->pressButton(1, false);
    ASSERT_TRUE(expectLine("ended")) << testing::PrintToString(seen);
    ASSERT_TRUE(offset);
    const Rect dropped(pointer.x + offset->x, pointer.y + offset->y, before.width(), before.height());
    EXPECT_TRUE(waitForFrame(dropped)) << "the window is at " << frame() << ", dropped at " << dropped;
    EXPECT_FALSE(sawLineStartingWith("show ")) << testing::PrintToString(seen);
    EXPECT_FALSE(sawLineStartingWith("snap ")) << testing::PrintToString(seen);
}

TEST_F(DragSnapTest, WithTheSpanKeyAddedTheWindowSpansBothZones) {
    const Rect left = rightZones[0].rect, right = rightZones[1].rect;
    const std::string id = std::to_string(rightDisplayID());
    key(activationKey(), true);
    const Point start = grabTitleBar();
    dragBy(int(left.midX() - start.x), int(left.midY() - start.y));
    ASSERT_TRUE(expectLine("highlight " + id + " [0]")) << testing::PrintToString(seen);
    key(spanKey(), true);
    dragBy(int(right.midX() - left.midX()), 0);
    ASSERT_TRUE(expectLine("highlight " + id + " [0,1]")) << testing::PrintToString(seen);
    desktop->pressButton(1, false);
    const Rect both = left.unionWith(right);
    ASSERT_TRUE(expectLine("snap ")) << testing::PrintToString(seen);
    EXPECT_EQ(found().rfind("snap " + id + " [0,1] ", 0), 0u) << found();
    EXPECT_TRUE(waitForFrame(both)) << "the window is at " << frame() << ", the zones at " << both;
    key(spanKey(), false);
    key(activationKey(), false);
}

}  // namespace
}  // namespace tessary::e2e
