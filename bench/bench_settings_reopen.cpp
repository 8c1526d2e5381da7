// The settings window opened again on a real desktop (Xvfb split into two monitors, openbox, a
// tray): the time from the request to the window mapped and painted, as another connection sees
// it: its MapNotify, then the X DAMAGE extension's notices of drawing into it until they have
// covered the whole window. The program is asked through its instance socket, as a later start
// with "tessary://settings" asks it (written directly, so that starting that second process is not
// in the figure); the window is closed as the window manager's close button does.
//
// The reference, in the same run on the same desktop, asked and closed the same way: a bare Qt
// Widgets program with a window of similar widgets (support/BareSettingsWindow.cpp), shown again
// on a line of its standard input. The two are interleaved, each round in the other order, and
// each opening waits until both programs have been idle for 100 ms. The first openings (fonts,
// icons and windows made for the first time) are given apart and left out of the medians.
//
// One iteration: the figures are the counters (milliseconds, MiB), and a table is printed with the
// machine's load. BENCH_PROGRAM runs another build of the program (an earlier one, to compare).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/X11/X11Platform.h"
#include "bench/BenchProgram.h"
#include "bench/BenchStatistics.h"
#include "bench/InstanceRequestSocket.h"
#include "bench/PaintWatcher.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_BARE_SETTINGS
#error "TESSARY_BARE_SETTINGS must name the bare settings window program"
#endif

using namespace tessary;
using namespace tessary::e2e;
using tessary::bench::InstanceRequestSocket;
using tessary::bench::PaintWatcher;
namespace fs = std::filesystem;

namespace {

constexpr int kWarmUp = 2;
constexpr int kRounds = 15;
constexpr int kWidth = 860, kHeight = 580;

std::string programPath() { return bench::programUnderTest(TESSARY_PROGRAM); }

class Desk {
public:
    Desk() {
        VirtualDesktop::Options options;
        options.tray = true;
        desktop_ = std::make_unique<VirtualDesktop>(options);
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";
        watcher_ = std::make_unique<PaintWatcher>(desktop_->display(), kWidth, kHeight);
    }

    bool start() {
        auto environment = desktop_->environment();
        environment.push_back("QT_QPA_PLATFORM=xcb");
        ChildProcess::Options bare;
        bare.arguments = {TESSARY_BARE_SETTINGS};
        bare.environment = environment;
        bare.pipeStdin = true;
        bare.pipeStdout = true;
        bare_ = ChildProcess::start(bare);
        if (bare_.readLine(Clock::now() + 20s) != "ready") return false;
        ChildProcess::Options ours;
        ours.arguments = {programPath()};
        ours.environment = environment;
        ours.discardStdout = true;
        program_ = ChildProcess::start(ours);
        socket_ = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                  ("local-" + desktop_->display().substr(1) + ".socket");
        return waitUntil([&] { return fs::exists(socket_); }, Clock::now() + 20s);
    }

    // Opens the program's settings window or the bare one, and closes it again once it is drawn and
    // both programs are idle; what the watcher saw of the opening.
    std::optional<PaintWatcher::Opening> openAndClose(bool program) {
        awaitIdle(program_.pid());
        awaitIdle(bare_.pid());
        watcher_->drain();
        watcher_->reset();
        const auto requested = Clock::now();
        std::optional<InstanceRequestSocket> request;
        if (program) {
            request.emplace(socket_, std::vector<std::string>{"tessary://settings"});
        } else if (!bare_.writeLine("show")) {
            return std::nullopt;
        }
        bool whole = false;
        const auto opening = watcher_->awaitOpening(requested, Clock::now() + 10s, whole);
        if (request && !request->answered(Clock::now() + 10s)) return std::nullopt;
        if (!opening) return std::nullopt;
        awaitIdle(program ? program_.pid() : bare_.pid());
        closeLikeTheWindowManager(*platform_, opening->window);
        if (!watcher_->awaitUnmapped(opening->window, Clock::now() + 10s)) return std::nullopt;
        if (!whole) return std::nullopt;
        return opening;
    }

