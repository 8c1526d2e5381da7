// The zone overlay as the X server shows it, without a compositing manager and with one: an xterm
// under a zone keeps its colour (only the drawn outlines, badges and hatching cover it) and every
// overlay window carries an X shape; through a compositor the overlay is translucent and unshaped.
// The same for the zones shown on request ("Show Zones") and the layout editor's preview.

#include "tests/e2e/dragsnap/DragSnapFixture.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tessary::e2e {
namespace {

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

class OverlayShapeTest : public DragSnapTest, public ::testing::WithParamInterface<bool> {
protected:
    bool startsCompositor() const override { return GetParam(); }

    void SetUp() override {
        DragSnapTest::SetUp();
        if (HasFatalFailure()) return;
        x = xcb_connect(desktop->display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(x));
        // An xterm of one flat colour under the right monitor's left zone, clear of its badge.
        xterm = desktop->start({"xterm", "-bg", "#1f8a4c", "-fg", "#1f8a4c", "-geometry", "60x20+2000+560", "-title",
                                "beneath", "-e", "cat"});
        ASSERT_TRUE(waitFor([&] {
            for (const X11Client& c : platform->tracker().clients()) {
                if (c.windowClass == "XTerm") beneathWindow = c.window;
            }
            return beneathWindow != XCB_WINDOW_NONE &&
                   platform->windows().outerFrame(beneathWindow).value_or(Rect::null()).minX() >= 1920;
        }));
        const Rect beneath = *platform->windows().outerFrame(beneathWindow);
        const Rect zone = rightZones[0].rect;
        spot = Point{beneath.minX() + 40, beneath.maxY() - 40};
        edge = Point{zone.minX() + 2, zone.midY()};
        ASSERT_TRUE(zone.contains(spot));
        ASSERT_GT(spot.x - zone.minX(), 30) << "the spot is on the zone's outline";
        ASSERT_GT(std::hypot(spot.x - zone.midX(), spot.y - zone.midY()), 100) << "the spot is under the badge";
        // The xterm has drawn itself.
        ASSERT_TRUE(waitUntil([&] { return pixel(int(spot.x), int(spot.y)) == "#1F8A4C"; }, Clock::now() + 10s))
            << pixel(int(spot.x), int(spot.y));
        beforeEdge = pixel(int(edge.x), int(edge.y));
    }

    void TearDown() override {
        if (x) xcb_disconnect(x);
        DragSnapTest::TearDown();
    }

    // The overlay's windows on screen: mapped children of the root named as the panels are.
    std::vector<xcb_window_t> panels() {
        std::vector<xcb_window_t> found;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr));
        if (!tree) return found;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !attributes->override_redirect) continue;
            Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(
                x, xcb_get_property(x, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
            if (!name) continue;
            const std::string text(static_cast<const char*>(xcb_get_property_value(name.get())),
                                   std::size_t(xcb_get_property_value_length(name.get())));
            if (text == "Tessary zones") found.push_back(children[i]);
        }
        return found;
    }

    // Whether the server shapes the window (its bounding region), and whether a root point lies in it.
    bool isShaped(xcb_window_t window) {
        Reply<xcb_shape_query_extents_reply_t> extents(
            xcb_shape_query_extents_reply(x, xcb_shape_query_extents(x, window), nullptr));
        return extents && extents->bounding_shaped;
    }
    bool shapeContains(xcb_window_t window, Point at) {
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
        Reply<xcb_shape_get_rectangles_reply_t> shape(xcb_shape_get_rectangles_reply(
            x, xcb_shape_get_rectangles(x, window, XCB_SHAPE_SK_BOUNDING), nullptr));
        if (!geometry || !shape) return false;
        const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(shape.get());
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(shape.get()); ++i) {
            const double left = geometry->x + rects[i].x, top = geometry->y + rects[i].y;
            if (at.x >= left && at.x < left + rects[i].width && at.y >= top && at.y < top + rects[i].height) return true;
        }
        return false;
    }

    // What the user sees while the overlay shows: the zones drawn (the right monitor's left zone's
    // edge changed), the xterm under it as it was without a compositor and tinted with one, and
    // each overlay window shaped without a compositor and not with one.
    void expectTheOverlayOverTheXterm(const std::string& what) {
        SCOPED_TRACE(what);
        std::string atEdge;
        EXPECT_TRUE(waitUntil([&] { return (atEdge = pixel(int(edge.x), int(edge.y))) != beforeEdge; },
                              Clock::now() + 10s))
            << "no zone was drawn at " << edge << ": " << atEdge;
        const std::string mode = GetParam() ? "compositor" : "no-compositor";
        EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/overlay-" + what +
                                                                   "-" + mode + ".png"},
                                 Clock::now() + 20s));
        const std::string beneath = pixel(int(spot.x), int(spot.y));
        if (GetParam()) {
            EXPECT_NE(beneath, "#1F8A4C") << "the translucent zone does not tint the xterm";
        } else {
            EXPECT_EQ(beneath, "#1F8A4C") << "the overlay covers the xterm beneath it";
        }
        const auto windows = panels();
        EXPECT_FALSE(windows.empty());
        bool edgeShown = false;
        for (const xcb_window_t window : windows) {
            EXPECT_EQ(isShaped(window), !GetParam()) << "overlay window " << window;
            if (GetParam()) continue;
            EXPECT_FALSE(shapeContains(window, spot)) << "overlay window " << window << " covers the xterm";
            edgeShown = edgeShown || shapeContains(window, edge);
        }
        if (!GetParam()) {
            EXPECT_TRUE(edgeShown) << "no overlay window shows the zone's edge";
        }
    }

    xcb_connection_t* x = nullptr;
    xcb_window_t beneathWindow = XCB_WINDOW_NONE;
    Point spot;
    Point edge;
    std::string beforeEdge;
};

TEST_P(OverlayShapeTest, ADragShowsTheZonesOverTheWindowsBeneath) {
    dragIntoTheRightZone();
    if (HasFatalFailure()) return;
    expectTheOverlayOverTheXterm("drag");
    dropIntoTheRightZone();
}

TEST_P(OverlayShapeTest, ShowZonesAndTheEditorsPreviewShowTheWindowsBeneathAlike) {
    ASSERT_TRUE(program.writeLine("flash"));
    ASSERT_TRUE(expectLine("flashed"));
    expectTheOverlayOverTheXterm("show-zones");
    ASSERT_TRUE(program.writeLine("preview " + std::to_string(rightDisplayID())));
    ASSERT_TRUE(expectLine("previewed"));
    expectTheOverlayOverTheXterm("preview");
    EXPECT_EQ(panels().size(), 1u) << "the preview shows on one monitor only";
    ASSERT_TRUE(program.writeLine("unpreview"));
    ASSERT_TRUE(expectLine("unpreviewed"));
}

INSTANTIATE_TEST_SUITE_P(Desktop, OverlayShapeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithACompositor") : std::string("WithoutACompositor");
                         });

}  // namespace
}  // namespace tessary::e2e
