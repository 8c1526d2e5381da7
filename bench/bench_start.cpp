// From start to the tray icon on a real desktop (Xvfb split into two monitors, openbox, trayer),
// beside a bare Qt Widgets program that shows a tray icon (support/BareTray.cpp), started in turn
// with the program in the same run: bare, program, bare, program... The icon counts as shown when the
// X server maps a window of the process inside the tray (the moment the user sees it), read as
// events of a connection of this process's own; the start is the moment before the fork.
//
// Three cases, each with its own files: an ordinary start (a few layouts, onboarding done), the very
// first start (no stored files at all: onboarding opens too) and a library of 10,000 layouts, taken
// in turn round after round. The first two rounds are dropped (the disk cache, the font cache); then
// `rounds` starts of each. Printed: each median with its quartiles, the ratio of the medians,
// the time until the program answers a later start (its socket: documents and services up), the
// resident memory after start of the case's first measured start, and the machine's load.
//
// BM_OwnMemoryAt10000Layouts: the program's own memory (anonymous and shared: what no file backs)
// once settled after a start over 10,000 layouts, beyond its own after a very first start on the
// same desktop (no files: the starter layouts, onboarding open), the two taken in turn over several
// rounds.
//
// BENCH_PROGRAM runs another build of the program (an earlier one, to compare) instead of this one's.

#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchProgram.h"
#include "bench/BenchStatistics.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/TrayMenu.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_BARE_TRAY
#error "TESSARY_BARE_TRAY must name the bare tray program"
#endif

using namespace tessary;
using namespace tessary::e2e;
using namespace tessary::bench;
namespace fs = std::filesystem;

namespace {

constexpr int warmUps = 2;
constexpr int rounds = 15;

std::string programPath() { return bench::programUnderTest(TESSARY_PROGRAM); }

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

// Reads, on a connection of its own, when a process's window is mapped inside the tray.
class TrayWatch {
public:
    explicit TrayWatch(const std::string& display) {
        c_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c_)) throw std::runtime_error("cannot connect to the virtual desktop");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        pidAtom_ = atom("_NET_WM_PID");
        xcb_flush(c_);
    }
    ~TrayWatch() { xcb_disconnect(c_); }
    TrayWatch(const TrayWatch&) = delete;
    TrayWatch& operator=(const TrayWatch&) = delete;

    // Drops what came before a start.
    void clear() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) std::free(event);
    }

    // When a window of `pid` was mapped inside the window of `trayPid`; none by the deadline.
    std::optional<Clock::time_point> awaitIcon(pid_t pid, pid_t trayPid, Clock::time_point deadline) {
        xcb_window_t icon = XCB_WINDOW_NONE;
        while (Clock::now() < deadline) {
            xcb_generic_event_t* event = xcb_poll_for_event(c_);
            if (!event) {
                pollfd descriptor{xcb_get_file_descriptor(c_), POLLIN, 0};
                ::poll(&descriptor, 1, 50);
                continue;
            }
            const auto now = Clock::now();
            const uint8_t type = event->response_type & 0x7f;
            std::optional<Clock::time_point> shown;
            if (type == XCB_REPARENT_NOTIFY && icon == XCB_WINDOW_NONE) {
                const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
                if (reparent->parent != root_ && owner(reparent->window) == pid && inside(reparent->parent, trayPid)) {
                    icon = reparent->window;
                    // Its map may come before this connection follows the window: asked after.
                    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_change_window_attributes(c_, icon, XCB_CW_EVENT_MASK, &mask);
                    auto* attributes =
                        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, icon), nullptr);
                    if (attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED) shown = Clock::now();
                    std::free(attributes);
                }
            } else if (type == XCB_MAP_NOTIFY && icon != XCB_WINDOW_NONE) {
                if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == icon) shown = now;
            }
            std::free(event);
            if (shown) return shown;
        }
        return std::nullopt;
    }

private:
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }
    std::optional<uint32_t> owner(xcb_window_t window) {
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        std::optional<uint32_t> pid;
        if (reply && xcb_get_property_value_length(reply) == 4) {
            pid = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
        }
        std::free(reply);
        return pid;
    }
    // Whether `window` or one of its ancestors is a window of `pid`.
    bool inside(xcb_window_t window, pid_t pid) {
        for (int depth = 0; window != XCB_WINDOW_NONE && window != root_ && depth < 8; ++depth) {
            if (owner(window) == uint32_t(pid)) return true;
            auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr);
            window = tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
            std::free(tree);
        }
        return false;
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
};

