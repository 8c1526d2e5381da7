#include <gtest/gtest.h>

#include <set>

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

TEST(LayoutPreset, TableHasEveryGroupInOrderWithValidBodies) {
    const auto& all = LayoutPreset::all();
    ASSERT_EQ(all.size(), 38u);
    std::vector<std::size_t> counts;
    std::size_t position = 0;
    for (const auto group : LayoutPreset::Group::allCases) {
        const auto members = LayoutPreset::presets(group);
        counts.push_back(members.size());
        for (const LayoutPreset& p : members) EXPECT_EQ(all[position++].id(), p.id()) << "groups follow each other";
    }
    EXPECT_EQ(counts, (std::vector<std::size_t>{10, 5, 7, 4, 4, 4, 4}));
    const auto allIDs = ids(all);
    EXPECT_EQ(std::set<std::string>(allIDs.begin(), allIDs.end()).size(), 38u);
    for (const LayoutPreset& p : all) {
        const LayoutKind body = p.build();
        EXPECT_FALSE(body.grid() && body.grid()->validationError()) << p.id();
    }
    EXPECT_EQ(LayoutPreset::Group(LayoutPreset::Group::focus).displayClasses(),
              (Classes{DisplayClass::standard, DisplayClass::ultrawide, DisplayClass::superUltrawide,
                       DisplayClass::laptop, DisplayClass::large}));
}

TEST(LayoutPreset, BodiesAreRenumberedAndScaledAsComputed) {
    EXPECT_EQ(LayoutPreset::preset("stacked-main")->build().grid()->cellZones,
              (std::vector<std::vector<std::int64_t>>{{0, 1}, {2, 1}}));
    EXPECT_EQ(LayoutPreset::preset("suw-triple-stacks")->build().grid()->cellZones,
              (std::vector<std::vector<std::int64_t>>{{0, 1, 2}, {3, 1, 4}}));
    EXPECT_EQ(LayoutPreset::preset("golden")->build().grid()->columnWeights, (std::vector<double>{1.618, 1}));
    // The products as the arithmetic gives them, which need not be the nearest double to 787.2.
    const ZoneCanvas pair = *LayoutPreset::preset("centered-pair")->build().canvas();
    EXPECT_EQ(pair.referenceSize, (Size{1920, 1080}));
    EXPECT_EQ(pair.zones[0].width(), 0.41 * 1920);
    EXPECT_EQ(pair.zones[1].x(), 0.51 * 1920);
    const ZoneCanvas pip = *LayoutPreset::preset("pip")->build().canvas();
    EXPECT_EQ(pip.zones[1], Rect(0.7 * 1920, 0.7 * 1080, 0.28 * 1920, 0.28 * 1080));
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

TEST(LayoutPreset, MadeLayoutsNameTheirPreset) {
    const ZoneLayout made = LayoutPreset::preset("suw-command-center")->makeLayout();
    EXPECT_EQ(made.zoneCount(), 9);
    EXPECT_EQ(made.origin, (ZoneLayout::Origin{LayoutTemplate::blank, 9, "suw-command-center"}));
    EXPECT_EQ(LayoutPreset::preset("pip")->makeLayout("Video").origin,
              (ZoneLayout::Origin{LayoutTemplate::blank, 2, "pip"}));
}
