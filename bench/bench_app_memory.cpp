// The program's resident memory on a real desktop (Xvfb split into two monitors, openbox, trayer),
// along the road a user takes: after start; after the first, the second and the fifteenth of
// fifteen cycles of opening the editor and closing it, then opening the settings window and
// closing it (on its first pane only in the first cycle, as one who looks up a setting; visiting
// every pane in the others); after twenty drags, at rest once the overlay's hold is over; and after
// each of its other windows was opened and closed. The reference, in the same run on the same
// desktop: a bare Qt Widgets program that shows a tray icon (support/BareTray.cpp).
//
// One iteration: the figures are the counters (MiB), and a table is printed. Every figure is taken
// once the process's resident size has not changed for a second. With BENCH_SMAPS_DIR set, each
// state's /proc/PID/smaps of both programs is copied there, for telling what holds the difference;
// BENCH_PROGRAM runs another build of the program (an earlier one, to compare) instead of this one's.
// Both programs see the same dozen fonts (cmake/PinnedFonts.cmake): Qt's font database keeps some
// 0.3 MiB more once the first text is drawn on a machine with 400 fonts. BENCH_MACHINE_FONTS gives
// them the machine's own.
// For telling which window or pane keeps what: BENCH_PANES lists the panes the cycles visit
// ("general,shortcuts"; the first opens the window, and is the first cycle's only one) and
// BENCH_NO_EDITOR leaves the editor out.
// BENCH_TRACING is for a program slowed down under a tracer (scripts/startup-order): the road goes
// on past a drag that did not snap or a window that did not close in time, so that every part of it
// runs, and two cycles are taken; the figures then mean nothing.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchProgram.h"
#include "Platform/X11/X11Platform.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_BARE_TRAY
#error "TESSARY_BARE_TRAY must name the bare tray program"
#endif
#ifndef TESSARY_PINNED_FONTS_CONF
#error "TESSARY_PINNED_FONTS_CONF must name the fontconfig file of the pinned fonts"
#endif

using namespace tessary;
using namespace tessary::e2e;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kShiftL = 0xffe1;
const char* const panes[] = {"general", "snapping", "zones", "shortcuts", "rules",
                             "workspaces", "excludedApps", "sync", "about"};

// A state's figures: the resident size, and the part that is the process's own (its anonymous
// memory and its shared-memory buffers: what no file backs, so the system cannot drop it).
struct Figures {
    long resident = 0;
    long own = 0;
};

bool tracing() { return std::getenv("BENCH_TRACING") != nullptr; }

std::string programPath() { return bench::programUnderTest(TESSARY_PROGRAM); }

class Road {
public:
    Road() {
        VirtualDesktop::Options options;
        options.tray = true;
        desktop_ = std::make_unique<VirtualDesktop>(options);
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        zones_ = writeDragLayouts(desktop_->dataHome());
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
    }