enum class Files { ordinary, none, tenThousandLayouts };

class StartRoad {
public:
    StartRoad() {
        VirtualDesktop::Options options;
        options.tray = true;
        desktop_ = std::make_unique<VirtualDesktop>(options);
        watch_ = std::make_unique<TrayWatch>(desktop_->display());
        const fs::path ordinary = fs::path(desktop_->directory()) / "ordinary";
        writeDragLayouts(ordinary / "data");
        writeOnboarded(ordinary / "config");
        const fs::path large = fs::path(desktop_->directory()) / "large";
        writeLayoutLibrary(large / "data", 10000);
        writeOnboarded(large / "config");
    }

    struct Start {
        double icon = 0;                    // ms from the fork to the icon mapped in the tray
        std::optional<double> ready;        // ms to the socket (the program only)
        long resident = 0, own = 0;         // kB after start, when asked for
    };

    // One start of the bare tray or of the program over the folders of `home` (filesFor); none when
    // the icon did not show.
    std::optional<Start> start(bool program, const fs::path& home, bool measureMemory) {
        auto environment = desktop_->environment();
        environment.push_back("QT_QPA_PLATFORM=xcb");
        environment.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
        environment.push_back("XDG_DATA_HOME=" + (home / "data").string());
        ChildProcess::Options options;
        // Their logs are not wanted; exec keeps the process the one started.
        const std::string path = program ? programPath() : std::string(TESSARY_BARE_TRAY);
        options.arguments = {"sh", "-c", "exec \"$0\" 2>/dev/null", path};
        options.environment = environment;
        options.discardStdout = true;
        watch_->clear();
        const auto began = Clock::now();
        ChildProcess process = ChildProcess::start(options);
        const auto shown = watch_->awaitIcon(process.pid(), desktop_->trayPid(), Clock::now() + 30s);
        if (!shown) return std::nullopt;
        Start result{milliseconds(*shown - began), std::nullopt, 0, 0};
        if (program) {
            const fs::path socket = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                                    ("local-" + desktop_->display().substr(1) + ".socket");
            if (!waitUntil([&] { return fs::exists(socket); }, Clock::now() + 30s, -1, 1ms)) return std::nullopt;
            result.ready = milliseconds(Clock::now() - began);
        }
        if (measureMemory) {
            const pid_t pid = process.pid();
            result.resident = steadyValue([pid] { return residentKilobytes(pid); }, 1s, 20s, 100ms);
            result.own = residentKilobytes(pid, "RssAnon:") + residentKilobytes(pid, "RssShmem:");
        }
        process.kill();
        // The tray drops the icon of an ended process before the next one comes.
        waitUntil([&] { return !trayIconWindow(platform(), desktop_->trayPid(), process.pid()); }, Clock::now() + 2s, -1,
                  10ms);
        return result;
    }

    // The case's folders; the very first start gets empty ones each time.
    fs::path filesFor(Files files) {
        const fs::path base(desktop_->directory());
        switch (files) {
        case Files::ordinary: return base / "ordinary";
        case Files::tenThousandLayouts: return base / "large";
        case Files::none: break;
        }
        const fs::path fresh = base / ("first-" + std::to_string(++firstStarts_));
        fs::create_directories(fresh);
        return fresh;
    }
private:
    static void writeOnboarded(const fs::path& config) {
        fs::create_directories(config / "Tessary");
        std::ofstream(config / "Tessary" / "defaults.json") << "{\"hasCompletedOnboarding\": true}\n";
    }
    X11Platform& platform() {
        if (!platform_) platform_ = X11Platform::open(desktop_->display().c_str());
        return *platform_;
    }

    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<TrayWatch> watch_;
    std::unique_ptr<X11Platform> platform_;
    int firstStarts_ = 0;
};

