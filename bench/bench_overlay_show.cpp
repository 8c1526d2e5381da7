// The overlay on screen: from the moment a drag crosses the threshold (OverlayController::show with
// the zones of two 1920x1080 displays) to both panels mapped (the MapNotify another client sees) and
// to their first paint in the server (painted, flushed and answered by a round trip), without and
// with a compositor. The overlay is measured warm (shown again soon after a drag: its pixels kept)
// and cold (after it gave its pixels back when idle). The reference, in the same run: a bare Qt
// program's two translucent 1920x1080 override-redirect windows, filled with one colour. Wall time;
// the figure to compare is the ratio.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneLayout.h"
#include "VirtualServer.h"

using namespace tessary;
using namespace tessary::bench;
using Clock = std::chrono::steady_clock;

namespace {

// The server, the application and a second client that watches windows being mapped; made once,
// since a process has one QApplication bound to one display.
struct Stage {
    Stage() : server(2 * kMonitorWidth, kMonitorHeight) {
        splitIntoMonitors(server.name(), 2);
        ::setenv("DISPLAY", server.name().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        application = std::make_unique<QApplication>(argc, argv);
        observer = xcb_connect(server.name().c_str(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(observer)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(observer, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
    }
    static Stage& get() {
        static Stage stage;
        return stage;
    }

    // Starts or stops a compositing manager.
    void setCompositor(bool on) {
        if (on == (compositor > 0)) return;
        if (on) {
            compositor = ::fork();
            if (compositor == 0) {
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, 2);
                ::execlp("xcompmgr", "xcompmgr", "-d", server.name().c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            ::usleep(300000);  // it takes the selection and redirects the screen
        } else {
            ::kill(compositor, SIGTERM);
            ::waitpid(compositor, nullptr, 0);
            compositor = 0;
        }
    }

    // Shows, then waits for the windows' MapNotify and for their first paint to reach the server.
    // Gives the two durations in milliseconds; negative when they did not come.
    std::pair<double, double> measure(const std::function<void()>& show, const std::vector<QWidget*>& windows) {
        std::set<xcb_window_t> unmapped;
        for (QWidget* window : windows) unmapped.insert(xcb_window_t(window->winId()));
        int unpainted = int(windows.size());
        PaintWatch watch(windows, unpainted);
        const auto start = Clock::now();
        show();
        double mapped = -1, painted = -1;
        const auto deadline = start + std::chrono::seconds(5);
        while ((mapped < 0 || painted < 0) && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (painted < 0 && unpainted <= 0) {
                // Painted and flushed: the server has the pixels once it answered a later request.
                auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
                xcb_connection_t* qt = x11->connection();
                std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
                painted = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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
        return {mapped, painted};
    }

    // Counts the first paint of each window.
    class PaintWatch : public QObject {
    public:
        PaintWatch(const std::vector<QWidget*>& windows, int& unpainted) : unpainted_(unpainted) {
            for (QWidget* window : windows) {
                for (QWidget* widget : window->findChildren<QWidget*>()) widget->installEventFilter(this);
                window->installEventFilter(this);
            }
        }
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                QWidget* top = static_cast<QWidget*>(object)->window();
                if (seen_.insert(top).second) --unpainted_;
            }
            return false;
        }

    private:
        int& unpainted_;
        std::set<QWidget*> seen_;
    };

    void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(observer)) std::free(event);
    }

    int argc = 1;
    char name[8] = "bench";
    char* argv[2] = {name, nullptr};
    VirtualServer server;
    std::unique_ptr<QApplication> application;
    xcb_connection_t* observer = nullptr;
    pid_t compositor = 0;
};

// A bare translucent window over one display, filled with one colour.
class BarePanel : public QWidget {
public:
    explicit BarePanel(int x)
        : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                               Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput) {
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(x, 0, kMonitorWidth, kMonitorHeight);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), QColor(91, 75, 219, 64));
    }
};

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
    double mapped = 0, painted = 0;
    int count = 0;
    for (auto _ : state) {
        ready();
        const auto [map, paint] = stage.measure(show, windows);
        if (map < 0 || paint < 0) {
            state.SkipWithError("the windows did not come on screen");
            break;
        }
        state.SetIterationTime(paint / 1000);
        mapped += map;
        painted += paint;
        ++count;
        hide();
        stage.settle();
    }
    if (!count) return;
    state.counters["map_ms"] = mapped / count;
    state.counters["first_paint_ms"] = painted / count;
}

// Arguments: compositor (0 or 1); for the overlay, whether it gave its pixels back before each show.
void OverlayShow(benchmark::State& state) {
    Stage& stage = Stage::get();
    stage.setCompositor(state.range(0) != 0);
    const bool cold = state.range(1) != 0;
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    VirtualScheduler scheduler;
    OverlayController overlay(preferences, scheduler);
    const bool compositing = state.range(0) != 0;
    overlay.isCompositing = [compositing] { return compositing; };

    const ZoneLayout layout(LayoutTemplate::grid, 12);
    std::vector<OverlayItem> items;
    for (std::uint32_t id = 1; id <= 2; ++id) {
        DisplayInfo display{id, "D" + std::to_string(id), "D", Rect(kMonitorWidth * (id - 1.0), 0, kMonitorWidth, kMonitorHeight),
                            Rect(kMonitorWidth * (id - 1.0), 0, kMonitorWidth, kMonitorHeight), id == 1, false};
        items.push_back({display, ZoneGeometry::zones(layout, display.workArea)});
    }
    // The panels exist from the first drag on.
    overlay.show(items);
    stage.settle();
    runShows(
        state, stage, [&] { if (cold) scheduler.advance(overlay.idleRelease); }, [&] { overlay.show(items); },
        [&] { overlay.hide(); }, {overlay.panel(1), overlay.panel(2)});
    // What the overlay holds after these drags, and once it has been idle.
    state.counters["resident_mb_after_drags"] = residentMegabytes();
    scheduler.advance(overlay.idleRelease);
    stage.settle();
    state.counters["resident_mb_idle"] = residentMegabytes();
}
BENCHMARK(OverlayShow)->ArgsProduct({{0, 1}, {0, 1}})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BareTranslucentPanelsShow(benchmark::State& state) {
    Stage& stage = Stage::get();
    stage.setCompositor(state.range(0) != 0);
    BarePanel left(0), right(kMonitorWidth);
    auto show = [&] {
        left.show();
        right.show();
    };
    show();
    stage.settle();
    runShows(state, stage, [] {}, show, [&] {
        left.hide();
        right.hide();
    }, {&left, &right});
}
BENCHMARK(BareTranslucentPanelsShow)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace
