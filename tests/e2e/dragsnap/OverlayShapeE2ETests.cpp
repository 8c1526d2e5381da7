// The zone overlay as the X server shows it, without a compositing manager and with one: an xterm
// under a zone keeps its colour (only the drawn outlines, badges and hatching cover it) and every
// overlay window carries an X shape; through a compositor the overlay is translucent and unshaped.
// The same for the zones shown on request ("Show Zones") and the layout editor's preview.

#include "tests/e2e/dragsnap/DragSnapFixture.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
    // Beside the window manager's own panel, as it installs.
    VirtualDesktop::Options desktopOptions() const override {
        VirtualDesktop::Options options;
        options.panels = true;
        return options;
    }

    void SetUp() override {
        DragSnapTest::SetUp();
        if (HasFatalFailure()) return;
        x = xcb_connect(desktop->display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(x));
        // metacity and marco composite the screen themselves: beside them a desktop without a
        // compositor cannot be had, and the program rightly draws translucent zones.
        if (!GetParam() && compositorRuns()) {
            GTEST_SKIP() << WindowManager::current().name << " composites the screen itself";
        }
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

    // Whether a compositing manager holds the screen's selection.
    bool compositorRuns() {
        const std::string selection = "_NET_WM_CM_S0";
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(x, 0, std::uint16_t(selection.size()), selection.c_str());
        Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(x, cookie, nullptr));
        if (!atom) return false;
        Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, atom->atom), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
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
    void expectTheOverlayOverTheXterm(const std::string& what) { expectTheOverlayOverTheXterm(what, GetParam()); }
    void expectTheOverlayOverTheXterm(const std::string& what, bool compositing) {
        SCOPED_TRACE(what);
        std::string atEdge;
        EXPECT_TRUE(waitUntil([&] { return (atEdge = pixel(int(edge.x), int(edge.y))) != beforeEdge; },
                              Clock::now() + 10s))
            << "no zone was drawn at " << edge << ": " << atEdge;
        const std::string mode = compositing ? "compositor" : "no-compositor";
        EXPECT_TRUE(desktop->run({"import", "-window", "root", std::string(TESSARY_E2E_OUTPUT) + "/overlay-" + what +
                                                                   "-" + mode + ".png"},
                                 Clock::now() + 20s));
        const std::string beneath = pixel(int(spot.x), int(spot.y));
        if (compositing) {
            EXPECT_NE(beneath, "#1F8A4C") << "the translucent zone does not tint the xterm";
        } else {
            EXPECT_EQ(beneath, "#1F8A4C") << "the overlay covers the xterm beneath it";
        }
        const auto windows = panels();
        EXPECT_FALSE(windows.empty());
        for (const xcb_window_t window : windows) {
            Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
            ASSERT_TRUE(geometry);
            EXPECT_EQ(geometry->width * geometry->height, 1920 * 1080) << "overlay window " << window << " is not a monitor's size";
        }
        bool edgeShown = false;
        for (const xcb_window_t window : windows) {
            EXPECT_EQ(isShaped(window), !compositing) << "overlay window " << window;
            if (compositing) continue;
            EXPECT_FALSE(shapeContains(window, spot)) << "overlay window " << window << " covers the xterm";
            edgeShown = edgeShown || shapeContains(window, edge);
        }
        if (!compositing) {
            EXPECT_TRUE(edgeShown) << "no overlay window shows the zone's edge";
        }
    }

    // The window's bounding shape as the pixels it covers (row by row, its own size), empty when
    // the window has none.
    std::vector<std::uint8_t> coverage(xcb_window_t window) {
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
        Reply<xcb_shape_get_rectangles_reply_t> shape(xcb_shape_get_rectangles_reply(
            x, xcb_shape_get_rectangles(x, window, XCB_SHAPE_SK_BOUNDING), nullptr));
        if (!geometry || !shape) return {};
        const int width = geometry->width, height = geometry->height;
        std::vector<std::uint8_t> covered(std::size_t(width) * std::size_t(height), 0);
        const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(shape.get());
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(shape.get()); ++i) {
            for (int y = std::max(0, int(rects[i].y)); y < std::min(height, rects[i].y + rects[i].height); ++y) {
                for (int x0 = std::max(0, int(rects[i].x)); x0 < std::min(width, rects[i].x + rects[i].width); ++x0) {
                    covered[std::size_t(y) * std::size_t(width) + std::size_t(x0)] = 1;
                }
            }
        }
        return covered;
    }

    // The screen's pixels where the window lies (what the user sees of the overlay and beneath it),
    // within the space the window manager leaves: its own panel there has a clock of its own.
    std::vector<std::uint8_t> screenUnder(xcb_window_t window) {
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
        if (!geometry) return {};
        const Rect area = desktop->workArea(Rect(geometry->x, geometry->y, geometry->width, geometry->height));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
            x, xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(area.minX()), int16_t(area.minY()),
                             uint16_t(area.width()), uint16_t(area.height()), ~0u),
            nullptr));
        if (!image) return {};
        const std::uint8_t* data = xcb_get_image_data(image.get());
        return {data, data + xcb_get_image_data_length(image.get())};
    }
    // Where two screens of the same window (4 bytes a pixel) differ, for a failure's message.
    // The one panel's shape and the screen beneath it, empty while not exactly one panel shows.
    struct Seen {
        std::vector<std::uint8_t> shape, screen;
        bool operator==(const Seen&) const = default;
    };
    Seen seen() {
        const auto windows = panels();
        if (windows.size() != 1) return Seen{};
        return Seen{coverage(windows.front()), screenUnder(windows.front())};
    }
    // Steady once two readings apart agree: the program's requests and a compositor's frames come
    // over other connections.
    Seen steady() {
        Seen last = seen(), now;
        waitUntil([&] { return (now = seen()) == last ? !now.screen.empty() : (last = now, false); }, Clock::now() + 10s,
                  -1, 150ms);
        return now;
    }

    static std::string firstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int width) {
        if (a.size() != b.size()) return "the screens differ in size";
        std::size_t differing = 0, first = a.size();
        for (std::size_t i = 0; i < a.size(); i += 4) {
            if (std::memcmp(&a[i], &b[i], 4) == 0) continue;
            ++differing;
            first = std::min(first, i / 4);
        }
        if (!differing) return "the screens agree";
        return std::to_string(differing) + " pixels differ, the first at " + std::to_string(first % std::size_t(width)) + " " +
               std::to_string(first / std::size_t(width)) + " of the panel";
    }

    // The ARGB value the overlay's own window holds at a root point (its contents, which a
    // compositor shows a frame later), empty when no overlay covers it.
    std::string windowPixel(Point at) {
        for (const xcb_window_t window : panels()) {
            Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
            if (!geometry) continue;
            const int left = int(at.x) - geometry->x, top = int(at.y) - geometry->y;
            if (left < 0 || top < 0 || left >= geometry->width || top >= geometry->height) continue;
            Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
                x, xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(left), std::int16_t(top), 1, 1, ~0u),
                nullptr));
            if (!image || xcb_get_image_data_length(image.get()) < 4) continue;
            std::uint32_t value = 0;
            std::memcpy(&value, xcb_get_image_data(image.get()), 4);
            char text[10];
            std::snprintf(text, sizeof text, "%08X", value);
            return text;
        }
        return {};
    }

    // Runs a line of the program and waits for its answer.
    void tell(const std::string& line, const std::string& answer) {
        ASSERT_TRUE(program.writeLine(line));
        ASSERT_TRUE(expectLine(answer)) << line;
    }

    // Has the server expose the overlay around the point, as it does when a window that covered
    // it goes away: it repaints that part from the window's background (when it has one) and asks
    // the overlay to paint it anew.
    void exposeAround(Point at) {
        for (const xcb_window_t window : panels()) {
            Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
            if (!geometry) continue;
            const int left = int(at.x) - geometry->x - 60, top = int(at.y) - geometry->y - 60;
            if (left + 120 <= 0 || top + 120 <= 0 || left >= geometry->width || top >= geometry->height) continue;
            xcb_clear_area(x, 1, window, std::int16_t(left), std::int16_t(top), 120, 120);
        }
        std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
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

// The overlay keeps its pixels in the X server and paints what is exposed itself: exposed, a
// highlighted zone shows highlighted again, not as the others.
TEST_P(OverlayShapeTest, AnExposedPanelShowsItsHighlightedZoneAgain) {
    const std::string id = std::to_string(rightDisplayID());
    // Inside the zone's wide highlighted band without a compositor; its tint with one.
    const Rect zone = rightZones[0].rect;
    const Point inside{zone.minX() + 9, zone.minY() + 150};
    std::string desktopColour;
    ASSERT_TRUE(waitUntil([&] { return !(desktopColour = pixel(int(inside.x), int(inside.y))).empty(); },
                          Clock::now() + 10s));
    tell("preview " + id, "previewed");
    // A compositor draws the new window a frame or more after it is mapped (marco 60-90 ms later):
    // read before that, the desktop would pass for the unhighlighted zone and the zone's own tint
    // for its highlight.
    std::string dark;
    ASSERT_TRUE(waitUntil([&] {
        dark = pixel(int(inside.x), int(inside.y));
        return !dark.empty() && (!GetParam() || dark != desktopColour);
    }, Clock::now() + 10s)) << "the overlay never showed over the desktop's " << desktopColour;
    tell("highlight " + id + " 0", "highlighted");
    std::string lit;
    ASSERT_TRUE(waitUntil([&] { return (lit = pixel(int(inside.x), int(inside.y))) != dark; }, Clock::now() + 10s))
        << "the highlighted zone reads as before: " << lit;
    const std::string litInWindow = windowPixel(inside);
    ASSERT_FALSE(litInWindow.empty()) << "no overlay window covers the zone";
    exposeAround(inside);
    // The window's contents first: a compositor shows the expose a frame later, so until then the
    // screen still shows the highlight whatever the program did.
    std::string inWindow;
    EXPECT_TRUE(waitUntil([&] { return (inWindow = windowPixel(inside)) == litInWindow; }, Clock::now() + 10s))
        << "after an expose the window holds " << inWindow << ", highlighted it held " << litInWindow;
    std::string again;
    EXPECT_TRUE(waitUntil([&] { return (again = pixel(int(inside.x), int(inside.y))) == lit; }, Clock::now() + 10s))
        << "after an expose the zone shows " << again << ", highlighted it showed " << lit << ", not " << dark;
    tell("unpreview", "unpreviewed");
}

// Without a compositor a highlight change reshapes the window by what changed alone: whatever
// the order of changes, the same highlight gives the same shape, and none gives the first one.
TEST_P(OverlayShapeTest, TheShapeFollowsTheHighlightWhateverItsPath) {
    if (GetParam()) GTEST_SKIP() << "with a compositor the overlay is not shaped";
    const std::string id = std::to_string(rightDisplayID());
    auto shapeOnScreen = [&] {
        const auto windows = panels();
        return windows.size() == 1 ? coverage(windows.front()) : std::vector<std::uint8_t>{};
    };
    // The shape once it differs from `other` (or equals it, when `equal`), polled: the program's
    // requests and these come over different connections.
    auto shapeOnceItIs = [&](const std::vector<std::uint8_t>& other, bool equal) {
        std::vector<std::uint8_t> shape;
        waitUntil([&] { return ((shape = shapeOnScreen()) == other) == equal && !shape.empty(); }, Clock::now() + 5s);
        return shape;
    };
    tell("preview " + id, "previewed");
    const auto none = shapeOnceItIs({}, false);
    ASSERT_FALSE(none.empty());
    tell("highlight " + id + " 0", "highlighted");
    const auto first = shapeOnceItIs(none, false);
    EXPECT_TRUE(first != none) << "highlighting zone 1 left the shape as it was";
    tell("highlight " + id + " 1", "highlighted");
    const auto second = shapeOnceItIs(first, false);
    EXPECT_TRUE(second != first) << "moving the highlight to zone 2 left the shape as it was";
    tell("unpreview", "unpreviewed");
    tell("preview " + id, "previewed");
    EXPECT_TRUE(shapeOnceItIs(none, true) == none) << "shown again without a highlight, the shape is not the first one";
    tell("highlight " + id + " 1", "highlighted");
    EXPECT_TRUE(shapeOnceItIs(second, true) == second) << "zone 2 highlighted straight away shapes the window otherwise";
    tell("unpreview", "unpreviewed");
}

// A sweep over the zones changes the highlight many times in a row, each change sending only
// what changed: what the screen shows after it, and the window's shape, are what a fresh show of
// the same highlight gives, with nothing of an earlier highlight left over.
TEST_P(OverlayShapeTest, AfterASweepTheScreenIsAFreshShowOfTheSameHighlight) {
    const std::string id = std::to_string(rightDisplayID());
    auto sweep = [&] {
        tell("preview " + id, "previewed");
        for (int pass = 0; pass < 3; ++pass) {
            tell("highlight " + id + " 0", "highlighted");
            tell("highlight " + id + " 1", "highlighted");
        }
        tell("highlight " + id + " 0", "highlighted");
    };
    auto hide = [&] {
        tell("unpreview", "unpreviewed");
        ASSERT_TRUE(waitUntil([&] { return panels().empty(); }, Clock::now() + 5s));
    };
    sweep();
    const Seen swept = steady();
    ASSERT_FALSE(swept.screen.empty());
    hide();
    tell("preview " + id, "previewed");
    tell("highlight " + id + " 0", "highlighted");
    Seen fresh;
    EXPECT_TRUE(waitUntil([&] { return (fresh = seen()) == swept; }, Clock::now() + 10s, -1, 150ms))
        << "after a sweep the shape " << (fresh.shape == swept.shape ? "is" : "is not") << " a fresh show's; "
        << firstDifference(swept.screen, fresh.screen, 1920);
    hide();
    // Hidden past the idle release (300 ms here), the overlay drops what it drew; the next sweep
    // draws anew and shows the same.
    std::this_thread::sleep_for(800ms);
    sweep();
    Seen again;
    EXPECT_TRUE(waitUntil([&] { return (again = seen()) == swept; }, Clock::now() + 10s, -1, 150ms))
        << "a sweep after the idle release: the shape " << (again.shape == swept.shape ? "is" : "is not")
        << " the first sweep's; " << firstDifference(swept.screen, again.screen, 1920);
    tell("unpreview", "unpreviewed");
}

// A crossing replays what was worked out for the same change before, only when everything before
// it is the same: after a hint that said more (a note in place of the advice, a wider capsule), the
// next zone's hint leaves nothing of it on screen, though the same crossing without the note was
// met first and repainted no more than the narrower hint.
TEST_P(OverlayShapeTest, AfterAWiderHintTheNextCrossingLeavesNothingOfIt) {
    // The left monitor's grid: its top zones' tiles reach nowhere near the hint at the bottom.
    std::string id;
    for (const auto& screen : platform->screens().screens()) {
        if (screen.displayNumber && *screen.displayNumber != rightDisplayID()) id = std::to_string(*screen.displayNumber);
    }
    ASSERT_FALSE(id.empty());
    auto hide = [&] {
        tell("unpreview", "unpreviewed");
        ASSERT_TRUE(waitUntil([&] { return panels().empty(); }, Clock::now() + 5s));
    };
    tell("preview " + id, "previewed");
    tell("highlight " + id + " 1", "highlighted");
    const Seen fresh = steady();
    ASSERT_FALSE(fresh.screen.empty());
    hide();

    tell("preview " + id, "previewed");
    for (int pass = 0; pass < 2; ++pass) {
        tell("highlight " + id + " 0", "highlighted");
        tell("highlight " + id + " 1", "highlighted");
    }
    tell("note " + id + " 0 this window needs 500 px more than the zone has, and more besides", "highlighted");
    tell("highlight " + id + " 1", "highlighted");
    Seen after;
    EXPECT_TRUE(waitUntil([&] { return (after = seen()) == fresh; }, Clock::now() + 10s, -1, 150ms))
        << "after the wider hint the shape " << (after.shape == fresh.shape ? "is" : "is not") << " a fresh show's; "
        << firstDifference(fresh.screen, after.screen, 1920);
    tell("unpreview", "unpreviewed");
}

// Hidden, a panel's window waits with nothing to show (so that mapping it again costs the server
// next to nothing): shown again it is whole, drawn and shaped as the first time, and a compositing
// manager that started or stopped while it was hidden changes the mode at that show.
TEST_P(OverlayShapeTest, ShownAgainThePanelIsWholeAndInTheModeOfTheMoment) {
    const std::string id = std::to_string(rightDisplayID());
    const auto hidden = [&] { return waitUntil([&] { return panels().empty(); }, Clock::now() + 5s); };
    tell("preview " + id, "previewed");
    expectTheOverlayOverTheXterm("first");
    tell("unpreview", "unpreviewed");
    ASSERT_TRUE(hidden());
    tell("preview " + id, "previewed");
    expectTheOverlayOverTheXterm("again");
    tell("unpreview", "unpreviewed");
    ASSERT_TRUE(hidden());

    const bool compositing = !GetParam();
    if (compositing) {
        compositor = desktop->start({"sh", "-c", "exec xcompmgr 2>/dev/null"});
    } else {
        compositor.kill();
    }
    const bool switched = waitUntil([&] { return compositorRuns() == compositing; }, Clock::now() + 10s);
    // metacity takes the compositing over once xcompmgr stops.
    if (!switched && !compositing) GTEST_SKIP() << WindowManager::current().name << " composites the screen itself";
    ASSERT_TRUE(switched);
    // The program hears of the new owner over its own connection, shortly after.
    std::this_thread::sleep_for(300ms);
    // The xterm drew itself again where the compositor's start or stop exposed it.
    ASSERT_TRUE(waitUntil([&] { return pixel(int(spot.x), int(spot.y)) == "#1F8A4C"; }, Clock::now() + 10s));
    beforeEdge = pixel(int(edge.x), int(edge.y));
    tell("preview " + id, "previewed");
    expectTheOverlayOverTheXterm(compositing ? "compositor-started" : "compositor-stopped", compositing);
    tell("unpreview", "unpreviewed");
}

INSTANTIATE_TEST_SUITE_P(Desktop, OverlayShapeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithACompositor") : std::string("WithoutACompositor");
                         });

}  // namespace
}  // namespace tessary::e2e
