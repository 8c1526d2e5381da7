// A snap's last step on a real desktop: the window engine's setFrame, from the call to the frame
// verified, against Xvfb and openbox, for the e2e harness's borderless test client and for an
// xterm (a 1-pixel border and 6x13 size increments). The reference, measured in the same run, is a
// bare _NET_MOVERESIZE_WINDOW for the same frames waiting for its ConfigureNotify: the window
// manager's own cost, which no client can go below. Also the cost of a frame the window manager
// does not grant (a move off screen that openbox declines), which ends only once the window manager
// has said so, and of a client-side decorated window moved along the screen's top edge, where its
// invisible margin reaches past the screen (made a pixel smaller first, then moved and grown back:
// two answers), beside the same moves a little lower, inside the screen (one).
//
// Real time, medians over repetitions: the time is spent waiting for two other processes.

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/X11/X11Platform.h"
#include "WindowEngine/AXWindowEngine.h"
#include "tests/e2e/harness/VirtualDesktop.h"

using namespace tessary;
using namespace tessary::e2e;

namespace {

// Two frames that differ in position and size, on the left monitor, so that every call moves and
// resizes the window.
constexpr std::array<Rect, 2> kFrames = {Rect(0, 0, 960, 1080), Rect(960, 540, 960, 540)};

class Desktop {
public:
    static Desktop& shared() {
        static Desktop desktop;
        return desktop;
    }

    X11Platform& platform() { return *platform_; }
    AXWindowEngine& engine() { return *engine_; }
    xcb_window_t testWindow() const { return testWindow_; }
    xcb_window_t xtermWindow() const { return xtermWindow_; }
    xcb_window_t shadowedWindow() const { return shadowedWindow_; }

    WindowHandle handleOf(xcb_window_t window) {
        return WindowHandle(platform_->accessibility().processOf(window),
                            platform_->accessibility().elementForWindow(window));
    }

    // A bare _NET_MOVERESIZE_WINDOW for an outer frame, as a pager sends it, and the wait for the
    // window manager's first ConfigureNotify of the window.
    void bareMoveResize(xcb_window_t window, const Rect& outer) {
        X11Connection& c = platform_->connection();
        const X11WindowGeometry& g = geometries_.at(window == testWindow_ ? 0 : 1);
        const Size client = g.clientSizeFor(outer.size);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = c.atoms()._NET_MOVERESIZE_WINDOW;
        const uint32_t data[5] = {1u | (0xfu << 8) | (2u << 12), uint32_t(int32_t(outer.x())), uint32_t(int32_t(outer.y())),
                                  uint32_t(client.width), uint32_t(client.height)};
        std::memcpy(message.data.data32, data, sizeof data);
        const uint64_t mark = c.eventMark();
        xcb_send_event(c.xcb(), 0, c.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&message));
        c.flush();
        c.waitForEvent(
            mark,
            [window](const xcb_generic_event_t& event) {
                return (event.response_type & 0x7f) == XCB_CONFIGURE_NOTIFY &&
                       reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == window;
            },
            X11Connection::Clock::now() + std::chrono::seconds(1));
    }

private:
    Desktop() {
        desktop_ = std::make_unique<VirtualDesktop>();
        platform_ = X11Platform::open(desktop_->display().c_str());
        if (!platform_) throw std::runtime_error("cannot connect to the virtual desktop");
        engine_ = std::make_unique<AXWindowEngine>(platform_->accessibility(), platform_->workspace());
        engine_->centersWindowsThatCannotFill = [] { return true; };
        client_ = std::make_unique<TestClient>(desktop_->startClient());
        testWindow_ = client_->open("x=100 y=100 w=400 h=300");
        shadowedWindow_ = client_->open("x=200 y=200 w=600 h=500 margin=60,60,55,67");
        xterm_ = desktop_->startXterm("80x24+40+40", "xterm under test");
        if (!waitUntil(
                [&] {
                    platform_->processPendingEvents();
                    for (const X11Client& client : platform_->tracker().clients()) {
                        if (client.windowClass == "XTerm") xtermWindow_ = client.window;
                    }
                    return xtermWindow_ != XCB_WINDOW_NONE && platform_->tracker().client(testWindow_) &&
                           platform_->tracker().client(shadowedWindow_);
                },
                Clock::now() + 10s, platform_->fileDescriptor())) {
            throw std::runtime_error("the windows were not managed");
        }
        for (xcb_window_t window : {testWindow_, xtermWindow_}) {
            platform_->windows().follow(window);
            geometries_.push_back(platform_->windows().geometry(window).value());
        }
    }

    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<X11Platform> platform_;
    std::unique_ptr<AXWindowEngine> engine_;
    std::unique_ptr<TestClient> client_;
    ChildProcess xterm_;
    xcb_window_t testWindow_ = XCB_WINDOW_NONE;
    xcb_window_t xtermWindow_ = XCB_WINDOW_NONE;
    xcb_window_t shadowedWindow_ = XCB_WINDOW_NONE;
    std::vector<X11WindowGeometry> geometries_;
};