    long ownMemory(bool program) const { return settledOwnMemory(program ? program_.pid() : bare_.pid()); }

private:
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<PaintWatcher> watcher_;
    ChildProcess bare_;
    ChildProcess program_;
    fs::path socket_;
};

double mebibytes(long kilobytes) { return double(kilobytes) / 1024.0; }

void BM_SettingsOpenedAgain(benchmark::State& state) {
    for (auto _ : state) {
        Desk desk;
        if (!desk.start()) {
            state.SkipWithError("the programs did not start");
            return;
        }
        // Each program's openings: the first ones apart, then the rounds.
        std::map<bool, std::vector<PaintWatcher::Opening>> first, later;
        int missed = 0;
        const auto take = [&](bool program, bool warmUp) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (auto opening = desk.openAndClose(program)) {
                    (warmUp ? first : later)[program].push_back(*opening);
                    return true;
                }
                ++missed;
            }
            return false;
        };
        for (int i = 0; i < kWarmUp; ++i) {
            if (!take(true, true) || !take(false, true)) {
                state.SkipWithError("a window did not open and close");
                return;
            }
        }
        for (int round = 0; round < kRounds; ++round) {
            const bool programFirst = round % 2 == 0;
            if (!take(programFirst, false) || !take(!programFirst, false)) {
                state.SkipWithError("a window did not open and close");
                return;
            }
        }
        const long ownAfter = desk.ownMemory(true), bareAfter = desk.ownMemory(false);

        const auto figures = [&](bool program, double PaintWatcher::Opening::*field) {
            std::vector<double> values;
            for (const auto& opening : later[program]) values.push_back(opening.*field);
            return values;
        };
        const bench::Spread ourPaint = bench::spreadOf(figures(true, &PaintWatcher::Opening::painted));
        const bench::Spread barePaint = bench::spreadOf(figures(false, &PaintWatcher::Opening::painted));
        const bench::Spread ourMap = bench::spreadOf(figures(true, &PaintWatcher::Opening::mapped));
        const bench::Spread bareMap = bench::spreadOf(figures(false, &PaintWatcher::Opening::mapped));
        const double load = bench::machineLoad();
        std::printf("\n%s: %d openings each after %d of warm-up, interleaved; load %.1f; %d openings not seen whole, "
                    "taken again\n| figure (ms) | program: median (quartiles) | bare Qt window: median (quartiles) | "
                    "ratio of medians |\n|---|---|---|---|\n",
                    programPath().c_str(), kRounds, kWarmUp, load, missed);
        const auto row = [](const char* name, const bench::Spread& ours, const bench::Spread& bare) {
            std::printf("| %s | %.1f (%.1f-%.1f) | %.1f (%.1f-%.1f) | %.2fx |\n", name, ours.median, ours.low, ours.high,
                        bare.median, bare.low, bare.high, ours.median / bare.median);
        };
        row("request to mapped", ourMap, bareMap);
        row("request to painted", ourPaint, barePaint);
        std::printf("| first opening, painted | %.1f | %.1f | |\n", first[true].front().painted,
                    first[false].front().painted);
        std::printf("| own memory after the last close (MiB) | %.1f | %.1f | %.2fx |\n\n", mebibytes(ownAfter),
                    mebibytes(bareAfter), double(ownAfter) / double(bareAfter));
        std::fflush(stdout);

        bench::reportSpread(state, "painted_ms", figures(true, &PaintWatcher::Opening::painted));
        bench::reportSpread(state, "bare_painted_ms", figures(false, &PaintWatcher::Opening::painted));
        state.counters["ratio"] = ourPaint.median / barePaint.median;
        state.counters["own_after_close_MiB"] = mebibytes(ownAfter);
        state.counters["bare_own_after_close_MiB"] = mebibytes(bareAfter);
        bench::reportLoad(state);
    }
}

BENCHMARK(BM_SettingsOpenedAgain)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
