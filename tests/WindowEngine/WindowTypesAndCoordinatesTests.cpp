#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

#include "WindowEngine/CoordinateSpace.h"
#include "WindowEngine/SetFrameResult.h"
#include "WindowEngine/UnfitWindowPlacement.h"
#include "WindowEngine/WindowInfo.h"

using namespace tessary;

namespace {

const AXElement windowA{AXElementKind::window, 1, 0x101, 0};
const AXElement windowB{AXElementKind::window, 1, 0x102, 0};

// The four ways a rectangle can be off by d: minimum x, minimum y, width, height.
std::vector<Rect> offByOnEachValue(const Rect& r, double d) {
    return {Rect(r.x() + d, r.y(), r.width(), r.height()), Rect(r.x(), r.y() - d, r.width(), r.height()),
            Rect(r.x(), r.y(), r.width() + d, r.height()), Rect(r.x(), r.y(), r.width(), r.height() - d)};
}

}  // namespace

TEST(WindowHandle, TheElementAloneIdentifiesTheWindow) {
    EXPECT_EQ(WindowHandle(10, windowA), WindowHandle(20, windowA));
    EXPECT_NE(WindowHandle(10, windowA), WindowHandle(10, windowB));
    EXPECT_EQ(std::hash<WindowHandle>{}(WindowHandle(10, windowA)), std::hash<WindowHandle>{}(WindowHandle(20, windowA)));
    std::unordered_set<WindowHandle> set{WindowHandle(10, windowA), WindowHandle(20, windowA), WindowHandle(10, windowB)};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(WindowHandle(42, windowA).description(), "WindowHandle(pid: 42, " + std::to_string(windowA.hash()) + ")");

    // Infos that differ only in the process identifier of their handle are equal.
    const WindowInfo info{WindowHandle(10, windowA), "org.example.App", "Doc", Rect(1, 2, 3, 4), false, true};
    WindowInfo other = info;
    other.ref.pid = 99;
    EXPECT_EQ(info, other);
    other.title.reset();
    EXPECT_NE(info, other);
}

TEST(CoordinateSpace, ApproximatelyEqualAcceptsTheToleranceAndRefusesMoreOnEachValue) {
    const Rect r(100, 200, 800, 600);
    for (const Rect& off : offByOnEachValue(r, 2.0)) EXPECT_TRUE(CoordinateSpace::approximatelyEqual(r, off, 2.0)) << off;
    for (const Rect& off : offByOnEachValue(r, 2.01)) EXPECT_FALSE(CoordinateSpace::approximatelyEqual(r, off, 2.0)) << off;
    for (const Rect& off : offByOnEachValue(r, std::nan(""))) EXPECT_FALSE(CoordinateSpace::approximatelyEqual(r, off, 2.0)) << off;
    // Minimum edges: a negative size is the same rectangle from the other corner.
    EXPECT_TRUE(CoordinateSpace::approximatelyEqual(Rect(900, 200, -800, 600), r, 0));
    EXPECT_FALSE(CoordinateSpace::approximatelyEqual(Rect::null(), Rect::null(), 2.0));
}

TEST(SetFrameResult, SucceedsOnlyWithAnAchievedFrameWithinTwoPoints) {
    const Rect requested(0, 0, 500, 400);
    EXPECT_FALSE((SetFrameResult{requested, std::nullopt}.succeeded()));
    EXPECT_TRUE((SetFrameResult{requested, Rect(2, -2, 502, 398)}.succeeded()));
    EXPECT_FALSE((SetFrameResult{requested, Rect(0, 0, 502.01, 400)}.succeeded()));
}

TEST(UnfitWindowPlacement, CentresOnWholePointsAndNeverBeforeTheMinimumEdge) {
    struct Case {
        Size size;
        Rect in;
        std::optional<Rect> expected;
    };
    const Rect zone(100, 100, 800, 600);
    const Case cases[] = {
        {{699, 600}, zone, Rect(151, 100, 699, 600)},   // 101 narrower: 50.5 goes away from zero
        {{700, 500}, zone, Rect(150, 150, 700, 500)},
        {{900, 600}, zone, Rect(100, 100, 900, 600)},   // wider: kept at the left edge
        {{900, 401}, zone, Rect(100, 200, 900, 401)},   // 99.5 rounds to 100
        {{798, 602}, zone, std::nullopt},               // within 2 in both directions
        {{797, 600}, zone, Rect(102, 100, 797, 600)},   // 1.5 rounds to 2
        {{699, 600}, Rect(-900, -50, 800, 600), Rect(-849, -50, 699, 600)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnfitWindowPlacement::centeredFrame(c.size, c.in, 2.0), c.expected) << c.size << " in " << c.in;
    }
}

// A window larger than its zone stays on the display's work area. At the work area's far edge it
// ends where the zone ends, inside the layout's padding as a zone's neighbour on the other side
// does, rather than flush with the display's edge; where that would take it past the work area's
// near edge, it keeps to the work area.
TEST(UnfitWindowPlacement, AWindowLargerThanItsZoneEndsAtTheZonesFarEdgeWhereItFits) {
    // A 1920x1054 work area (a taskbar below), two columns with 8 of padding and spacing.
    const Rect workArea(0, 0, 1920, 1054);
    const Rect left(8, 8, 948, 1038), right(964, 8, 948, 1038);
    struct Case {
        const char* name;
        Point origin;
        Size size;
        Rect requested;
        Point expected;
    };
    const Case cases[] = {
        {"the right zone, wider than it: ends at the zone's right edge", {964, 8}, {1000, 600}, right, {912, 8}},
        {"the left zone, wider: reaches on into its neighbour", {8, 8}, {1000, 600}, left, {8, 8}},
        {"past the taskbar from lower down: ends at the zone's bottom", {964, 100}, {600, 1000}, right, {964, 46}},
        {"too tall to end at the zone's bottom: flush with the work area's", {964, 8}, {600, 1050}, right, {964, 4}},
        {"wider than the work area: at its left edge", {964, 8}, {2000, 600}, right, {0, 8}},
        {"off the near edge: moved on", {-20, -5}, {1000, 600}, left, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UnfitWindowPlacement::keptOn(c.origin, c.size, c.requested, workArea), c.expected);
    }
}
