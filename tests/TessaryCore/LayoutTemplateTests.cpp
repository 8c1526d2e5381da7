#include <gtest/gtest.h>

#include <limits>

#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneLayout.h"

using namespace tessary;

namespace {

using Cells = std::vector<std::vector<std::int64_t>>;

ZoneGrid gridOf(LayoutTemplate t, std::int64_t n) {
    const LayoutKind kind = t.kind(n);
    EXPECT_TRUE(kind.isGrid()) << t.rawValue() << " " << n;
    return kind.isGrid() ? *kind.grid() : ZoneGrid();
}

std::vector<Rect> focusRects(std::int64_t n) { return LayoutTemplate(LayoutTemplate::focus).kind(n).canvas()->zones; }

}  // namespace

TEST(LayoutTemplate, FocusCascadesCentredRectangles) {
    EXPECT_EQ(focusRects(1), (std::vector<Rect>{Rect(384, 216, 1152, 648)}));
    EXPECT_EQ(focusRects(3),
              (std::vector<Rect>{Rect(288, 162, 1152, 648), Rect(384, 216, 1152, 648), Rect(480, 270, 1152, 648)}));
    const auto nine = focusRects(9);
    EXPECT_EQ(nine.front(), Rect(0, 0, 1152, 648));
    EXPECT_EQ(nine.back().maxX(), 1920);
    EXPECT_EQ(nine.back().maxY(), 1080);
    EXPECT_LT(focusRects(10).front().x(), 0) << "beyond nine the cascade leaves the reference area unclipped";
    EXPECT_EQ(LayoutTemplate(LayoutTemplate::focus).kind(2).canvas()->referenceSize, (Size{1920, 1080}));
}

