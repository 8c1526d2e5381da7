#include <gtest/gtest.h>

#include <array>
#include <set>
#include <tuple>
#include <variant>

#include "TessaryCore/DisplayClass.h"
#include "TessaryCore/LayoutPreset.h"

using namespace tessary;

namespace {

using Classes = std::set<DisplayClass>;

std::vector<std::string> ids(const std::vector<LayoutPreset>& presets) {
    std::vector<std::string> out;
    for (const LayoutPreset& p : presets) out.push_back(p.id());
    return out;
}

}  // namespace

TEST(DisplayClass, ClassifiesWorkAreasByShapeSizeAndPanel) {
    using D = DisplayClass;
    struct Case {
        bool builtIn;
        Size size;
        Classes classes;
    };
    const Case cases[] = {
        {false, {1920, 1080}, {D::standard}},
        {false, {2560, 1415}, {D::standard, D::large}},
        {false, {3440, 1415}, {D::ultrawide, D::large}},
        {false, {5120, 1415}, {D::superUltrawide, D::large}},
        {false, {1080, 1895}, {D::portrait}},
        {true, {1512, 949}, {D::laptop}},
        {true, {949, 1512}, {D::laptop, D::portrait}},
        {true, {3024, 1964}, {D::laptop, D::large}},
        // The boundaries as written: 1.0 is not portrait, 2.2 is ultrawide, 3.0 super-ultrawide.
        {false, {1000, 1000}, {D::standard}},
        {false, {2200, 1000}, {D::ultrawide}},
        {false, {3000, 1000}, {D::superUltrawide}},
        {false, {3500, 1000}, {D::superUltrawide, D::large}},
        {false, {0, 1080}, {}},
        {false, {1920, -1}, {}},
        {true, {std::nan(""), 1080}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayClass::displayClasses(c.builtIn, c.size), c.classes) << c.size << " built-in " << c.builtIn;
    }
}

TEST(DisplayClass, NamesAndGroupTitles) {
    using D = DisplayClass;
    const std::pair<const char*, const char*> classes[] = {
        {"standard", "Standard (16:9)"}, {"ultrawide", "Ultrawide (21:9)"},
        {"superUltrawide", "Super ultrawide (32:9)"}, {"laptop", "Laptop screen"},
        {"portrait", "Portrait"}, {"large", "4K / 5K"},
    };
    ASSERT_EQ(D::allCases.size(), std::size(classes));
    for (std::size_t i = 0; i < std::size(classes); ++i) {
        const D c = D::allCases[i];
        EXPECT_EQ(c.rawValue(), classes[i].first);
        EXPECT_EQ(c.displayName(), classes[i].second);
        EXPECT_EQ(D::fromJSON(json::Json(classes[i].first)), c);
    }
    EXPECT_EQ(D::fromRawValue("Standard"), std::nullopt);
    EXPECT_THROW(D::fromJSON(json::Json("4k")), json::DecodingError);

    using G = LayoutPreset::Group;
    const std::tuple<const char*, const char*, Classes> groups[] = {
        {"standard", "Standard monitors", {D::standard}},
        {"ultrawide", "Ultrawide", {D::ultrawide}},
        {"superUltrawide", "Super ultrawide", {D::superUltrawide}},
        {"laptop", "Laptop", {D::laptop}},
        {"portrait", "Portrait", {D::portrait}},
        {"large", "4K / 5K", {D::large}},
        {"focus", "Focus & media", {D::standard, D::ultrawide, D::superUltrawide, D::laptop, D::large}},
    };
    ASSERT_EQ(G::allCases.size(), std::size(groups));
    for (std::size_t i = 0; i < std::size(groups); ++i) {
        const G g = G::allCases[i];
        const auto& [raw, title, served] = groups[i];
        EXPECT_EQ(g.rawValue(), raw);
        EXPECT_EQ(G::fromRawValue(raw), g);
        EXPECT_EQ(g.title(), title);
        EXPECT_EQ(g.displayClasses(), served) << raw;
    }
    EXPECT_EQ(G::fromRawValue("Focus"), std::nullopt);
}