    // Starts both programs; true once each shows its icon (the bare one) or answers (ours).
    bool start() {
        ChildProcess::Options bare;
        bare.arguments = {TESSARY_BARE_TRAY};
        bare.environment = environment();
        bare.pipeStdout = true;
        bareTray_ = ChildProcess::start(bare);
        if (bareTray_.readLine(Clock::now() + 20s) != "embedded") return false;
        // Its log (with the debug lines) says when it has seen a drag begin.
        ChildProcess::Options ours;
        ours.arguments = {"sh", "-c", "exec \"$0\" 2>&1", programPath()};
        ours.environment = environment();
        ours.environment.push_back("TESSARY_DEBUG=1");
        ours.pipeStdout = true;
        program_ = ChildProcess::start(ours);
        const fs::path socket = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop_->display().substr(1) + ".socket");
        return waitUntil([&] { return fs::exists(socket); }, Clock::now() + 20s);
    }

    // The figures in kB once the resident size has not changed for a second.
    static Figures settled(pid_t pid) {
        const long resident = steadyValue([pid] { return residentKilobytes(pid); }, 1s, 20s, 100ms);
        return {resident, residentKilobytes(pid, "RssAnon:") + residentKilobytes(pid, "RssShmem:")};
    }
    Figures program() {
        drain();
        return settled(program_.pid());
    }
    Figures bareTray() const { return settled(bareTray_.pid()); }

    // Copies both programs' mappings under the state's name (see the top of the file).
    void keepMappings(const std::string& state) const {
        const char* folder = std::getenv("BENCH_SMAPS_DIR");
        if (!folder) return;
        std::string name = state;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        fs::create_directories(folder);
        for (const auto& [who, pid] : {std::pair{"tessary", program_.pid()}, std::pair{"bare", bareTray_.pid()}}) {
            std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
            std::ofstream(fs::path(folder) / (name + "." + who + ".smaps")) << in.rdbuf();
        }
    }

    // Twenty Shift-drags of a test client's window into the right monitor's second zone and back;
    // false when one did not snap.
    bool drag(int times) {
        TestClient client = desktop_->startClient();
        const xcb_window_t window = client.open("x=300 y=300 w=400 h=300");
        if (!waitUntil([&] { return pump(), platform_->tracker().client(window).has_value(); }, Clock::now() + 5s, -1,
                       20ms)) {
            return false;
        }
        const Rect home = frame(window);
        const Rect target = zones_[1].rect;
        // On a loaded machine the window manager's move and the snap can cross; such a drag is
        // done again (what is measured is the memory drags leave, not whether one snapped).
        int snaps = 0;
        for (int i = 0; snaps < times && i < 2 * times; ++i) {
            const Rect outer = frame(window);
            const auto geometry = platform_->windows().geometry(window);
            if (!geometry) return false;
            int x = int(outer.midX()), y = int(outer.minY() + geometry->frame.top / 2);
            desktop_->pressKey(kShiftL, true);
            desktop_->movePointerTo(x, y);
            desktop_->pressButton(1, true);
            desktop_->syncInput();
            // The program follows the pointer's motion only once it has seen the button go down.
            if (!awaitLine("InputMonitor: left button down at " + std::to_string(x) + " " + std::to_string(y))) {
                return false;
            }
            // The window manager starts its move on the first motion past its threshold.
            const auto deadline = Clock::now() + 5s;
            while (frame(window).origin == outer.origin && Clock::now() < deadline) {
                desktop_->movePointerBy(1, 0);
                ++x;
                desktop_->syncWindowManager();
                pump();
            }
            const int dx = int(target.midX()) - x, dy = int(target.midY()) - y;
            constexpr int steps = 24;
            for (int step = 1, doneX = 0, doneY = 0; step <= steps; ++step) {
                desktop_->movePointerBy(dx * step / steps - doneX, dy * step / steps - doneY);
                doneX = dx * step / steps;
                doneY = dy * step / steps;
                desktop_->syncWindowManager();
                // Slowed down, the program would take the whole road in one notice.
                if (tracing()) std::this_thread::sleep_for(60ms);
            }
            // The zones show once the program has taken the drag in; it drops where it last saw the pointer.
            waitUntil([&] { return overlayMappedFrom(*platform_, 1920); }, Clock::now() + 5s, -1, 20ms);
            desktop_->pressButton(1, false);
            desktop_->syncInput();
            const bool snapped =
                waitUntil([&] { return pump(), frame(window) == target; }, Clock::now() + 5s, -1, 20ms);
            drain();
            desktop_->pressKey(kShiftL, false);
            desktop_->movePointerTo(100, 100);
            if (snapped) ++snaps;
            platform_->windows().resizeTo(window, home.size, 1s);
            platform_->windows().moveTo(window, home.origin, 1s);
        }
        client.quit();
        return snaps == times;
    }

    // Waits until the overlay's hold is over: its buffers are back with the X server and the
    // program has released what the hidden overlay kept (it says so in its log, 10 s after the
    // last drag).
    bool awaitRest() {
        waitUntil([&] { return residentKilobytes(program_.pid(), "RssShmem:") <= sharedAtStart_; }, Clock::now() + 30s,
                  -1, 200ms);
        return awaitLine("AppDelegate: idle overlay released", 30s);
    }
    void noteSharedAtStart() { sharedAtStart_ = residentKilobytes(program_.pid(), "RssShmem:"); }

    // Opens one of the program's windows by its URL and closes it as the window manager does.
    bool openAndClose(const std::string& url, const std::vector<std::string>& thenVisit = {}) {
        const auto before = listedWindows(*platform_, program_.pid());
        if (!run(url)) return false;
        std::optional<xcb_window_t> opened;
        const bool shown = waitUntil(
            [&] {
                pump();
                for (xcb_window_t listed : listedWindows(*platform_, program_.pid())) {
                    if (std::find(before.begin(), before.end(), listed) == before.end()) opened = listed;
                }
                return opened.has_value();
            },
            Clock::now() + 10s, -1, 20ms);
        if (!shown) return false;
        for (const std::string& next : thenVisit) {
            if (!run(next)) return false;
        }
        // Drawn and settled before it closes.
        settled(program_.pid());
        closeLikeTheWindowManager(*platform_, *opened);
        return waitUntil(
            [&] {
                pump();
                const auto listed = listedWindows(*platform_, program_.pid());
                return std::find(listed.begin(), listed.end(), *opened) == listed.end();
            },
            Clock::now() + 10s, -1, 20ms);
    }