TEST(LayoutTemplate, GridBodies) {
    struct Case {
        LayoutTemplate t;
        std::int64_t n;
        std::vector<double> rows, columns;
        Cells cells;
    };
    const LayoutTemplate grid = LayoutTemplate::grid;
    const LayoutTemplate priority = LayoutTemplate::priorityGrid;
    const Case cases[] = {
        {LayoutTemplate::columns, 3, {1}, {1, 1, 1}, {{0, 1, 2}}},
        {LayoutTemplate::columns, 0, {1}, {1}, {{0}}},
        {LayoutTemplate::columns, -7, {1}, {1}, {{0}}},
        {LayoutTemplate::rows, 3, {1, 1, 1}, {1}, {{0}, {1}, {2}}},
        {grid, 1, {1}, {1}, {{0}}},
        {grid, 2, {1}, {1, 1}, {{0, 1}}},
        {grid, 3, {1}, {1, 1, 1}, {{0, 1, 2}}},
        {grid, 4, {1, 1}, {1, 1}, {{0, 1}, {2, 3}}},
        {grid, 5, {1, 1}, std::vector<double>(6, 1.0), {{0, 0, 1, 1, 2, 2}, {3, 3, 3, 4, 4, 4}}},
        {grid, 6, {1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}}},
        {grid, 8, {1, 1}, {1, 1, 1, 1}, {{0, 1, 2, 3}, {4, 5, 6, 7}}},
        {grid, 9, {1, 1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}},
        {grid, 10, {1, 1, 1}, std::vector<double>(12, 1.0),
         {{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3},
          {4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6},
          {7, 7, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9}}},
        {grid, 12, {1, 1, 1}, {1, 1, 1, 1}, {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}}},
        {priority, 1, {1}, {1}, {{0}}},
        {priority, 2, {1}, {3, 2}, {{0, 1}}},
        {priority, 3, {1}, {1, 2, 1}, {{0, 1, 2}}},
        {priority, 4, {1, 1}, {1, 2, 1}, {{0, 1, 2}, {0, 1, 3}}},
        {priority, 5, {1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}},
        {priority, 6, {1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 4, 5}}},
    };
    for (const Case& c : cases) {
        const ZoneGrid g = gridOf(c.t, c.n);
        EXPECT_EQ(g.rowWeights, c.rows) << c.t.rawValue() << " " << c.n;
        EXPECT_EQ(g.columnWeights, c.columns) << c.t.rawValue() << " " << c.n;
        EXPECT_EQ(g.cellZones, c.cells) << c.t.rawValue() << " " << c.n;
    }
    // Leftover zones go to the first rows; every row spans all the columns.
    const ZoneGrid seven = gridOf(grid, 7);
    EXPECT_EQ(seven.columnCount(), 12);
    EXPECT_EQ(seven.cellZones[0], (std::vector<std::int64_t>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(seven.cellZones[1], (std::vector<std::int64_t>{4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6}));
    const ZoneGrid ten = gridOf(grid, 10);
    EXPECT_EQ(ten.rowCount(), 3);
    EXPECT_EQ(ten.columnCount(), 12);
    EXPECT_EQ(ten.cellZones[2].front(), 7);
    EXPECT_EQ(priority.kind(7), grid.kind(7));
    EXPECT_EQ(LayoutTemplate(LayoutTemplate::blank).kind(5), LayoutKind(ZoneCanvas{Size{1920, 1080}, {}}));
}

TEST(LayoutTemplate, EveryCountBuildsValidBodiesOfThatManyZones) {
    for (const LayoutTemplate t : LayoutTemplate::allCases) {
        for (std::int64_t n = 1; n <= LayoutTemplate::maximumZoneCount; ++n) {
            const LayoutKind kind = t.kind(n);
            const std::int64_t expected = t == LayoutTemplate::blank ? 0 : n;
            if (const ZoneGrid* g = kind.grid()) {
                ASSERT_FALSE(g->validationError()) << t.rawValue() << " " << n;
                ASSERT_EQ(g->zoneCount(), expected) << t.rawValue() << " " << n;
            } else {
                ASSERT_EQ(static_cast<std::int64_t>(kind.canvas()->zones.size()), expected) << t.rawValue() << " " << n;
            }
        }
    }
}

TEST(LayoutTemplate, NewLayoutsAreNamedAfterTheirTemplateAndBounded) {
    const ZoneLayout rows(LayoutTemplate::rows, 0);
    EXPECT_EQ(rows.name, "Rows");
    EXPECT_EQ(rows.zoneCount(), 1);
    EXPECT_TRUE(rows.modifiedAt().isWholeMilliseconds());
    EXPECT_EQ(ZoneLayout(LayoutTemplate::grid, 4, "").name, "") << "an empty name counts as given";
    const ZoneLayout huge(LayoutTemplate::columns, 5'000'000);
    EXPECT_EQ(huge.zoneCount(), LayoutTemplate::maximumZoneCount);
    EXPECT_EQ(huge.origin->zoneCount, 5'000'000) << "the origin keeps the count as given";
}

TEST(LayoutTemplate, NamesAndStoredForm) {
    struct Case {
        LayoutTemplate t;
        const char* raw;
        const char* name;
    };
    const Case cases[] = {
        {LayoutTemplate::focus, "focus", "Focus"},
        {LayoutTemplate::columns, "columns", "Columns"},
        {LayoutTemplate::rows, "rows", "Rows"},
        {LayoutTemplate::grid, "grid", "Grid"},
        {LayoutTemplate::priorityGrid, "priorityGrid", "Priority Grid"},
        {LayoutTemplate::blank, "blank", "Blank"},
    };
    ASSERT_EQ(LayoutTemplate::allCases.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(LayoutTemplate(LayoutTemplate::allCases[i]), c.t) << "declaration order";
        EXPECT_EQ(c.t.displayName(), c.name);
        EXPECT_EQ(c.t.toJSON(), json::Json(c.raw));
        EXPECT_EQ(LayoutTemplate::fromJSON(json::Json(c.raw)), c.t);
    }
    for (const char* bad : {"Grid", "priority-grid", ""}) {
        EXPECT_THROW(LayoutTemplate::fromJSON(json::Json(bad)), json::DecodingError) << bad;
    }
}
