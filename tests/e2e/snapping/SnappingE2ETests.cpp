// Snapping as users meet it, with the real program: every kind of pointer, a window manager that
// does not move a window dragged with the key held from the press, windows maximised or full
// screen, and windows larger than their zone.

#include "tests/e2e/snapping/SnappingFixture.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/ZoneGeometry.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <thread>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace tessary::e2e {
namespace {

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

// A script that warps the pointer (xdotool mousemove) and pauses, right after the press or midway:
// no raw motion tells of the moves after the pause, and the drag is followed all the same.
TEST_F(SnappingTest, AWarpedDragIsFollowedAfterItsPauses) {
    TestClient client = desktop->startClient();
    const struct {
        const char* name;
        DragWay way;
    } rows[] = {
        {"a pause of 1.5 s after the press", {Pointer::warped, true, std::chrono::milliseconds(1500), {}}},
        {"a pause of 1.6 s midway", {Pointer::warped, true, {}, std::chrono::milliseconds(1600)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
        dragIntoTheRightZone(window, row.way);
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

constexpr uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kSuperL = 0xffeb, kLeft = 0xff51, kDigit1 = 0x31, kDigit2 = 0x32;

// Windows maximised or full screen: leaving the state changes a window's frame extents (the window
// manager's, and a client-side decorated window's own margin), and a client may settle its size
// after the move. Whatever state the window was in, the same snap ends at the same frame, and the
// program reports it only once it is there.
class WindowStateTest : public SnappingTest {
protected:
    enum class State { maximised, fullScreen };

    // Sets the state as a pager asks for it, and waits until the window manager says so.
    void enter(xcb_window_t window, State state) {
        const X11Atoms& a = platform->connection().atoms();
        constexpr uint32_t add = 1, pager = 2;
        sendClientMessage(window, "_NET_WM_STATE",
                          {add, state == State::maximised ? a._NET_WM_STATE_MAXIMIZED_VERT : a._NET_WM_STATE_FULLSCREEN,
                           state == State::maximised ? a._NET_WM_STATE_MAXIMIZED_HORZ : xcb_atom_t(XCB_ATOM_NONE), pager, 0});
        const xcb_atom_t wanted = state == State::maximised ? a._NET_WM_STATE_MAXIMIZED_VERT : a._NET_WM_STATE_FULLSCREEN;
        ASSERT_TRUE(waitFor([&] {
            auto value = X11Property::read(platform->connection(), window, a._NET_WM_STATE, XCB_ATOM_ATOM,
                                           X11ErrorTolerance::windowMayVanish);
            if (!value) return false;
            const auto states = value->cardinals();
            return std::find(states.begin(), states.end(), wanted) != states.end();
        })) << "the window manager did not change the window's state";
        // Its frame (and a client-side decorated window's margin) follow the state.
        const Rect before = frame(window);
        waitFor([&] { return frame(window) != before; }, 2s);
        settledFrame(window);
    }

    // Ctrl+Alt+1 as a keyboard types it; true once the program reported the snap.
    bool snapByShortcut() {
        const std::size_t start = program->lines.size();
        for (uint32_t key : {kControlL, kAltL, kDigit1}) desktop->pressKey(key, true);
        for (uint32_t key : {kDigit1, kAltL, kControlL}) desktop->pressKey(key, false);
        return program->expectLine("AppDelegate: snapped ", start);
    }

    // The window each client opens, once the window manager manages it and made it active.
    struct Client {
        const char* name;
        std::function<xcb_window_t(WindowStateTest&)> open;
    };
    static std::vector<Client> clients() {
        return {
            {"xterm (size increments, a border)",
             [](WindowStateTest& t) {
                 t.children.push_back(t.desktop->startXterm("80x24+2200+200", "state xterm"));
                 return t.awaitWindowOf(t.children.back().pid());
             }},
            {"the test client",
             [](WindowStateTest& t) { return t.openWindow(*t.client, "x=2200 y=200 w=500 h=400"); }},
            {"a client-side decorated GTK window",
             [](WindowStateTest& t) {
                 t.children.push_back(t.desktop->start({"gtk3-demo"}));
                 return t.awaitWindowOf(t.children.back().pid());
             }},
        };
    }

    // Opens the client's window and waits until the program has looked at it as a new window: until
    // then it may still return it to a zone it remembers, whatever the user did with it meanwhile.
    xcb_window_t openLookedAt(const Client& client) {
        const std::size_t start = program->lines.size();
        const xcb_window_t window = client.open(*this);
        EXPECT_NE(window, xcb_window_t{XCB_WINDOW_NONE});
        EXPECT_TRUE(program->expectLine("NewWindowPlacer: looked at new window " +
                                            std::to_string(platform->windows().processID(window).value_or(0)),
                                        start));
        return window;
    }
    void close(xcb_window_t window) {
        closeLikeTheWindowManager(*platform, window);
        EXPECT_TRUE(waitFor([&] { return !isManaged(window); }));
        children.clear();
    }

    void SetUp() override {
        SnappingTest::SetUp();
        if (HasFatalFailure()) return;
        client = std::make_unique<TestClient>(desktop->startClient());
    }
    void TearDown() override {
        children.clear();
        client.reset();
        SnappingTest::TearDown();
    }

    std::unique_ptr<TestClient> client;
    std::vector<ChildProcess> children;
};

TEST_F(WindowStateTest, AMaximisedOrFullScreenWindowSnapsToTheFrameOfAnUnmaximisedOne) {
    for (const Client& row : clients()) {
        for (State state : {State::maximised, State::fullScreen}) {
            SCOPED_TRACE(std::string(row.name) + (state == State::maximised ? ", maximised" : ", full screen"));
            const xcb_window_t window = openLookedAt(row);
            if (HasFailure()) return;
            ASSERT_TRUE(snapByShortcut()) << testing::PrintToString(program->lines);
            const Rect reference = settledFrame(window);
            enter(window, state);
            // kwin on a screen split by --setmonitor maximises over the whole screen (it takes no
            // monitor without an output of its own for one): the window lies on both monitors
            // alike, and whose zone 1 a snap takes is no longer the window's. Beside real outputs
            // (the dummy driver's) it keeps to one.
            if (frame(window).width() > 1920) {
                std::cout << "[   NOTE   ] " << row.name << ": the window manager maximised it over both monitors\n";
                close(window);
                continue;
            }
            ASSERT_NE(frame(window), reference) << "the state changed nothing";
            ASSERT_TRUE(snapByShortcut()) << testing::PrintToString(program->lines);
            EXPECT_TRUE(holds([&] { return frame(window) == reference; }))
                << "the window is at " << frame(window) << ", unmaximised it was at " << reference;
            close(window);
        }
    }
}

// A client-side decorated window draws an invisible shadow around its visible frame, inside its X
// window; the right monitor's zones lie at the screen's top edge, zone 2 at its right edge too,
// where that shadow reaches past the screen. The visible frame takes the zone, whether the snap
// makes the window larger or only moves it. The test client sets its margin once, before it is
// mapped, as GTK 4 applications do: marco read nothing of it then, and kept the whole window on
// the screen; icewm keeps it there unless the request makes it larger on that axis.
// Policy, where a window manager holds such a window whatever it is asked: jwm keeps a window no
// taller than the space it leaves on the monitor under the window's top-left corner, shadow
// included (a zone as tall as the monitor's work area is out of reach), and icewm keeps it inside
// the screen's right and bottom edges. There the user is told
// why, and the window is as near its zone as the window manager allows (centred in it, as the
// centring preference has it, where it is shorter).
TEST_F(WindowStateTest, AClientSideDecoratedWindowAtTheScreensEdgeTakesItsZone) {
    const X11Extents margin{60, 60, 55, 67};
    const std::size_t opening = program->lines.size();
    const xcb_window_t window = openWindow(*client, "x=2300 y=300 w=600 h=500 margin=60,60,55,67");
    // Until the program has looked at it as a new window, it may return it to the zone it was last
    // snapped to.
    ASSERT_TRUE(program->expectLine(
        "NewWindowPlacer: looked at new window " + std::to_string(platform->windows().processID(window).value_or(0)),
        opening));
    ASSERT_TRUE(becomesActive(window));
    const std::string& windowManager = WindowManager::current().name;
    const Rect screen(0, 0, 3840, 1080);
    const struct {
        const char* name;
        uint32_t digit;
        std::size_t zone;
    } steps[] = {
        {"zone 1, larger than the window", kDigit1, 0},
        {"zone 2, at the right edge too, the same size: a move", kDigit2, 1},
        {"zone 1 again, a move", kDigit1, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const Rect zone = rightZones[step.zone].rect;
        Rect allowed = zone;
        if (windowManager == "jwm") {
            // As tall as the space it leaves on the monitor under the window's top-left corner.
            const Rect corner = zone.x() - margin.left < 1920 ? Rect(0, 0, 1920, 1080) : Rect(1920, 0, 1920, 1080);
            allowed.size.height = desktop->workArea(corner).height() - margin.top - margin.bottom;
            allowed.origin.y += std::round((zone.height() - allowed.height()) / 2);
        } else if (windowManager == "icewm") {
            allowed.origin.x = std::min(zone.x(), screen.maxX() - margin.right - zone.width());
        }
        const std::size_t start = program->lines.size();
        for (uint32_t key : {kControlL, kAltL, step.digit}) desktop->pressKey(key, true);
        for (uint32_t key : {step.digit, kAltL, kControlL}) desktop->pressKey(key, false);
        const std::string said = allowed == zone ? "AppDelegate: snapped "
                                                 : "AppDelegate: Window not moved into the zone: The window manager "
                                                   "keeps the window's shadow on the screen.";
        EXPECT_TRUE(program->expectLine(said, start)) << testing::PrintToString(program->lines);
        EXPECT_TRUE(holds([&] { return frame(window) == allowed; }))
            << "the window is at " << frame(window) << ", its zone at " << zone << ", allowed " << allowed << "\n"
            << testing::PrintToString(program->lines);
    }
}

// A maximised window dragged by its title bar (the window manager may keep it where it is, or
// restore it and move it) lands as an unmaximised one does. A full-screen window has no title bar;
// a client-side decorated one is moved by its client, not by a title bar of the window manager's.
TEST_F(WindowStateTest, AMaximisedWindowDroppedIntoAZoneTakesTheFrameOfAnUnmaximisedOne) {
    const std::vector<Client> all = clients();
    for (const Client& row : {all[0], all[1]}) {
        SCOPED_TRACE(row.name);
        const xcb_window_t window = openLookedAt(row);
        if (HasFailure()) return;
        // Unmaximised first: where the drop puts this window (a window with size increments takes
        // the zone as well as it can).
        const Rect reference = dropIntoTheRightZone(window, {});
        ASSERT_TRUE(snapByShortcut());
        enter(window, State::maximised);
        EXPECT_EQ(dropIntoTheRightZone(window, {Pointer::relative, false}), reference);
        close(window);
    }
}

// A terminal takes its zone in character cells, short of the zone's size. Once there, every way of
// putting windows back leaves it be: nothing moved, counted or reported as a snap; a shortcut that
// moves it to the other monitor is a snap like any other, which window memory follows.
class InPlaceTest : public SnappingTest {
protected:
    void writeDocuments() override {
        RuleSet rules;
        rules.rules = {PlacementRule(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {1}, Date(0))};
        std::ofstream(dataFolder() / "rules.json") << JSONDocumentStore<RuleSet>::encode(rules).value();
    }

    // The command's output, once it answered with status 0.
    std::vector<std::string> command(std::vector<std::string> arguments) {
        auto [status, output] = TessaryProgram::run(*desktop, programPath(), arguments);
        EXPECT_EQ(status, 0) << testing::PrintToString(arguments) << testing::PrintToString(output);
        return output;
    }
    // Within the zone, short of it by less than an xterm's cell (6 x 13) and its border.
    bool takes(xcb_window_t window, const Rect& zone) {
        const Rect at = frame(window);
        return at.minX() >= zone.minX() && at.minY() >= zone.minY() && at.maxX() <= zone.maxX() &&
               at.maxY() <= zone.maxY() && at.width() > zone.width() - 13 && at.height() > zone.height() - 13;
    }
    std::size_t snapsReported(std::size_t from) const {
        return std::size_t(std::count_if(
            program->lines.begin() + std::ptrdiff_t(from), program->lines.end(),
            [](const std::string& line) { return line.starts_with("AppDelegate: snapped "); }));
    }
};

TEST_F(InPlaceTest, AnXtermInItsZoneIsNeitherMovedNorReportedAgain) {
    ChildProcess xterm = desktop->startXterm("80x24+2200+200", "in place");
    xcb_window_t window = XCB_WINDOW_NONE;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto listed = listedWindows(*platform, xterm.pid());
            if (!listed.empty()) window = listed.front();
            return window != XCB_WINDOW_NONE;
        },
        20s));
    ASSERT_TRUE(becomesActive(window));
    // The new window's rule has put it into zone 2 already, in character cells.
    const Rect zone = rightZones[1].rect;
    ASSERT_TRUE(waitFor([&] { return takes(window, zone); })) << "at " << frame(window);
    const Rect placed = settledFrame(window);
    ASSERT_NE(placed, zone) << "this xterm fits its zone exactly: nothing to tell apart";

    command({"save-workspace", "--name", "Desk"});
    std::string id;
    for (const std::string& line : command({"list", "workspaces"})) {
        if (line.ends_with("\tDesk")) id = line.substr(0, line.find('\t'));
    }
    ASSERT_FALSE(id.empty());
    command({"snap-front-window", "--zone", "1"});
    ASSERT_TRUE(waitFor([&] { return takes(window, rightZones[0].rect); })) << "at " << frame(window);

    EXPECT_THAT(command({"restore-workspace", "--workspace", id}), testing::Contains("1"));
    EXPECT_EQ(settledFrame(window), placed);
    std::size_t start = program->lines.size();
    EXPECT_THAT(command({"restore-workspace", "--workspace", id}), testing::Contains("0"));
    EXPECT_TRUE(program->expectLine("Workspaces: restored Desk: 0 windows moved", start))
        << testing::PrintToString(program->lines);
    for (int twice = 0; twice < 2; ++twice) {
        command({"restore-windows"});
        EXPECT_TRUE(program->expectLine("WindowMemory: restoreAll moved 0 windows", start))
            << testing::PrintToString(program->lines);
        // Counted by the rules as a window in its rule's zones, but not moved again.
        start = program->lines.size();
        command({"apply-rules"});
        EXPECT_TRUE(program->expectLine("Rules: applyAll placed 1 windows", start))
            << testing::PrintToString(program->lines);
    }
    EXPECT_EQ(snapsReported(start), 0u) << testing::PrintToString(program->lines);
    EXPECT_EQ(frame(window), placed);

    // Ctrl+Alt+Super+Left: to the other monitor, reported and remembered.
    start = program->lines.size();
    for (uint32_t key : {kControlL, kAltL, kSuperL, kLeft}) desktop->pressKey(key, true);
    for (uint32_t key : {kLeft, kSuperL, kAltL, kControlL}) desktop->pressKey(key, false);
    EXPECT_TRUE(program->expectLine("AppDelegate: snapped ", start)) << testing::PrintToString(program->lines);
    EXPECT_LT(settledFrame(window).maxX(), 1920);
}

// A window whose least size is larger than its zone cannot take it: it ends wholly on its monitor,
// as near the zone as it can (the right-hand zone's, at its right edge, inside the layout's padding),
// and whoever asked is told, the command by its error.
TEST_F(SnappingTest, AWindowLargerThanItsZoneStaysOnScreenAndTheCommandSaysSo) {
    TestClient client = desktop->startClient();
    const Rect zone = rightZones[1].rect;
    const Rect monitor(1920, 0, 1920, 1080);
    const auto onTheMonitor = [&](const Rect& f) {
        return f.minX() >= monitor.minX() && f.maxX() <= monitor.maxX() && f.minY() >= monitor.minY() &&
               f.maxY() <= monitor.maxY();
    };
    xcb_window_t window = openWindow(client, "x=2000 y=100 w=1000 h=300 min=1000x300 class=Wider");
    ASSERT_TRUE(becomesActive(window));
    const auto [status, output] = TessaryProgram::run(*desktop, programPath(), {"snap-front-window", "--zone", "2"});
    EXPECT_EQ(status, 1);
    const Rect took = settledFrame(window);
    const std::string needs = "Wider needs " + std::to_string(int(took.width())) + " px; this zone is " +
                              std::to_string(int(zone.width())) + " px";
    EXPECT_THAT(output, testing::Contains(needs)) << testing::PrintToString(output);
    EXPECT_GT(took.width(), zone.width());
    EXPECT_TRUE(onTheMonitor(took)) << "the window is at " << took;
    EXPECT_EQ(took.maxX(), zone.maxX()) << "as near the zone as it can: ending where the zone ends";
    EXPECT_FALSE(program->expectLine("AppDelegate: snapped ", 0, 300ms)) << "reported as snapped";

    // Dropped there by a drag: the same.
    client.close(window);
    window = openWindow(client, "x=2000 y=100 w=1000 h=300 min=1000x300 class=Wider");
    // marco and metacity start no move on a window they have not yet activated.
    ASSERT_TRUE(becomesActive(window));
    const std::size_t start = program->lines.size();
    const bool pressed = dragTitleBar(
        window, desktop->windowManager().activationKeysym(), Point{zone.midX(), zone.midY()},
        [&](int x, int y) {
            return program->expectLine(
                "InputMonitor: left button down at " + std::to_string(x) + " " + std::to_string(y), start);
        },
        [&] { return program->expectLine("InputMonitor: left button up at ", start, 5s); });
    ASSERT_TRUE(pressed);
    const Rect dropped = settledFrame(window);
    EXPECT_TRUE(onTheMonitor(dropped)) << "the window is at " << dropped;
    EXPECT_EQ(dropped.maxX(), zone.maxX());
}

// A window of one size (a Tk window made not resizable) sent by a shortcut to a zone it fits is
// centred in it, as the "centre windows that cannot fill" setting asks: the snap did what the
// setting says, and the user is told nothing.
TEST_F(SnappingTest, AFixedSizeWindowCentredInAZoneItFitsIsToldNothing) {
    const std::string script = desktop->directory() + "/fixed";
    std::ofstream(script) << "wm geometry . 400x300+2100+100\nwm resizable . 0 0\nwm title . Fixed\n";
    ChildProcess tk = desktop->start({"wish", script});
    const xcb_window_t window = awaitWindowOf(tk.pid());
    ASSERT_NE(window, xcb_window_t{XCB_WINDOW_NONE});
    const Rect zone = rightZones[0].rect;
    const std::size_t start = program->lines.size();
    for (uint32_t key : {kControlL, kAltL, kDigit1}) desktop->pressKey(key, true);
    for (uint32_t key : {kDigit1, kAltL, kControlL}) desktop->pressKey(key, false);
    EXPECT_TRUE(waitFor([&] {
        const Rect at = frame(window);
        return std::fabs(at.midX() - zone.midX()) <= 1 && std::fabs(at.midY() - zone.midY()) <= 1;
    })) << "the window is at " << frame(window) << ", its zone at " << zone;
    const Rect placed = settledFrame(window);
    EXPECT_TRUE(placed.width() <= zone.width() && placed.height() <= zone.height()) << placed;
    // The notice of a failure comes 300 ms after it.
    program->readToEnd(1500ms);
    EXPECT_TRUE(std::none_of(program->lines.begin() + std::ptrdiff_t(start), program->lines.end(),
                             [](const std::string& line) { return line.starts_with("AppDelegate: Window not moved"); }))
        << testing::PrintToString(program->lines);
}

// The starter's Priority Grid on the left monitor (narrow side zones beside a wide middle one), three
// columns on the right; windows whose least size is larger than some zones, sent by shortcuts.
class TooLargeForItsZoneTest : public SnappingTest {
protected:
    void writeDocuments() override {
        LayoutLibrary library;
        ZoneLayout priority(LayoutTemplate::priorityGrid, 3);
        ZoneLayout three(LayoutTemplate::columns, 3);
        library.layouts = {priority, three};
        library.defaultLayoutID = priority.id;
        library.assign(three.id, DisplayKey("tessary-right", 1920, 1080));
        std::ofstream(dataFolder() / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
        leftZones = ZoneGeometry::zones(priority, desktop->workArea(Rect(0, 0, 1920, 1080)));
    }

    // Holds the keys down in order and lets them go in reverse, as a hand does.
    void press(std::initializer_list<uint32_t> keys) {
        for (uint32_t key : keys) desktop->pressKey(key, true);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) desktop->pressKey(*key, false);
        desktop->syncInput();
    }

    // The notices of a window too large for its zone told since the `from`th line, waiting `limit`.
    std::size_t tooLargeNotices(std::size_t from, std::chrono::milliseconds limit) {
        program->readToEnd(limit);
        return std::size_t(std::count_if(program->lines.begin() + std::ptrdiff_t(from), program->lines.end(),
                                         [](const std::string& line) {
                                             return line.starts_with("AppDelegate: Window too large for this zone: ");
                                         }));
    }

    std::vector<Zone> leftZones;
};

constexpr uint32_t kRight = 0xff53;

// Every shortcut that sends a window where it does not fit tells the user, as Ctrl+Alt+N does
// (the zone and display moves said nothing), and the window stays the active one. Beside metacity
// a Tk window shrunk to its least width by a shortcut and kept flush with the monitor's edge, the
// pointer resting just past that edge, lost the focus to no window while the shortcut's key was
// down: every later shortcut found no window to move.
TEST_F(TooLargeForItsZoneTest, EveryKeyboardMoveTellsTheUserAndTheWindowStaysActive) {
    const std::string script = desktop->directory() + "/narrow";
    std::ofstream(script) << "wm minsize . 700 400\nwm geometry . 800x400+600+100\nwm title . Narrow\n";
    ChildProcess tk = desktop->start({"wish", script});
    const xcb_window_t window = awaitWindowOf(tk.pid());
    ASSERT_NE(window, xcb_window_t{XCB_WINDOW_NONE});
    desktop->movePointerTo(1922, 300);
    desktop->syncInput();
    std::size_t start = program->lines.size();
    press({kControlL, kAltL, '2'});
    ASSERT_TRUE(program->expectLine("AppDelegate: snapped ", start)) << testing::PrintToString(program->lines);
    const struct Row {
        const char* name;
        std::initializer_list<uint32_t> keys;
        const char* logged;
    } rows[] = {
        {"Ctrl+Alt+3", {kControlL, kAltL, '3'}, "KeyboardSnap: snap to zone 3 failed: Narrow needs "},
        {"Ctrl+Alt+Left", {kControlL, kAltL, kLeft}, "KeyboardSnap: move to zone "},
        {"Ctrl+Alt+Super+Right", {kControlL, kAltL, kSuperL, kRight}, "KeyboardSnap: move to zone "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start = program->lines.size();
        // The keys stay down while the program moves the window, as a hand's do for a tenth of a
        // second: the shortcut's key grab lasts as long.
        for (uint32_t key : row.keys) desktop->pressKey(key, true);
        desktop->syncInput();
        EXPECT_TRUE(program->expectLine(row.logged, start)) << testing::PrintToString(program->lines);
        for (auto key = std::rbegin(row.keys); key != std::rend(row.keys); ++key) desktop->pressKey(*key, false);
        desktop->syncInput();
        EXPECT_TRUE(program->expectLine("AppDelegate: Window too large for this zone: Narrow needs ", start))
            << testing::PrintToString(program->lines);
        EXPECT_TRUE(holds([&] { return platform->windows().activeWindow() == window; }))
            << "the active window is " << platform->windows().activeWindow().value_or(0) << "; the window is at "
            << frame(window);
    }
}

// A second shortcut pressed right after one that failed (a hand's 120 ms): the notice of the
// first is dropped, whatever the second does; a failure of the second is told once, as its own.
TEST_F(TooLargeForItsZoneTest, ASnapFailuresNoticeIsDroppedByTheNextShortcut) {
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=600 y=100 w=800 h=400 min=700x400 class=Narrow");
    ASSERT_TRUE(becomesActive(window));
    const struct Row {
        const char* name;
        uint32_t second;
        const char* logged;
        std::size_t notices;
    } rows[] = {
        {"then a zone it fits", '2', "AppDelegate: snapped ", 0},
        {"then a zone the layout does not have", '9', "KeyboardSnap: snap to zone 9 failed: ", 0},
        {"then another zone it does not fit", '3', "KeyboardSnap: snap to zone 3 failed: ", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (settledFrame(window) != leftZones[1].rect) {
            const std::size_t back = program->lines.size();
            press({kControlL, kAltL, '2'});
            ASSERT_TRUE(program->expectLine("AppDelegate: snapped ", back)) << testing::PrintToString(program->lines);
        }
        const std::size_t start = program->lines.size();
        press({kControlL, kAltL, '1'});
        // The pause between the two shortcuts is the case itself, not a wait for the program.
        std::this_thread::sleep_for(120ms);
        press({kControlL, kAltL, row.second});
        EXPECT_TRUE(program->expectLine("KeyboardSnap: snap to zone 1 failed: ", start));
        EXPECT_TRUE(program->expectLine(row.logged, start)) << testing::PrintToString(program->lines);
        if (row.second == '2') {
            EXPECT_EQ(settledFrame(window), leftZones[1].rect);
        }
        EXPECT_EQ(tooLargeNotices(start, 1s), row.notices) << testing::PrintToString(program->lines);
    }
    client.quit();
}

}  // namespace
}  // namespace tessary::e2e