private:
    std::vector<std::string> environment() const {
        auto environment = desktop_->environment();
        environment.push_back("QT_QPA_PLATFORM=xcb");
        if (!std::getenv("BENCH_MACHINE_FONTS")) environment.push_back("FONTCONFIG_FILE=" TESSARY_PINNED_FONTS_CONF);
        return environment;
    }
    // A later start with a URL, which the running program takes.
    bool run(const std::string& url) {
        ChildProcess::Options options;
        options.arguments = {programPath(), url};
        options.environment = environment();
        options.discardStdout = true;
        ChildProcess process = ChildProcess::start(options);
        const auto status = process.waitForExit(Clock::now() + 10s);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }
    void pump() { platform_->processPendingEvents(); }
    bool awaitLine(const std::string& wanted, Clock::duration within = 10s) {
        const auto deadline = Clock::now() + within;
        while (auto line = program_.readLine(deadline)) {
            if (std::getenv("BENCH_ECHO")) std::fprintf(stderr, "> %s\n", line->c_str());
            if (*line == wanted) return true;
        }
        return false;
    }
    // Reads what the program wrote so far, so that its pipe never fills.
    void drain() {
        while (auto line = program_.readLine(Clock::now())) {
            if (std::getenv("BENCH_ECHO")) std::fprintf(stderr, "> %s\n", line->c_str());
        }
    }
    Rect frame(xcb_window_t window) { return platform_->windows().outerFrame(window).value_or(Rect::null()); }

    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::vector<Zone> zones_;
    ChildProcess bareTray_;
    ChildProcess program_;
    long sharedAtStart_ = 0;
};

// The settings panes a cycle visits, as the URLs that show them: every pane, or those BENCH_PANES
// names (see the top of the file); the first opens the window.
std::vector<std::string> settingsRoad() {
    std::vector<std::string> names(std::begin(panes), std::end(panes));
    if (const char* chosen = std::getenv("BENCH_PANES"); chosen && *chosen) {
        names.clear();
        std::istringstream list(chosen);
        for (std::string name; std::getline(list, name, ',');) {
            if (!name.empty()) names.push_back(name);
        }
    }
    if (names.empty()) names.emplace_back("general");
    std::vector<std::string> urls;
    for (const std::string& name : names) urls.push_back("tessary://settings?pane=" + name);
    return urls;
}

double mebibytes(long kilobytes) { return double(kilobytes) / 1024.0; }

