// The real tessary program (the sanitizer build) under Xvfb, openbox and trayer: its launch, a
// drag to snap, its single instance, and every way it ends.

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/DragLayouts.h"

#include <gmock/gmock.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kShiftL = 0xffe1, kControlL = 0xffe3, kAltL = 0xffe9, kGrave = 0x60;
const std::string activeLine = "AppDelegate: drag snapping, shortcuts and window memory active";

std::string contents(const fs::path& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// One run of the program, its standard error read line by line (with its standard output).
class Program {
public:
    Program(VirtualDesktop& desktop, std::vector<std::string> arguments = {}) {
        ChildProcess::Options options;
        // TESSARY_E2E_PROGRAM runs another build of it (a Release build, for its measurements).
        const char* other = std::getenv("TESSARY_E2E_PROGRAM");
        options.arguments = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", other && *other ? other : TESSARY_PROGRAM};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = desktop.environment();
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.environment.push_back("TESSARY_DEBUG=1");
        options.pipeStdout = true;
        process = ChildProcess::start(options);
    }

    // Reads until a line equal to `line` arrives (or was read already, from the `from`th line on);
    // a `line` ending in a space matches every line it begins.
    bool expectLine(const std::string& line, std::size_t from = 0, std::chrono::milliseconds limit = 10s) {
        auto matches = [&](const std::string& l) { return l == line || (line.back() == ' ' && l.rfind(line, 0) == 0); };
        if (std::any_of(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), matches)) return true;
        const auto deadline = Clock::now() + limit;
        while (auto next = process.readLine(deadline)) {
            lines.push_back(*next);
            if (matches(*next)) return true;
        }
        return false;
    }
    // Everything up to the end of its output (it must be ending).
    void readToEnd(std::chrono::milliseconds limit = 10s) {
        const auto deadline = Clock::now() + limit;
        while (auto next = process.readLine(deadline)) lines.push_back(*next);
    }
    std::size_t count(const std::string& line) const {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    bool sanitizerReported() const {
        return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("Sanitizer") != std::string::npos || l.find("runtime error:") != std::string::npos;
        });
    }
    // The exit status, or -1 when it did not end in time or ended by a signal.
    int exitStatus(std::chrono::milliseconds limit = 10s) {
        auto status = process.waitForExit(Clock::now() + limit);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    ChildProcess process;
    std::vector<std::string> lines;
};

class AppTest : public DesktopTest {
protected:
    void SetUp() override {
        VirtualDesktop::Options options;
        options.tray = true;
        options.windowManager = withWindowManager;
        start(options);
        if (HasFatalFailure()) return;
        writeDocuments();
    }