xcb_window_t windowOf(const benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    return state.range(0) == 0 ? desktop.testWindow() : desktop.xtermWindow();
}

void labelWindow(benchmark::State& state) { state.SetLabel(state.range(0) == 0 ? "test client" : "xterm"); }

// The frame of a call: always the other one than the window has, across repetitions too (a frame
// the window already has would not be answered).
const Rect& nextFrame(xcb_window_t window) {
    static std::map<xcb_window_t, size_t> calls;
    return kFrames[++calls[window] % kFrames.size()];
}

void BM_BareMoveResize(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    const xcb_window_t window = windowOf(state);
    for (auto _ : state) {
        desktop.bareMoveResize(window, nextFrame(window));
        state.PauseTiming();
        desktop.platform().processPendingEvents();
        state.ResumeTiming();
    }
    labelWindow(state);
}

void BM_SetFrame(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    const xcb_window_t window = windowOf(state);
    const WindowHandle handle = desktop.handleOf(window);
    size_t refused = 0;
    for (auto _ : state) {
        refused += desktop.engine().setFrame(nextFrame(window), handle).succeeded() ? 0 : 1;
        state.PauseTiming();
        desktop.platform().processPendingEvents();
        state.ResumeTiming();
    }
    if (refused) state.SkipWithError("a frame was not taken");
    labelWindow(state);
}

// Openbox keeps part of a window on screen: the first call moves it as far as allowed, every later
// one is declined without a word. Two such frames in turn, so that no call repeats the last.
void BM_SetFrameRefused(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    const WindowHandle handle = desktop.handleOf(windowOf(state));
    RecordingLogSink quiet;  // one mismatch line per call
    ScopedLogSink capture(quiet);
    const std::array<Rect, 2> offScreen = {Rect(-3000, -3000, 400, 300), Rect(-3100, -3000, 400, 300)};
    desktop.engine().setFrame(offScreen[1], handle);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(desktop.engine().setFrame(offScreen[i++ % offScreen.size()], handle));
        state.PauseTiming();
        desktop.platform().processPendingEvents();
        state.ResumeTiming();
    }
    labelWindow(state);
}

// The client-side decorated window between two frames of the same size, side by side: along the
// screen's top edge (1) or 100 pixels lower (0, the reference).
void BM_SetFrameShadowed(benchmark::State& state) {
    Desktop& desktop = Desktop::shared();
    const WindowHandle handle = desktop.handleOf(desktop.shadowedWindow());
    const double top = state.range(0) == 1 ? 0 : 100;
    const std::array<Rect, 2> frames = {Rect(0, top, 960, 540), Rect(960, top, 960, 540)};
    // Across repetitions too, never the frame the window has.
    static size_t calls = 0;
    size_t refused = 0;
    for (auto _ : state) {
        refused += desktop.engine().setFrame(frames[++calls % frames.size()], handle).succeeded() ? 0 : 1;
        state.PauseTiming();
        desktop.platform().processPendingEvents();
        state.ResumeTiming();
    }
    if (refused) state.SkipWithError("a frame was not taken");
    state.SetLabel(state.range(0) == 1 ? "at the top edge" : "inside the screen");
}

// Test client (0) and xterm (1), each measured nine times over; the median is the figure.
BENCHMARK(BM_BareMoveResize)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true)->MinTime(0.3);
BENCHMARK(BM_SetFrame)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true)->MinTime(0.3);
BENCHMARK(BM_SetFrameRefused)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SetFrameShadowed)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(9)
    ->ReportAggregatesOnly(true)->MinTime(0.3);

}  // namespace
