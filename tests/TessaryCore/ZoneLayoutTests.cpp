#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneLayout.h"

using namespace tessary;

namespace {

const double inf = std::numeric_limits<double>::infinity();

ZoneLayout roundTrip(const ZoneLayout& layout) {
    return ZoneLayout::fromJSON(json::parse(json::dumpPretty(layout.toJSON())));
}

ZoneLayout plain(LayoutKind kind, std::string name = "L", std::optional<ZoneLayout::Origin> origin = std::nullopt) {
    return ZoneLayout(UUID::random(), std::move(name), std::move(kind), 8, 8, std::move(origin), Date(1000));
}

const char* kLayoutJSON = R"({"id":"6F1C3C0E-3B0B-4C38-9E8B-2D3C0B6C9A11","name":"Mine","spacing":8,"padding":4,
    "modifiedAt":"2025-03-14T09:26:53.589Z",
    "kind":{"canvas":{"_0":{"referenceSize":[100,50],"zones":[[[0,0],[50,50]]]}}}})";

json::Json layoutWith(const char* key, json::Json value) {
    json::Json object = json::parse(kLayoutJSON);
    object[key] = std::move(value);
    return object;
}

}  // namespace

TEST(ZoneLayout, ModifiedAtRoundsToWholeMillisecondsHalvesAwayFromZero) {
    ZoneLayout layout(UUID::random(), "A", ZoneGrid::uniform(1, 2), 8, 8, std::nullopt, Date(100.0004));
    EXPECT_EQ(layout.modifiedAt(), Date(100.0));
    layout.setModifiedAt(Date(-0.0625));
    EXPECT_EQ(layout.modifiedAt(), Date(-0.063));
}

TEST(ZoneLayout, EqualityAndHashing) {
    const ZoneLayout a = plain(ZoneCanvas{Size{10, 10}, {Rect(5, 5, -5, -5)}});
    ZoneLayout b = a;
    b.kind = ZoneCanvas{Size{10, 10}, {Rect(0, 0, 5, 5)}};
    EXPECT_EQ(a, b) << "canvas rectangles compare standardised";
    EXPECT_EQ(std::hash<ZoneLayout>{}(a), std::hash<ZoneLayout>{}(b));
    b.origin = ZoneLayout::Origin{LayoutTemplate::blank, 0, std::nullopt};
    EXPECT_NE(a, b);
    ZoneLayout c = a;
    c.setModifiedAt(Date(1000.001));
    EXPECT_NE(a, c);
    EXPECT_NE(LayoutKind(ZoneGrid::uniform(1, 1)), LayoutKind(ZoneCanvas{Size{1, 1}, {Rect(0, 0, 1, 1)}}));
}

TEST(LayoutKind, JSONWrapsThePayloadUnderItsCase) {
    const LayoutKind canvas = ZoneCanvas{Size{1920, 1080}, {Rect(0, 0, 960, 1080)}};
    EXPECT_EQ(json::dumpCompact(canvas.toJSON()),
              R"({"canvas":{"_0":{"referenceSize":[1920.0,1080.0],"zones":[[[0.0,0.0],[960.0,1080.0]]]}}})");
    EXPECT_EQ(LayoutKind::fromJSON(canvas.toJSON()), canvas);
    const LayoutKind grid = ZoneGrid::uniform(1, 2);
    EXPECT_EQ(LayoutKind::fromJSON(grid.toJSON()), grid);

    json::Json withExtra = grid.toJSON();
    withExtra["future"] = 1;
    EXPECT_EQ(LayoutKind::fromJSON(withExtra), grid) << "unknown keys are ignored";

    json::Json both = grid.toJSON();
    both["canvas"] = canvas.toJSON()["canvas"];
    for (const json::Json& bad : {both, json::Json::object(), json::Json{{"future", 1}}}) {
        try {
            (void)LayoutKind::fromJSON(bad);
            ADD_FAILURE() << bad;
        } catch (const json::DecodingError& error) {
            EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
        }
    }
    EXPECT_THROW(LayoutKind::fromJSON(json::parse(R"({"grid":{}})")), json::DecodingError);
    EXPECT_THROW(LayoutKind::fromJSON(json::parse(R"({"grid":{"_0":{"rowWeights":[1]}}})")), json::DecodingError);
    EXPECT_THROW(LayoutKind::fromJSON(json::parse(R"({"canvas":{"_0":{"referenceSize":[1],"zones":[]}}})")),
                 json::DecodingError);
}

