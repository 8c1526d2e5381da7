#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneHitTest.h"
#include "TessaryCore/ZoneNavigation.h"
#include "TestSupport.h"

using namespace tessary;

namespace {

const double inf = std::numeric_limits<double>::infinity();

ZoneLayout layoutOf(LayoutKind kind, double spacing = 0, double padding = 0) {
    return ZoneLayout(UUID(), "L", std::move(kind), spacing, padding, std::nullopt, Date());
}


// The zones as the plain reading of the layout rules gives them: every number from 0 to the zone
// count, laid out from its bounding block. Only for valid grids.
std::vector<Zone> reference(const ZoneGrid& grid, const Rect& area, double spacing) {
    const auto columns = ZoneGeometry::trackSpans(grid.columnWeights, area.width(), area.minX(), spacing);
    const auto rows = ZoneGeometry::trackSpans(grid.rowWeights, area.height(), area.minY(), spacing);
    std::vector<Zone> out;
    for (std::int64_t n = 0; n < grid.zoneCount(); ++n) {
        const auto b = grid.cellBounds(n);
        if (!b) continue;
        const double x = columns[static_cast<std::size_t>(b->columns.lowerBound)].start;
        const double y = rows[static_cast<std::size_t>(b->rows.lowerBound)].start;
        out.push_back(Zone{n, Rect(x, y, std::max(columns[static_cast<std::size_t>(b->columns.upperBound)].end - x, 0.0),
                                   std::max(rows[static_cast<std::size_t>(b->rows.upperBound)].end - y, 0.0))});
    }
    return out;
}

std::vector<Zone> indexedZones(std::initializer_list<Rect> rects) {
    std::vector<Zone> zones;
    for (const Rect& r : rects) zones.push_back(Zone{static_cast<std::int64_t>(zones.size()), r});
    return zones;
}

}  // namespace

TEST(ZoneGeometry, GridZonesLeaveSpacingBetweenTracksAndPaddingAtTheEdges) {
    const auto zones = ZoneGeometry::zones(layoutOf(ZoneGrid::uniform(1, 2), 8, 8), Rect(0, 0, 1000, 800));
    EXPECT_EQ(zones, (std::vector<Zone>{{0, Rect(8, 8, 488, 784)}, {1, Rect(504, 8, 488, 784)}}));

    EXPECT_EQ(ZoneGeometry::trackSpans({1, 1}, 1000, 0, 8),
              (std::vector<ZoneGeometry::TrackSpan>{{0, 496}, {504, 1000}}));
    EXPECT_EQ(ZoneGeometry::trackSpans({0, 0}, 1000, 7, 8), (std::vector<ZoneGeometry::TrackSpan>{{7, 7}, {7, 7}}));
    EXPECT_TRUE(ZoneGeometry::trackSpans({}, 1000, 0, 8).empty());

    // Spacing wider than a track leaves a zone of zero width, never a negative one.
    const auto squeezed = ZoneGeometry::zones(layoutOf(ZoneGrid::uniform(1, 2), 300), Rect(0, 0, 400, 100));
    ASSERT_EQ(squeezed.size(), 2u);
    EXPECT_EQ(squeezed[0].rect.width(), 50);
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(ZoneGrid::uniform(1, 2), 500), Rect(0, 0, 400, 100))[0].rect.width(), 0);
}

TEST(ZoneGeometry, ZonesOfSpanningGridsMatchTheirBlocks) {
    const Rect area(10, 20, 1200, 600);
    for (const LayoutTemplate t : LayoutTemplate::allCases) {
        for (std::int64_t n = 1; n <= 12; ++n) {
            const LayoutKind kind = t.kind(n);
            if (!kind.isGrid()) continue;
            EXPECT_EQ(ZoneGeometry::zones(layoutOf(kind, 6, 0), area), reference(*kind.grid(), area, 6))
                << t.rawValue() << " " << n;
        }
    }
}

