// The overlay on screen: from the moment a drag crosses the threshold (OverlayController::show with
// the zones of two displays, 1920x1080 or 3840x2160 each, or of one 5120x1440 ultra-wide) to every
// panel mapped (the MapNotify another client sees) and to their first paint in the server (painted,
// flushed and answered by a round trip), without and with a compositor. The overlay is measured warm
// (shown again soon after a drag: its pixels kept) and cold (after it gave back what it keeps when
// idle). The reference, in the same run: a bare Qt program's translucent override-redirect windows
// of the same sizes, filled with one colour. Wall time, medians of the iterations; the figure to
// compare is the ratio. Beside each: the server's own CPU and page faults per show.
//
// OverlayHighlight: what a drag that crosses from zone to zone costs the program per change of
// highlight: CPU of every thread of this process from the change until its event loop is idle
// again (the program's part), context switches of Qt's thread pool, and the wall time until the
// server answered a round trip. That round trip is the benchmark's own (the program never waits for
// the server): its CPU, mostly waking this process and Qt's event reader, is given apart. The same
// with the highlight unchanged (a pointer notice inside one zone).
//
// OverlayHighlightServer: what the X server spends on one change of highlight, as a drag that goes
// back and forth over the border of two zones makes it: the server's CPU (all its threads, from
// /proc) from before the change until it answered a round trip after it, the program having sent
// everything. Beside it, in the same run and on the same server: the same round trip after an
// unchanged highlight (what the measuring itself costs the server), and a bare Qt window of the
// zone's size moved from one zone to the other (what any highlight drawn as its own window would
// cost at least). Blocks of each are interleaved, a warm-up discarded; medians with quartiles, and
// the machine's load.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneLayout.h"
#include "BenchStatistics.h"
#include "CompositorProcess.h"
#include "VirtualServer.h"

using namespace tessary;
using namespace tessary::bench;
using Clock = std::chrono::steady_clock;