TEST(ZoneLayout, JSONFormAndOptionalOrigin) {
    const ZoneLayout layout = ZoneLayout::fromJSON(json::parse(kLayoutJSON));
    EXPECT_EQ(layout.id.uuidString(), "6F1C3C0E-3B0B-4C38-9E8B-2D3C0B6C9A11");
    EXPECT_EQ(layout.name, "Mine");
    EXPECT_EQ(layout.padding, 4);
    EXPECT_FALSE(layout.origin);
    EXPECT_EQ(layout.modifiedAt().iso8601(), "2025-03-14T09:26:53.589Z");
    const json::Json written = layout.toJSON();
    EXPECT_FALSE(written.contains("origin")) << "an absent origin is left out";
    EXPECT_EQ(roundTrip(layout), layout);

    EXPECT_FALSE(ZoneLayout::fromJSON(layoutWith("origin", nullptr)).origin);
    const auto templated = ZoneLayout::fromJSON(layoutWith("origin", json::parse(R"({"template":"grid","zoneCount":4})")));
    EXPECT_EQ(templated.origin, (ZoneLayout::Origin{LayoutTemplate::grid, 4, std::nullopt}));
    EXPECT_FALSE(templated.toJSON()["origin"].contains("preset"));
    const auto preset = ZoneLayout::fromJSON(
        layoutWith("origin", json::parse(R"({"template":"blank","zoneCount":2,"preset":"pip"})")));
    EXPECT_EQ(preset.origin, (ZoneLayout::Origin{LayoutTemplate::blank, 2, std::string("pip")}));
    EXPECT_EQ(roundTrip(preset), preset);
    // Nothing else is checked: an empty name and negative gaps decode as they stand.
    EXPECT_EQ(ZoneLayout::fromJSON(layoutWith("spacing", -3)).spacing, -3);

    for (const char* key : {"id", "name", "kind", "spacing", "padding", "modifiedAt"}) {
        json::Json missing = json::parse(kLayoutJSON);
        missing.erase(key);
        EXPECT_THROW(ZoneLayout::fromJSON(missing), json::DecodingError) << key;
    }
    for (const auto& [key, value] : std::vector<std::pair<const char*, json::Json>>{
             {"id", "not-an-id"}, {"modifiedAt", "2025-03-14T09:26:53.5Z"}, {"spacing", "8"},
             {"origin", json::parse(R"({"template":"Grid","zoneCount":4})")},
             {"origin", json::parse(R"({"template":"grid","zoneCount":4.5})")}}) {
        EXPECT_THROW(ZoneLayout::fromJSON(layoutWith(key, value)), json::DecodingError) << key << " " << value;
    }
}

TEST(ZoneLayout, NonFiniteNumbersAreRefusedWhenEncoding) {
    ZoneLayout layout = plain(ZoneGrid::uniform(1, 2));
    for (double bad : {inf, -inf, std::nan("")}) {
        ZoneLayout spacing = layout;
        spacing.spacing = bad;
        EXPECT_THROW((void)spacing.toJSON(), json::EncodingError);
        ZoneLayout padding = layout;
        padding.padding = bad;
        EXPECT_THROW((void)padding.toJSON(), json::EncodingError);
        ZoneLayout weight = layout;
        weight.kind.grid()->columnWeights[1] = bad;
        EXPECT_THROW((void)weight.toJSON(), json::EncodingError);
        const ZoneLayout canvas = plain(ZoneCanvas{Size{10, 10}, {Rect(0, bad, 1, 1)}});
        EXPECT_THROW((void)canvas.toJSON(), json::EncodingError);
        const ZoneLayout reference = plain(ZoneCanvas{Size{bad, 10}, {}});
        EXPECT_THROW((void)reference.toJSON(), json::EncodingError);
        layout.setModifiedAt(Date(bad));
        EXPECT_THROW((void)layout.toJSON(), json::EncodingError);
        layout.setModifiedAt(Date(0));
    }
}

