// One drag event while the zones are on screen: the display under the pointer, the zones of that
// display from the zone service, the hit test, the selection and the overlay model's update. Three
// displays of twelve zones each; the budget is 2 microseconds of CPU per event.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/OverlayModel.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/Preferences.h"
#include "TessaryCore/ZoneHitTest.h"
#include "WindowEngine/DisplayProvider.h"
#include "WindowEngine/FakeWindowEngine.h"

using namespace tessary;

namespace {

// A document store that keeps nothing: the benchmark measures no file work.
class NoFiles : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path&) override {
        return std::optional<std::string>();
    }
    std::error_code createDirectories(const std::filesystem::path&) override { return {}; }
    std::error_code writeAtomically(const std::filesystem::path&, std::string_view) override { return {}; }
};

// The overlay's model side, as the overlay controller keeps it: one model per display, each telling
// its panel which rectangles to repaint.
class ModelOverlay : public OverlayPresenting {
public:
    void show(const std::vector<OverlayItem>& items) override {
        for (const auto& item : items) {
            auto& model = models[item.display.displayID];
            model.onChange = [this, &model](const OverlayModelChange& change) {
                repaint.clear();
                model.appendRepaintRects(change, 12, repaint);
            };
            model.setZones(item.zones);
            model.clearHighlight();
        }
    }
    void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display) override {
        for (auto& [id, model] : models) {
            if (id == display.displayID) {
                model.setHighlighted(indices);
            } else {
                model.clearHighlight();
            }
        }
    }
    void hide() override {}

    std::map<std::uint32_t, OverlayModel> models;
    std::vector<Rect> repaint;
};

DisplayInfo makeDisplay(std::uint32_t id, double x) {
    DisplayInfo display;
    display.displayID = id;
    display.identifier = "3A1F0C2E-7B55-4C1D-9E2A-5D6B7C8D9E0" + std::to_string(id);
    display.localizedName = "Monitor " + std::to_string(id);
    display.frame = Rect(x, 0, 2560, 1440);
    display.workArea = Rect(x, 32, 2560, 1408);
    display.isPrimary = id == 1;
    return display;
}

struct DragFixture {
    // Starts a drag that shows the zones, straight on the controller or through the global input.
    explicit DragFixture(bool throughInput = false) {
        DisplayProvider::displaysOverride = std::vector<DisplayInfo>{makeDisplay(1, 0), makeDisplay(2, 2560),
                                                                     makeDisplay(3, 5120)};
        zoneService.updateLibrary([](LayoutLibrary& library) {
            ZoneLayout twelve(LayoutTemplate::grid, 12);
            library.layouts = {twelve};
            library.defaultLayoutID = twelve.id;
        });
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
        if (zoneService.zones(DisplayProvider::displays()[0]).size() != 12) std::abort();
    }
    ~DragFixture() { DisplayProvider::displaysOverride.reset(); }

    // The centre of zone i of display d.
    Point centre(int d, int i) {
        return ZoneHitTest::centre(zoneService.zones(DisplayProvider::displays()[d])[i].rect);
    }

    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    std::shared_ptr<FakeWindowEngine> engine = std::make_shared<FakeWindowEngine>();
    ZoneService zoneService{engine, JSONDocumentStore<LayoutLibrary>("/nonexistent/layouts.json", std::make_shared<NoFiles>())};
    ModelOverlay overlay;
    VirtualScheduler scheduler;
    DragSnapController controller{*engine, preferences, overlay, [] { return DisplayProvider::displays(); },
                                  [this](const DisplayInfo& display) { return zoneService.zones(display); }, scheduler};
    SimGlobalInput input;
    InputMonitor monitor{input, controller};
};

// The pointer stays in one zone: the overlay hears nothing.
void DragEventWithinOneZone(benchmark::State& state) {
    DragFixture f;
    const Point a = f.centre(1, 5), b{a.x + 7, a.y + 3};
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(InputModifiers::shift, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventWithinOneZone);

// Every event crosses into the neighbouring zone: a new selection and a repaint of both zones.
void DragEventAcrossZones(benchmark::State& state) {
    DragFixture f;
    const Point a = f.centre(1, 5), b = f.centre(1, 6);
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(InputModifiers::shift, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventAcrossZones);

// With the span key: the selection grows over the zones passed (and is reset on the next display).
void DragEventSpanningAcrossDisplays(benchmark::State& state) {
    DragFixture f;
    const InputModifiers keys{InputModifiers::shift, InputModifiers::control};
    const Point a = f.centre(2, 0), b = f.centre(0, 11);
    bool flip = false;
    for (auto _ : state) {
        f.controller.mouseDragged(keys, (flip = !flip) ? a : b);
    }
}
BENCHMARK(DragEventSpanningAcrossDisplays);

// The whole road from a platform notice: the global input's dispatch, the input monitor's key
// translation and the controller.
void DragNoticeThroughTheInputMonitor(benchmark::State& state) {
    DragFixture f(true);
    const Point a = f.centre(1, 5), b = f.centre(1, 6);
    bool flip = false;
    for (auto _ : state) {
        f.input.moveTo((flip = !flip) ? a : b);
    }
}
BENCHMARK(DragNoticeThroughTheInputMonitor);

}  // namespace
