// A URL command's whole road on a real desktop (Xvfb and openbox): a later start of the program
// with "tessary://snap?zone=N", from the process's start to the moment the X server reports the
// focused window in zone N. The later start forwards the URL over the single-instance socket; the
// running instance (started once) parses it, snaps through the window engine, verifies the frame
// and only then replies, so the later start's end is the snap's end.
//
// References measured in the same run: the window engine's own setFrame for the same frames (what
// a snap costs inside the instance), and a start of the program that only prints its help (what
// starting a process costs before it forwards anything).
//
// Real time, medians over repetitions: the time is spent in other processes.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/X11/X11Platform.h"
#include "WindowEngine/AXWindowEngine.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif

using namespace tessary;
using namespace tessary::e2e;
namespace fs = std::filesystem;

namespace {

class Desktop {
public:
    static Desktop& shared() {
        static Desktop desktop;
        return desktop;
    }

    X11Platform& platform() { return *platform_; }
    AXWindowEngine& engine() { return *engine_; }
    xcb_window_t window() const { return window_; }
    WindowHandle handle() {
        return WindowHandle(platform_->accessibility().processOf(window_),
                            platform_->accessibility().elementForWindow(window_));
    }
    // The right monitor's two zones in turn, so that every snap moves the window.
    std::pair<int, Rect> nextZone() {
        const int index = static_cast<int>(++calls_ % zones_.size());
        return {index + 1, zones_[static_cast<std::size_t>(index)].rect};
    }

    // Runs the program with these arguments to its end; false when it failed.
    bool run(const std::vector<std::string>& arguments) {
        ChildProcess::Options options;
        options.arguments = {TESSARY_PROGRAM};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = environment();
        options.discardStdout = true;
        ChildProcess process = ChildProcess::start(options);
        const auto status = process.waitForExit(Clock::now() + 10s);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    bool windowIsAt(const Rect& frame) {
        return waitUntil([&] { return platform_->windows().outerFrame(window_) == frame; }, Clock::now() + 2s, -1, 0ms);
    }

private:
    Desktop() {
        desktop_ = std::make_unique<VirtualDesktop>();
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        engine_ = std::make_unique<AXWindowEngine>(platform_->accessibility(), platform_->workspace());
        zones_ = writeDragLayouts(desktop_->dataHome());
        fs::create_directories(fs::path(desktop_->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop_->configHome()) / "Tessary" / "defaults.json")
            << "{\"hasCompletedOnboarding\": true}\n";

        client_ = std::make_unique<TestClient>(desktop_->startClient());
        window_ = client_->open("x=2000 y=100 w=400 h=300");
        const fs::path socket = fs::path(desktop_->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop_->display().substr(1) + ".socket");
        ChildProcess::Options options;
        options.arguments = {TESSARY_PROGRAM};
        options.environment = environment();
        options.discardStdout = true;
        instance_ = ChildProcess::start(options);
        const bool ready = waitUntil(
            [&] {
                platform_->processPendingEvents();
                return platform_->tracker().client(window_) && fs::exists(socket);
            },
            Clock::now() + 20s, platform_->fileDescriptor());
        if (!ready) throw std::runtime_error("the window or the program did not come up");
        platform_->windows().activate(window_, 1s);
    }

    std::vector<std::string> environment() const {
        auto environment = desktop_->environment();
        environment.push_back("QT_QPA_PLATFORM=xcb");
        return environment;
    }

    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<AXWindowEngine> engine_;
    std::unique_ptr<TestClient> client_;
    ChildProcess instance_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    std::vector<Zone> zones_;
    std::size_t calls_ = 0;
};

void BM_ForwardedURLCommand(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    for (auto _ : state) {
        const auto [zone, frame] = desktop.nextZone();
        if (!desktop.run({"tessary://snap?zone=" + std::to_string(zone)}) || !desktop.windowIsAt(frame)) {
            state.SkipWithError("the URL did not snap the window");
            break;
        }
    }
}

void BM_EngineSetFrame(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    const WindowHandle handle = desktop.handle();
    for (auto _ : state) {
        if (!desktop.engine().setFrame(desktop.nextZone().second, handle).succeeded()) {
            state.SkipWithError("the frame was not taken");
            break;
        }
        state.PauseTiming();
        desktop.platform().processPendingEvents();
        state.ResumeTiming();
    }
}

void BM_ProgramStartAlone(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    for (auto _ : state) {
        if (!desktop.run({"--help"})) {
            state.SkipWithError("the program failed");
            break;
        }
    }
}

BENCHMARK(BM_ForwardedURLCommand)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true)->MinTime(0.3);
BENCHMARK(BM_EngineSetFrame)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true)->MinTime(0.3);
BENCHMARK(BM_ProgramStartAlone)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true)->MinTime(0.3);

}  // namespace