TEST(ZoneLayout, EveryTemplateAndPresetSurvivesTheRoundTrip) {
    std::vector<ZoneLayout> layouts;
    for (const LayoutTemplate t : LayoutTemplate::allCases) {
        for (std::int64_t n = 0; n <= 13; ++n) layouts.emplace_back(t, n);
    }
    for (const LayoutPreset& preset : LayoutPreset::all()) layouts.push_back(preset.makeLayout());
    const Rect workArea(0, 0, 2560, 1440);
    for (const ZoneLayout& layout : layouts) {
        const ZoneLayout decoded = roundTrip(layout);
        // Decoding collapses identical neighbouring tracks of a grid and nothing else: the zones on
        // screen stay the same, and the decoded form is stable from then on.
        ZoneLayout sameBody = layout;
        sameBody.kind = decoded.kind;
        EXPECT_EQ(decoded, sameBody) << layout.name;
        EXPECT_EQ(ZoneGeometry::zones(decoded, workArea), ZoneGeometry::zones(layout, workArea)) << layout.name;
        EXPECT_EQ(roundTrip(decoded), decoded) << layout.name;
    }
}

TEST(ZoneLayout, InferredOriginPrefersPresetsThenTemplatesThenEmptyCanvasThenStarterNames) {
    struct Case {
        const char* what;
        ZoneLayout layout;
        std::optional<ZoneLayout::Origin> origin;
    };
    using Origin = ZoneLayout::Origin;
    ZoneCanvas focusFour = *LayoutTemplate(LayoutTemplate::focus).kind(4).canvas();
    ZoneCanvas focusFourElsewhere = focusFour;
    focusFourElsewhere.referenceSize = Size{1000, 1000};
    const Case cases[] = {
        {"quarters, also the 4-zone grid template", plain(ZoneGrid::uniform(2, 2)),
         Origin{LayoutTemplate::blank, 4, "quarters"}},
        {"a preset canvas", plain(LayoutPreset::preset("centered-pair")->build()), Origin{LayoutTemplate::blank, 2, "centered-pair"}},
        {"single cell", plain(ZoneGrid::uniform(1, 1)), Origin{LayoutTemplate::columns, 1, std::nullopt}},
        {"five columns", plain(ZoneGrid::uniform(1, 5)), Origin{LayoutTemplate::columns, 5, std::nullopt}},
        {"focus canvas", plain(focusFour), Origin{LayoutTemplate::focus, 4, std::nullopt}},
        {"focus rectangles, other reference size", plain(focusFourElsewhere), std::nullopt},
        {"empty canvas of any size", plain(ZoneCanvas{Size{3, 7}, {}}), Origin{LayoutTemplate::blank, 0, std::nullopt}},
        {"13-zone grid", plain(LayoutTemplate(LayoutTemplate::grid).kind(13)), std::nullopt},
        {"13-zone grid named Grid", plain(LayoutTemplate(LayoutTemplate::grid).kind(13), "Grid"),
         Origin{LayoutTemplate::grid, 4, std::nullopt}},
        {"name with another case", plain(LayoutTemplate(LayoutTemplate::grid).kind(13), "grid"), std::nullopt},
        {"name with a space", plain(LayoutTemplate(LayoutTemplate::grid).kind(13), "Focus "), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(c.layout.inferredOrigin(), c.origin) << c.what;

    // Seven rows are the rows template's body, found before the starter name is consulted.
    EXPECT_EQ(plain(ZoneGrid::make({1, 1, 1, 1, 1, 1, 1}, {1}, {{0}, {1}, {2}, {3}, {4}, {5}, {6}}).value(), "Columns")
                  .inferredOrigin(),
              (Origin{LayoutTemplate::rows, 7, std::nullopt}));
    ZoneLayout edited = plain(ZoneGrid::make({1}, {5, 1, 1}, {{0, 1, 2}}).value(), "Columns");
    ASSERT_EQ(edited.inferredOrigin(), (Origin{LayoutTemplate::columns, 2, std::nullopt}));
    edited.origin = edited.inferredOrigin();
    edited.rebuildFromOrigin();
    EXPECT_EQ(edited.kind, LayoutKind(ZoneGrid::uniform(1, 2)));
}

TEST(ZoneLayout, RebuildFromOriginReplacesOnlyTheBody) {
    const ZoneGrid edited = ZoneGrid::make({1}, {5, 1}, {{0, 1}}).value();
    using Origin = ZoneLayout::Origin;
    const std::pair<std::optional<Origin>, LayoutKind> cases[] = {
        {std::nullopt, edited},
        {Origin{LayoutTemplate::blank, 2, "pip"}, LayoutPreset::preset("pip")->build()},
        {Origin{LayoutTemplate::rows, 3, std::nullopt}, LayoutTemplate(LayoutTemplate::rows).kind(3)},
        // A preset this version does not know keeps the body instead of emptying it...
        {Origin{LayoutTemplate::blank, 2, "from-the-future"}, edited},
        // ...and otherwise falls back to the origin's template and zone count.
        {Origin{LayoutTemplate::columns, 3, "from-the-future"}, LayoutTemplate(LayoutTemplate::columns).kind(3)},
    };
    for (const auto& [origin, kind] : cases) {
        SCOPED_TRACE(origin ? origin->preset.value_or("") + " " + std::string(origin->layoutTemplate.rawValue()) : "no origin");
        ZoneLayout layout = plain(edited, "L", origin);
        const ZoneLayout before = layout;
        layout.rebuildFromOrigin();
        EXPECT_EQ(layout.kind, kind);
        layout.kind = before.kind;
        EXPECT_EQ(layout, before);
    }
}

// Applying a preset or a template replaces the body and the origin and nothing else.
TEST(ZoneLayout, ApplyReplacesOnlyBodyAndOrigin) {
    const ZoneLayout before = plain(ZoneGrid::make({1}, {5, 1}, {{0, 1}}).value(), "Mine");
    struct Case {
        const char* what;
        std::function<void(ZoneLayout&)> apply;
        LayoutKind kind;
        ZoneLayout::Origin origin;
    };
    const Case cases[] = {
        {"preset", [](ZoneLayout& l) { l.apply(*LayoutPreset::preset("large-main-four")); },
         LayoutPreset::preset("large-main-four")->build(), {LayoutTemplate::blank, 5, "large-main-four"}},
        {"template", [](ZoneLayout& l) { l.apply(LayoutTemplate::grid, 5); },
         LayoutTemplate(LayoutTemplate::grid).kind(5),
         {LayoutTemplate::grid, 5, std::nullopt}},
        {"template, count below one kept as given", [](ZoneLayout& l) { l.apply(LayoutTemplate::rows, 0); },
         LayoutTemplate(LayoutTemplate::rows).kind(1), {LayoutTemplate::rows, 0, std::nullopt}},
    };
    for (const Case& c : cases) {
        ZoneLayout layout = before;
        c.apply(layout);
        EXPECT_EQ(layout.kind, c.kind) << c.what;
        EXPECT_EQ(layout.origin, c.origin) << c.what;
        ZoneLayout rest = layout;
        rest.kind = before.kind;
        rest.origin = before.origin;
        EXPECT_EQ(rest, before) << c.what << ": identifier, name, gaps and time untouched";
    }
}

TEST(ZoneLayout, RebuildingFromAHugeStoredCountStaysBounded) {
    for (const LayoutTemplate t : LayoutTemplate::allCases) {
        for (std::int64_t count : {std::int64_t{1'000'000}, std::numeric_limits<std::int64_t>::max(),
                                    std::numeric_limits<std::int64_t>::min()}) {
            ZoneLayout layout = plain(ZoneGrid::uniform(1, 1), "H", ZoneLayout::Origin{t, count, std::nullopt});
            layout.rebuildFromOrigin();
            EXPECT_LE(layout.zoneCount(), LayoutTemplate::maximumZoneCount) << t.rawValue();
            if (const ZoneGrid* grid = layout.kind.grid()) {
                EXPECT_LE(grid->rowCount() * grid->columnCount(), 2'000) << t.rawValue();
            }
        }
    }
}