TEST(ZoneGeometry, DegenerateInputGivesNoZones) {
    const ZoneCanvas halfCanvas{Size{1920, 1080}, {Rect(0, 0, 960, 540)}};
    struct Case {
        const char* name;
        ZoneLayout layout;
        Rect rect;
    };
    const Case cases[] = {
        {"padding eats the width", layoutOf(ZoneGrid::uniform(2, 2), 0, 500), Rect(0, 0, 1000, 2000)},
        {"zero-width rectangle", layoutOf(ZoneGrid::uniform(2, 2)), Rect(0, 0, 0, 500)},
        {"reference width 0", layoutOf(ZoneCanvas{Size{0, 1080}, {Rect(0, 0, 1, 1)}}), Rect(0, 0, 100, 100)},
        {"reference height NaN", layoutOf(ZoneCanvas{Size{10, std::nan("")}, {Rect(0, 0, 1, 1)}}), Rect(0, 0, 9, 9)},
        {"empty canvas", layoutOf(ZoneCanvas{Size{1920, 1080}, {}}), Rect(0, 0, 100, 100)},
        {"NaN width", layoutOf(halfCanvas), Rect(0, 0, std::nan(""), 100)},
        {"infinite width", layoutOf(ZoneGrid::uniform(1, 3)), Rect(0, 0, inf, 100)},
        {"infinite origin", layoutOf(ZoneGrid::uniform(1, 3)), Rect(-inf, 0, 100, 100)},
        {"NaN padding", layoutOf(ZoneGrid::uniform(1, 3), 0, std::nan("")), Rect(0, 0, 100, 100)},
        {"infinite spacing", layoutOf(ZoneGrid::uniform(1, 3), inf), Rect(0, 0, 100, 100)},
        {"null rectangle", layoutOf(halfCanvas), Rect::null()},
    };
    for (const Case& c : cases) EXPECT_TRUE(ZoneGeometry::zones(c.layout, c.rect).empty()) << c.name;
}

TEST(ZoneGeometry, HugeFiniteAreasNeverYieldNonFiniteZones) {
    for (const LayoutKind& kind : {LayoutKind(ZoneGrid::uniform(3, 3)), LayoutTemplate(LayoutTemplate::focus).kind(5),
                                   LayoutKind(rawGrid({1e308, 1e308}, {1}, {{0}, {1}}))}) {
        for (const Rect& rect : {Rect(-1.7e308, -1.7e308, 1.7e308, 1.7e308), Rect(1e308, 1e308, 1e308, 1e308)}) {
            for (const Zone& zone : ZoneGeometry::zones(layoutOf(kind, 8, 8), rect)) {
                EXPECT_TRUE(zone.rect.isFinite()) << zone.rect;
            }
        }
    }
}

TEST(ZoneGeometry, CanvasZonesScaleAndIgnoreSpacing) {
    const ZoneLayout layout = layoutOf(ZoneCanvas{Size{1920, 1080}, {Rect(0, 0, 960, 540)}}, 40, 0);
    EXPECT_EQ(ZoneGeometry::zones(layout, Rect(100, 50, 1920, 1080)), (std::vector<Zone>{{0, Rect(100, 50, 960, 540)}}));
    // Horizontal and vertical scales differ; rectangles are taken standardised; overlaps stay.
    const ZoneLayout stretched =
        layoutOf(ZoneCanvas{Size{100, 100}, {Rect(50, 50, -50, -50), Rect(25, 25, 50, 50)}}, 0, 10);
    EXPECT_EQ(ZoneGeometry::zones(stretched, Rect(0, 0, 220, 120)),
              (std::vector<Zone>{{0, Rect(10, 10, 100, 50)}, {1, Rect(60, 35, 100, 50)}}));
}

TEST(ZoneGeometry, GridsStoredBrokenStillLayOutSafely) {
    const Rect area(0, 0, 300, 100);
    // A stored number of 10^12 yields its one zone, without walking every number below it.
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(rawGrid({1}, {1, 2}, {{1'000'000'000'000, 0}})), area),
              (std::vector<Zone>{{0, Rect(100, 0, 200, 100)}, {1'000'000'000'000, Rect(0, 0, 100, 100)}}));
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(rawGrid({1}, {1}, {{std::numeric_limits<std::int64_t>::max()}})), area).size(), 1u);
    // Cells beyond the tracks: the zones reaching there are left out, the others stay.
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(rawGrid({1}, {1, 1}, {{0, 1, 1}, {2}})), area),
              (std::vector<Zone>{{0, Rect(0, 0, 150, 100)}}));
    // Negative numbers are no zones; gaps in the numbering are skipped.
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(rawGrid({1}, {1, 1, 1}, {{-1, 2, -3}})), area),
              (std::vector<Zone>{{2, Rect(100, 0, 100, 100)}}));
    // Weights that do not add up to anything: every span sits at the origin.
    EXPECT_EQ(ZoneGeometry::zones(layoutOf(rawGrid({0}, {-1, 1}, {{0, 1}})), area),
              (std::vector<Zone>{{0, Rect(0, 0, 0, 0)}, {1, Rect(0, 0, 0, 0)}}));
    EXPECT_TRUE(ZoneGeometry::zones(layoutOf(rawGrid({}, {}, {})), area).empty());
}

