// The zones on screen after a real drag crosses the threshold: Xvfb with two 1920x1080 monitors and
// openbox (the end-to-end harness's desktop), without and with xcompmgr, a test-client window
// dragged through XTest by its title bar with Shift held (and, in a second benchmark, by openbox's
// Alt-drag inside it), one pixel at a time as a hand moves, and in this process the program's road:
// X11 global input, the input monitor, the drag controller over the window engine, and the Qt
// overlay (its panels made by an earlier drag, as in a running program). Per drag: from sending the
// motion that carries the pointer past the threshold to both panels' MapNotify, as another
// connection read by a real-time thread of its own sees it, without waiting for a further motion;
// and where the time went: the notice reaching this process, its handling (the show), and the
// server done with all the show sent (its shapes and pixels too). The reference, in the same run
// and from the same motion: two bare Qt panels shown by a raw-motion handler of this process.
// Medians of 20 drags, and the slowest.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "CompositorProcess.h"
#include "Platform/Qt/QtEventPump.h"
#include "Platform/Qt/QtScheduler.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/X11/X11CompositorWatcher.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/VirtualDesktop.h"

namespace {

using namespace tessary;
using namespace tessary::bench;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kShift = 0xffe1;  // XK_Shift_L
constexpr uint32_t kAlt = 0xffe9;    // XK_Alt_L

// Where a drag takes the window and with which key held (0: none).
struct Grip {
    uint32_t key = kShift;
    bool inside = false;  // inside the window (the window manager's Alt-drag), else by its title bar
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

class BarePanel : public QWidget {
public:
    explicit BarePanel(int x)
        : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                               Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput) {
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(x, 0, 1920, 1080);
    }
};

// The desktop, this process's Qt application on it, the drag road, and a watcher of mapped windows.
struct Desk {
    Desk() {
        platform = X11Platform::open(desktop.display().c_str());
        pump = std::make_unique<QtEventPump>(
            platform->fileDescriptor(), [this] { return platform->processPendingEvents(); },
            [this] { return platform->processPendingEvents(X11Connection::Read::queuedOnly); });
        DisplayProvider::setScreens(&platform->screens());
        engine = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
        zones = std::make_unique<ZoneService>(engine, JSONDocumentStore<LayoutLibrary>(folder / "layouts.json"));
        compositorWatcher = std::make_unique<X11CompositorWatcher>(platform->connection());
        overlay = std::make_unique<OverlayController>(preferences, scheduler);
        overlay->isCompositing = [this] { return compositorWatcher->isCompositing(); };
        controller = std::make_unique<DragSnapController>(
            *engine, preferences, *overlay, [] { return DisplayProvider::displays(); },
            [this](const DisplayInfo& display) { return zones->zones(display); }, scheduler);
        input = std::make_unique<X11GlobalInput>(platform->connection(), &scheduler);
        // Told first of every notice: when the crossing one reached this process's handlers.
        arrival = input->addMonitor([this](const GlobalInputEvent&) { arrivedAt = Clock::now(); });
        monitor = std::make_unique<InputMonitor>(*input, *controller);
        monitor->start();
        watch = xcb_connect(desktop.display().c_str(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(watch)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(watch, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(watch, xcb_get_input_focus(watch), nullptr));
        // Another client, on a thread of its own: when the server sends a MapNotify, not when this
        // process's main loop (which a toolkit's round trip can hold up) gets to read it.
        watcher = std::thread([this] {
            // Woken first when the machine is busy (where allowed): the time is the server's, not
            // this thread's wait for a processor.
            const sched_param priority{1};
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
            while (xcb_generic_event_t* event = xcb_wait_for_event(watch)) {
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto at = Clock::now();
                    const std::lock_guard<std::mutex> lock(mappedLock);
                    mappedAt[reinterpret_cast<xcb_map_notify_event_t*>(event)->window] = at;
                }
                std::free(event);
            }
        });
        client.emplace(desktop.startClient());
        window = client->open("x=300 y=300 w=400 h=300");
        // Managed: listed by the window manager, framed and placed.
        pumpUntil(
            [&] {
                const auto list = platform->windows().clientList();
                return std::find(list.begin(), list.end(), window) != list.end() && platform->tracker().client(window) &&
                       frame().minX() > 0;
            },
            std::chrono::seconds(10));
    }
    ~Desk() {
        setCompositor(false);
        monitor.reset();
        arrival.reset();
        input.reset();
        controller.reset();
        overlay.reset();
        compositorWatcher.reset();
        zones.reset();
        engine.reset();
        DisplayProvider::setScreens(nullptr);
        pump.reset();
        ::shutdown(xcb_get_file_descriptor(watch), SHUT_RDWR);
        watcher.join();
        xcb_disconnect(watch);
        client.reset();
        platform.reset();
    }

    // Runs this process's main loop until the condition holds or the time is up.
    bool pumpUntil(const std::function<bool()>& done, Clock::duration limit) {
        const auto deadline = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() >= deadline) return false;
            pollfd fds[] = {{platform->fileDescriptor(), POLLIN, 0}};
            ::poll(fds, 1, 1);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            platform->processPendingEvents();
        }
        return true;
    }

