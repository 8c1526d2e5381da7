// The layout editor of the real tessary program (the sanitizer build) under Xvfb, openbox and
// xcompmgr on two monitors: edited by clicks through XTest at the places the program reports for
// its controls ("editor-test rect NAME"), its edits saved and snapped into, its preview shown on the
// chosen monitor only; and what it costs while open and after it closed.

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/TessaryProgram.h"

#include <gmock/gmock.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_E2E_OUTPUT
#error "TESSARY_E2E_OUTPUT must name the folder for screenshots"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kShiftL = 0xffe1, kControlL = 0xffe3, kAltL = 0xffe9, kGrave = 0x60, kEscape = 0xff1b,
                   kBackSpace = 0xff08;
const Rect rightMonitor(1920, 0, 1920, 1080);

std::string programPath() { return programUnderTest(TESSARY_PROGRAM); }

ChildProcess startProgram(VirtualDesktop& desktop, std::vector<std::string> arguments) {
    ChildProcess::Options options;
    options.arguments = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", programPath()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = desktop.environment();
    options.environment.push_back("QT_QPA_PLATFORM=xcb");
    options.environment.push_back("TESSARY_DEBUG=1");
    options.environment.push_back("TESSARY_E2E=1");
    options.pipeStdout = true;
    return ChildProcess::start(options);
}

class EditorTest : public DesktopTest {
protected:
    void SetUp() override {
        VirtualDesktop::Options options;
        start(options);
        if (HasFatalFailure()) return;
        compositor = startCompositor({"xcompmgr"});
        writeDocuments();
    }

    // "Quarters" first in the list, the two-column "Halves" the default everywhere; onboarding done.
    void writeDocuments() {
        LayoutLibrary library;
        ZoneLayout quarters(LayoutTemplate::grid, 4, "Quarters");
        ZoneLayout halves(LayoutTemplate::columns, 2, "Halves");
        library.layouts = {quarters, halves};
        library.defaultLayoutID = halves.id;
        fs::create_directories(dataFolder());
        std::ofstream(dataFolder() / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        // The drag keys a user of this window manager chooses (Shift+drag is kwin's own tiling).
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << desktop->windowManager().onboardedUserDefaults();
    }
    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }

