// The road of a drag notice as the user takes it, over a real X server: XTest motion sent by another
// client reaches X11GlobalInput as XInput 2 raw events, then InputMonitor, DragSnapController (the
// displays from X11Screens through the display provider, the zones from ZoneService) and the
// overlay's models. The window engine is the in-memory one: no window manager runs, and once the
// zones are on screen a notice makes no engine call.
//
// Each iteration sends one relative motion, waits until it can be read, and times (CPU of this
// thread) the connection's dispatch of it: what the program spends per notice, within one zone (the
// highlight stays) and back and forth across zones (every notice changes it). Counters: CPU per
// notice, X requests per notice (all components of the connection together), notices and highlight
// changes per iteration. The reference, in the same run: the same notice read off the socket by a
// bare xcb connection that only frees it.

#include <benchmark/benchmark.h>

#include <time.h>

#include <xcb/xcb.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "DragBench.h"
#include "VirtualServer.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/Preferences.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;
using namespace tessary::bench;

namespace {

constexpr uint8_t kShiftL = 50;  // the key code of Shift_L in the server's default keymap

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The other client: splits the screen into monitors, opens windows and sends input through XTest.
class Driver {
public:
    explicit Driver(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(c_)) throw std::runtime_error("no connection");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~Driver() { xcb_disconnect(c_); }

    // Windows listed as managed clients, as a window manager lists them (their struts are read).
    void openWindows(int count) {
        std::vector<xcb_window_t> windows;
        for (int i = 0; i < count; ++i) {
            const xcb_window_t window = xcb_generate_id(c_);
            xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, root_, int16_t(20 * i), 40, 300, 200, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
            windows.push_back(window);
        }
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
                            uint32_t(windows.size()), windows.data());
        sync();
    }

    void moveTo(int16_t x, int16_t y) { fake(XCB_MOTION_NOTIFY, 0, root_, x, y); }
    void moveBy(int16_t dx, int16_t dy) { fake(XCB_MOTION_NOTIFY, 1, XCB_NONE, dx, dy); }
    void key(uint8_t code, bool down) { fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_NONE, 0, 0); }
    void button(bool down) { fake(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_NONE, 0, 0); }
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    void flush() { xcb_flush(c_); }

private:
    void fake(uint8_t type, uint8_t detail, xcb_window_t root, int16_t x, int16_t y) {
        xcb_test_fake_input(c_, type, detail, XCB_CURRENT_TIME, root, x, y, 0);
    }
    xcb_atom_t atom(const std::string& name) {
        auto reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(name.size()), name.c_str()), nullptr);
        const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return result;
    }

    xcb_connection_t* c_;
    xcb_window_t root_ = XCB_NONE;
};

// Arguments: displays, zones per display, open windows.
void layouts(benchmark::internal::Benchmark* b) {
    b->Args({3, 12, 60})->Args({8, 100, 60})->Args({8, 100, 2})->UseManualTime()->Unit(benchmark::kMicrosecond);
}

struct Desktop {
    explicit Desktop(const benchmark::State& state) : server(kMonitorWidth * int(state.range(0)), kMonitorHeight), driver(server.name()) {
        splitIntoMonitors(server.name(), int(state.range(0)));
        driver.openWindows(int(state.range(2)));
        driver.moveTo(200, 110);
        driver.sync();
    }
    VirtualServer server;
    Driver driver;
};