namespace {

// The server, the application and a second client that watches windows being mapped; made once,
// since a process has one QApplication bound to one display.
struct Stage {
    // Two 3840x2160 monitors: the 1920x1080 panels lie inside the first.
    Stage() : server(2 * 3840, 2160) {
        for (int i = 0; i < 2; ++i) {
            const std::string command = "xrandr -display " + server.name() + " --setmonitor bench-" +
                                        std::to_string(i) + " 3840/1040x2160/580+" + std::to_string(i * 3840) + "+0" +
                                        (i == 0 ? " screen" : " none") + " >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0) throw std::runtime_error("xrandr --setmonitor failed");
        }
        ::setenv("DISPLAY", server.name().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        application = std::make_unique<QApplication>(argc, argv);
        observer = xcb_connect(server.name().c_str(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(observer)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(observer, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
        settleServerAllocator(root);
    }
    static Stage& get() {
        static Stage stage;
        return stage;
    }

    // A fresh server's allocator gives a window's pixels back to the system when the window shrinks
    // or unmaps, and takes new pages for the next show: thousands of page faults per show (16,000
    // and 20 ms for two 3840x2160 windows), for whichever case comes first, bare panels as much as
    // the overlay. A server that has been running a while has grown its heap and keeps it; so is
    // this one made before any case: a 16 MB block freed (glibc then keeps blocks up to that size in
    // its heap) and 384 MB of pixmaps written, kept beneath a small one and freed (room for the
    // largest windows, which are always given their own pages otherwise).
    void settleServerAllocator(xcb_window_t root) {
        auto pixmap = [&](int width, int height) {
            const xcb_pixmap_t id = xcb_generate_id(observer);
            xcb_create_pixmap(observer, 32, id, root, std::uint16_t(width), std::uint16_t(height));
            return id;
        };
        xcb_free_pixmap(observer, pixmap(2048, 2048));
        std::vector<xcb_pixmap_t> room;
        xcb_gcontext_t gc = 0;
        for (int i = 0; i < 96; ++i) {
            room.push_back(pixmap(1024, 1024));
            if (!gc) {
                gc = xcb_generate_id(observer);
                xcb_create_gc(observer, gc, room.front(), 0, nullptr);
            }
            const xcb_rectangle_t all{0, 0, 1024, 1024};
            xcb_poly_fill_rectangle(observer, room.back(), gc, 1, &all);
        }
        pixmap(128, 128);  // kept for the server's life, above the room
        xcb_free_gc(observer, gc);
        for (const xcb_pixmap_t id : room) xcb_free_pixmap(observer, id);
        std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
    }

    // The server's CPU (every thread, ns) and minor page faults so far.
    struct ServerUsage {
        double cpuNs = 0;
        long minorFaults = 0;
    };
    ServerUsage serverUsage() const {
        ServerUsage usage;
        const std::string proc = "/proc/" + std::to_string(server.pid());
        for (const auto& task : std::filesystem::directory_iterator(proc + "/task")) {
            std::ifstream schedstat(task.path() / "schedstat");
            double ns = 0;
            if (schedstat >> ns) usage.cpuNs += ns;
        }
        std::ifstream stat(proc + "/stat");
        std::string line;
        std::getline(stat, line);
        // After the command's closing parenthesis: the state is field 3, minflt field 10.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 10 && (fields >> field); ++i) {
            if (i == 10) usage.minorFaults = std::stol(field);
        }
        return usage;
    }

    // Starts or stops a compositing manager.
    void setCompositor(bool on) {
        if (on == compositor.running()) return;
        if (on) {
            compositor.start(server.name());
            ::usleep(300000);  // it takes the selection and redirects the screen
        } else {
            compositor.stop();
        }
    }

    // Shows, then waits for the windows' MapNotify and for their first paint to reach the server.
    // Gives the two durations in milliseconds, negative when they did not come, and what the server
    // spent until the paint was answered.
    struct Shown {
        double mapped = -1, painted = -1, serverMs = 0, serverFaults = 0;
    };
    Shown measure(const std::function<void()>& show, const std::vector<QWidget*>& windows) {
        std::set<xcb_window_t> unmapped;
        for (QWidget* window : windows) unmapped.insert(xcb_window_t(window->winId()));
        int unpainted = int(windows.size());
        PaintWatch watch(windows, unpainted);
        const ServerUsage before = serverUsage();
        Shown shown;
        const auto start = Clock::now();
        show();
        // A panel shown again sends its pixels in the show itself; Qt then has nothing to pass on.
        for (QWidget* window : windows) {
            if (auto* panel = qobject_cast<ZoneOverlayPanel*>(window); panel && panel->paintedByShow()) watch.painted(window);
        }
        double& mapped = shown.mapped;
        double& painted = shown.painted;
        const auto deadline = start + std::chrono::seconds(5);
        while ((mapped < 0 || painted < 0) && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (painted < 0 && unpainted <= 0) {
                // Painted and flushed: the server has the pixels once it answered a later request.
                auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
                xcb_connection_t* qt = x11->connection();
                std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
                painted = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                const ServerUsage after = serverUsage();
                shown.serverMs = (after.cpuNs - before.cpuNs) / 1e6;
                shown.serverFaults = double(after.minorFaults - before.minorFaults);
            }
            while (xcb_generic_event_t* event = xcb_poll_for_event(observer)) {
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    unmapped.erase(reinterpret_cast<xcb_map_notify_event_t*>(event)->window);
                    if (unmapped.empty() && mapped < 0) {
                        mapped = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                    }
                }
                std::free(event);
            }
        }
        return shown;
    }

    // Counts the first paint of each window (the overlay's panels paint on screen, from what the
    // server keeps, when Qt asks them to).
    class PaintWatch : public QObject {
    public:
        PaintWatch(const std::vector<QWidget*>& windows, int& unpainted) : unpainted_(unpainted) {
            for (QWidget* window : windows) {
                for (QWidget* widget : window->findChildren<QWidget*>()) widget->installEventFilter(this);
                window->installEventFilter(this);
            }
        }
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::Paint) painted(static_cast<QWidget*>(object)->window());
            return false;
        }
        void painted(QWidget* top) {
            if (seen_.insert(top).second) --unpainted_;
        }

    private:
        int& unpainted_;
        std::set<QWidget*> seen_;
    };

