// The tray menu's opening on a real desktop (Xvfb split into two monitors, openbox, trayer) with a
// library of 10, 100 and 1,000 layouts (the argument): the time from a right click on the icon to
// the menu's X window mapped, as another connection sees its MapNotify, and the program's own
// memory (anonymous + shared: what no file backs) at rest before the first opening and after the
// last one closed. The reference, in the same run on the same desktop and clicked the same way: a
// bare Qt Widgets program's tray icon and its one-item menu (support/BareTray.cpp).
//
// One iteration per library: the figures are the counters (milliseconds, MiB), and a table row is
// printed. The first opening (fonts and the menu's window made) is given apart from the later ones;
// each opening waits until the program's CPU time has stopped growing after the last close, and
// its CPU is counted from the click until the program is idle again with the menu drawn.
// BENCH_PROGRAM runs another build of the program (an earlier one, to compare).

#include <benchmark/benchmark.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchProgram.h"
#include "Platform/X11/X11Platform.h"
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
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kEscape = 0xff1b;
constexpr int kOpenings = 15;

std::string programPath() { return bench::programUnderTest(TESSARY_PROGRAM); }

// A connection of its own that sees every top-level window mapped and unmapped.
class MapWatcher {
public:
    explicit MapWatcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(c_)) throw std::runtime_error("cannot watch the desktop");
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
        // Watching once the server has taken the request.
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~MapWatcher() { xcb_disconnect(c_); }

    // Forgets what was seen so far.
    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) std::free(event);
    }
    // The next override-redirect window at least 100 wide mapped, and when it was seen.
    std::optional<std::pair<xcb_window_t, Clock::time_point>> nextMenuMapped(Clock::time_point deadline) {
        while (xcb_generic_event_t* event = next(deadline)) {
            const auto at = Clock::now();
            std::optional<xcb_window_t> mapped;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->override_redirect) mapped = map->window;
            }
            std::free(event);
            if (!mapped) continue;
            auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, *mapped), nullptr);
            const bool wide = geometry && geometry->width >= 100;
            std::free(geometry);
            if (wide) return std::pair{*mapped, at};
        }
        return std::nullopt;
    }
    bool unmapped(xcb_window_t window, Clock::time_point deadline) {
        while (xcb_generic_event_t* event = next(deadline)) {
            const bool gone = (event->response_type & 0x7f) == XCB_UNMAP_NOTIFY &&
                              reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window;
            std::free(event);
            if (gone) return true;
        }
        return false;
    }

private:
    xcb_generic_event_t* next(Clock::time_point deadline) {
        for (;;) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(c_)) return event;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return nullptr;
            pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&fd, 1, int(left));
        }
    }

    xcb_connection_t* c_;
};

// One program's figures.
struct Figures {
    double firstOpen = 0, medianOpen = 0, slowestOpen = 0;
    // CPU of a later opening, from the click until the program is idle with the menu drawn.
    double medianCPU = 0;
    long ownBefore = 0, ownAfter = 0;
    bool complete = false;
};

class Desk {
public:
    explicit Desk(int layouts) {
        VirtualDesktop::Options options;
        options.tray = true;
        desktop_ = std::make_unique<VirtualDesktop>(options);
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        writeLayoutLibrary(desktop_->dataHome(), layouts);
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
        watcher_ = std::make_unique<MapWatcher>(desktop_->display());
    }

    ChildProcess start(const std::string& program) {
        ChildProcess::Options options;
        options.arguments = {program};
        options.environment = desktop_->environment();
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.discardStdout = true;
        return ChildProcess::start(options);
    }