    // Two columns on the right monitor, four quarters elsewhere; onboarding done.
    void writeDocuments() {
        rightZones = writeDragLayouts(desktop->dataHome());
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
    }

    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }
    fs::path socket() const { return fs::path(desktop->runtimeDirectory()) / "tessary" / (stem() + ".socket"); }
    std::string stem() const { return "local-" + desktop->display().substr(1); }

    // Starts the instance and waits until its services run and it answers later starts.
    std::unique_ptr<Program> startInstance() {
        auto program = std::make_unique<Program>(*desktop);
        EXPECT_TRUE(program->expectLine(activeLine)) << testing::PrintToString(program->lines);
        EXPECT_TRUE(waitFor([&] { return fs::exists(socket()); })) << "no socket";
        return program;
    }

    // A later start with these arguments; its exit status and output.
    std::pair<int, std::vector<std::string>> startAgain(std::vector<std::string> arguments) {
        Program later(*desktop, std::move(arguments));
        const int status = later.exitStatus();
        later.readToEnd();
        return {status, later.lines};
    }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // Whether the condition comes true within 5 s and then stays so for 300 ms on end.
    bool holds(const std::function<bool()>& condition) {
        const auto deadline = Clock::now() + 5s;
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
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
    }

    // An override-redirect window of full monitor size mapped on the right monitor: the overlay.
    bool overlayOnRightMonitor() {
        xcb_connection_t* c = platform->connection().xcb();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, platform->connection().root()), nullptr);
        if (!tree) return false;
        bool found = false;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
            found = attributes && geometry && attributes->override_redirect &&
                    attributes->map_state == XCB_MAP_STATE_VIEWABLE && geometry->x >= 1920 && geometry->width >= 1000;
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return found;
    }

    // Shift-drags the window by its title bar to the middle of the right monitor's right zone and
    // drops it there. The program watches the pointer's motion only once it has seen the button
    // go down, and openbox starts its move on the first motion past its threshold: each is awaited
    // before the drag goes on, and each step waits for the window manager to follow.
    void shiftDragIntoTheRightZone(xcb_window_t window, Program& program) {
        const Rect outer = frame(window);
        const auto geometry = platform->windows().geometry(window);
        ASSERT_TRUE(geometry);
        int x = int(outer.midX()), y = int(outer.minY() + geometry->frame.top / 2);
        // What this drag's lines are looked for after.
        const std::size_t start = program.lines.size();
        desktop->pressKey(kShiftL, true);
        desktop->movePointerTo(x, y);
        desktop->pressButton(1, true);
        ASSERT_TRUE(program.expectLine("InputMonitor: left button down at " + std::to_string(x) + " " +
                                       std::to_string(y), start))
            << testing::PrintToString(program.lines);
        const auto deadline = Clock::now() + 10s;
        while (frame(window).origin == outer.origin && Clock::now() < deadline) {
            desktop->movePointerBy(1, 0);
            ++x;
            waitFor([&] { return frame(window).origin != outer.origin; }, 100ms);
        }
        ASSERT_NE(frame(window).origin, outer.origin) << "the window manager does not move the window";
        const Rect target = rightZones[1].rect;
        const int dx = int(target.midX()) - x, dy = int(target.midY()) - y;
        constexpr int steps = 24;
        for (int i = 1, doneX = 0, doneY = 0; i <= steps; ++i) {
            desktop->movePointerBy(dx * i / steps - doneX, dy * i / steps - doneY);
            doneX = dx * i / steps;
            doneY = dy * i / steps;
        }
        EXPECT_TRUE(waitFor([&] { return overlayOnRightMonitor(); }, 5s)) << "the overlay did not show";
        // Shift stays down until the window is in place: the program may take the whole drag in
        // one batch, and a Shift already up by then would drop the window where the last
        // selection it saw with Shift held was.
        desktop->pressButton(1, false);
        // Held for a while: a drop whose frame was off at first is set once more 60 ms later.
        const bool snapped = holds([&] { return frame(window) == target; });
        desktop->pressKey(kShiftL, false);
        if (!snapped) program.readToEnd(500ms);
        // The program has verified the frame and told window memory.
        EXPECT_TRUE(program.expectLine("AppDelegate: snapped ", start)) << testing::PrintToString(program.lines);
        EXPECT_TRUE(snapped) << "the window is at " << frame(window) << "; " << testing::PrintToString(program.lines);
    }

    // A window titled "Ledger", snapped by a drag: what window memory must keep.
    void snapALedger(TestClient& client, Program& program) {
        shiftDragIntoTheRightZone(openWindow(client, "x=300 y=300 w=400 h=300 title=Ledger"), program);
    }

    bool withWindowManager = true;
    std::vector<Zone> rightZones;
};

TEST_F(AppTest, AnOnboardedLaunchOpensNoWindowAndSnapsAShiftDrag) {
    auto program = startInstance();
    for (xcb_window_t client : platform->windows().clientList()) {
        EXPECT_NE(platform->windows().processID(client), program->process.pid()) << "a window of ours is managed";
    }
    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
    shiftDragIntoTheRightZone(window, *program);
    EXPECT_EQ(program->count(activeLine), 1u);
    client.quit();
}

TEST_F(AppTest, CtrlAltOnePutsTheFocusedXtermInZoneOne) {
    auto program = startInstance();
    ChildProcess xterm = desktop->startXterm("60x20+300+300", "terminal");
    std::optional<xcb_window_t> window;
    ASSERT_TRUE(waitFor(
        [&] {
            for (xcb_window_t client : platform->windows().clientList()) {
                if (isManaged(client)) window = client;
            }
            return window && platform->windows().activeWindow() == window;
        },
        10s));
    for (std::uint32_t key : {kControlL, kAltL, std::uint32_t('1')}) desktop->pressKey(key, true);
    for (std::uint32_t key : {std::uint32_t('1'), kAltL, kControlL}) desktop->pressKey(key, false);
    // Zone 1 of the left monitor's quarters (gaps of 8). xterm sizes in cells of 6 by 13 pixels:
    // it takes the largest size that fits, centred in the zone.
    const Rect zone(8, 8, 948, 528);
    EXPECT_TRUE(waitFor([&] {
        const Rect at = frame(*window);
        return at.minX() >= zone.minX() && at.minY() >= zone.minY() && at.maxX() <= zone.maxX() &&
               at.maxY() <= zone.maxY() && at.width() > zone.width() - 13 && at.height() > zone.height() - 13;
    })) << "the xterm is at " << frame(*window);
}

