#include "Platform/X11/X11Monitors.h"
#include "Platform/X11/X11Windows.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(X11WindowGeometry, OuterFrameAddsDecorationsAndRemovesTheClientSideMargin) {
    struct Case {
        const char* name;
        X11WindowGeometry geometry;
        Rect outer;
        Size clientForOuter800x600;
    };
    const Case cases[] = {
        {"undecorated", {Rect(100, 50, 400, 300), {}, {}, 0}, Rect(100, 50, 400, 300), Size{800, 600}},
        {"openbox frame", {Rect(101, 120, 400, 300), {1, 1, 20, 5}, {}, 0}, Rect(100, 100, 402, 325), Size{798, 575}},
        // A client-side decorated window: no frame, a shadow margin inside the X window.
        {"client-side shadow", {Rect(90, 40, 420, 330), {}, {10, 10, 8, 22}, 0}, Rect(100, 48, 400, 300),
         Size{820, 630}},
        {"border", {Rect(10, 10, 104, 104), {}, {}, 2}, Rect(10, 10, 104, 104), Size{796, 596}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.geometry.outer(), c.outer);
        EXPECT_EQ(c.geometry.clientSizeFor(Size{800, 600}), c.clientForOuter800x600);
    }
}

// A window manager that keeps windows on the screen keeps all of the window there, the invisible
// margin of a client-side decorated window included: held back at an edge it was asked past.
TEST(X11WindowGeometry, AWindowIsHeldAtTheScreensEdgeWhenItStaysInsideAnEdgeItWasAskedPast) {
    // All a window covers: its decorations and its own margin with the client.
    EXPECT_EQ((X11WindowGeometry{Rect(101, 120, 400, 300), {1, 1, 20, 5}, {}, 0}.whole()), Rect(100, 100, 402, 325));
    EXPECT_EQ((X11WindowGeometry{Rect(90, 40, 420, 330), {}, {10, 10, 8, 22}, 0}.whole()), Rect(90, 40, 420, 330));
    const Rect screen(0, 0, 3840, 1080);
    const struct {
        const char* name;
        Rect asked;
        Rect held;
        bool atTheEdge;
    } cases[] = {
        {"made no taller than the screen, at its top", Rect(1868, -47, 1068, 1186), Rect(1868, 0, 1068, 1080), true},
        {"pulled in from the right edge, left past the top", Rect(2824, -47, 1068, 1186), Rect(2772, -47, 1068, 1186),
         true},
        {"pulled up from the bottom edge", Rect(100, 600, 600, 500), Rect(100, 580, 600, 500), true},
        {"kept at the left edge", Rect(-52, 300, 600, 500), Rect(0, 300, 600, 500), true},
        {"let past the edge", Rect(40, -47, 600, 500), Rect(40, -47, 600, 500), false},
        {"asked inside, put elsewhere", Rect(100, 100, 600, 500), Rect(300, 300, 600, 500), false},
        {"put elsewhere, still past the edge", Rect(40, -47, 600, 500), Rect(500, -20, 600, 500), false},
        {"exactly at the edge asked", Rect(0, 0, 600, 1080), Rect(0, 0, 600, 1000), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(x11HeldAtScreenEdge(c.asked, c.held, screen), c.atTheEdge);
    }
}

// A press on the title bar shows the zones before the window has moved, so a border (a resize) or
// the client's own content (text being selected) must never count as the bar.
TEST(X11WindowGeometry, TheTitleBarIsTheDecorationAboveTheClientInsideTheBorders) {
    const X11WindowGeometry openbox{Rect(101, 120, 400, 300), {1, 1, 20, 5}, {}, 0};
    // No side borders: the window manager resizes by the bar's outermost pixels.
    const X11WindowGeometry borderless{Rect(100, 130, 400, 300), {0, 0, 30, 0}, {}, 0};
    const X11WindowGeometry thickBorders{Rect(108, 130, 400, 300), {8, 8, 30, 8}, {}, 0};
    const X11WindowGeometry bordersOnly{Rect(102, 102, 400, 300), {2, 2, 2, 2}, {}, 0};
    const X11WindowGeometry clientSide{Rect(90, 40, 420, 330), {}, {10, 10, 8, 22}, 0};
    struct Case {
        const char* name;
        const X11WindowGeometry& geometry;
        Point at;
        bool onTitleBar;
    };
    const Case cases[] = {
        {"the bar's middle", openbox, Point{300, 110}, true},
        {"the bar's last row above the client", openbox, Point{300, 119.5}, true},
        {"the bar's left end", openbox, Point{104, 110}, true},
        {"the bar's top left corner", openbox, Point{103.5, 110}, false},
        {"the top border", openbox, Point{300, 100.5}, false},
        {"the bar's topmost pixels", openbox, Point{300, 103.5}, false},
        {"the right border beside the bar", openbox, Point{501, 110}, false},
        {"the client's first row", openbox, Point{300, 120}, false},
        {"the handle below the client", openbox, Point{300, 422}, false},
        {"a borderless bar's middle", borderless, Point{300, 115}, true},
        {"a borderless bar's top edge", borderless, Point{300, 101}, false},
        {"a borderless bar's left edge", borderless, Point{101, 115}, false},
        {"inside thick borders", thickBorders, Point{120, 110}, true},
        {"a thick top border", thickBorders, Point{300, 106}, false},
        {"a frame of borders only", bordersOnly, Point{300, 101}, false},
        {"a client-side title bar", clientSide, Point{300, 60}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.geometry.titleBarContains(c.at), c.onTitleBar);
    }
}

TEST(X11SizeHints, ConstrainFollowsTheICCCMRules) {
    X11SizeHints none;
    X11SizeHints terminal;  // a terminal: base plus whole character cells
    terminal.base = Size{4, 4};
    terminal.increment = Size{6, 13};
    terminal.minimum = Size{10, 17};
    X11SizeHints bounded;
    bounded.minimum = Size{500, 200};
    bounded.maximum = Size{900, 700};
    X11SizeHints minimumAsBase;  // without a base size, the minimum size is the base
    minimumAsBase.minimum = Size{100, 100};
    minimumAsBase.increment = Size{10, 10};

    struct Case {
        const char* name;
        const X11SizeHints& hints;
        Size requested;
        Size expected;
    };
    const Case cases[] = {
        {"no hints", none, Size{801, 599}, Size{801, 599}},
        {"increments round down", terminal, Size{998, 675}, Size{994, 667}},
        {"exact cells", terminal, Size{994, 667}, Size{994, 667}},
        {"below minimum", terminal, Size{5, 5}, Size{10, 17}},
        {"raised to minimum", bounded, Size{400, 100}, Size{500, 200}},
        {"lowered to maximum", bounded, Size{1000, 800}, Size{900, 700}},
        {"minimum as base", minimumAsBase, Size{155, 249}, Size{150, 240}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.hints.constrain(c.requested), c.expected);
    }
    EXPECT_TRUE(terminal.hasIncrements());
    EXPECT_FALSE(bounded.hasIncrements());
}

TEST(X11SizeHints, ParsesTheFlaggedFieldsAndRefusesShortProperties) {
    uint32_t words[18] = {};
    words[0] = (1u << 4) | (1u << 6) | (1u << 8);  // minimum, increments, base
    words[5] = 100, words[6] = 50;
    words[9] = 6, words[10] = 13;
    words[15] = 4, words[16] = 4;
    words[7] = 999;  // a maximum without its flag is ignored
    auto hints = X11SizeHints::parse(words, 18);
    ASSERT_TRUE(hints);
    EXPECT_EQ(hints->minimum, (Size{100, 50}));
    EXPECT_EQ(hints->increment, (Size{6, 13}));
    EXPECT_EQ(hints->base, (Size{4, 4}));
    EXPECT_FALSE(hints->maximum);

    words[5] = 0xFFFFFFF0;  // a negative minimum from a careless client
    EXPECT_EQ(X11SizeHints::parse(words, 18)->minimum, (Size{0, 50}));
    EXPECT_FALSE(X11SizeHints::parse(words, 14));
}

TEST(X11WorkArea, StrutsShrinkOnlyTheMonitorsTheirBandsReach) {
    const Size root{3840, 1080};
    const Rect left(0, 0, 1920, 1080);
    const Rect right(1920, 0, 1920, 1080);
    // A 40-pixel panel along the bottom of the left monitor only.
    const X11Strut bottomLeft{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919};
    // A 60-pixel panel along the left edge of the right monitor: its band covers the whole left
    // monitor too, which it must not swallow.
    const X11Strut leftOfRight{1980, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0};
    // A legacy full-width top bar.
    const X11Strut top{0, 0, 30, 0, 0, 0, 0, 0, 0, 0xFFFF, 0, 0};
    // A right-edge panel on the right monitor, upper half only.
    const X11Strut rightHalf{0, 50, 0, 0, 0, 0, 0, 539, 0, 0, 0, 0};

    struct Case {
        const char* name;
        std::vector<X11Strut> struts;
        Rect leftArea;
        Rect rightArea;
    };
    const Case cases[] = {
        {"none", {}, left, right},
        {"bottom panel on the left monitor", {bottomLeft}, Rect(0, 0, 1920, 1040), right},
        {"left panel of the right monitor", {leftOfRight}, left, Rect(1980, 0, 1860, 1080)},
        {"top bar across both", {top}, Rect(0, 30, 1920, 1050), Rect(1920, 30, 1920, 1050)},
        {"partial right panel", {rightHalf}, left, Rect(1920, 0, 1870, 1080)},
        {"together", {bottomLeft, top, rightHalf}, Rect(0, 30, 1920, 1010), Rect(1920, 30, 1870, 1050)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(workArea(left, root, c.struts), c.leftArea);
        EXPECT_EQ(workArea(right, root, c.struts), c.rightArea);
    }
}

TEST(X11WorkArea, StackedMonitorsAndAStrutWiderThanTheScreen) {
    const Size root{1920, 2160};
    const Rect upper(0, 0, 1920, 1080);
    const Rect lower(0, 1080, 1920, 1080);
    const X11Strut bottom{0, 0, 0, 48, 0, 0, 0, 0, 0, 0, 0, 1919};
    EXPECT_EQ(workArea(upper, root, {bottom}), upper);
    EXPECT_EQ(workArea(lower, root, {bottom}), Rect(0, 1080, 1920, 1032));
    // A strut claiming more than the whole screen never turns a work area inside out.
    const X11Strut huge{0, 0, 0, 5000, 0, 0, 0, 0, 0, 0, 0, 1919};
    Rect area = workArea(lower, root, {huge});
    EXPECT_GE(area.width(), 0);
    EXPECT_GE(area.height(), 0);
}

}  // namespace
}  // namespace tessary

