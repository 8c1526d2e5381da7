#pragma once

// A desktop test with the window engine and a zone service over the real back ends, one layout on
// every display, and the window helpers the service tests share.

#include <xcb/xcb.h>

#include <memory>
#include <optional>

#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ZoneService.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/CoordinateSpace.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/TessaryCore/TestSupport.h"
#include "tests/e2e/harness/DesktopTest.h"

namespace tessary::e2e {

class ZoneDesktopTest : public DesktopTest {
protected:
    // Starts the engine and a zone service whose library holds only `layout`, the default of every display.
    void startZones(const ZoneLayout& layout) {
        DisplayProvider::setScreens(&platform->screens());
        engineHandle = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
        zones = std::make_unique<ZoneService>(engineHandle, JSONDocumentStore<LayoutLibrary>(folder / "layouts.json"));
        zones->updateLibrary([&](LayoutLibrary& library) {
            library.layouts = {layout};
            library.assignments.clear();
            library.defaultLayoutID = layout.id;
        });
    }
    // After the services built over them are gone.
    void stopZones() {
        zones.reset();
        engineHandle.reset();
        DisplayProvider::setScreens(nullptr);
    }

    WindowHandle handle(xcb_window_t window) {
        return WindowHandle(platform->accessibility().processOf(window), platform->accessibility().elementForWindow(window));
    }
    std::optional<Rect> frame(xcb_window_t window) { return engineHandle->frame(handle(window)); }
    bool isAt(xcb_window_t window, const Rect& target, double tolerance = 2.0) {
        const auto current = frame(window);
        return current && CoordinateSpace::approximatelyEqual(*current, target, tolerance);
    }

    TemporaryFolder folder;
    VirtualScheduler scheduler;
    std::shared_ptr<AXWindowEngine> engineHandle;
    std::unique_ptr<ZoneService> zones;
};

}  // namespace tessary::e2e
