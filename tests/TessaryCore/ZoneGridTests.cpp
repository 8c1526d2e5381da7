#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TessaryCore/ZoneGrid.h"
#include "TestSupport.h"

using namespace tessary;

namespace {

using Cells = std::vector<std::vector<std::int64_t>>;
using Axis = ZoneGrid::SplitAxis;
const double inf = std::numeric_limits<double>::infinity();

ZoneGrid quarters() { return ZoneGrid::uniform(2, 2); }

ZoneGrid decode(const char* text) { return ZoneGrid::fromJSON(json::parse(text)); }

}  // namespace

TEST(ZoneGrid, ValidationRunsItsChecksInOrder) {
    struct Case {
        const char* name;
        std::vector<double> rows, columns;
        Cells cells;
        ZoneGridError error;
    };
    const Case cases[] = {
        {"no rows", {}, {1}, {}, ZoneGridError::emptyGrid()},
        {"zero row weight, no columns", {0}, {}, {{}}, ZoneGridError::emptyGrid()},
        {"too few columns", {1}, {1, 1}, {{0}}, ZoneGridError::shapeMismatch()},
        {"too many cell rows", {1}, {1}, {{0}, {0}}, ZoneGridError::shapeMismatch()},
        {"zero weight", {1, 0}, {1}, {{0}, {1}}, ZoneGridError::nonPositiveWeight()},
        {"infinite weight", {1}, {inf}, {{0}}, ZoneGridError::nonPositiveWeight()},
        {"NaN weight", {1}, {std::nan("")}, {{0}}, ZoneGridError::nonPositiveWeight()},
        {"shape before weights", {-1}, {1}, {{0, 0}}, ZoneGridError::shapeMismatch()},
        {"crossed zones", {1, 1}, {1, 1}, {{0, 1}, {1, 0}}, ZoneGridError::zoneNotRectangular(0)},
        {"lowest broken zone reported", {1, 1}, {1, 1, 1}, {{0, 1, 2}, {1, 1, 3}}, ZoneGridError::zoneNotRectangular(1)},
        {"split zone", {1}, {1, 1, 1}, {{0, 1, 0}}, ZoneGridError::zoneNotRectangular(0)},
    };
    for (const Case& c : cases) {
        const auto grid = ZoneGrid::make(c.rows, c.columns, c.cells);
        ASSERT_FALSE(grid.hasValue()) << c.name;
        EXPECT_EQ(grid.error(), c.error) << c.name << ": " << grid.error().description();
    }
}

TEST(ZoneGrid, InitialiserRenumbersInReadingOrderAndKeepsIdenticalTracks) {
    const auto grid = ZoneGrid::make({1, 1}, {1, 1}, {{7, 7}, {3, 9}});
    ASSERT_TRUE(grid.hasValue());
    EXPECT_EQ(grid->cellZones, (Cells{{0, 0}, {1, 2}}));
    const auto negative = ZoneGrid::make({1}, {1, 1}, {{-5, std::numeric_limits<std::int64_t>::min()}});
    ASSERT_TRUE(negative.hasValue());
    EXPECT_EQ(negative->cellZones, (Cells{{0, 1}}));
    const auto single = ZoneGrid::make({1, 1}, {1, 1}, {{4, 4}, {4, 4}});
    ASSERT_TRUE(single.hasValue());
    EXPECT_EQ(single->rowCount(), 2);
    EXPECT_EQ(single->columnCount(), 2);
    EXPECT_EQ(single->zoneCount(), 1);
}

TEST(ZoneGrid, UniformAndCellBounds) {
    const ZoneGrid grid = ZoneGrid::uniform(2, 3);
    EXPECT_EQ(grid.cellZones, (Cells{{0, 1, 2}, {3, 4, 5}}));
    EXPECT_EQ(grid.rowWeights, (std::vector<double>{1, 1}));
    EXPECT_EQ(grid.columnWeights, (std::vector<double>{1, 1, 1}));
    const auto tall = *ZoneGrid::make({1, 1, 1}, {1, 1}, {{0, 1}, {0, 2}, {0, 3}});
    EXPECT_EQ(tall.cellBounds(0), (ZoneGrid::CellBounds{{0, 2}, {0, 0}}));
    EXPECT_EQ(tall.cellBounds(3), (ZoneGrid::CellBounds{{2, 2}, {1, 1}}));
    EXPECT_FALSE(tall.cellBounds(4).has_value());
}

