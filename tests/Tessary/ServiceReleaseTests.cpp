// A service released while the objects it handed closures to, and the scheduler, still hold its
// work: nothing of it may run afterwards (under AddressSanitizer a stray call is a use after free).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/SimScreens.h"
#include "Tessary/services/DisplayChangeRestorer.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/NewWindowPlacer.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/WorkspaceService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

class SilentOverlay : public OverlayPresenting {
public:
    void show(const std::vector<OverlayItem>&) override { ++shows; }
    void setHighlighted(const std::vector<std::int64_t>&, const DisplayInfo&, std::string_view) override {}
    void hide() override {}

    int shows = 0;
};

// Everything a service may leave work with, outliving the service.
struct ReleaseWorld : PlacementWorld {
    ReleaseWorld() { applications.addApplication(RunningApplication{7, "Editor", "Editor", ActivationPolicy::regular, false}); }

    SimAccessibility ax;
    SimApplicationWorkspace applications;
    SimApplicationLauncher launcher;
    SimScreens screens;
    SimGlobalInput input;
    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    SilentOverlay overlay;
    AXWindowObserver observer{ax, applications, scheduler};
    WindowMemoryService memory{*zones, displaysReader(), store<WindowPlacementMemory>("memory.json"), scheduler};
    // What a released service did: every callback it still reaches counts here.
    int calls = 0;
};

struct ReleaseCase {
    const char* name;
    // Builds the service, leaves work pending, releases it, then gives its work every chance to run.
    std::function<void(ReleaseWorld&)> run;
};

}  // namespace

TEST(ServiceRelease, NothingOfAReleasedServiceRunsAfterwards) {
    const ReleaseCase cases[] = {
        {"new-window placer, placement waiting, observer still reporting windows",
         [](ReleaseWorld& w) {
             auto placer = std::make_unique<NewWindowPlacer>(
                 w.observer, w.memory, [] { return true; }, [](const WindowInfo&) { return false; }, w.engine,
                 w.scheduler);
             placer->onPlaced = [&w](const ZonePlacement&) { ++w.calls; };
             placer->start();
             const AXElement first = w.ax.addWindow(7, Rect(10, 10, 200, 200), "one");
             placer.reset();
             w.ax.addWindow(7, Rect(10, 10, 200, 200), "two");
             w.ax.closeWindow(first);
             w.scheduler.advance(2s);
         }},
        {"window memory, save waiting",
         [](ReleaseWorld& w) {
             auto memory = std::make_unique<WindowMemoryService>(*w.zones, w.displaysReader(),
                                                                 w.store<WindowPlacementMemory>("other.json"), w.scheduler);
             memory->remember(w.engine.addWindow("Editor", 1, "a", Rect(0, 0, 10, 10)), w.main, {1});
             memory.reset();
             w.scheduler.advance(5s);
             w.calls += w.writes("other.json");
         }},
        {"workspace service, pending entries expiring",
         [](ReleaseWorld& w) {
             w.launcher.install("Paint");
             auto service = std::make_unique<WorkspaceService>(*w.zones, w.displaysReader(),
                                                               w.store<WorkspaceLibrary>("workspaces.json"),
                                                               w.applications, w.launcher, w.scheduler);
             const Subscription counted = service->observe([&w] { ++w.calls; });
             service->restore(Workspace(UUID::random(), "Desk",
                                        {WorkspaceEntry(UUID::random(), "Paint", "p", "MAIN@1000x800", {1},
                                                        Rect(0, 0, 10, 10))},
                                        {}, false, true, Date(0)));
             w.calls = 0;
             service.reset();
             w.scheduler.advance(20s);
         }},
        {"display-change restorer, restore waiting, screens still announcing",
         [](ReleaseWorld& w) {
             auto restorer = std::make_unique<DisplayChangeRestorer>(w.memory, [] { return true; }, w.scheduler);
             restorer->afterRestore = [&w] { ++w.calls; };
             restorer->observe(w.screens);
             w.screens.setScreens({});
             restorer.reset();
             w.screens.setScreens({});
             w.scheduler.advance(5s);
         }},
        {"drag controller, drop retry waiting, input still arriving",
         [](ReleaseWorld& w) {
             // Too large for its zone: the first drop fails and a retry waits.
             const WindowHandle window = w.engine.addWindow("Editor", 1, "big", Rect(100, 100, 600, 600), Size{600, 600});
             auto controller = std::make_unique<DragSnapController>(
                 w.engine, w.preferences, w.overlay, w.displaysReader(),
                 [&w](const DisplayInfo& display) { return w.zones->zones(display); }, w.scheduler);
             controller->onSnap = [&w](const WindowHandle&, const DisplayInfo&, const SpanSelection&, const Rect&) {
                 ++w.calls;
             };
             auto monitor = std::make_unique<InputMonitor>(w.input, *controller);
             monitor->start();
             w.input.setModifiers({.shift = true});
             w.input.moveTo(Point{110, 110});
             w.input.pressLeft();
             w.engine.windowTable.at(window).info.frame = Rect(150, 150, 600, 600);
             w.input.moveTo(Point{250, 250});
             w.input.releaseLeft();
             ASSERT_EQ(w.setFrameCount(), 1u);
             monitor.reset();
             controller.reset();
             w.input.pressLeft();
             w.input.moveTo(Point{300, 300});
             w.input.releaseLeft();
             w.scheduler.advance(1s);
             w.calls += static_cast<int>(w.setFrameCount()) - 1;
         }},
        {"drag controller, a second look at the window's frame pending",
         [](ReleaseWorld& w) {
             const WindowHandle window = w.engine.addWindow("Editor", 1, "late", Rect(100, 100, 400, 300));
             auto controller = std::make_unique<DragSnapController>(
                 w.engine, w.preferences, w.overlay, w.displaysReader(),
                 [&w](const DisplayInfo& display) { return w.zones->zones(display); }, w.scheduler);
             controller->mouseDown(InputModifiers::shift, Point{110, 110});
             controller->mouseDragged(InputModifiers::shift, Point{150, 110});  // the window has not moved yet
             controller.reset();
             w.engine.windowTable.at(window).info.frame = Rect(140, 100, 400, 300);
             w.scheduler.advance(1s);
             w.calls += w.overlay.shows;
         }},
    };
    for (const ReleaseCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReleaseWorld world;
        c.run(world);
        EXPECT_EQ(world.calls, 0);
    }
}