// The tray icon: a window of ours inside trayer's.
TEST_F(AppTest, TheTrayHostTakesInTheStatusItem) {
    auto program = startInstance();
    xcb_connection_t* c = platform->connection().xcb();
    // Whether a window of `pid` lies below `parent` (a few levels down); `inside` once below trayer.
    std::function<bool(xcb_window_t, bool, int)> search = [&](xcb_window_t parent, bool inside, int depth) {
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
        if (!tree) return false;
        bool found = false;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            const auto pid = platform->windows().processID(children[i]);
            found = (inside && pid == program->process.pid()) ||
                    (depth < 5 && search(children[i], inside || pid == desktop->trayPid(), depth + 1));
        }
        std::free(tree);
        return found;
    };
    EXPECT_TRUE(waitFor([&] { return search(platform->connection().root(), false, 0); })) << "no icon in the tray";
}

TEST_F(AppTest, TheEditorShortcutOpensOneEditorWindow) {
    auto program = startInstance();
    auto editors = [&] {
        int count = 0;
        for (xcb_window_t client : platform->windows().clientList()) {
            if (platform->windows().processID(client) == program->process.pid()) ++count;
        }
        return count;
    };
    for (int press = 0; press < 2; ++press) {
        for (std::uint32_t key : {kControlL, kAltL, kGrave}) desktop->pressKey(key, true);
        for (std::uint32_t key : {kGrave, kAltL, kControlL}) desktop->pressKey(key, false);
        EXPECT_TRUE(program->expectLine("AppDelegate: opening layout editor", program->lines.size()));
        EXPECT_TRUE(waitFor([&] { return editors() == 1; })) << editors() << " windows of ours are managed";
    }
}

TEST_F(AppTest, ALaunchBeforeOnboardingWasDoneShowsIt) {
    std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json") << "{}\n";
    auto program = startInstance();
    EXPECT_TRUE(waitFor([&] {
        for (xcb_window_t client : platform->windows().clientList()) {
            if (platform->windows().processID(client) == program->process.pid() &&
                platform->windows().title(client) == "Welcome to Tessary") {
                return true;
            }
        }
        return false;
    })) << "no onboarding window is managed";
}

TEST_F(AppTest, SIGTERMRightAfterASnapKeepsItAndEndsCleanly) {
    auto program = startInstance();
    TestClient client = desktop->startClient();
    snapALedger(client, *program);
    ::kill(program->process.pid(), SIGTERM);
    EXPECT_EQ(program->exitStatus(), 0);
    program->readToEnd();
    EXPECT_THAT(contents(dataFolder() / "memory.json"), ::testing::HasSubstr("Ledger"));
    EXPECT_FALSE(fs::exists(socket()));
    EXPECT_FALSE(program->sanitizerReported()) << testing::PrintToString(program->lines);
    client.quit();
}

TEST_F(AppTest, AnInstanceWhoseXServerIsGoneEndsAndLeavesNoSocket) {
    auto program = startInstance();
    TestClient client = desktop->startClient();
    snapALedger(client, *program);
    platform.reset();
    ::kill(desktop->serverPid(), SIGKILL);
    const int status = program->exitStatus();
    program->readToEnd();
    EXPECT_NE(status, -1) << "it did not end by itself: " << testing::PrintToString(program->lines);
    EXPECT_FALSE(fs::exists(socket())) << "a later start would forward to an instance that does nothing";
    EXPECT_THAT(contents(dataFolder() / "memory.json"), ::testing::HasSubstr("Ledger"))
        << testing::PrintToString(program->lines);
    EXPECT_FALSE(program->sanitizerReported()) << testing::PrintToString(program->lines);
    client.quit();
}

TEST_F(AppTest, LaterStartsAreAnsweredByTheInstance) {
    auto program = startInstance();
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string printed;   // by the later start
        std::string logged;    // by the instance
    };
    const Row rows[] = {
        {"bare", {}, 0, "", "AppDelegate: Opened again"},
        {"a URL", {"tessary://show-zones"}, 0, "", "AppDelegate: URL from the command line: tessary://show-zones"},
        {"anything else", {"frobnicate"}, 1, "unknown command: frobnicate", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto [status, printed] = startAgain(row.arguments);
        EXPECT_EQ(status, row.status);
        if (!row.printed.empty()) {
            EXPECT_THAT(printed, ::testing::Contains(row.printed));
        }
        if (!row.logged.empty()) {
            EXPECT_TRUE(program->expectLine(row.logged)) << testing::PrintToString(program->lines);
        }
    }
    EXPECT_EQ(program->count(activeLine), 1u);
}

TEST_F(AppTest, AfterAKilledInstanceTheNextStartTakesOver) {
    auto first = startInstance();
    first->process.crash();
    ASSERT_TRUE(fs::exists(socket())) << "a killed instance leaves its socket";
    auto second = startInstance();
    auto [status, printed] = startAgain({});
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(second->expectLine("AppDelegate: Opened again"));
}

