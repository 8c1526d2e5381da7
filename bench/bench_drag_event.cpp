// One drag event while the zones are on screen: the display under the pointer, the zones of that
// display from the zone service, the hit test, the selection and the overlay model's update. Three
// displays of twelve zones each, and eight of a hundred; the budget is 2 microseconds of CPU per
// event. The displays come from screens through the display provider, as in the program.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "DragBench.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/SimScreens.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/Preferences.h"
#include "TessaryCore/ZoneHitTest.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;
using namespace tessary::bench;

namespace {

std::vector<Screen> screens(int count) {
    std::vector<Screen> result;
    for (int i = 0; i < count; ++i) {
        Screen screen = SimScreens::makeScreen(std::uint32_t(i + 1), Rect(2560.0 * i, 0, 2560, 1440),
                                               "DP-" + std::to_string(i + 1), 32);
        screen.uuid = "3A1F0C2E-7B55-4C1D-9E2A-5D6B7C8D9E" + std::to_string(10 + i);
        screen.localizedName = "Monitor " + std::to_string(i + 1);
        result.push_back(screen);
    }
    return result;
}

struct DragFixture {
    // Starts a drag that shows the zones, straight on the controller or through the global input.
    DragFixture(int displays, int zonesPerDisplay, bool throughInput = false) : desktop(screens(displays)) {
        DisplayProvider::setScreens(&desktop);
        zoneService = gridZoneService(engine, zonesPerDisplay);
        controller.onSnap = [](const WindowHandle&, const DisplayInfo&, const SpanSelection&, const Rect&) {};
        monitor.start();
        const WindowHandle window = engine->addWindow("org.example.Editor", 42, "Notes", Rect(100, 100, 800, 600));
        if (throughInput) {
            input.setModifiers({.shift = true});
            input.moveTo(Point{200, 110});
            input.pressLeft();
            engine->windowTable.at(window).info.frame = Rect(400, 300, 800, 600);
            input.moveTo(Point{500, 310});
        } else {
            controller.mouseDown(InputModifiers::shift, Point{200, 110});
            engine->windowTable.at(window).info.frame = Rect(400, 300, 800, 600);
            controller.mouseDragged(InputModifiers::shift, Point{500, 310});
        }
        if (controller.phase() != DragSnapController::Phase::snapping) std::abort();
        if (zoneService->zones(DisplayProvider::displays()[0]).size() != std::size_t(zonesPerDisplay)) std::abort();
    }
    ~DragFixture() { DisplayProvider::setScreens(nullptr); }

    // The centre of zone i of display d.
    Point centre(int d, int i) { return ZoneHitTest::centre(zoneService->zones(DisplayProvider::displays()[d])[i].rect); }

    SimScreens desktop;
    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    std::shared_ptr<FakeWindowEngine> engine = std::make_shared<FakeWindowEngine>();
    std::unique_ptr<ZoneService> zoneService;
    ModelOverlay overlay;
    VirtualScheduler scheduler;
    DragSnapController controller{*engine, preferences, overlay, [] { return DisplayProvider::displays(); },
                                  [this](const DisplayInfo& display) { return zoneService->zones(display); }, scheduler};
    SimGlobalInput input;
    InputMonitor monitor{input, controller};
};

// Arguments: displays, zones per display.
void layouts(benchmark::internal::Benchmark* b) { b->Args({3, 12})->Args({8, 100}); }

// The pointer stays in one zone: the overlay hears nothing.
void DragEventWithinOneZone(benchmark::State& state) {
    DragFixture f(int(state.range(0)), int(state.range(1)));
    const Point a = f.centre(1, 5), b{a.x + 7, a.y + 3};
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(InputModifiers::shift, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventWithinOneZone)->Apply(layouts);

// Every event crosses into the neighbouring zone: a new selection and a repaint of both zones.
void DragEventAcrossZones(benchmark::State& state) {
    DragFixture f(int(state.range(0)), int(state.range(1)));
    const Point a = f.centre(1, 5), b = f.centre(1, 6);
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(InputModifiers::shift, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventAcrossZones)->Apply(layouts);

// With the span key: the selection grows over the zones passed (and is reset on the next display).
void DragEventSpanningAcrossDisplays(benchmark::State& state) {
    DragFixture f(int(state.range(0)), int(state.range(1)));
    const InputModifiers keys{InputModifiers::shift, InputModifiers::control};
    const Point a = f.centre(2, 0), b = f.centre(0, 11);
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(keys, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventSpanningAcrossDisplays)->Apply(layouts);

// The whole road from a platform notice: the global input's dispatch, the input monitor's key
// translation and the controller.
void DragNoticeThroughTheInputMonitor(benchmark::State& state) {
    DragFixture f(int(state.range(0)), int(state.range(1)), true);
    const Point a = f.centre(1, 5), b = f.centre(1, 6);
    bool flip = false;
    for (auto _ : state) {
        f.input.moveTo((flip = !flip) ? a : b);
    }
}
BENCHMARK(DragNoticeThroughTheInputMonitor)->Apply(layouts);

}  // namespace