TEST(ZoneHitTest, PointsOnSharedEdgesBelongToTheZoneStartingThere) {
    const auto zones = ZoneGeometry::zones(layoutOf(ZoneGrid::uniform(1, 2)), Rect(0, 0, 200, 100));
    EXPECT_EQ(ZoneHitTest::zoneAt(Point{100, 50}, zones)->index, 1);
    EXPECT_EQ(ZoneHitTest::zoneAt(Point{0, 0}, zones)->index, 0);
    EXPECT_FALSE(ZoneHitTest::zoneAt(Point{200, 50}, zones));
    EXPECT_FALSE(ZoneHitTest::zoneAt(Point{50, 100}, zones));
    const auto spaced = ZoneGeometry::zones(layoutOf(ZoneGrid::uniform(1, 2), 10), Rect(0, 0, 210, 100));
    EXPECT_FALSE(ZoneHitTest::zoneAt(Point{105, 50}, spaced)) << "a point in the spacing is in no zone";
    EXPECT_FALSE(ZoneHitTest::zoneAt(Point{std::nan(""), 50}, spaced));
}

TEST(ZoneHitTest, InnermostZoneWinsAndTheFirstListedOnEqualAreas) {
    const auto zones = indexedZones({Rect(0, 0, 100, 100), Rect(40, 40, 20, 20), Rect(30, 30, 20, 20)});
    EXPECT_EQ(ZoneHitTest::zoneAt(Point{45, 45}, zones)->index, 1);
    EXPECT_EQ(ZoneHitTest::zoneAt(Point{35, 35}, zones)->index, 2);
    EXPECT_EQ(ZoneHitTest::zoneAt(Point{5, 5}, zones)->index, 0);
    EXPECT_FALSE(ZoneHitTest::zoneAt(Point{5, 5}, {}));

    EXPECT_EQ(ZoneHitTest::nearestZone(Point{1000, 1000}, zones)->index, 0);
    const auto twins = indexedZones({Rect(0, 0, 10, 10), Rect(20, 0, 10, 10)});
    EXPECT_EQ(ZoneHitTest::nearestZone(Point{15, 5}, twins)->index, 0);
    EXPECT_EQ(ZoneHitTest::nearestZone(Point{16, 5}, twins)->index, 1);
    EXPECT_FALSE(ZoneHitTest::nearestZone(Point{0, 0}, {}));
    EXPECT_EQ(ZoneHitTest::centre(Rect(10, 20, 30, -40)), (Point{25, 0}));
}

TEST(ZoneNavigation, MatchingPrefersACloseFrameOverTheZoneUnderTheCentre) {
    // Zone 1 lies under the centre of zone 0, but a frame within 4 points of zone 0 is zone 0.
    const auto zones = indexedZones({Rect(0, 0, 100, 100), Rect(40, 40, 20, 20), Rect(200, 0, 100, 100)});
    EXPECT_EQ(ZoneNavigation::zoneMatching(Rect(4, -4, 96, 104), zones)->index, 0);
    EXPECT_EQ(ZoneNavigation::zoneMatching(Rect(4.5, 0, 100, 100), zones)->index, 1);
    EXPECT_EQ(ZoneNavigation::zoneMatching(Rect(210, 10, 50, 50), zones)->index, 2);
    EXPECT_FALSE(ZoneNavigation::zoneMatching(Rect(500, 500, 10, 10), zones));
    EXPECT_EQ(ZoneNavigation::zoneMatching(Rect(4.5, 0, 100, 100), zones, 5.0)->index, 0);
}

TEST(ZoneNavigation, StepsWrapAroundInBothDirections) {
    // Listed out of order: stepping follows the zone numbers.
    std::vector<Zone> zones{{2, Rect(200, 0, 100, 100)}, {0, Rect(0, 0, 100, 100)},
                            {3, Rect(300, 0, 100, 100)}, {1, Rect(100, 0, 100, 100)}};
    const Rect inZone3(300, 0, 100, 100);
    const Rect inZone0(0, 0, 100, 100);
    const Rect nowhere(1000, 1000, 10, 10);
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    const std::int64_t small = std::numeric_limits<std::int64_t>::min();
    struct Case {
        Rect frame;
        std::int64_t step;
        std::int64_t expected;
    };
    // 2^63 - 1 is 3 more than a multiple of 4, and -2^63 a multiple of 4.
    for (const Case& c : {Case{inZone3, 1, 0}, Case{inZone3, -1, 2}, Case{inZone0, 5, 1}, Case{inZone0, 0, 0},
                          Case{nowhere, 1, 0}, Case{nowhere, 0, 0}, Case{nowhere, -1, 3}, Case{inZone3, big, 2},
                          Case{inZone3, small, 3}, Case{inZone0, -5, 3}}) {
        const auto next = ZoneNavigation::zoneAfter(c.frame, c.step, zones);
        ASSERT_TRUE(next) << c.step;
        EXPECT_EQ(next->index, c.expected) << c.frame << " step " << c.step;
    }
    EXPECT_FALSE(ZoneNavigation::zoneAfter(inZone0, 1, {}));
}
