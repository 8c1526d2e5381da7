// The tessary program's CPU per pointer notice during a real drag, on the desktop the end-to-end
// tests use (Xvfb split into two 1920x1080 monitors, openbox) and on larger ones (two 3840x2160
// monitors; one 5120x1440 ultra-wide), without and with xcompmgr. A test
// client's window is dragged by its title bar through XTest with Shift held until the zones show;
// then each repetition sends relative motions (or XTest's absolute motions to the same places):
// one pixel at a time back and forth inside one zone
// (the highlight stays), or from the last pixel of the right monitor's left zone to the first of
// its right one and back (over the gap between them), so that every notice changes the highlight;
// on the ultra-wide, the same on its one monitor. The program's CPU over the motions, all its threads (schedstat), divided
// by the notices sent. Beside it, what the X server spent over the same motions (it also carries
// the window manager's moves and the XTest input, which the reference shares).
//
// The reference, in the same run and from the same motions: a bare process that selects raw motion
// on the root and only reads and frees each event (support/BareRawMotion.cpp), measured the same way.
// Beside it, what the Qt main loop alone costs: a Qt GUI program that does the same from a socket
// notifier on its own connection (support/BareQtRawMotion.cpp), and the same program as a Qt
// Widgets one (a QApplication, as the program is).
//
// Pacing: each motion is sent as a hand moves (at most one a millisecond, the window manager moving
// the window along), and not before every process has read the one before and are asleep again,
// so that neither takes several notices in one wake-up. The program's log is drained between runs.
//
// Honest figures: the references are built in this build, so the benchmark runs only in Release
// (BenchBuild.h; BENCH_PROGRAM's build is judged by its CMakeCache.txt). The cases of a desktop
// are measured together in rounds, interleaved (see `study`), after a first round that is left out;
// each drag also leaves its first 50 notices out.
//
// Counters, each the median over the rounds, the main ones with their quartiles (NAME_low,
// NAME_high): CPU per notice of ours, of the Qt reader, the Qt Widgets reader and the bare reader,
// and ours to each (ratio_to_qt_reader, ratio_to_qt_widgets_reader, ratio); the X server's CPU per notice; the machine's load; context switches
// per notice of ours and the bare reader's; the CPU per notice of the program's threads other than
// its main one, and how many of them ran (a thread pool woken shows here). The threads that ran are
// named on stderr. BENCH_NOTICES sets the motions per repetition (1000 inside a zone, 300 across),
// BENCH_ROUNDS the rounds (5); BENCH_PROGRAM runs another build of the program (an earlier one, to
// compare) instead of this one's.

#include <benchmark/benchmark.h>

#include <regex.h>
#include <time.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchBuild.h"
#include "BenchStatistics.h"
#include "CompositorProcess.h"
#include "Platform/X11/X11Platform.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_BARE_RAW_MOTION
#error "TESSARY_BARE_RAW_MOTION must name the bare raw-motion reader"
#endif
#ifndef TESSARY_BARE_QT_RAW_MOTION
#error "TESSARY_BARE_QT_RAW_MOTION must name the Qt raw-motion reader"
#endif

using namespace tessary;
using namespace tessary::e2e;
using namespace tessary::bench;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kShiftL = 0xffe1;

// The desktops measured, by the benchmark's "display" argument: the monitors side by side; the
// drag happens on the last one.
struct Display {
    int monitors, width, height;
};
constexpr Display displays[] = {{2, 1920, 1080}, {2, 3840, 2160}, {1, 5120, 1440}};

VirtualDesktop::Options desktopFor(const Display& display) {
    VirtualDesktop::Options options;
    options.monitorCount = display.monitors;
    options.monitorWidth = display.width;
    options.monitorHeight = display.height;
    return options;
}