    void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
        // The server has done what the application asked (a hide's exposures of what lay beneath
        // included) once it answered a later request of the application's own.
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        std::free(xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()), nullptr));
        std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
        // A compositing manager repaints what a hide uncovered only after that: done once the
        // server has been idle a while (tens of milliseconds of the server's at 2x2160), as it is
        // long before a user's next drag.
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        for (double busy = serverUsage().cpuNs; Clock::now() < deadline;) {
            ::usleep(20000);
            const double now = serverUsage().cpuNs;
            if (now - busy < 1e6) break;
            busy = now;
        }
        while (xcb_generic_event_t* event = xcb_poll_for_event(observer)) std::free(event);
    }

    int argc = 1;
    char name[8] = "bench";
    char* argv[2] = {name, nullptr};
    VirtualServer server;
    std::unique_ptr<QApplication> application;
    xcb_connection_t* observer = nullptr;
    CompositorProcess compositor;
};

// The displays side by side: two of 1080 or 2160 lines (16:9), or one ultra-wide of 1440 lines.
std::vector<QSize> displaySizes(std::int64_t lines) {
    if (lines == 1440) return {QSize(5120, 1440)};
    const QSize size = lines == 2160 ? QSize(3840, 2160) : QSize(1920, 1080);
    return {size, size};
}

// A bare translucent window over one display, filled with one colour.
class BarePanel : public QWidget {
public:
    BarePanel(int x, QSize size)
        : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                               Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput) {
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(x, 0, size.width(), size.height());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), QColor(91, 75, 219, 64));
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// CPU of every thread of this process, in seconds.
double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Context switches of the threads of Qt's thread pool ("Thread (pooled)"), where its raster
// engine splits large fills; Qt's X event reader, another thread, wakes for every event and reply.
long poolThreadsSwitches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        bool pooled = false;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) pooled = line.find("(pooled)") != std::string::npos;
            if (pooled && line.find("ctxt_switches:") != std::string::npos) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