// Every row of the table as written: identifier, name, summary, group, and the body, grids with their
// zones renumbered in reading order and canvases as unit rectangles with their scaled values.
TEST(LayoutPreset, EveryRowOfTheTable) {
    using G = LayoutPreset::Group;
    using Cells = std::vector<std::vector<std::int64_t>>;
    struct Grid {
        std::vector<double> rows, columns;
        Cells cells;
    };
    struct Canvas {
        std::vector<std::array<double, 4>> units, scaled;
    };
    struct Row {
        std::string id, name, summary;
        G group;
        std::variant<Grid, Canvas> body;
    };
    const Row rows[] = {
        {"halves", "Halves", "Two equal columns.", G::standard, Grid{{1}, {1, 1}, {{0, 1}}}},
        {"thirds", "Thirds", "Three equal columns.", G::standard, Grid{{1}, {1, 1, 1}, {{0, 1, 2}}}},
        {"main-sidebar", "Main + Sidebar", "Two thirds for the main app, a third for chat or notes.", G::standard,
         Grid{{1}, {2, 1}, {{0, 1}}}},
        {"sidebar-main", "Sidebar + Main", "The mirror image: narrow left, wide right.", G::standard,
         Grid{{1}, {1, 2}, {{0, 1}}}},
        {"golden", "Golden Ratio", "Columns split 62 / 38, easy on the eye.", G::standard,
         Grid{{1}, {1.618, 1}, {{0, 1}}}},
        {"quarters", "Quarters", "A 2 × 2 grid.", G::standard, Grid{{1, 1}, {1, 1}, {{0, 1}, {2, 3}}}},
        {"main-stacked", "Main + Two Stacked", "Big window left, two smaller ones stacked right.", G::standard,
         Grid{{1, 1}, {2, 1}, {{0, 1}, {0, 2}}}},
        {"stacked-main", "Two Stacked + Main", "Two small windows left, big one right.", G::standard,
         Grid{{1, 1}, {1, 2}, {{0, 1}, {2, 1}}}},
        {"top-bottom", "Top + Bottom", "Two rows, e.g. editor above terminal.", G::standard,
         Grid{{1, 1}, {1}, {{0}, {1}}}},
        {"six-pack", "Six Pack", "Three columns by two rows.", G::standard,
         Grid{{1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}}}},
        {"uw-center-stage", "Center Stage", "Wide centre zone with a column either side.", G::ultrawide,
         Grid{{1}, {1, 2, 1}, {{0, 1, 2}}}},
        {"uw-center-stacks", "Center + Stacked Sides", "Centre stays tall; each side splits top and bottom.",
         G::ultrawide, Grid{{1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}}},
        {"uw-thirds", "Ultrawide Thirds", "Three generous columns.", G::ultrawide, Grid{{1}, {1, 1, 1}, {{0, 1, 2}}}},
        {"uw-four", "Four Columns", "Four equal columns.", G::ultrawide, Grid{{1}, {1, 1, 1, 1}, {{0, 1, 2, 3}}}},
        {"uw-main-two-cols", "Main + Two Columns", "Half for the main app, two quarter columns beside it.",
         G::ultrawide, Grid{{1}, {2, 1, 1}, {{0, 1, 2}}}},
        {"suw-two-monitors", "Two Monitors", "Treat the panel as two 16:9 screens.", G::superUltrawide,
         Grid{{1}, {1, 1}, {{0, 1}}}},
        {"suw-two-monitors-split", "Two Monitors, Each Split", "Four columns: both halves split again.",
         G::superUltrawide, Grid{{1}, {1, 1, 1, 1}, {{0, 1, 2, 3}}}},
        {"suw-triple-stacks", "Triple with Stacked Sides", "Tall centre, stacked zones on both sides (five zones).",
         G::superUltrawide, Grid{{1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}}},
        {"suw-command-center", "Command Center", "Wide centre plus 2 × 2 quads on each side (nine zones).",
         G::superUltrawide, Grid{{1, 1}, {1, 1, 2, 1, 1}, {{0, 1, 2, 3, 4}, {5, 6, 2, 7, 8}}}},
        {"suw-monitor-and-quads", "Monitor + Quads", "Left half as one screen, right half as four quadrants.",
         G::superUltrawide, Grid{{1, 1}, {2, 1, 1}, {{0, 1, 2}, {0, 3, 4}}}},
        {"suw-six", "Six Across", "Six columns for many narrow windows.", G::superUltrawide,
         Grid{{1}, {1, 1, 1, 1, 1, 1}, {{0, 1, 2, 3, 4, 5}}}},
        {"suw-eight", "Eight Zones", "Four columns by two rows.", G::superUltrawide,
         Grid{{1, 1}, {1, 1, 1, 1}, {{0, 1, 2, 3}, {4, 5, 6, 7}}}},
        {"laptop-focus", "Laptop Focus", "One zone with a little breathing room.", G::laptop,
         Canvas{{{0.04, 0.04, 0.92, 0.92}}, {{76.8, 43.2, 1766.4, 993.6}}}},
        {"laptop-split", "Laptop Split", "Two columns, 55 / 45.", G::laptop, Grid{{1}, {11, 9}, {{0, 1}}}},
        {"laptop-main-notes", "Main + Notes", "70 / 30 for an app and a notes window.", G::laptop,
         Grid{{1}, {7, 3}, {{0, 1}}}},
        {"laptop-overlap", "Overlapping Pair", "Two large zones that overlap in the middle.", G::laptop,
         Canvas{{{0, 0, 0.62, 1}, {0.38, 0, 0.62, 1}}, {{0, 0, 1190.4, 1080}, {729.6, 0, 1190.4, 1080}}}},
        {"portrait-halves", "Portrait Halves", "Top and bottom.", G::portrait, Grid{{1, 1}, {1}, {{0}, {1}}}},
        {"portrait-thirds", "Portrait Thirds", "Three stacked rows.", G::portrait,
         Grid{{1, 1, 1}, {1}, {{0}, {1}, {2}}}},
        {"portrait-main-bottom", "Main + Bottom", "Two thirds on top, a third below.", G::portrait,
         Grid{{2, 1}, {1}, {{0}, {1}}}},
        {"portrait-top-main", "Top + Main", "A third on top, two thirds below.", G::portrait,
         Grid{{1, 2}, {1}, {{0}, {1}}}},
        {"large-nine", "Nine Grid", "A 3 × 3 grid.", G::large,
         Grid{{1, 1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}}},
        {"large-main-four", "Main + Four", "Big window left, 2 × 2 quadrants right.", G::large,
         Grid{{1, 1}, {3, 1, 1}, {{0, 1, 2}, {0, 3, 4}}}},
        {"large-dev", "Developer Triptych", "Editor full height left; browser above terminal right.", G::large,
         Grid{{3, 2}, {1, 1}, {{0, 1}, {0, 2}}}},
        {"large-centered-main", "Centered Main + Wings", "Wide centre with two stacked zones on each side.", G::large,
         Grid{{1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}}},
        {"reading-column", "Reading Column", "One centred column, 56 % wide, for writing or reading.", G::focus,
         Canvas{{{0.22, 0, 0.56, 1}}, {{422.4, 0, 1075.2, 1080}}}},
        {"centered-pair", "Centered Pair", "Two columns in the middle of the screen, margins either side.", G::focus,
         Canvas{{{0.08, 0, 0.41, 1}, {0.51, 0, 0.41, 1}}, {{153.6, 0, 787.2, 1080}, {979.2, 0, 787.2, 1080}}}},
        {"pip", "Picture in Picture", "Full-screen zone plus a small corner zone for a video or chat.", G::focus,
         Canvas{{{0, 0, 1, 1}, {0.7, 0.7, 0.28, 0.28}}, {{0, 0, 1920, 1080}, {1344, 756, 537.6, 302.4}}}},
        {"presenter", "Presenter", "Wide stage zone and a narrow notes column.", G::focus, Grid{{1}, {4, 1}, {{0, 1}}}},
    };
    const auto& all = LayoutPreset::all();
    ASSERT_EQ(all.size(), std::size(rows));
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Row& row = rows[i];
        const LayoutPreset& preset = all[i];
        SCOPED_TRACE(row.id);
        EXPECT_EQ(preset.id(), row.id);
        EXPECT_EQ(preset.name(), row.name);
        EXPECT_EQ(preset.summary(), row.summary);
        EXPECT_EQ(preset.group(), row.group);
        const LayoutKind body = preset.build();
        std::int64_t zones = 0;
        if (const Grid* grid = std::get_if<Grid>(&row.body)) {
            ASSERT_TRUE(body.isGrid());
            EXPECT_FALSE(body.grid()->validationError());
            EXPECT_EQ(body.grid()->rowWeights, grid->rows);
            EXPECT_EQ(body.grid()->columnWeights, grid->columns);
            EXPECT_EQ(body.grid()->cellZones, grid->cells);
            std::set<std::int64_t> distinct;
            for (const auto& cells : grid->cells) distinct.insert(cells.begin(), cells.end());
            zones = static_cast<std::int64_t>(distinct.size());
        } else {
            const Canvas& canvas = std::get<Canvas>(row.body);
            ASSERT_TRUE(body.isCanvas());
            EXPECT_EQ(body.canvas()->referenceSize, (Size{1920, 1080}));
            ASSERT_EQ(body.canvas()->zones.size(), canvas.units.size());
            for (std::size_t z = 0; z < canvas.units.size(); ++z) {
                const auto& [x, y, w, h] = canvas.units[z];
                const Rect& made = body.canvas()->zones[z];
                // Scaled as the arithmetic gives it, which is the written value to within rounding.
                EXPECT_EQ(made, Rect(x * 1920, y * 1080, w * 1920, h * 1080)) << z;
                const auto& [sx, sy, sw, sh] = canvas.scaled[z];
                EXPECT_NEAR(made.x(), sx, 1e-9);
                EXPECT_NEAR(made.y(), sy, 1e-9);
                EXPECT_NEAR(made.width(), sw, 1e-9);
                EXPECT_NEAR(made.height(), sh, 1e-9);
            }
            zones = static_cast<std::int64_t>(canvas.units.size());
        }
        const ZoneLayout made = preset.makeLayout();
        EXPECT_EQ(made.name, row.name);
        EXPECT_EQ(made.kind, body);
        EXPECT_EQ(made.spacing, 8.0);
        EXPECT_EQ(made.padding, 8.0);
        EXPECT_EQ(made.origin, (ZoneLayout::Origin{LayoutTemplate::blank, zones, row.id}));
        EXPECT_EQ(preset.makeLayout("").name, "") << "an empty name stays empty";
        EXPECT_EQ(preset.makeLayout("Mine").origin, made.origin) << "a chosen name keeps the preset's origin";
    }
    for (const G group : G::allCases) {
        std::vector<std::string> expected;
        for (const Row& row : rows) {
            if (row.group == group) expected.push_back(row.id);
        }
        EXPECT_EQ(ids(LayoutPreset::presets(group)), expected) << group.rawValue();
    }
}

TEST(LayoutPreset, LookupsAndSuggestions) {
    EXPECT_EQ(LayoutPreset::preset("Halves"), nullptr);
    EXPECT_EQ(*LayoutPreset::preset("halves"), LayoutPreset::all()[0]);
    const auto standard = LayoutPreset::presets(Classes{DisplayClass::standard});
    EXPECT_EQ(ids(standard), ids(LayoutPreset::presets(LayoutPreset::Group::standard))) << "never a focus preset";
    auto expected = ids(LayoutPreset::presets(LayoutPreset::Group::laptop));
    const auto large = ids(LayoutPreset::presets(LayoutPreset::Group::large));
    expected.insert(expected.end(), large.begin(), large.end());
    EXPECT_EQ(ids(LayoutPreset::presets(Classes{DisplayClass::large, DisplayClass::laptop})), expected);
    EXPECT_TRUE(LayoutPreset::presets(DisplayClass::displayClasses(false, Size{0, 0})).empty());
}