// Across zones each notice costs the X server milliseconds, which pace the motions: fewer of them.
int noticesPerRepetition(bool across) {
    const char* configured = std::getenv("BENCH_NOTICES");
    if (configured && std::atoi(configured) > 0) return std::atoi(configured);
    return across ? 300 : 1000;
}

std::string programPath() {
    const char* chosen = std::getenv("BENCH_PROGRAM");
    return chosen && *chosen ? chosen : TESSARY_PROGRAM;
}

// One thread as the kernel counts it.
struct ThreadCounts {
    long long cpuNs = 0;   // time on a processor
    long long runs = 0;    // times it was put on one
    long long switches = 0;  // voluntary and involuntary context switches
    char state = '?';
    std::string name;
};

// Empty when the file cannot be read: a thread that ends while it is read fails the read with ESRCH,
// which a stream would throw.
std::string readFile(const fs::path& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

// The threads of a process; with `full`, also their switches and names (slower to read).
std::map<pid_t, ThreadCounts> threadCounts(pid_t pid, bool full) {
    std::map<pid_t, ThreadCounts> threads;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        ThreadCounts counts;
        long long wait = 0;
        if (std::sscanf(readFile(task.path() / "schedstat").c_str(), "%lld %lld %lld", &counts.cpuNs, &wait,
                        &counts.runs) != 3) {
            continue;  // ended meanwhile
        }
        // "tid (name) S ...": the name may hold spaces and parentheses; the state follows the last ')'.
        const std::string stat = readFile(task.path() / "stat");
        const auto close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size()) counts.state = stat[close + 2];
        if (full) {
            const auto open = stat.find('(');
            if (open != std::string::npos && close != std::string::npos) counts.name = stat.substr(open + 1, close - open - 1);
            std::istringstream status(readFile(task.path() / "status"));
            for (std::string line; std::getline(status, line);) {
                if (line.find("ctxt_switches:") != std::string::npos) counts.switches += std::stoll(line.substr(line.find(':') + 1));
            }
        }
        threads[pid_t(std::stol(task.path().filename().string()))] = counts;
    }
    return threads;
}

// What a process spent over a span, from counts taken at its start and end.
struct Spent {
    double cpuNs = 0;
    double switches = 0;
    double otherCpuNs = 0;  // threads other than the main one
    std::set<std::string> othersThatRan;
    int otherThreadsRan = 0;
};

Spent spentBetween(pid_t pid, const std::map<pid_t, ThreadCounts>& before, const std::map<pid_t, ThreadCounts>& after) {
    Spent spent;
    for (const auto& [tid, now] : after) {
        const auto earlier = before.find(tid);
        const ThreadCounts start = earlier == before.end() ? ThreadCounts{} : earlier->second;
        const double cpu = double(now.cpuNs - start.cpuNs);
        spent.cpuNs += cpu;
        spent.switches += double(now.switches - start.switches);
        if (tid != pid && cpu > 0) {
            spent.otherCpuNs += cpu;
            ++spent.otherThreadsRan;
            spent.othersThatRan.insert(now.name);
        }
    }
    return spent;
}