void BM_ResidentMemoryAlongTheUsersRoad(benchmark::State& state) {
    // A step that failed ends the road, unless every step is wanted whatever it gave.
    const auto failed = [&](bool done, const std::string& what) {
        if (done || tracing()) return false;
        state.SkipWithError(what.c_str());
        return true;
    };
    for (auto _ : state) {
        Road road;
        if (!road.start()) {
            state.SkipWithError("the programs did not start");
            return;
        }
        // Each state's figures, the bare program's beside them.
        struct Row {
            std::string name;
            Figures ours, bare;
        };
        std::vector<Row> rows;
        auto take = [&](std::string name) {
            const Figures ours = road.program();
            rows.push_back({name, ours, road.bareTray()});
            road.keepMappings(name);
        };
        take("after start");
        const std::vector<std::string> visits = settingsRoad();
        const bool editor = std::getenv("BENCH_NO_EDITOR") == nullptr;
        constexpr int cycles = 15;
        for (int cycle = 1; cycle <= (tracing() ? 2 : cycles); ++cycle) {
            const auto panes = cycle == 1 ? visits.begin() + 1 : visits.end();
            if ((editor && failed(road.openAndClose("tessary://editor"), "the editor did not open and close")) ||
                failed(road.openAndClose(visits.front(), {visits.begin() + 1, panes}),
                       "the settings window did not open and close")) {
                return;
            }
            if (cycle == 1) take("editor and settings on one pane, closed: cycle 1");
            if (cycle == 2 || cycle == cycles) take("editor and settings, every pane, closed: cycle " + std::to_string(cycle));
        }
        road.noteSharedAtStart();
        if (failed(road.drag(tracing() ? 3 : 20), "a drag did not snap")) return;
        if (failed(road.awaitRest(), "the overlay's hold did not end")) return;
        take("after 20 drags, at rest");
        const std::pair<const char*, const char*> windows[] = {
            {"About", "tessary://about"}, {"feedback", "tessary://feedback"}, {"onboarding", "tessary://onboarding"}};
        for (const auto& [name, url] : windows) {
            if (failed(road.openAndClose(url), std::string(name) + " did not open and close")) return;
            take(std::string(name) + " opened and closed");
        }

        if (tracing()) continue;
        const Figures atStart = rows.front().ours, bare = rows.front().bare;
        const Figures first = rows[1].ours, everyPane = rows[2].ours, last = rows[3].ours;
        std::printf("\n| state | resident (MiB) | vs. after start | bare tray (MiB) | ratio | own: anonymous + "
                    "shared (MiB) | vs. after start | bare tray's own (MiB) |\n|---|---|---|---|---|---|---|---|\n");
        for (const auto& [name, ours, reference] : rows) {
            std::printf("| %s | %.1f | %+.1f | %.1f | %.2fx | %.1f | %+.1f | %.1f |\n", name.c_str(),
                        mebibytes(ours.resident), mebibytes(ours.resident - atStart.resident),
                        mebibytes(reference.resident), double(ours.resident) / double(reference.resident),
                        mebibytes(ours.own), mebibytes(ours.own - atStart.own), mebibytes(reference.own));
        }
        std::printf("| cycle 15 - cycle 2 | %+.2f | | | | %+.2f | | |\n\n", mebibytes(last.resident - everyPane.resident),
                    mebibytes(last.own - everyPane.own));
        std::fflush(stdout);

        state.counters["bare_tray_MiB"] = mebibytes(bare.resident);
        state.counters["bare_tray_own_MiB"] = mebibytes(bare.own);
        state.counters["start_MiB"] = mebibytes(atStart.resident);
        state.counters["start_ratio"] = double(atStart.resident) / double(bare.resident);
        double worst = 0;
        for (std::size_t i = 1; i < rows.size(); ++i) worst = std::max(worst, mebibytes(rows[i].ours.resident));
        state.counters["worst_after_close_MiB"] = worst;
        state.counters["cycles_15_minus_2_MiB"] = mebibytes(last.resident - everyPane.resident);
        // Own memory: what the first cycle takes, what the first visit of every pane adds, and what
        // the thirteen cycles after it keep for good.
        state.counters["own_cycle_1_above_start_MiB"] = mebibytes(first.own - atStart.own);
        state.counters["own_cycle_2_above_start_MiB"] = mebibytes(everyPane.own - atStart.own);
        state.counters["own_cycles_15_minus_2_MiB"] = mebibytes(last.own - everyPane.own);
    }
}

BENCHMARK(BM_ResidentMemoryAlongTheUsersRoad)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