namespace tessary {
namespace {

// The window manager's own panels carry no strut: it announces one work area for the whole screen
// (_NET_WORKAREA), and its panel's window says which monitor the band belongs to.
TEST(X11WorkArea, TheWindowManagersOwnPanelShrinksOnlyItsMonitor) {
    const Size root{3840, 1080};
    const Rect left(0, 0, 1920, 1080);
    const Rect right(1920, 0, 1920, 1080);
    const X11Strut clientBottomLeft{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919};
    struct Case {
        const char* name;
        Rect announced;
        std::vector<X11Strut> clientStruts;
        std::vector<Rect> panels;
        Rect leftArea;
        Rect rightArea;
    };
    const Case cases[] = {
        {"icewm's taskbar on the left monitor", Rect(0, 0, 3840, 1054), {}, {Rect(0, 1054, 1920, 26)},
         Rect(0, 0, 1920, 1054), right},
        {"fluxbox's toolbar, its border included", Rect(0, 0, 3840, 1060), {}, {Rect(0, 1060, 1920, 20)},
         Rect(0, 0, 1920, 1060), right},
        {"a panel along the top of the right monitor", Rect(0, 24, 3840, 1056), {}, {Rect(1920, 0, 1920, 24)}, left,
         Rect(1920, 24, 1920, 1056)},
        {"a panel shallower than the band: the band's depth", Rect(0, 0, 3840, 1050), {}, {Rect(0, 1054, 1920, 26)},
         Rect(0, 0, 1920, 1050), right},
        {"a band nothing explains: the whole edge", Rect(0, 0, 3840, 1054), {}, {}, Rect(0, 0, 1920, 1054),
         Rect(1920, 0, 1920, 1054)},
        {"a window in the band, clear of the edge, is no panel", Rect(0, 0, 3840, 1054), {}, {Rect(100, 1055, 50, 10)},
         Rect(0, 0, 1920, 1054), Rect(1920, 0, 1920, 1054)},
        {"a client's strut explains the band", Rect(0, 0, 3840, 1040), {clientBottomLeft}, {}, Rect(0, 0, 1920, 1040),
         right},
        {"the whole screen announced", Rect(0, 0, 3840, 1080), {}, {Rect(0, 1054, 1920, 26)}, left, right},
        {"nothing announced", Rect(0, 0, 0, 0), {}, {Rect(0, 1054, 1920, 26)}, left, right},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<X11Strut> struts = c.clientStruts;
        for (const X11Strut& s : windowManagerStruts(c.announced, root, c.clientStruts, c.panels)) struts.push_back(s);
        EXPECT_EQ(workArea(left, root, struts), c.leftArea);
        EXPECT_EQ(workArea(right, root, struts), c.rightArea);
    }
    EXPECT_TRUE(liesInAnnouncedBand(Rect(0, 1054, 1920, 26), Rect(0, 0, 3840, 1054), root));
    EXPECT_FALSE(liesInAnnouncedBand(Rect(0, 1000, 1920, 80), Rect(0, 0, 3840, 1054), root));
}

// icewm keeps a window inside its monitor (above the taskbar there): the shadow of a window sent to
// the left monitor's right-hand zone is held at x 1920, the middle of the screen.
TEST(X11WorkArea, AWindowIsHeldAtTheEdgeOfTheAreaThatHoldsMostOfIt) {
    const Size root{3840, 1080};
    const std::vector<Rect> areas{Rect(0, 0, 1920, 1054), Rect(1920, 0, 1920, 1080)};
    const Rect asked(904, 300, 1068, 600), held(852, 300, 1068, 600);
    EXPECT_EQ(x11ConfiningArea(asked, areas, root), areas[0]);
    EXPECT_EQ(x11ConfiningArea(Rect(3000, 100, 900, 600), areas, root), areas[1]);
    EXPECT_EQ(x11ConfiningArea(Rect(5000, 100, 900, 600), areas, root), Rect(0, 0, 3840, 1080));
    EXPECT_TRUE(x11HeldAtScreenEdge(asked, held, x11ConfiningArea(asked, areas, root)));
    EXPECT_FALSE(x11HeldAtScreenEdge(asked, held, Rect(0, 0, 3840, 1080)));
    // Above the taskbar: held at 1054, not at the screen's bottom.
    EXPECT_TRUE(x11HeldAtScreenEdge(Rect(100, 500, 600, 600), Rect(100, 454, 600, 600), areas[0]));
}

}  // namespace
}  // namespace tessary