TEST_F(AppTest, TwoStartsAtOnceLeaveOneInstance) {
    Program a(*desktop), b(*desktop);
    // One of them forwards to the other and ends at once; the other runs on.
    const auto deadline = Clock::now() + 15s;
    std::optional<int> ended;
    while (!ended && Clock::now() < deadline) {
        for (Program* p : {&a, &b}) {
            if (auto status = p->process.waitForExit(Clock::now() + 50ms)) {
                ended = WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
                Program& other = p == &a ? b : a;
                EXPECT_TRUE(other.expectLine(activeLine));
                EXPECT_TRUE(other.expectLine("AppDelegate: Opened again"));
                break;
            }
        }
    }
    ASSERT_TRUE(ended) << "both still run";
    EXPECT_EQ(*ended, 0);
}

// What the program costs at rest: its threads' context switches while nothing happens (the target
// is none) and its resident memory after start and after twenty drags (the target is under 40 MB,
// meaningful in an optimised build without sanitizers). Reported, not asserted: the numbers go to
// the test's output and its XML properties. TESSARY_IDLE_SECONDS sets the idle span (5 s).
TEST_F(AppTest, ReportsIdleWakeUpsAndMemory) {
    auto program = startInstance();
    const pid_t pid = program->process.pid();
    // Context switches per thread (voluntary and not); a thread that ends takes its count along.
    auto switches = [pid] {
        std::map<std::string, long> perThread;
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
            std::ifstream status(task.path() / "status");
            std::string line;
            while (std::getline(status, line)) {
                if (line.find("ctxt_switches:") != std::string::npos) {
                    perThread[task.path().filename().string()] += std::stol(line.substr(line.find(':') + 1));
                }
            }
        }
        return perThread;
    };
    // All of it, and the part shared with the X server (window buffers through MIT-SHM).
    auto resident = [pid](const char* field = "VmRSS:") {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
        }
        return -1L;
    };
    const char* configured = std::getenv("TESSARY_IDLE_SECONDS");
    const int seconds = configured ? std::max(1, std::atoi(configured)) : 5;
    const auto before = switches();
    waitUntil([] { return false; }, Clock::now() + std::chrono::seconds(seconds));
    long idle = 0;
    for (const auto& [thread, count] : switches()) {
        const auto earlier = before.find(thread);
        idle += count - (earlier == before.end() ? 0 : earlier->second);
    }
    const long atStart = resident();

    TestClient client = desktop->startClient();
    const xcb_window_t window = openWindow(client, "x=300 y=300 w=400 h=300");
    const Rect home = frame(window);
    for (int i = 0; i < 20 && !HasFailure(); ++i) {
        shiftDragIntoTheRightZone(window, *program);
        desktop->movePointerTo(100, 100);
        // Back where it started, size first, for the next drag.
        platform->windows().resizeTo(window, home.size, 1s);
        platform->windows().moveTo(window, home.origin, 1s);
        ASSERT_TRUE(holds([&] { return frame(window) == home; })) << frame(window) << " is not " << home;
    }
    // At rest: the hidden overlay gives its buffers back after a while (its idle release).
    waitUntil([&] { return resident("RssShmem:") == 0; }, Clock::now() + 20s);
    const long afterDrags = resident();
    const long sharedAfterDrags = resident("RssShmem:");
    RecordProperty("idle_context_switches", std::to_string(idle));
    RecordProperty("resident_kB_after_start", std::to_string(atStart));
    RecordProperty("resident_kB_after_20_drags", std::to_string(afterDrags));
    std::cout << "[ MEASURE  ] tessary: " << idle << " context switches in " << seconds << " s idle ("
              << double(idle) / seconds << "/s); resident " << atStart << " kB after start, " << afterDrags
              << " kB after 20 drags (" << sharedAfterDrags << " kB shared with the X server)\n";
    client.quit();
}

class LateWindowManagerTest : public AppTest {
protected:
    void SetUp() override {
        withWindowManager = false;
        AppTest::SetUp();
    }
};

TEST_F(LateWindowManagerTest, ServicesStartOnceWhenTheWindowManagerComes) {
    Program program(*desktop);
    ASSERT_TRUE(waitFor([&] { return fs::exists(socket()); }, 10s)) << "the program did not come up";
    EXPECT_EQ(program.count(activeLine), 0u);
    desktop->startWindowManager();
    EXPECT_TRUE(program.expectLine(activeLine)) << testing::PrintToString(program.lines);
    // A later start's answer is logged after whatever the instance did before it.
    auto [status, printed] = startAgain({});
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(program.expectLine("AppDelegate: Opened again"));
    EXPECT_EQ(program.count(activeLine), 1u);
}

}  // namespace
}  // namespace tessary::e2e