    // Starts the instance and waits until its services run and it answers later starts.
    void startInstance() {
        program = startProgram(*desktop, {});
        ASSERT_TRUE(expectLine(activeLine)) << testing::PrintToString(lines);
        const fs::path socket = fs::path(desktop->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop->display().substr(1) + ".socket");
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket); }, 10s)) << "no socket";
    }

    // Reads the instance's output until a line beginning with `prefix` arrives after the `from`th.
    bool expectLine(const std::string& prefix, std::size_t from = 0, std::chrono::milliseconds limit = 10s) {
        auto matches = [&](const std::string& l) { return l.rfind(prefix, 0) == 0; };
        if (std::any_of(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), matches)) return true;
        const auto deadline = Clock::now() + limit;
        while (auto next = program.readLine(deadline)) {
            lines.push_back(*next);
            if (matches(*next)) return true;
        }
        return false;
    }

    // Where the instance says the control called `name` is now; nothing when it shows none.
    std::optional<Rect> shown(const std::string& name) {
        ChildProcess later = startProgram(*desktop, {"editor-test", "rect", name});
        std::string answer;
        const auto deadline = Clock::now() + 10s;
        while (auto line = later.readLine(deadline)) answer += *line;
        const auto status = later.waitForExit(deadline);
        int x, y, w, h;
        if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0 && std::istringstream(answer) >> x >> y >> w >> h) {
            return Rect(x, y, w, h);
        }
        return std::nullopt;
    }

    // Where the instance says the control called `name` is, once it shows one.
    std::optional<Rect> place(const std::string& name) {
        std::optional<Rect> found;
        waitUntil([&] { return (found = shown(name)).has_value(); }, Clock::now() + 15s);
        return found;
    }

    // Whether the instance stops showing the control called `name` within a few seconds.
    bool goesAway(const std::string& name) {
        return waitUntil([&] { return !shown(name).has_value(); }, Clock::now() + 5s);
    }

    void click(const std::string& name) {
        const auto at = place(name);
        ASSERT_TRUE(at) << "the program shows no " << name;
        desktop->movePointerTo(int(at->midX()), int(at->midY()));
        desktop->pressButton(1, true);
        desktop->pressButton(1, false);
        desktop->syncInput();
    }

    void pressShortcut(std::initializer_list<uint32_t> keys) {
        for (uint32_t key : keys) desktop->pressKey(key, true);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) desktop->pressKey(*key, false);
        desktop->syncInput();
    }

    std::optional<xcb_window_t> editorWindow() {
        for (xcb_window_t client : platform->windows().clientList()) {
            if (platform->windows().processID(client) == program.pid()) return client;
        }
        return std::nullopt;
    }

    // Ctrl+Alt+grave, then waits until the editor is managed and laid out.
    void openEditor() {
        pressShortcut({kControlL, kAltL, kGrave});
        ASSERT_TRUE(waitFor([&] { return editorWindow().has_value(); }, 10s)) << "no editor window is managed";
        ASSERT_TRUE(place("Halves")) << "the editor lists no Halves";
    }

    // The stored "Halves", once the file holds it with `zoneCount` zones.
    std::optional<ZoneLayout> storedHalves(std::int64_t zoneCount) {
        std::optional<ZoneLayout> halves;
        waitFor(
            [&] {
                std::ifstream file(dataFolder() / "layouts.json");
                const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
                const auto library = JSONDocumentStore<LayoutLibrary>::decode(text);
                if (!library) return false;
                for (const ZoneLayout& layout : library.value().layouts) {
                    if (layout.name == "Halves" && layout.zoneCount() == zoneCount) halves = layout;
                }
                return halves.has_value();
            },
            10s);
        return halves;
    }

    // Whether a mapped override-redirect window of monitor size lies on the left or right monitor.
    std::pair<bool, bool> overlays() {
        xcb_connection_t* c = platform->connection().xcb();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, platform->connection().root()), nullptr);
        std::pair<bool, bool> found{false, false};
        if (!tree) return found;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
            // The program's own: a window manager has override-redirect windows of its own (a
            // hidden toolbar, the outline of a move).
            if (attributes && geometry && attributes->override_redirect &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE && geometry->width >= 1000 &&
                platform->windows().processID(children[i]) == program.pid()) {
                (geometry->x >= 1920 ? found.second : found.first) = true;
            }
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return found;
    }

    // The colour of one root pixel as ImageMagick reads it ("#RRGGBB").
    std::string pixel(Point p) {
        const std::string out = desktop->directory() + "/pixel.txt";
        ChildProcess::Options options;
        options.arguments = {"sh", "-c",
                             "import -window root -crop 1x1+" + std::to_string(int(p.x)) + "+" +
                                 std::to_string(int(p.y)) + " txt:- > " + out};
        options.environment = {"DISPLAY=" + desktop->display()};
        if (!ChildProcess::start(options).waitForExit(Clock::now() + 10s)) return {};
        std::ifstream in(out);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto at = text.rfind('#');
        return at == std::string::npos ? std::string() : text.substr(at, 7);
    }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // Shift-drags the window by its title bar to `point` and drops it there; waits, as a hand
    // would, for the program to see the button and for the window manager to start its move.
    void shiftDragTo(xcb_window_t window, Point point) {
        const std::size_t start = lines.size();
        const bool moved = dragTitleBar(
            window, desktop->windowManager().activationKeysym(), point,
            [&](int x, int y) {
                return expectLine("InputMonitor: left button down at " + std::to_string(x) + " " + std::to_string(y),
                                  start);
            },
            // Shift stays down until the drop was taken (see AppE2ETests).
            [&] { return expectLine("AppDelegate: snapped ", start); },
            [&] { EXPECT_TRUE(waitFor([&] { return overlays().second; }, 5s)) << "the drag's overlay did not show"; });
        ASSERT_TRUE(moved) << "the window manager does not move the window; " << testing::PrintToString(lines);
    }

    ChildProcess compositor;
    ChildProcess program;
    std::vector<std::string> lines;
};