// The resident memory of this process, in megabytes.
double residentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Each iteration: made ready (the overlay's idle while, for the cold case), shown, measured, hidden.
void runShows(benchmark::State& state, Stage& stage, const std::function<void()>& ready,
              const std::function<void()>& show, const std::function<void()>& hide,
              const std::vector<QWidget*>& windows) {
    hide();
    stage.settle();
    std::vector<double> mapped, painted, serverMs, serverFaults;
    for (auto _ : state) {
        ready();
        const Stage::Shown shown = stage.measure(show, windows);
        const double map = shown.mapped, paint = shown.painted;
        if (map < 0 || paint < 0) {
            state.SkipWithError("the windows did not come on screen");
            break;
        }
        state.SetIterationTime(paint / 1000);
        mapped.push_back(map);
        painted.push_back(paint);
        serverMs.push_back(shown.serverMs);
        serverFaults.push_back(shown.serverFaults);
        hide();
        stage.settle();
    }
    if (mapped.empty()) return;
    state.counters["map_ms"] = median(mapped);
    state.counters["first_paint_ms"] = median(painted);
    state.counters["server_cpu_ms"] = median(serverMs);
    state.counters["server_page_faults"] = median(serverFaults);
}

// The zones of a 12-zone grid on each display.
std::vector<OverlayItem> displays(std::int64_t lines) {
    const ZoneLayout layout(LayoutTemplate::grid, 12);
    std::vector<OverlayItem> items;
    double x = 0;
    std::uint32_t id = 1;
    for (const QSize& size : displaySizes(lines)) {
        const Rect frame(x, 0, size.width(), size.height());
        DisplayInfo display{id, "D" + std::to_string(id), "D", frame, frame, id == 1, false};
        items.push_back({display, ZoneGeometry::zones(layout, display.workArea)});
        x += size.width();
        ++id;
    }
    return items;
}

// The overlay as the program has it, on the stage with a compositor running or not.
struct StagedOverlay {
    explicit StagedOverlay(bool compositing) {
        Stage::get().setCompositor(compositing);
        overlay.isCompositing = [compositing] { return compositing; };
    }
    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    VirtualScheduler scheduler;
    OverlayController overlay{preferences, scheduler};
};

// Arguments: compositor (0 or 1); whether the overlay gave its pixels back before each show; the
// displays' lines (two of 1080 or 2160, one ultra-wide of 1440).
void OverlayShow(benchmark::State& state) {
    Stage& stage = Stage::get();
    StagedOverlay staged(state.range(0) != 0);
    OverlayController& overlay = staged.overlay;
    VirtualScheduler& scheduler = staged.scheduler;
    const bool cold = state.range(1) != 0;
    const std::vector<OverlayItem> items = displays(state.range(2));
    // The panels exist from the first drag on.
    overlay.show(items);
    stage.settle();
    std::vector<QWidget*> panels;
    for (const OverlayItem& item : items) panels.push_back(overlay.panel(item.display.displayID));
    runShows(
        state, stage,
        [&] {
            // The release happens long before the next drag: done with before the show is timed.
            if (!cold) return;
            scheduler.advance(overlay.idleRelease);
            stage.settle();
        },
        [&] { overlay.show(items); },
        [&] { overlay.hide(); }, panels);
    // What the overlay holds after these drags, and once it has been idle.
    state.counters["resident_mb_after_drags"] = residentMegabytes();
    scheduler.advance(overlay.idleRelease);
    stage.settle();
    state.counters["resident_mb_idle"] = residentMegabytes();
}
BENCHMARK(OverlayShow)
    ->ArgsProduct({{0, 1}, {0, 1}, {1080, 2160, 1440}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// Arguments: compositor (0 or 1); the displays' lines.
void BareTranslucentPanelsShow(benchmark::State& state) {
    Stage& stage = Stage::get();
    stage.setCompositor(state.range(0) != 0);
    std::vector<std::unique_ptr<BarePanel>> bare;
    std::vector<QWidget*> windows;
    int x = 0;
    for (const QSize& size : displaySizes(state.range(1))) {
        bare.push_back(std::make_unique<BarePanel>(x, size));
        windows.push_back(bare.back().get());
        x += size.width();
    }
    auto show = [&] {
        for (auto& panel : bare) panel->show();
    };
    show();
    stage.settle();
    runShows(state, stage, [] {}, show, [&] {
        for (auto& panel : bare) panel->hide();
    }, windows);
}
BENCHMARK(BareTranslucentPanelsShow)
    ->ArgsProduct({{0, 1}, {1080, 2160, 1440}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// Arguments: compositor (0 or 1); the displays' lines; whether the highlight changes (1) or stays.
void OverlayHighlight(benchmark::State& state) {
    Stage& stage = Stage::get();
    StagedOverlay staged(state.range(0) != 0);
    OverlayController& overlay = staged.overlay;
    const bool changes = state.range(2) != 0;
    const std::vector<OverlayItem> items = displays(state.range(1));
    const DisplayInfo& display = items[0].display;
    const auto zones = std::int64_t(items[0].zones.size());
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* qt = x11->connection();
    // The server has it once it answered a later request.
    auto sync = [&] { std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr)); };
    auto paintAndSync = [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        sync();
    };
    // A drag that went over every zone before: each tile drawn in both states, as after a sweep.
    for (int show = 0; show < 2; ++show) {
        overlay.show(items);
        stage.settle();
        for (std::int64_t zone = 0; zone < zones; ++zone) {
            overlay.setHighlighted({zone}, display, {});
            paintAndSync();
        }
        if (show == 0) overlay.hide();
        stage.settle();
    }
    std::vector<double> cpu, syncCpu, wall;
    const long switchesBefore = poolThreadsSwitches();
    std::int64_t zone = 0;
    for (auto _ : state) {
        if (changes) zone = (zone + 1) % zones;
        const double start = processSeconds();
        const auto wallStart = Clock::now();
        overlay.setHighlighted({zone}, display, {});
        // Painted and flushed: the program is done with the change once its loop is idle again.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const double done = processSeconds();
        sync();
        const double synced = processSeconds();
        wall.push_back(std::chrono::duration<double, std::micro>(Clock::now() - wallStart).count());
        cpu.push_back((done - start) * 1e6);
        syncCpu.push_back((synced - done) * 1e6);
        state.SetIterationTime(done - start);
    }
    state.counters["cpu_us_median"] = median(cpu);
    state.counters["sync_cpu_us_median"] = median(syncCpu);
    state.counters["wall_us_median"] = median(wall);
    state.counters["pool_thread_switches_per_change"] =
        double(poolThreadsSwitches() - switchesBefore) / double(state.iterations());
    overlay.hide();
    stage.settle();
}
BENCHMARK(OverlayHighlight)
    ->ArgsProduct({{0, 1}, {1080, 2160, 1440}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// An opaque window of a zone's size, moved from zone to zone: a bare program's highlight.
class BareHighlight : public QWidget {
public:
    BareHighlight()
        : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                               Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(91, 75, 219));
    }
};

// Arguments: compositor (0 or 1); the displays' lines.
void OverlayHighlightServer(benchmark::State& state) {
    Stage& stage = Stage::get();
    StagedOverlay staged(state.range(0) != 0);
    OverlayController& overlay = staged.overlay;
    const std::vector<OverlayItem> items = displays(state.range(1));
    const DisplayInfo& display = items[0].display;
    // Two zones side by side: a drag over their border.
    const Zone first = items[0].zones[0], second = items[0].zones[1];
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* qt = x11->connection();
    // The program is done once its loop is idle; the server once it answered a later request.
    auto finish = [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
    };
    // Until the server is idle again: a compositing manager repaints what changed after it.
    auto serverMicroseconds = [&](const std::function<void()>& change) {
        const double before = stage.serverUsage().cpuNs;
        change();
        finish();
        for (double spent = stage.serverUsage().cpuNs;;) {
            ::usleep(2000);
            const double now = stage.serverUsage().cpuNs;
            if (now - spent < 20e3) return (now - before) / 1e3;
            spent = now;
        }
    };
    BareHighlight bare;
    const QRect at[] = {QRect(int(first.rect.minX()), int(first.rect.minY()), int(first.rect.width()), int(first.rect.height())),
                        QRect(int(second.rect.minX()), int(second.rect.minY()), int(second.rect.width()),
                              int(second.rect.height()))};
    constexpr int perBlock = 40;
    constexpr int warmUp = 10;
    std::vector<double> changed, unchanged, bareMoved, ratios;
    std::int64_t zone = 0;
    for (auto _ : state) {
        // The overlay, as a drag shows it, each zone drawn in both states before.
        overlay.show(items);
        stage.settle();
        for (int i = 0; i < warmUp + perBlock; ++i) {
            zone = 1 - zone;
            const double spent = serverMicroseconds([&] { overlay.setHighlighted({zone}, display, {}); });
            const double still = serverMicroseconds([&] { overlay.setHighlighted({zone}, display, {}); });
            if (i < warmUp) continue;
            changed.push_back(spent);
            unchanged.push_back(still);
        }
        overlay.hide();
        stage.settle();
        // The bare program alone on the same desktop.
        bare.setGeometry(at[0]);
        bare.show();
        stage.settle();
        for (int i = 0; i < warmUp + perBlock; ++i) {
            const double spent = serverMicroseconds([&] { bare.setGeometry(at[(i + 1) % 2]); });
            if (i >= warmUp) bareMoved.push_back(spent);
        }
        bare.hide();
        stage.settle();
        // Each block's medians, side by side.
        const auto last = [&](const std::vector<double>& all) {
            return spreadOf(std::vector<double>(all.end() - perBlock, all.end())).median;
        };
        ratios.push_back(last(changed) / std::max(last(bareMoved), 1.0));
        state.SetIterationTime(last(changed) / 1e6);
    }
    reportSpread(state, "server_us_per_change", changed);
    reportSpread(state, "server_us_unchanged", unchanged);
    reportSpread(state, "bare_server_us_per_move", bareMoved);
    reportSpread(state, "ratio_to_bare_move", ratios);
    reportLoad(state);
}
BENCHMARK(OverlayHighlightServer)
    ->ArgsProduct({{0, 1}, {1080, 2160}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(5);

}  // namespace
