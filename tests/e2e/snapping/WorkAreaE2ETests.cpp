// Zones inside the space the window manager leaves, its own panel included (icewm's taskbar, jwm's
// tray, fluxbox's toolbar: no client, no strut), as each installs: an xterm sent from the command
// line to every zone of Grid and of Priority Grid, on one monitor and on two, lands in the zone and
// the command succeeds; the zones shown on request draw nothing over the panel.

#include "tests/e2e/snapping/SnappingFixture.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

#include <xcb/shape.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace tessary::e2e {
namespace {

struct WorkAreaCase {
    const char* name;
    int monitors;
    LayoutTemplate layout;
    int zoneCount;
};

class WorkAreaTest : public SnappingTest, public ::testing::WithParamInterface<WorkAreaCase> {
protected:
    void SetUp() override {
        if (GetParam().monitors == 1 && VirtualDesktop::kind() == VirtualDesktop::Kind::outputs) {
            GTEST_SKIP() << "Xorg's dummy outputs are two monitors; one alone is Xvfb's";
        }
        SnappingTest::SetUp();
    }
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options = SnappingTest::desktopOptions();
        options.monitorCount = GetParam().monitors;
        return options;
    }

    // The layout on every monitor, and the zones the window manager's space gives it there.
    void writeDocuments() override {
        LayoutLibrary library;
        const ZoneLayout layout(GetParam().layout, GetParam().zoneCount);
        library.layouts = {layout};
        library.defaultLayoutID = layout.id;
        std::ofstream(dataFolder() / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
        for (const Rect& monitor : monitors()) zones.push_back(ZoneGeometry::zones(layout, desktop->workArea(monitor)));
    }

    std::vector<Rect> monitors() const {
        std::vector<Rect> list;
        for (int i = 0; i < GetParam().monitors; ++i) list.emplace_back(1920.0 * i, 0, 1920, 1080);
        return list;
    }

    // The bounding shape of the program's overlay on the monitor, in root coordinates: its whole
    // window where it is not shaped; empty while none is mapped there.
    std::vector<Rect> overlayShape(const Rect& monitor) {
        std::vector<Rect> shape;
        xcb_connection_t* c = platform->connection().xcb();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, platform->connection().root()), nullptr);
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            const xcb_window_t window = xcb_query_tree_children(tree)[i];
            auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
            if (attributes && geometry && attributes->override_redirect &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE && geometry->x == monitor.minX() &&
                geometry->width >= 1000 && platform->windows().processID(window) == program->process.pid()) {
                auto* extents = xcb_shape_query_extents_reply(c, xcb_shape_query_extents(c, window), nullptr);
                auto* rectangles = extents && extents->bounding_shaped
                                       ? xcb_shape_get_rectangles_reply(
                                             c, xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING), nullptr)
                                       : nullptr;
                if (rectangles) {
                    const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(rectangles);
                    for (int k = 0; k < xcb_shape_get_rectangles_rectangles_length(rectangles); ++k) {
                        shape.emplace_back(geometry->x + r[k].x, geometry->y + r[k].y, r[k].width, r[k].height);
                    }
                } else {
                    shape.emplace_back(geometry->x, geometry->y, geometry->width, geometry->height);
                }
                std::free(rectangles);
                std::free(extents);
            }
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return shape;
    }

    std::vector<std::vector<Zone>> zones;
};

// Inside the zone and short of it by less than one of the xterm's cells (6 by 13 pixels in its
// fixed font), give or take the 2 points of every frame comparison.
bool withinACell(const Rect& frame, const Rect& zone) {
    return frame.minX() >= zone.minX() - 2 && frame.minY() >= zone.minY() - 2 && frame.maxX() <= zone.maxX() + 2 &&
           frame.maxY() <= zone.maxY() + 2 && frame.width() > zone.width() - 6 - 2 &&
           frame.height() > zone.height() - 13 - 2;
}

TEST_P(WorkAreaTest, AnXtermSentToEveryZoneLandsInItAndTheCommandSucceeds) {
    for (std::size_t m = 0; m < monitors().size(); ++m) {
        const Rect area = desktop->workArea(monitors()[m]);
        ChildProcess xterm = desktop->startXterm("60x20+" + std::to_string(int(monitors()[m].minX()) + 200) + "+200",
                                                 "terminal " + std::to_string(m + 1));
        const xcb_window_t window = awaitWindowOf(xterm.pid());
        ASSERT_NE(window, xcb_window_t{XCB_WINDOW_NONE});
        for (const Zone& zone : zones[m]) {
            SCOPED_TRACE("monitor " + std::to_string(m + 1) + ", zone " + std::to_string(zone.index + 1));
            const auto [status, printed] = TessaryProgram::run(
                *desktop, programPath(), {"snap-front-window", "--zone", std::to_string(zone.index + 1)});
            EXPECT_EQ(status, 0) << testing::PrintToString(printed);
            const Rect landed = settledFrame(window);
            EXPECT_TRUE(withinACell(landed, zone.rect)) << "the xterm is at " << landed << ", the zone at " << zone.rect;
            EXPECT_TRUE(landed.minY() >= area.minY() && landed.maxY() <= area.maxY())
                << "the xterm is at " << landed << ", outside " << area;
        }
        xterm.kill();
    }
}

TEST_P(WorkAreaTest, ShowZonesDrawsNothingOverThePanel) {
    if (!desktop->windowManager().drawsPanel()) GTEST_SKIP() << desktop->windowManager().name << " draws no panel";
    const Rect monitor = monitors().front();
    const Rect area = desktop->workArea(monitor);
    const Rect panel(monitor.minX(), area.maxY(), monitor.width(), monitor.maxY() - area.maxY());
    ASSERT_GT(panel.height(), 0) << "the window manager left the whole monitor";
    // The zones show for 0.9 s: asked again until they are seen (a busy machine may look late).
    std::vector<Rect> shape;
    for (int attempt = 0; attempt < 5 && shape.empty(); ++attempt) {
        const auto [status, printed] = TessaryProgram::run(*desktop, programPath(), {"show-zones"});
        EXPECT_EQ(status, 0) << testing::PrintToString(printed);
        waitFor([&] { return !(shape = overlayShape(monitor)).empty(); }, 900ms);
    }
    ASSERT_FALSE(shape.empty()) << "the zones did not show";
    for (const Rect& drawn : shape) {
        const Rect common = drawn.intersection(panel);
        EXPECT_TRUE(common.isNull() || common.isEmpty()) << "drawn at " << drawn << " over the panel at " << panel;
    }
}

const WorkAreaCase cases[] = {
    {"GridOnOneMonitor", 1, LayoutTemplate::grid, 4},
    {"PriorityGridOnOneMonitor", 1, LayoutTemplate::priorityGrid, 3},
    {"GridOnTwoMonitors", 2, LayoutTemplate::grid, 4},
    {"PriorityGridOnTwoMonitors", 2, LayoutTemplate::priorityGrid, 3},
};
INSTANTIATE_TEST_SUITE_P(Layouts, WorkAreaTest, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<WorkAreaCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tessary::e2e