// The program, the bare reader and the desktop they run on, a window of the test client, and the
// drag in progress.
class Desk {
public:
    explicit Desk(const Display& display)
        : desktop_(desktopFor(display)),
          monitor_((display.monitors - 1) * display.width, 0, display.width, display.height) {
        platform_ = X11Platform::open(desktop_.display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        zones_ = writeDragLayouts(desktop_.dataHome(), monitor_);
        fs::create_directories(fs::path(desktop_.configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_.configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
    }
    ~Desk() {
        compositor_.stop();
        if (client_) client_->quit();
    }

    // Starts both programs and opens the window; false when one of them did not come.
    bool start() {
        ChildProcess::Options bare;
        bare.arguments = {TESSARY_BARE_RAW_MOTION};
        bare.environment = desktop_.environment();
        bare.pipeStdout = true;
        bare_ = ChildProcess::start(bare);
        if (bare_.readLine(Clock::now() + 10s) != "ready") return false;
        bare.arguments = {TESSARY_BARE_QT_RAW_MOTION};
        bare.environment.push_back("QT_QPA_PLATFORM=xcb");
        qtReader_ = ChildProcess::start(bare);
        if (qtReader_.readLine(Clock::now() + 10s) != "ready") return false;
        bare.arguments.push_back("--widgets");
        widgetsReader_ = ChildProcess::start(bare);
        if (widgetsReader_.readLine(Clock::now() + 10s) != "ready") return false;
        // Its log (with the debug lines) says when it has seen the button go down.
        ChildProcess::Options ours;
        ours.arguments = {"sh", "-c", "exec \"$0\" 2>&1", programPath()};
        ours.environment = desktop_.environment();
        ours.environment.push_back("QT_QPA_PLATFORM=xcb");
        ours.environment.push_back("TESSARY_DEBUG=1");
        ours.pipeStdout = true;
        program_ = ChildProcess::start(ours);
        const fs::path socket = fs::path(desktop_.runtimeDirectory()) / "tessary" /
                                ("local-" + desktop_.display().substr(1) + ".socket");
        if (!waitUntil([&] { return fs::exists(socket); }, Clock::now() + 20s)) return false;
        client_.emplace(desktop_.startClient());
        window_ = client_->open("x=" + std::to_string(int(monitor_.minX()) + 80) + " y=300 w=400 h=300");
        if (!window_ || !waitUntil(
                            [&] {
                                platform_->processPendingEvents();
                                return platform_->tracker().client(window_).has_value() && frame().minX() > monitor_.minX();
                            },
                            Clock::now() + 10s, -1, 20ms)) {
            return false;
        }
        home_ = frame();
        return true;
    }

    pid_t programPid() const { return program_.pid(); }
    pid_t serverPid() const { return desktop_.serverPid(); }
    pid_t barePid() const { return bare_.pid(); }
    pid_t qtReaderPid() const { return qtReader_.pid(); }
    pid_t widgetsReaderPid() const { return widgetsReader_.pid(); }
    const std::vector<Zone>& zones() const { return zones_; }

    // Starts or stops xcompmgr; returns once the screen's compositing selection says so, and the
    // program has had a moment to notice.
    bool setCompositor(bool on) {
        if (on == compositor_.running()) return true;
        if (on) {
            compositor_.start(desktop_.display());
        } else {
            compositor_.stop();
        }
        const bool seen = waitUntil([&] { return compositing() == on; }, Clock::now() + 5s);
        std::this_thread::sleep_for(300ms);
        drain();
        return seen;
    }

    // Presses Shift and the button on the window's title bar and moves the pointer one pixel at a
    // time until the program shows its zones; false when they never came.
    bool beginDrag() {
        const Rect outer = frame();
        const auto geometry = platform_->windows().geometry(window_);
        if (outer.isNull() || !geometry) return false;
        x_ = int(outer.midX());
        y_ = int(outer.minY() + geometry->frame.top / 2);
        desktop_.pressKey(kShiftL, true);
        desktop_.movePointerTo(x_, y_);
        desktop_.pressButton(1, true);
        if (!awaitLine("InputMonitor: left button down at " + std::to_string(x_) + " " + std::to_string(y_))) return false;
        for (int step = 0; step < 200; ++step) {
            moveBy(1, 0);
            if (overlayMappedFrom(*platform_, int(monitor_.minX()), 1000, program_.pid())) return true;
        }
        return false;
    }

    // Lets go of the button and Shift; true when the window snapped into `zone`. The window goes
    // back where it began for the next drag.
    bool endDrag(const Rect& zone) {
        desktop_.pressButton(1, false);
        const bool snapped = waitUntil(
            [&] {
                platform_->processPendingEvents();
                return frame() == zone;
            },
            Clock::now() + 5s, -1, 20ms);
        desktop_.pressKey(kShiftL, false);
        drain();
        platform_->windows().resizeTo(window_, home_.size, 1s);
        platform_->windows().moveTo(window_, home_.origin, 1s);
        return snapped;
    }

    // Moves the pointer to (x, y) by relative motion, as a hand would, in steps of at most 16 pixels.
    void travelTo(int x, int y) {
        while (x_ != x || y_ != y) {
            moveBy(std::clamp(x - x_, -16, 16), std::clamp(y - y_, -16, 16));
        }
    }

    // One motion, once the window manager has taken it (and moved the window along): relative, or
    // XTest's absolute motion to the same place with `absolute`.
    void moveBy(int dx, int dy) {
        if (absolute) {
            desktop_.movePointerTo(x_ + dx, y_ + dy, true);
        } else {
            desktop_.movePointerBy(dx, dy);
        }
        x_ += dx;
        y_ += dy;
    }
    bool absolute = false;
    int x() const { return x_; }

    // Reads what the program wrote so far, so that its pipe never fills.
    void drain() {
        while (auto line = program_.readLine(Clock::now())) {
            if (std::getenv("BENCH_ECHO")) std::fprintf(stderr, "> %s\n", line->c_str());
        }
    }

private:
    Rect frame() { return platform_->windows().outerFrame(window_).value_or(Rect::null()); }

    bool compositing() {
        xcb_connection_t* c = platform_->connection().xcb();
        const std::string name = "_NET_WM_CM_S0";
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
        if (!atom) return false;
        auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
        std::free(atom);
        return owned;
    }

    bool awaitLine(const std::string& wanted) {
        const auto deadline = Clock::now() + 10s;
        while (auto line = program_.readLine(deadline)) {
            if (std::getenv("BENCH_ECHO")) std::fprintf(stderr, "> %s\n", line->c_str());
            if (*line == wanted) return true;
        }
        return false;
    }

    VirtualDesktop desktop_;
    Rect monitor_;  // where the drag happens
    std::unique_ptr<X11Platform> platform_;
    std::vector<Zone> zones_;
    ChildProcess bare_;
    ChildProcess qtReader_;
    ChildProcess widgetsReader_;
    ChildProcess program_;
    std::optional<TestClient> client_;
    xcb_window_t window_ = 0;
    Rect home_;
    CompositorProcess compositor_;
    int x_ = 0, y_ = 0;
};

// Waits until each process's main thread has run since `runsBefore` and none of their threads is
// on or waiting for a processor, twice in a row with nothing run in between: the notice has been
// read and all it set off is done. False at the time limit.
bool settled(const std::vector<pid_t>& pids, const std::map<pid_t, long long>& runsBefore) {
    const auto deadline = Clock::now() + 50ms;
    long long lastRuns = -1;
    while (Clock::now() < deadline) {
        bool quiet = true;
        long long runs = 0;
        for (const pid_t pid : pids) {
            const auto threads = threadCounts(pid, false);
            const auto main = threads.find(pid);
            if (main == threads.end() || main->second.runs <= runsBefore.at(pid)) quiet = false;
            for (const auto& [tid, counts] : threads) {
                runs += counts.runs;
                if (counts.state == 'R' || counts.state == 'D') quiet = false;
            }
        }
        if (quiet && runs == lastRuns) return true;
        lastRuns = quiet ? runs : -1;
        std::this_thread::sleep_for(100us);
    }
    return false;
}

long long mainRuns(pid_t pid) {
    long long cpu = 0, wait = 0, runs = 0;
    std::sscanf(readFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat").c_str(),
                "%lld %lld %lld", &cpu, &wait, &runs);
    return runs;
}

// What one repetition measured.
struct Repetition {
    Spent ours, bare, qtReader, widgetsReader, server;
    int notices = 0;
    int unsettled = 0;  // notices after which the processes had not settled within the time limit
    double paceMs = 0;  // from one notice to the next
};

// Sends `notices` motions, each the one `step` gives for its index, paced as the top of the file says.
template <typename Step>
Repetition measure(Desk& d, int notices, Step step) {
    const pid_t ours = d.programPid(), bare = d.barePid(), qt = d.qtReaderPid(), widgets = d.widgetsReaderPid();
    d.drain();
    Repetition result;
    result.notices = notices;
    const auto oursBefore = threadCounts(ours, true);
    const auto bareBefore = threadCounts(bare, true);
    const auto qtBefore = threadCounts(qt, true);
    const auto widgetsBefore = threadCounts(widgets, true);
    const auto serverBefore = threadCounts(d.serverPid(), false);
    const auto began = Clock::now();
    auto sentAt = began - 1s;
    for (int i = 0; i < notices; ++i) {
        std::this_thread::sleep_until(sentAt + 1ms);
        const std::map<pid_t, long long> runs{
            {ours, mainRuns(ours)}, {bare, mainRuns(bare)}, {qt, mainRuns(qt)}, {widgets, mainRuns(widgets)}};
        sentAt = Clock::now();
        const auto [dx, dy] = step(i);
        d.moveBy(dx, dy);
        if (!settled({ours, bare, qt, widgets}, runs)) ++result.unsettled;
    }
    result.paceMs = std::chrono::duration<double, std::milli>(Clock::now() - began).count() / notices;
    // Anything the last notice set off later (a timer) is counted too.
    std::this_thread::sleep_for(20ms);
    result.ours = spentBetween(ours, oursBefore, threadCounts(ours, true));
    result.bare = spentBetween(bare, bareBefore, threadCounts(bare, true));
    result.qtReader = spentBetween(qt, qtBefore, threadCounts(qt, true));
    result.widgetsReader = spentBetween(widgets, widgetsBefore, threadCounts(widgets, true));
    result.server = spentBetween(d.serverPid(), serverBefore, threadCounts(d.serverPid(), false));
    return result;
}

// One case of the benchmark: xcompmgr running (1) or not (0); motion across the zones' border (1)
// or inside one (0); the display (see `displays`); the pointer moved by relative motion (0) or
// XTest's absolute motion (1, on the first display only).
struct Case {
    int compositor, across, display, absolute;

    std::string name() const {
        return "ProgramCpuPerNotice/compositor:" + std::to_string(compositor) + "/across:" + std::to_string(across) +
               "/display:" + std::to_string(display) + "/absolute:" + std::to_string(absolute);
    }
};

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (int display = 0; display < int(std::size(displays)); ++display) {
        for (int compositor : {0, 1}) {
            for (int across : {0, 1}) cases.push_back({compositor, across, display, 0});
        }
        if (display != 0) continue;
        for (int compositor : {0, 1}) {
            for (int across : {0, 1}) cases.push_back({compositor, across, display, 1});
        }
    }
    return cases;
}

// Whether the run's --benchmark_filter selects the case (its regular expression, negated by a
// leading '-'), so that the study measures only what was asked for.
bool selected(const Case& c) {
    std::string filter = benchmark::GetBenchmarkFilter();
    const bool negated = !filter.empty() && filter[0] == '-';
    if (negated) filter.erase(0, 1);
    if (filter.empty() || filter == "all") return !negated;
    regex_t expression;
    if (regcomp(&expression, filter.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return true;
    const std::string name = c.name() + "/iterations:1/manual_time";
    const bool matches = regexec(&expression, name.c_str(), 0, nullptr, 0) == 0;
    regfree(&expression);
    return matches != negated;
}

int roundsRequested() {
    const char* configured = std::getenv("BENCH_ROUNDS");
    return configured && std::atoi(configured) > 0 ? std::atoi(configured) : 5;
}

// What the rounds measured of one case.
struct CaseResult {
    std::vector<Repetition> repetitions;
    std::vector<double> loads;  // the machine's load after each repetition
    std::string failure;
    int notices = 0;
    int jump = 0;
};

// One drag measured: the zones shown, the pointer brought to the case's place, a short warm-up
// (this drag's highlights drawn) left out, the motions measured, the drop checked. The failure, if any.
std::optional<std::string> measureDrag(Desk& d, const Case& c, CaseResult& result, bool keep) {
    d.absolute = c.absolute != 0;
    const bool across = c.across != 0;
    // The right monitor's two zones, side by side: the left one's right edge is the border.
    const Rect left = d.zones()[0].rect, right = d.zones()[1].rect;
    const int inLeft = int(std::ceil(left.maxX())) - 1;
    const int jump = std::max(1, int(std::ceil(right.minX())) - inLeft);  // to the first point of the right zone
    const int y = int(left.midY());
    if (!d.beginDrag()) return "the zones did not show";
    int position = 0;  // inside the zone: steps from the start of a back-and-forth of 40 pixels
    auto step = [&](int) -> std::pair<int, int> {
        if (across) return {d.x() == inLeft ? jump : -jump, 0};
        const int dx = (position++ / 40) % 2 ? -1 : 1;
        return {dx, 0};
    };
    d.travelTo(across ? inLeft : int(left.midX()), y);
    measure(d, 50, step);
    const int notices = noticesPerRepetition(across);
    Repetition repetition = measure(d, notices, step);
    // Dropped where the program last saw the pointer: the zone it believes it is in is the one
    // the pointer is in, so its position followed every motion.
    const Rect expected = d.x() >= right.minX() ? right : left;
    if (!d.endDrag(expected)) return "the window did not snap into the zone under the pointer";
    if (keep) {
        result.repetitions.push_back(repetition);
        result.loads.push_back(machineLoad());
        result.notices = notices;
        result.jump = across ? jump : 0;
    }
    return std::nullopt;
}

// Every selected case of a display, measured in rounds on one desktop: a first round left out
// (the processes' first notices, page faults and caches), then BENCH_ROUNDS rounds. Each round
// runs every case once, the compositor's two states in alternating order and the cases rotated,
// so that a slow moment of the machine or a position in the order falls on every case alike. The
// program and its references read the same motions in each repetition.
std::map<std::string, CaseResult> study(int display) {
    std::map<std::string, CaseResult> results;
    std::vector<Case> cases;
    for (const Case& c : allCases()) {
        if (c.display == display && selected(c)) cases.push_back(c);
    }
    if (cases.empty()) return results;
    auto failAll = [&](const std::string& why) {
        for (const Case& c : cases) {
            if (results[c.name()].failure.empty()) results[c.name()].failure = why;
        }
    };
    auto d = std::make_unique<Desk>(displays[display]);
    if (!d->start()) {
        failAll("the program, the bare reader or the window did not start");
        return results;
    }
    const int rounds = roundsRequested();
    for (int round = 0; round <= rounds; ++round) {
        for (int k = 0; k < 2; ++k) {
            const int compositor = round % 2 ? 1 - k : k;
            std::vector<Case> group;
            for (const Case& c : cases) {
                if (c.compositor == compositor) group.push_back(c);
            }
            if (group.empty()) continue;
            if (!d->setCompositor(compositor != 0)) {
                for (const Case& c : group) results[c.name()].failure = "xcompmgr did not start or stop";
                continue;
            }
            for (std::size_t i = 0; i < group.size(); ++i) {
                const Case& c = group[(i + std::size_t(round)) % group.size()];
                CaseResult& result = results[c.name()];
                if (!result.failure.empty()) continue;
                if (auto failure = measureDrag(*d, c, result, round > 0)) result.failure = *failure;
            }
        }
    }
    return results;
}

// The study of a display, made by the first of its cases to run.
const CaseResult& resultOf(const Case& c) {
    static std::map<int, std::map<std::string, CaseResult>> studies;
    if (!studies.contains(c.display)) studies[c.display] = study(c.display);
    return studies[c.display][c.name()];
}

void ProgramCpuPerNotice(benchmark::State& state) {
    const Case c{int(state.range(0)), int(state.range(1)), int(state.range(2)), int(state.range(3))};
    if (auto refusal = buildRefusal(programPath())) {
        state.SkipWithError(refusal->c_str());
        return;
    }
    const CaseResult& result = resultOf(c);
    if (!result.failure.empty() || result.repetitions.empty()) {
        state.SkipWithError(result.failure.empty() ? "no repetition was measured" : result.failure.c_str());
        return;
    }
    const auto& repetitions = result.repetitions;
    const double n = result.notices;
    auto values = [&](auto of) {
        std::vector<double> all;
        for (const Repetition& r : repetitions) all.push_back(of(r));
        return all;
    };
    const std::vector<double> ours = values([&](const Repetition& r) { return r.ours.cpuNs / n / 1e3; });
    for (auto _ : state) state.SetIterationTime(spreadOf(ours).median * 1e-6);

    reportSpread(state, "cpu_us_per_notice", ours);
    reportSpread(state, "qt_reader_cpu_us_per_notice", values([&](const Repetition& r) { return r.qtReader.cpuNs / n / 1e3; }));
    reportSpread(state, "ratio_to_qt_reader",
                 values([&](const Repetition& r) { return r.ours.cpuNs / std::max(r.qtReader.cpuNs, 1.0); }));
    reportSpread(state, "qt_widgets_reader_cpu_us_per_notice",
                 values([&](const Repetition& r) { return r.widgetsReader.cpuNs / n / 1e3; }));
    reportSpread(state, "ratio_to_qt_widgets_reader",
                 values([&](const Repetition& r) { return r.ours.cpuNs / std::max(r.widgetsReader.cpuNs, 1.0); }));
    reportSpread(state, "bare_cpu_us_per_notice", values([&](const Repetition& r) { return r.bare.cpuNs / n / 1e3; }));
    reportSpread(state, "ratio", values([&](const Repetition& r) { return r.ours.cpuNs / std::max(r.bare.cpuNs, 1.0); }));
    reportSpread(state, "server_cpu_us_per_notice", values([&](const Repetition& r) { return r.server.cpuNs / n / 1e3; }));
    reportSpread(state, "load", result.loads);
    auto median = [&](auto of) { return spreadOf(values(of)).median; };
    state.counters["switches_per_notice"] = median([&](const Repetition& r) { return r.ours.switches / n; });
    state.counters["bare_switches_per_notice"] = median([&](const Repetition& r) { return r.bare.switches / n; });
    state.counters["other_threads_us_per_notice"] = median([&](const Repetition& r) { return r.ours.otherCpuNs / n / 1e3; });
    state.counters["other_threads_ran"] = median([&](const Repetition& r) { return double(r.ours.otherThreadsRan); });
    state.counters["unsettled_notices"] = median([&](const Repetition& r) { return double(r.unsettled); });
    state.counters["pace_ms"] = median([](const Repetition& r) { return r.paceMs; });
    state.counters["repetitions"] = double(repetitions.size());
    if (c.across) state.counters["jump_px"] = result.jump;
    std::set<std::string> others;
    for (const Repetition& r : repetitions) others.insert(r.ours.othersThatRan.begin(), r.ours.othersThatRan.end());
    std::string names;
    for (const std::string& name : others) names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "%s: the program's other threads that ran: %s\n", c.name().c_str(),
                 names.empty() ? "none" : names.c_str());
}
BENCHMARK(ProgramCpuPerNotice)
    ->ArgNames({"compositor", "across", "display", "absolute"})
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (const Case& c : allCases()) b->Args({c.compositor, c.across, c.display, c.absolute});
    })
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