TEST(ZoneGrid, ZoneCountNeverOverflows) {
    EXPECT_EQ(rawGrid({1}, {1, 1}, {{0, 1'000'000'000'000}}).zoneCount(), 1'000'000'000'001);
    EXPECT_EQ(rawGrid({1}, {1}, {{std::numeric_limits<std::int64_t>::max()}}).zoneCount(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(rawGrid({1}, {1}, {{-7}}).zoneCount(), 0);
    EXPECT_EQ(ZoneGrid().zoneCount(), 0);
}

TEST(ZoneGrid, MergeOnQuarters) {
    struct Case {
        std::set<std::int64_t> zones;
        std::optional<Cells> cells;  // nothing: refused
        std::int64_t result;
        std::optional<ZoneGridError> error;
    };
    const Case cases[] = {
        {{0, 1}, Cells{{0, 0}, {1, 2}}, 0, {}},
        {{1, 3}, Cells{{0, 1}, {2, 1}}, 1, {}},
        {{2, 3}, Cells{{0, 1}, {2, 2}}, 2, {}},
        {{3}, Cells{{0, 1}, {2, 3}}, 3, {}},
        {{0, 3}, {}, 0, ZoneGridError::mergeNotRectangular()},
        {{}, {}, 0, ZoneGridError::mergeNotRectangular()},
        {{0, 9}, {}, 0, ZoneGridError::unknownZone(9)},
    };
    for (const Case& c : cases) {
        ZoneGrid grid = quarters();
        const auto merged = grid.merge(c.zones);
        if (c.error) {
            ASSERT_FALSE(merged.hasValue());
            EXPECT_EQ(merged.error(), *c.error);
            EXPECT_EQ(grid, quarters()) << "a failed merge must leave the grid as it was";
        } else {
            ASSERT_TRUE(merged.hasValue());
            EXPECT_EQ(*merged, c.result);
            EXPECT_EQ(grid.cellZones, *c.cells);
        }
    }
    ZoneGrid all = quarters();
    EXPECT_EQ(*all.merge({0, 1, 2, 3}), 0);
    EXPECT_EQ(all, rawGrid({2}, {2}, {{0}}));
}

TEST(ZoneGrid, MergeCollapsesAndRenumbers) {
    // Merging the right-hand column makes the first two rows identical: they collapse.
    ZoneGrid grid = *ZoneGrid::make({1, 1, 1}, {1, 1}, {{0, 1}, {0, 2}, {3, 4}});
    EXPECT_EQ(*grid.merge({2, 4, 1}), 1);
    EXPECT_EQ(grid, rawGrid({2, 1}, {1, 1}, {{0, 1}, {2, 1}}));
    ZoneGrid rows = *ZoneGrid::make({1, 3}, {1, 1}, {{0, 1}, {2, 3}});
    EXPECT_EQ(*rows.merge({1, 3}), 1);
    EXPECT_EQ(*rows.merge({0, 2}), 0);
    EXPECT_EQ(rows, rawGrid({4}, {1, 1}, {{0, 1}}));
    // A grid read with its own numbering: merging one zone still renumbers, and the result is the
    // zone's new number.
    ZoneGrid stored = rawGrid({1}, {1, 1}, {{1, 0}});
    EXPECT_EQ(*stored.merge({1}), 0);
    EXPECT_EQ(stored.cellZones, (Cells{{0, 1}}));
}

TEST(ZoneGrid, Split) {
    ZoneGrid single = ZoneGrid::uniform(1, 1);
    EXPECT_EQ(*single.split(0, Axis::horizontal, 0.25), 1);
    EXPECT_EQ(single, rawGrid({0.25, 0.75}, {1}, {{0}, {1}}));

    // A cut on an existing boundary adds no track.
    ZoneGrid tall = *ZoneGrid::make({1, 1}, {1, 1}, {{0, 1}, {0, 2}});
    EXPECT_EQ(*tall.split(0, Axis::horizontal, 0.5), 2);
    EXPECT_EQ(tall, rawGrid({1, 1}, {1, 1}, {{0, 1}, {2, 3}}));

    ZoneGrid wide = ZoneGrid::uniform(2, 1);
    EXPECT_EQ(*wide.split(1, Axis::vertical, 0.75), 2);
    EXPECT_EQ(wide, rawGrid({1, 1}, {0.75, 0.25}, {{0, 0}, {1, 2}}));

    // The new part of a zone in the middle of the reading order takes the number after it.
    ZoneGrid three = ZoneGrid::uniform(1, 3);
    EXPECT_EQ(*three.split(1, Axis::horizontal, 0.5), 3);
    EXPECT_EQ(three.cellZones, (Cells{{0, 1, 2}, {0, 3, 2}}));
}

TEST(ZoneGrid, SplitRefusalsLeaveTheGridAlone) {
    struct Case {
        std::int64_t zone;
        double fraction;
        ZoneGridError error;
    };
    const Case cases[] = {
        {9, 0, ZoneGridError::invalidFraction()},
        {0, 1, ZoneGridError::invalidFraction()},
        {9, std::nan(""), ZoneGridError::invalidFraction()},
        {9, 0.5, ZoneGridError::unknownZone(9)},
        // Within 1e-9 of the zone's own edges the cut would move the whole zone or nothing.
        {0, 1e-12, ZoneGridError::invalidFraction()},
        {3, 1 - 1e-12, ZoneGridError::invalidFraction()},
    };
    for (const Case& c : cases) {
        for (Axis axis : {Axis::horizontal, Axis::vertical}) {
            ZoneGrid grid = quarters();
            const auto result = grid.split(c.zone, axis, c.fraction);
            ASSERT_FALSE(result.hasValue()) << c.zone << " " << c.fraction;
            EXPECT_EQ(result.error(), c.error);
            EXPECT_EQ(grid, quarters());
        }
    }
}

TEST(ZoneGrid, DividersOfTheExamples) {
    using Segment = ZoneGrid::DividerSegment;
    EXPECT_EQ(quarters().dividers(), (std::vector<Segment>{{Axis::horizontal, 1.0, {0, 0}, {0, 2}},
                                                            {Axis::horizontal, 1.0, {1, 1}, {0, 2}},
                                                            {Axis::vertical, 1.0, {0, 0}, {0, 2}},
                                                            {Axis::vertical, 1.0, {1, 1}, {0, 2}}}));
    const auto tall = *ZoneGrid::make({1, 1}, {1, 1}, {{0, 1}, {0, 2}});
    EXPECT_EQ(tall.dividers(), (std::vector<Segment>{{Axis::horizontal, 1.0, {1, 1}, {0, 2}},
                                                      {Axis::vertical, 1.0, {0, 1}, {0, 2}}}));
    // Travel stops at the near edge of the zones before the boundary and the far edge of those after.
    const auto steps = *ZoneGrid::make({1, 2, 3}, {1, 1}, {{0, 1}, {0, 2}, {3, 2}});
    EXPECT_EQ(steps.dividers(), (std::vector<Segment>{{Axis::horizontal, 1.0, {1, 1}, {0, 6}},
                                                       {Axis::horizontal, 3.0, {0, 0}, {0, 6}},
                                                       {Axis::vertical, 1.0, {0, 2}, {0, 2}}}));
    EXPECT_TRUE(ZoneGrid::uniform(1, 1).dividers().empty());
}

TEST(ZoneGrid, MoveDivider) {
    const ZoneGrid start = *ZoneGrid::make({1, 1}, {1}, {{0}, {1}});
    const ZoneGrid::DividerSegment segment{Axis::horizontal, 1.0, {0, 0}, {0, 2}};
    ASSERT_EQ(start.dividers(), std::vector{segment});

    ZoneGrid grid = start;
    ASSERT_TRUE(grid.moveDivider(segment, 1.5).hasValue());
    EXPECT_EQ(grid, rawGrid({1.5, 0.5}, {1}, {{0}, {1}}));

    for (double bad : {2.0, 0.0, 2.0 - 1e-10, std::nan(""), -inf}) {
        ZoneGrid g = start;
        const auto moved = g.moveDivider(segment, bad);
        ASSERT_FALSE(moved.hasValue()) << bad;
        EXPECT_EQ(moved.error(), ZoneGridError::invalidFraction());
        EXPECT_EQ(g, start);
    }
    ZoneGrid still = start;
    ASSERT_TRUE(still.moveDivider(segment, 1.0 + 1e-10).hasValue());
    EXPECT_EQ(still, start);

    // A segment from an older state of the grid no longer matches.
    const auto stale = grid.moveDivider(segment, 1.2);
    ASSERT_FALSE(stale.hasValue());
    EXPECT_EQ(stale.error(), ZoneGridError::unknownDivider());
    EXPECT_EQ(grid, rawGrid({1.5, 0.5}, {1}, {{0}, {1}}));
}

TEST(ZoneGrid, MoveDividerRunsTheCellsOverToTheGrowingSide) {
    // The left half of the vertical boundary of the quarters moves left: zone 1 grows into row 0.
    ZoneGrid grid = quarters();
    ASSERT_TRUE(grid.moveDivider({Axis::vertical, 1.0, {0, 0}, {0, 2}}, 0.5).hasValue());
    EXPECT_EQ(grid, rawGrid({1, 1}, {0.5, 0.5, 1}, {{0, 1, 1}, {2, 2, 3}}));

    // The cut part of the passed-over track joins the zone before the divider; the duplicate rows collapse.
    ZoneGrid rows = *ZoneGrid::make({1, 1, 1}, {1}, {{0}, {1}, {2}});
    ASSERT_TRUE(rows.moveDivider({Axis::horizontal, 2.0, {0, 0}, {1, 3}}, 2.5).hasValue());
    EXPECT_EQ(rows, rawGrid({1, 1.5, 0.5}, {1}, {{0}, {1}, {2}}));
    ZoneGrid shifted = *ZoneGrid::make({1, 1}, {1, 1}, {{0, 1}, {2, 3}});
    ASSERT_TRUE(shifted.moveDivider({Axis::horizontal, 1.0, {1, 1}, {0, 2}}, 0.5).hasValue());
    EXPECT_EQ(shifted, rawGrid({0.5, 0.5, 1}, {1, 1}, {{0, 1}, {0, 3}, {2, 3}}));
}

TEST(ZoneGrid, Resize) {
    ZoneGrid grid = *ZoneGrid::make({1, 3}, {1}, {{0}, {1}});
    ASSERT_TRUE(grid.resizeRows(0, 0.5).hasValue());
    EXPECT_EQ(grid.rowWeights, (std::vector<double>{2, 2}));
    const ZoneGrid before = grid;
    EXPECT_EQ(grid.resizeRows(1, 0.5).error(), ZoneGridError::unknownZone(1));
    EXPECT_EQ(grid.resizeRows(-1, 0.5).error(), ZoneGridError::unknownZone(-1));
    EXPECT_EQ(grid.resizeColumns(0, 0.5).error(), ZoneGridError::unknownZone(0));
    EXPECT_EQ(grid.resizeRows(0, 1.0).error(), ZoneGridError::invalidFraction());
    EXPECT_EQ(grid, before);

    // Weights so large that their sum overflows would leave an infinite weight behind.
    ZoneGrid huge = *ZoneGrid::make({1e308, 1e308}, {1}, {{0}, {1}});
    const ZoneGrid hugeBefore = huge;
    EXPECT_EQ(huge.resizeRows(0, 0.5).error(), ZoneGridError::nonPositiveWeight());
    EXPECT_EQ(huge, hugeBefore);
}

TEST(ZoneGrid, DecodingKeepsBrokenGridsAsStoredAndCollapsesValidOnes) {
    EXPECT_EQ(decode(R"({"rowWeights":[1],"columnWeights":[1,1],"cellZones":[[1,0]]})"), rawGrid({1}, {1, 1}, {{1, 0}}));
    EXPECT_EQ(decode(R"({"rowWeights":[1],"columnWeights":[1,1],"cellZones":[[0,2]]})"), rawGrid({1}, {1, 1}, {{0, 2}}));
    EXPECT_EQ(decode(R"({"rowWeights":[0,1],"columnWeights":[1],"cellZones":[[0],[0]]})"),
              rawGrid({0, 1}, {1}, {{0}, {0}}));
    EXPECT_EQ(decode(R"({"rowWeights":[1,1],"columnWeights":[1],"cellZones":[[0],[0]]})"), rawGrid({2}, {1}, {{0}}));
    EXPECT_EQ(decode(R"({"rowWeights":[1],"columnWeights":[1],"cellZones":[[0,0,0],[1]]})"),
              rawGrid({1}, {1}, {{0, 0, 0}, {1}}));
    for (const char* bad : {R"({"rowWeights":[1],"columnWeights":[1]})", R"({"rowWeights":[1],"columnWeights":[1],"cellZones":[[0.5]]})",
                            R"({"rowWeights":[true],"columnWeights":[1],"cellZones":[[0]]})",
                            R"({"rowWeights":[1],"columnWeights":[1],"cellZones":[0]})", "[]"}) {
        EXPECT_THROW(decode(bad), json::DecodingError) << bad;
    }
}

TEST(ZoneGrid, JSONRoundTripAndNonFiniteWeightsAreRefused) {
    const ZoneGrid grid = *ZoneGrid::make({1.618, 1}, {0.25, 3}, {{0, 1}, {2, 1}});
    EXPECT_EQ(ZoneGrid::fromJSON(json::parse(json::dumpCompact(grid.toJSON()))), grid);
    EXPECT_EQ(json::dumpCompact(ZoneGrid::uniform(1, 2).toJSON()),
              R"({"cellZones":[[0,1]],"columnWeights":[1.0,1.0],"rowWeights":[1.0]})");
    EXPECT_THROW((void)rawGrid({inf}, {1}, {{0}}).toJSON(), json::EncodingError);
    EXPECT_THROW((void)rawGrid({1}, {std::nan("")}, {{0}}).toJSON(), json::EncodingError);
}

TEST(ZoneGrid, EditsRefuseGridsOfBrokenShapeWithoutTouchingThem) {
    const ZoneGrid broken[] = {
        rawGrid({1}, {1}, {{0, 1, 2, 3}, {4}}),          // ragged, more cells than tracks
        rawGrid({1, 1}, {1, 1}, {{0, 1}}),                // fewer cell rows than row weights
        rawGrid({1, 1}, {1, 1}, {{0, 1}, {2}}),           // a short row
        rawGrid({0, 1}, {1}, {{0}, {1}}),                 // a zero weight
        rawGrid({}, {}, {}),
    };
    for (const ZoneGrid& original : broken) {
        ZoneGrid grid = original;
        EXPECT_FALSE(grid.merge({0, 1}).hasValue());
        EXPECT_FALSE(grid.split(0, Axis::horizontal, 0.5).hasValue());
        EXPECT_FALSE(grid.split(0, Axis::vertical, 0.5).hasValue());
        EXPECT_TRUE(grid.dividers().empty());
        EXPECT_FALSE(grid.moveDivider({Axis::horizontal, 1.0, {0, 0}, {0, 2}}, 1.5).hasValue());
        EXPECT_FALSE(grid.moveDivider({Axis::vertical, 1.0, {0, 0}, {0, 2}}, 1.5).hasValue());
        EXPECT_FALSE(grid.resizeRows(0, 0.5).hasValue());
        EXPECT_FALSE(grid.resizeColumns(0, 0.5).hasValue());
        EXPECT_EQ(grid, original);
        EXPECT_TRUE(grid.validationError().has_value());
    }
}

TEST(ZoneGrid, EditsWorkOnWellShapedGridsWithStoredNumbers) {
    // Huge and negative numbers in a grid of valid shape: nothing walks the numbers themselves.
    ZoneGrid grid = rawGrid({1, 1}, {1, 1}, {{std::numeric_limits<std::int64_t>::max(), -4}, {1'000'000'000'000, -4}});
    EXPECT_EQ(*grid.split(std::numeric_limits<std::int64_t>::max(), Axis::vertical, 0.5), 1);
    EXPECT_EQ(grid.cellZones, (Cells{{0, 1, 2}, {3, 3, 2}}));
    EXPECT_FALSE(grid.validationError().has_value());
    ZoneGrid other = rawGrid({1, 1}, {1, 1}, {{5, -4}, {1'000'000'000'000, -4}});
    EXPECT_EQ(*other.merge({5, 1'000'000'000'000}), 0);
    EXPECT_EQ(other, rawGrid({2}, {1, 1}, {{0, 1}}));
}