    // When the server sent each window's MapNotify since `since`, the latest; none while one is missing.
    std::optional<Clock::time_point> allMapped(const std::set<xcb_window_t>& windows, Clock::time_point since) {
        const std::lock_guard<std::mutex> lock(mappedLock);
        Clock::time_point last = since;
        for (const xcb_window_t window : windows) {
            const auto found = mappedAt.find(window);
            if (found == mappedAt.end() || found->second < since) return std::nullopt;
            last = std::max(last, found->second);
        }
        return last;
    }

    // Starts or stops a compositing manager, and waits until this process's watcher knows.
    void setCompositor(bool on) {
        if (on == compositor.running()) return;
        if (on) {
            compositor.start(desktop.display());
        } else {
            compositor.stop();
        }
        if (compositorWatcher) {
            pumpUntil([&] { return compositorWatcher->isCompositing() == on; }, std::chrono::seconds(5));
        }
    }

    Rect frame() { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    // One drag as `grip` says: the time from the motion past the threshold to the MapNotify of
    // every window in `panels`, in milliseconds (negative when they never came). `crossing` runs
    // right after that motion is sent.
    double drag(const std::vector<QWidget*>& panels, const std::function<void()>& crossing, Grip grip = {}) {
        const Rect outer = frame();
        const auto geometry = platform->windows().geometry(window);
        const int x = int(outer.midX());
        const int y = grip.inside ? int(outer.midY()) : int(outer.minY() + (geometry ? geometry->frame.top / 2 : 5));
        desktop.movePointerTo(x, y);
        if (grip.key) desktop.pressKey(grip.key, true);
        desktop.pressButton(1, true);
        desktop.syncInput();
        pumpUntil([&] { return controller->phase() != DragSnapController::Phase::idle; }, std::chrono::seconds(2));
        std::set<xcb_window_t> wanted;
        for (QWidget* panel : panels) wanted.insert(xcb_window_t(panel->winId()));
        double took = -1;
        // One pixel at a time, each once the window manager has moved the window along.
        for (int step = 1; step <= 12 && took < 0; ++step) {
            const Rect before = frame();
            desktop.movePointerBy(1, 0);
            const bool past = step == int(DragSnapController::movementThreshold) + 1;
            const auto sent = Clock::now();
            sentAt = sent;
            if (past) crossing();
            if (past) {
                std::optional<Clock::time_point> mappedAt;
                if (pumpUntil([&] { return (mappedAt = allMapped(wanted, sent)).has_value(); }, std::chrono::milliseconds(100))) {
                    took = std::chrono::duration<double, std::milli>(*mappedAt - sent).count();
                    const std::lock_guard<std::mutex> lock(mappedLock);
                    Clock::time_point first = *mappedAt;
                    for (const xcb_window_t w : wanted) first = std::min(first, this->mappedAt[w]);
                    firstMapped = std::chrono::duration<double, std::milli>(first - sent).count();
                }
            } else {
                pumpUntil([&] { return frame().origin != before.origin; }, std::chrono::milliseconds(200));
            }
        }
        desktop.pressButton(1, false);
        if (grip.key) desktop.pressKey(grip.key, false);
        desktop.syncInput();
        pumpUntil([&] { return controller->phase() == DragSnapController::Phase::idle; }, std::chrono::seconds(2));
        pumpUntil([] { return false; }, std::chrono::milliseconds(50));
        return took;
    }

    // The application of this process, on the desktop's display; made before anything of Qt.
    struct Application {
        explicit Application(const std::string& display) {
            ::setenv("DISPLAY", display.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            application = std::make_unique<QApplication>(argc, argv);
        }
        int argc = 1;
        char name[8] = "bench";
        char* argv[2] = {name, nullptr};
        std::unique_ptr<QApplication> application;
    };

    e2e::VirtualDesktop desktop;
    TemporaryFolder folder;
    Application qt{desktop.display()};
    std::unique_ptr<X11Platform> platform;
    std::unique_ptr<QtEventPump> pump;
    QtScheduler scheduler;
    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    std::shared_ptr<AXWindowEngine> engine;
    std::unique_ptr<ZoneService> zones;
    std::unique_ptr<X11CompositorWatcher> compositorWatcher;
    std::unique_ptr<OverlayController> overlay;
    std::unique_ptr<DragSnapController> controller;
    std::unique_ptr<X11GlobalInput> input;
    std::unique_ptr<InputMonitor> monitor;
    std::optional<e2e::TestClient> client;
    xcb_window_t window = 0;
    xcb_connection_t* watch = nullptr;
    std::thread watcher;
    std::mutex mappedLock;
    std::map<xcb_window_t, Clock::time_point> mappedAt;
    CompositorProcess compositor;
    double firstMapped = 0;
    Subscription arrival;
    Clock::time_point arrivedAt;
    Clock::time_point sentAt;
};

// Made once and kept to the end of the process, whose exit ends the desktop's processes with it:
// Qt's own statics are gone by the time a static Desk would be destroyed.
Desk& desk() {
    static Desk* instance = new Desk;
    return *instance;
}

// The drags of one benchmark: the time of each that showed its windows, and how many never did.
struct Drags {
    void add(benchmark::State& state, double took) {
        ++count;
        if (took < 0) {
            ++missed;
            return;
        }
        times.push_back(took);
        firsts.push_back(desk().firstMapped);
        state.SetIterationTime(took / 1000);
    }
    // Per drag: from sending the crossing motion to its notice reaching this process's handlers,
    // and from there to the handlers' end (the show), to tell where the time goes.
    void split(const Desk& d, Clock::time_point handled) {
        arrivals.push_back(ms(d.arrivedAt - d.sentAt));
        handling.push_back(ms(handled - d.arrivedAt));
    }
    // From sending the crossing motion until the server has carried out all that the show sent
    // (maps, shapes, pixels): a round trip on Qt's connection, which the show used.
    void drawnAfter(const Desk& d) {
        xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        drawn.push_back(ms(Clock::now() - d.sentAt));
    }
    static double ms(Clock::duration t) { return std::chrono::duration<double, std::milli>(t).count(); }
    std::vector<double> drawn;
    std::vector<double> firsts;
    std::vector<double> arrivals;
    std::vector<double> handling;
    std::vector<double> times;
    int missed = 0;
    int count = 0;
    // Drags whose zones were on screen once the notice that crossed the threshold was handled,
    // without a later notice or a read of the window's frame again.
    int onTheCrossingNotice = 0;
    std::uint64_t crossingRequests = 0;
};

void report(benchmark::State& state, const Drags& drags, const char* name) {
    const std::vector<double>& times = drags.times;
    if (times.empty()) {
        state.SkipWithError("the windows never came");
        return;
    }
    state.counters["map_ms_median"] = median(times);
    state.counters["first_map_ms_median"] = median(drags.firsts);
    state.counters["map_ms_max"] = *std::max_element(times.begin(), times.end());
    state.counters["drags_over_2_5_ms"] =
        double(std::count_if(times.begin(), times.end(), [](double t) { return t > 2.5; }));
    state.counters["drags_without_zones"] = drags.missed;
    if (!drags.arrivals.empty()) {
        state.counters["notice_ms_median"] = median(drags.arrivals);
        state.counters["show_ms_median"] = median(drags.handling);
        state.counters["show_ms_max"] = *std::max_element(drags.handling.begin(), drags.handling.end());
    }
    if (!drags.drawn.empty()) {
        state.counters["drawn_ms_median"] = median(drags.drawn);
        state.counters["drawn_ms_max"] = *std::max_element(drags.drawn.begin(), drags.drawn.end());
    }
    // Which drags were late, to be told from a machine busy at that moment.
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (times[i] <= 2.5) continue;
        std::fprintf(stderr, "%s: drag %zu took %.2f ms (first panel %.2f ms", name, i + 1, times[i], drags.firsts[i]);
        if (i < drags.handling.size()) std::fprintf(stderr, ", notice %.2f ms, show %.2f ms", drags.arrivals[i], drags.handling[i]);
        std::fprintf(stderr, ")\n");
    }
}

// The drags of one benchmark through the program's road, as `grip` says.
void zoneDrags(benchmark::State& state, Grip grip) {
    Desk& d = desk();
    d.setCompositor(state.range(0) != 0);
    // The panels exist from an earlier drag.
    d.drag({}, [] {}, grip);
    Drags drags;
    for (auto _ : state) {
        std::vector<QWidget*> panels;
        for (const auto& display : DisplayProvider::displays()) {
            if (QWidget* panel = d.overlay->panel(display.displayID)) panels.push_back(panel);
        }
        if (panels.empty()) {
            state.SkipWithError("the drag showed no zones");
            return;
        }
        // Looked at right after the controller handled the first motion past the threshold (the
        // input monitor was registered first, so it is told first).
        bool armed = false;
        std::uint64_t requestsBefore = 0;
        const Subscription looking = d.input->addMonitor([&](const GlobalInputEvent& event) {
            if (armed && event.kind == GlobalInputKind::leftMouseDragged) {
                armed = false;
                drags.split(d, Clock::now());
                drags.drawnAfter(d);
                if (d.controller->phase() == DragSnapController::Phase::snapping) ++drags.onTheCrossingNotice;
                drags.crossingRequests += d.platform->connection().requestCount() - requestsBefore;
            }
        });
        drags.add(state, d.drag(
                             panels,
                             [&] {
                                 armed = true;
                                 requestsBefore = d.platform->connection().requestCount();
                             },
                             grip));
    }
    state.counters["drags_shown_on_crossing_notice"] = drags.onTheCrossingNotice;
    // X requests of this process's connection (the window engine's reads) while the crossing
    // notice was handled, per drag: each read is a round trip before the zones can show.
    state.counters["x_requests_on_crossing_notice"] = double(drags.crossingRequests) / std::max(drags.count, 1);
    report(state, drags, grip.inside ? "zones, Alt-drag inside" : "zones");
}

// Shift held, the window dragged by its title bar.
void DragThresholdToMapNotify(benchmark::State& state) { zoneDrags(state, Grip{}); }
BENCHMARK(DragThresholdToMapNotify)->ArgName("compositor")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The window manager's own Alt-drag inside the window, zones without a key: only the window's
// frame tells this from a drag inside the window, so the frame is read when the pointer crosses.
void AltDragInsideToMapNotify(benchmark::State& state) {
    desk().preferences.setActivationModifier(ActivationModifier::always);
    zoneDrags(state, Grip{kAlt, true});
    desk().preferences.setActivationModifier(ActivationModifier::shift);
}
BENCHMARK(AltDragInsideToMapNotify)->ArgName("compositor")->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BarePanelsFromTheSameMotion(benchmark::State& state) {
    Desk& d = desk();
    d.setCompositor(state.range(0) != 0);
    BarePanel left(0), right(1920);
    left.show();
    right.show();
    Drags drags;
    for (auto _ : state) {
        left.hide();
        right.hide();
        d.pumpUntil([] { return false; }, std::chrono::milliseconds(20));
        // Shown on the first raw motion handled after the crossing motion went out.
        bool armed = false;
        const Subscription showing = d.input->addMonitor([&](const GlobalInputEvent& event) {
            if (armed && event.kind == GlobalInputKind::leftMouseDragged) {
                armed = false;
                left.show();
                right.show();
                drags.split(d, Clock::now());
            }
        });
        // Without Shift: openbox moves the window, the zones stay away.
        drags.add(state, d.drag({&left, &right}, [&] { armed = true; }, Grip{0, false}));
    }
    report(state, drags, "bare panels");
}
BENCHMARK(BarePanelsFromTheSameMotion)->ArgName("compositor")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