TEST_F(EditorTest, ASplitMadeByClicksIsSavedAndSnappedIntoAndThePreviewShowsOnTheChosenMonitor) {
    startInstance();
    // The editor opens on the monitor under the pointer: the left one here.
    desktop->movePointerTo(400, 400);
    desktop->syncInput();
    ASSERT_NO_FATAL_FAILURE(openEditor());
    click("Halves");
    // The choices of the "Sizes for" box are a pop-up of their own.
    click("Sizes for");
    click("tessary-right");
    click("zone 2");
    click("Split Horizontally");

    // No Save step: the split is in the file on its own.
    const auto halves = storedHalves(3);
    ASSERT_TRUE(halves) << "layouts.json does not hold a Halves of three zones; " << testing::PrintToString(lines);
    const std::vector<Zone> zones = ZoneGeometry::zones(*halves, rightMonitor);
    const Point lowerRightQuarter{rightMonitor.minX() + rightMonitor.width() * 3 / 4,
                                  rightMonitor.minY() + rightMonitor.height() * 3 / 4};
    ASSERT_TRUE(zones[2].rect.contains(lowerRightQuarter)) << "zone 3 is " << zones[2].rect;

    // The preview covers the monitor chosen under "Sizes for", not the one the editor is on.
    // Spots of bare desktop: in the right monitor's zone 1, and low on the left monitor, below the
    // editor.
    const Point rightSpot{zones[0].rect.midX(), zones[0].rect.midY()}, leftSpot{100, 1000};
    const std::string bareRight = pixel(rightSpot), bareLeft = pixel(leftSpot);
    ASSERT_FALSE(bareRight.empty());
    click("Preview on Screen");
    ASSERT_TRUE(waitFor([&] { return overlays().second; }, 5s)) << "the preview did not show";
    const auto shownAt = Clock::now();
    EXPECT_FALSE(overlays().first) << "the preview covers the left monitor too";
    // Drawn by the compositor before the screenshot is taken.
    EXPECT_TRUE(waitUntil([&] { return pixel(rightSpot) != bareRight; }, Clock::now() + 3s))
        << "the preview's zones were never drawn";
    EXPECT_EQ(pixel(leftSpot), bareLeft);
    EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/editor-preview.png"},
                             Clock::now() + 10s));
    pressShortcut({kEscape});
    EXPECT_TRUE(waitFor([&] { return !overlays().second; }, 2s)) << "Esc left the preview on";
    // Well before the preview's own 5 s end.
    EXPECT_LT(Clock::now() - shownAt, 4500ms) << "the preview was not taken off by Esc but by its timeout";

    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=2100 y=200 w=400 h=300");
    ASSERT_NO_FATAL_FAILURE(shiftDragTo(window, lowerRightQuarter));
    EXPECT_TRUE(waitFor([&] { return frame(window) == zones[2].rect; }, 5s))
        << "the window is at " << frame(window) << ", zone 3 is " << zones[2].rect;
    client.quit();
}

// Merge disables itself once its zones are one: the keys go on to the zones, never to the
// layout's name, so a Backspace (the key that deletes a canvas's zones) renames nothing.
TEST_F(EditorTest, AKeyPressedAfterMergeLeavesTheLayoutsNamesAlone) {
    startInstance();
    desktop->movePointerTo(400, 400);
    desktop->syncInput();
    ASSERT_NO_FATAL_FAILURE(openEditor());
    // The layout the editor opened on, not one picked in the list.
    click("zone 1");
    click("zone 2");
    click("Merge");
    ASSERT_TRUE(storedHalves(1)) << "Halves was not merged into one zone; " << testing::PrintToString(lines);
    pressShortcut({kBackSpace});
    pressShortcut({'x'});

    // What `tessary list layouts` says, once the keys have been handled (a later start answers
    // after the instance's loop has taken them).
    auto names = [&] {
        ChildProcess later = startProgram(*desktop, {"list", "layouts"});
        std::vector<std::string> found;
        const auto deadline = Clock::now() + 10s;
        while (auto line = later.readLine(deadline)) {
            const auto first = line->find('\t'), second = line->find('\t', first + 1);
            if (first != std::string::npos && second != std::string::npos) {
                found.push_back(line->substr(first + 1, second - first - 1));
            }
        }
        later.waitForExit(deadline);
        return found;
    };
    EXPECT_THAT(names(), ::testing::ElementsAre("Quarters", "Halves"));
    EXPECT_TRUE(place("Halves")) << "the list no longer shows Halves";
}

// Monitors come and go while the editor is open: the "Sizes for" box, the proportions of the
// editing surface and the size line follow at once, without a click in the editor.
TEST_F(EditorTest, TheCanvasPaneFollowsMonitorsAddedAndRemovedWhileOpen) {
    if (VirtualDesktop::kind() == VirtualDesktop::Kind::outputs) {
        GTEST_SKIP() << "monitors made by xrandr --setmonitor; here each monitor is an output of its own";
    }
    startInstance();
    ASSERT_NO_FATAL_FAILURE(openEditor());
    click("Halves");
    const auto surfaceRatio = [&]() -> double {
        const auto surface = shown("Editing surface");
        return surface ? surface->width() / surface->height() : 0;
    };
    ASSERT_TRUE(place("Sizes for")) << "two monitors: the picker shows";
    EXPECT_TRUE(place("Sizes shown for tessary-left, 1920 \u00d7 1080 px"));
    EXPECT_NEAR(surfaceRatio(), 1920.0 / 1080, 0.05);

    // The two monitors become one wide one, on the screen's one output.
    const std::string firstOutput = "screen";
    ASSERT_TRUE(desktop->deleteMonitor("tessary-right"));
    ASSERT_TRUE(desktop->deleteMonitor("tessary-left"));
    ASSERT_TRUE(desktop->setMonitor({"tessary-wide", 0, 0, 3840, 1080}, firstOutput));
    EXPECT_TRUE(goesAway("Sizes for")) << "one monitor: the picker is gone";
    EXPECT_TRUE(place("Sizes shown for tessary-wide, 3840 \u00d7 1080 px")) << "the size line names the wide monitor";
    EXPECT_TRUE(waitFor([&] { return std::abs(surfaceRatio() - 3840.0 / 1080) < 0.1; }, 5s))
        << "the surface keeps the ratio " << surfaceRatio();

    // And back to two.
    ASSERT_TRUE(desktop->deleteMonitor("tessary-wide"));
    ASSERT_TRUE(desktop->setMonitor({"tessary-left", 0, 0, 1920, 1080}, firstOutput));
    ASSERT_TRUE(desktop->setMonitor({"tessary-right", 1920, 0, 1920, 1080}, "none"));
    EXPECT_TRUE(place("Sizes for")) << "two monitors again: the picker is back";
    EXPECT_TRUE(place("Sizes shown for tessary-left, 1920 \u00d7 1080 px"));
    EXPECT_TRUE(waitFor([&] { return std::abs(surfaceRatio() - 1920.0 / 1080) < 0.05; }, 5s));
}