void BM_StartToTrayIcon(benchmark::State& state) {
    struct Case {
        const char* name;
        const char* counter;
        Files files;
    };
    const Case cases[] = {{"ordinary start", "ordinary", Files::ordinary},
                          {"very first start (no files)", "first", Files::none},
                          {"10,000 layouts", "layouts10k", Files::tenThousandLayouts}};
    for (auto _ : state) {
        StartRoad road;
        std::printf("\n| case | bare tray: icon (ms) | program: icon (ms) | ratio | program: answers (ms) | "
                    "resident after start, bare / program (MiB) | own, bare / program (MiB) | load |\n"
                    "|---|---|---|---|---|---|---|---|\n");
        // Round after round, each case's pair in turn: a drift of the machine reaches every case alike.
        struct Figures {
            std::vector<double> bare, ours, ready;
            StartRoad::Start bareMemory, ourMemory;
        };
        std::vector<Figures> figures(std::size(cases));
        for (int i = 0; i < warmUps + rounds; ++i) {
            for (std::size_t c = 0; c < std::size(cases); ++c) {
                const bool memory = i == warmUps;
                // Both over the same folders: what Qt and fontconfig read there costs each alike.
                const fs::path home = road.filesFor(cases[c].files);
                const auto reference = road.start(false, home, memory);
                const auto program = road.start(true, home, memory);
                if (!reference || !program) {
                    state.SkipWithError("an icon did not show");
                    return;
                }
                Figures& f = figures[c];
                if (memory) {
                    f.bareMemory = *reference;
                    f.ourMemory = *program;
                }
                if (i < warmUps) continue;
                f.bare.push_back(reference->icon);
                f.ours.push_back(program->icon);
                f.ready.push_back(*program->ready);
            }
        }
        const double load = machineLoad();
        for (std::size_t c = 0; c < std::size(cases); ++c) {
            const Figures& f = figures[c];
            const Spread b = spreadOf(f.bare), o = spreadOf(f.ours), r = spreadOf(f.ready);
            std::printf("| %s | %.0f (%.0f-%.0f) | %.0f (%.0f-%.0f) | %.2fx | %.0f (%.0f-%.0f) | %.1f / %.1f | %.1f / %.1f | "
                        "%.1f |\n",
                        cases[c].name, b.median, b.low, b.high, o.median, o.low, o.high, o.median / b.median, r.median,
                        r.low, r.high, double(f.bareMemory.resident) / 1024, double(f.ourMemory.resident) / 1024,
                        double(f.bareMemory.own) / 1024, double(f.ourMemory.own) / 1024, load);
            const std::string name = cases[c].counter;
            reportSpread(state, name + "_bare_ms", f.bare);
            reportSpread(state, name + "_icon_ms", f.ours);
            reportSpread(state, name + "_ready_ms", f.ready);
            state.counters[name + "_ratio"] = o.median / b.median;
            state.counters[name + "_resident_MiB"] = double(f.ourMemory.resident) / 1024;
            state.counters[name + "_own_MiB"] = double(f.ourMemory.own) / 1024;
        }
        std::fflush(stdout);
        std::printf("\n");
        reportLoad(state);
    }
}

BENCHMARK(BM_StartToTrayIcon)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_OwnMemoryAt10000Layouts(benchmark::State& state) {
    constexpr int memoryRounds = 7;
    for (auto _ : state) {
        StartRoad road;
        std::vector<double> first, large, beyond;
        // The first round warms the caches; it is not counted.
        for (int i = 0; i <= memoryRounds; ++i) {
            std::optional<StartRoad::Start> firstStart, withLarge;
            for (int turn = 0; turn < 2; ++turn) {
                const bool largeFirst = i % 2 == 1;
                const bool large10k = (turn == 0) == largeFirst;
                auto& into = large10k ? withLarge : firstStart;
                into = road.start(true, road.filesFor(large10k ? Files::tenThousandLayouts : Files::none), true);
                if (!into) {
                    state.SkipWithError("an icon did not show");
                    return;
                }
            }
            if (i == 0) continue;
            first.push_back(double(firstStart->own) / 1024);
            large.push_back(double(withLarge->own) / 1024);
            beyond.push_back(double(withLarge->own - firstStart->own) / 1024);
        }
        const Spread f = spreadOf(first), l = spreadOf(large), b = spreadOf(beyond);
        std::printf("\n| own memory after start (MiB) | median (quartiles) |\n|---|---|\n"
                    "| very first start (the starters, onboarding) | %.1f (%.1f-%.1f) |\n"
                    "| 10,000 layouts | %.1f (%.1f-%.1f) |\n| 10,000 layouts beyond the first start | %.1f (%.1f-%.1f) |\n\n",
                    f.median, f.low, f.high, l.median, l.low, l.high, b.median, b.low, b.high);
        std::fflush(stdout);
        reportSpread(state, "first_start_own_MiB", first);
        reportSpread(state, "layouts10k_own_MiB", large);
        reportSpread(state, "beyond_first_start_MiB", beyond);
        reportLoad(state);
    }
}

BENCHMARK(BM_OwnMemoryAt10000Layouts)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