// One drag whose notices move the pointer by `step` points and back: the road's CPU per notice.
void dragNotices(benchmark::State& state, int16_t step, bool highlightStays) {
    Desktop desktop(state);
    auto platform = X11Platform::open(desktop.server.name().c_str());
    if (!platform) {
        state.SkipWithError("no X server");
        return;
    }
    X11Connection& connection = platform->connection();
    X11GlobalInput input(connection);
    DisplayProvider::setScreens(&platform->screens());
    if (DisplayProvider::displays().size() != std::size_t(state.range(0))) {
        state.SkipWithError("the monitors were not split");
        return;
    }

    auto engine = std::make_shared<FakeWindowEngine>();
    const WindowHandle window = engine->addWindow("org.example.Editor", 42, "Notes", Rect(100, 100, 800, 600));
    auto zones = gridZoneService(engine, state.range(1));
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    ModelOverlay overlay;
    VirtualScheduler scheduler;
    DragSnapController controller(*engine, preferences, overlay, [] { return DisplayProvider::displays(); },
                                  [&](const DisplayInfo& display) { return zones->zones(display); }, scheduler);
    InputMonitor monitor(input, controller);
    monitor.start();
    int notices = 0;
    const Subscription counting = input.addMonitor([&](const GlobalInputEvent& event) {
        if (event.kind == GlobalInputKind::leftMouseDragged) ++notices;
    });
    auto pumpUntil = [&](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            waitReadable(connection.fileDescriptor());
            platform->processPendingEvents();
        }
        return done();
    };

    // The raw events are selected once the server has answered a later request; only then may the
    // other client's input come.
    connection.reply(xcb_get_input_focus_reply, xcb_get_input_focus(connection.xcb()), "GetInputFocus");
    // Shift held, the button down on the window, then a move past the threshold shows the zones.
    desktop.driver.key(kShiftL, true);
    desktop.driver.button(true);
    desktop.driver.sync();
    if (!pumpUntil([&] { return controller.phase() == DragSnapController::Phase::tracking; })) {
        state.SkipWithError("the button press did not arrive");
        return;
    }
    engine->windowTable.at(window).info.frame = Rect(400, 300, 800, 600);
    desktop.driver.moveBy(300, 200);
    desktop.driver.sync();
    if (!pumpUntil([&] { return controller.phase() == DragSnapController::Phase::snapping; })) {
        state.SkipWithError("the zones did not show");
        return;
    }

    const auto highlight = controller.lastHighlight();
    notices = 0;
    overlay.highlights = 0;
    const uint64_t requestsBefore = connection.requestCount();
    double cpu = 0;
    bool back = false;
    for (auto _ : state) {
        desktop.driver.moveBy((back = !back) ? step : int16_t(-step), 0);
        desktop.driver.flush();
        waitReadable(connection.fileDescriptor());
        const double start = threadSeconds();
        platform->processPendingEvents();
        const double spent = threadSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    const uint64_t requests = connection.requestCount() - requestsBefore;
    if (highlightStays && controller.lastHighlight() != highlight) state.SkipWithError("the highlight changed");
    if (!highlightStays && overlay.highlights < notices) state.SkipWithError("a notice kept the highlight");
    const double perNotice = notices ? 1.0 / notices : 0;
    state.counters["cpu_per_notice_us"] = cpu * 1e6 * perNotice;
    state.counters["requests_per_notice"] = double(requests) * perNotice;
    state.counters["notices_per_iteration"] = double(notices) / double(state.iterations());
    state.counters["highlights_per_iteration"] = double(overlay.highlights) / double(state.iterations());
    DisplayProvider::setScreens(nullptr);
}

void DragNoticeOverTheXServer(benchmark::State& state) { dragNotices(state, 5, true); }
BENCHMARK(DragNoticeOverTheXServer)->Apply(layouts);

// Half a monitor each way: another zone of the same display on every notice, in every layout here.
void DragNoticeAcrossZones(benchmark::State& state) { dragNotices(state, kMonitorWidth / 2, false); }
BENCHMARK(DragNoticeAcrossZones)->Apply(layouts);

// The reference: the same raw motion read off the socket by a connection that does nothing with it.
void BareRawMotionRead(benchmark::State& state) {
    Desktop desktop(state);
    xcb_connection_t* c = xcb_connect(desktop.server.name().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
    std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    xcb_input_xi_select_events(c, root, 1, &mask.head);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    int events = 0;
    bool back = false;
    for (auto _ : state) {
        desktop.driver.moveBy((back = !back) ? 5 : -5, 0);
        desktop.driver.flush();
        waitReadable(xcb_get_file_descriptor(c));
        const double start = threadSeconds();
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            ++events;
            std::free(event);
        }
        state.SetIterationTime(threadSeconds() - start);
    }
    state.counters["notices_per_iteration"] = double(events) / double(state.iterations());
    xcb_disconnect(c);
}
BENCHMARK(BareRawMotionRead)->Apply(layouts);

}  // namespace
