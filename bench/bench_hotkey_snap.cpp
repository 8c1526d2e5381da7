// A keyboard snap on the real desktop: from the XTest key press of Ctrl+Alt+1 (or 4) to the
// verified frame of a test-client window, through the hot key grab, the dispatch, the keyboard snap
// controller and the window manager, with and without the program's window filter over 1,000
// installed applications; beside it the reference, setFrame of the same window to the same frames.
// Each run starts its own Xvfb and openbox.

#include <benchmark/benchmark.h>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/services/Preferences.h"
#include "bench/BenchApplications.h"
#include "bench/KeyboardDesk.h"

namespace {

using namespace tessary;

using Desk = bench::KeyboardDesk;

void BM_HotKeyPressToVerifiedFrame(benchmark::State& state) {
    Desk desk;
    if (!desk.window) {
        state.SkipWithError("no focused window");
        return;
    }
    bool first = true;
    for (auto _ : state) {
        desk.pressAndWait(first ? Key::one : Key::four);
        first = !first;
    }
}
BENCHMARK(BM_HotKeyPressToVerifiedFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// The same through the window filter the program runs: five excluded applications (none of them
// the window's) against 1,000 installed ones, read from their folder as the program reads them.
void BM_HotKeyPressToVerifiedFrameThroughTheFilter(benchmark::State& state) {
    Desk desk;
    if (!desk.window) {
        state.SkipWithError("no focused window");
        return;
    }
    const DesktopApplicationLauncher installed = bench::installedApplications();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setExcludedBundleIDs({"Gimp", "org.example.App3", "firefox", "Steam", "org.example.App501"});
    desk.zones->applications = [&installed] { return installed.applicationIndex(); };
    desk.zones->isExcluded = [&](const WindowInfo& window) {
        return preferences.isIgnoredWindow(window, *desk.zones->applicationIndex());
    };
    // The entries are read at the first look-up after a start (BM_BuildIndexFrom1000Entries of
    // bench_app_info), not at every press.
    installed.applicationIndex();
    bool first = true;
    for (auto _ : state) {
        desk.pressAndWait(first ? Key::one : Key::four);
        first = !first;
    }
}
BENCHMARK(BM_HotKeyPressToVerifiedFrameThroughTheFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

// The reference: the same window to the same two frames through the engine alone.
void BM_SetFrameReference(benchmark::State& state) {
    Desk desk;
    if (!desk.window) {
        state.SkipWithError("no focused window");
        return;
    }
    const DisplayInfo display = DisplayProvider::displays().front();
    const std::vector<Zone> zones = desk.zones->zones(display);
    bool first = true;
    for (auto _ : state) {
        const SetFrameResult result = desk.engine->setFrame(zones[first ? 0 : 3].rect, *desk.window);
        benchmark::DoNotOptimize(result);
        first = !first;
    }
}
BENCHMARK(BM_SetFrameReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

}  // namespace