    // Opens the menu of `pid` kOpenings times by a right click on its icon and closes it with Escape.
    Figures measure(pid_t pid) {
        Figures figures;
        std::optional<Rect> icon;
        if (!waitUntil([&] { return (icon = trayIcon(*platform_, desktop_->trayPid(), pid)).has_value(); },
                       Clock::now() + 20s, -1, 20ms)) {
            std::fprintf(stderr, "no tray icon of %d\n", int(pid));
            return figures;
        }
        desktop_->movePointerTo(int(icon->midX()), int(icon->midY()));
        desktop_->syncInput();
        figures.ownBefore = settledOwnMemory(pid);
        std::vector<double> opens, cpu;
        for (int i = 0; i < kOpenings; ++i) {
            awaitIdle(pid);
            watcher_->drain();
            // A click within Qt's double-click time of the one before is a double click, which opens
            // nothing in the bare program (ours opens its menu): the click is made again, and the
            // opening timed from the one that opened it.
            auto clicked = Clock::now();
            const double cpuBefore = cpuMilliseconds(pid);
            std::optional<std::pair<xcb_window_t, Clock::time_point>> mapped;
            for (int attempt = 0; attempt < 3 && !mapped; ++attempt) {
                clicked = Clock::now();
                desktop_->pressButton(3, true);
                desktop_->pressButton(3, false);
                mapped = watcher_->nextMenuMapped(Clock::now() + 2s);
            }
            if (!mapped) {
                std::fprintf(stderr, "no menu mapped at opening %d\n", i + 1);
                return figures;
            }
            opens.push_back(std::chrono::duration<double, std::milli>(mapped->second - clicked).count());
            // Drawn before it closes, as a user sees it: the CPU its opening took, painting included.
            awaitIdle(pid);
            cpu.push_back(cpuMilliseconds(pid) - cpuBefore);
            desktop_->pressKey(kEscape, true);
            desktop_->pressKey(kEscape, false);
            if (!watcher_->unmapped(mapped->first, Clock::now() + 10s)) {
                std::fprintf(stderr, "the menu stayed at opening %d\n", i + 1);
                return figures;
            }
        }
        figures.ownAfter = settledOwnMemory(pid);
        figures.firstOpen = opens.front();
        std::vector<double> later(opens.begin() + 1, opens.end());
        std::sort(later.begin(), later.end());
        figures.medianOpen = later[later.size() / 2];
        figures.slowestOpen = later.back();
        std::sort(cpu.begin() + 1, cpu.end());
        figures.medianCPU = cpu[1 + (cpu.size() - 1) / 2];
        figures.complete = true;
        return figures;
    }

private:
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<MapWatcher> watcher_;
};

double mebibytes(long kilobytes) { return double(kilobytes) / 1024.0; }

void BM_TrayMenuOpening(benchmark::State& state) {
    const int layouts = int(state.range(0));
    for (auto _ : state) {
        Desk desk(layouts);
        ChildProcess bare = desk.start(TESSARY_BARE_TRAY);
        const Figures reference = desk.measure(bare.pid());
        bare.kill();
        ChildProcess ours = desk.start(programPath());
        const Figures figures = desk.measure(ours.pid());
        ours.kill();
        if (!reference.complete || !figures.complete) {
            state.SkipWithError("a menu did not open or close");
            return;
        }
        std::printf("\n| layouts | first open (ms) | open, median (ms) | slowest (ms) | CPU per opening (ms) | bare "
                    "tray: first, median, slowest; CPU (ms) | own before (MiB) | own after %d closes (MiB) | bare "
                    "tray's own before, after (MiB) |\n|---|---|---|---|---|---|---|---|---|\n",
                    kOpenings);
        std::printf("| %d | %.1f | %.1f | %.1f | %.1f | %.1f, %.1f, %.1f; %.1f | %.1f | %.1f (%+.2f) | %.1f, %.1f "
                    "(%+.2f) |\n\n",
                    layouts, figures.firstOpen, figures.medianOpen, figures.slowestOpen, figures.medianCPU,
                    reference.firstOpen, reference.medianOpen, reference.slowestOpen, reference.medianCPU,
                    mebibytes(figures.ownBefore),
                    mebibytes(figures.ownAfter), mebibytes(figures.ownAfter - figures.ownBefore),
                    mebibytes(reference.ownBefore), mebibytes(reference.ownAfter),
                    mebibytes(reference.ownAfter - reference.ownBefore));
        std::fflush(stdout);
        state.counters["first_open_ms"] = figures.firstOpen;
        state.counters["open_ms"] = figures.medianOpen;
        state.counters["slowest_open_ms"] = figures.slowestOpen;
        state.counters["bare_open_ms"] = reference.medianOpen;
        state.counters["open_cpu_ms"] = figures.medianCPU;
        state.counters["bare_open_cpu_ms"] = reference.medianCPU;
        state.counters["open_ratio"] = figures.medianOpen / reference.medianOpen;
        state.counters["own_kept_MiB"] = mebibytes(figures.ownAfter - figures.ownBefore);
        state.counters["bare_own_kept_MiB"] = mebibytes(reference.ownAfter - reference.ownBefore);
    }
}

BENCHMARK(BM_TrayMenuOpening)->Arg(10)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