// What the editor costs: its threads' context switches while it is open and nothing happens (the
// target is none) and the program's resident memory before it opened and after it closed
// (meaningful in an optimised build without sanitizers). Reported, not asserted.
// TESSARY_IDLE_SECONDS sets the idle span (5 s).
TEST_F(EditorTest, ReportsIdleWakeUpsWithTheEditorOpenAndMemoryAfterItClosed) {
    startInstance();
    const pid_t pid = program.pid();
    auto switches = [pid] { return e2e::contextSwitches(pid); };
    auto resident = [pid](const char* field = "VmRSS:") { return e2e::residentKilobytes(pid, field); };
    const long atStart = resident();
    ASSERT_NO_FATAL_FAILURE(openEditor());
    const long whileOpen = resident();

    const int seconds = e2e::idleSeconds();
    auto total = [](const std::map<std::string, long>& perThread) {
        long sum = 0;
        for (const auto& [thread, count] : perThread) sum += count;
        return sum;
    };
    // Opening ends when the window manager, the compositor and the first paints are done with it:
    // no switch for a whole second.
    long last = total(switches());
    const auto opened = Clock::now();
    auto quietSince = opened;
    const bool settled = waitUntil(
        [&] {
            const long now = total(switches());
            if (now != last) quietSince = Clock::now();
            last = now;
            return Clock::now() - quietSince >= 1s;
        },
        Clock::now() + 15s, -1, 100ms);
    EXPECT_TRUE(settled) << "the program never rests with the editor open";
    const auto settling = std::chrono::duration_cast<std::chrono::milliseconds>(quietSince - opened);
    const auto before = switches();
    waitUntil([] { return false; }, Clock::now() + std::chrono::seconds(seconds));
    long idle = 0;
    std::ostringstream busiest;
    for (const auto& [thread, count] : switches()) {
        const auto earlier = before.find(thread);
        const long woke = count - (earlier == before.end() ? 0 : earlier->second);
        idle += woke;
        if (woke > 0) {
            std::ifstream name("/proc/" + std::to_string(pid) + "/task/" + thread + "/comm");
            std::string comm;
            std::getline(name, comm);
            busiest << " " << comm << " " << woke;
        }
    }

    // Closed as a window manager closes it: WM_DELETE_WINDOW.
    const xcb_window_t editor = *editorWindow();
    xcb_connection_t* c = platform->connection().xcb();
    auto atom = [c](const char* name) {
        auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = editor;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, editor, uint32_t(XCB_EVENT_MASK_NO_EVENT), reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    ASSERT_TRUE(waitFor([&] { return !editorWindow().has_value(); }, 10s)) << "the editor did not close";
    const long afterClose = resident(), sharedAfterClose = resident("RssShmem:");

    // Closed is not gone: the shortcut brings the same editor back.
    pressShortcut({kControlL, kAltL, kGrave});
    const bool back = waitFor([&] { return editorWindow().has_value(); }, 10s);
    if (!back) expectLine("(the instance's log so far)", 0, 500ms);
    EXPECT_TRUE(back) << "the editor did not come back; " << testing::PrintToString(lines);
    EXPECT_TRUE(place("Halves")) << "the editor came back without its list";

    RecordProperty("editor_idle_context_switches", std::to_string(idle));
    RecordProperty("editor_settling_ms", std::to_string(settling.count()));
    RecordProperty("resident_kB_before_editor", std::to_string(atStart));
    RecordProperty("resident_kB_after_editor_closed", std::to_string(afterClose));
    std::cout << "[ MEASURE  ] tessary with the editor open: busy for " << settling.count()
              << " ms after it was shown, then " << idle << " context switches in " << seconds
              << " s idle (" << double(idle) / seconds << "/s;" << busiest.str() << "); resident " << atStart
              << " kB before the editor, " << whileOpen << " kB with it open, " << afterClose
              << " kB after it closed (" << sharedAfterClose << " kB of it shared with the X server)\n";
}

}  // namespace
}  // namespace tessary::e2e
