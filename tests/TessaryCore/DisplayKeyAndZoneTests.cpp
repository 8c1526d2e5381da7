#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/Zone.h"

using namespace tessary;

TEST(DisplayKey, ParsesItsTextFormAndNothingElse) {
    const std::int64_t min = std::numeric_limits<std::int64_t>::min(), max = std::numeric_limits<std::int64_t>::max();
    using Key = std::optional<DisplayKey>;
    const std::pair<const char*, Key> cases[] = {
        {"Main@1920x1080", DisplayKey{"Main", 1920, 1080}}, {"a@b@800x600", DisplayKey{"a@b", 800, 600}},
        {"d@x1920xx1080x", DisplayKey{"d", 1920, 1080}},    {"d@+1920x-5", DisplayKey{"d", 1920, -5}},
        {"d@-9223372036854775808x9223372036854775807", DisplayKey{"d", min, max}},
        {"d1920x1080", {}}, {"@1920x1080", {}}, {"d@1920", {}}, {"d@1920x1080x720", {}}, {"d@19.5x10", {}},
        {"d@1920X1080", {}}, {"d@ 1920x1080", {}}, {"d@", {}}, {"d@+x5", {}}, {"d@9223372036854775808x1", {}},
        {"d@1x-", {}},
    };
    for (const auto& [text, key] : cases) EXPECT_EQ(DisplayKey::parsing(text), key) << text;
}

TEST(DisplayKey, TextFormRoundTripsAndRoundsWorkAreas) {
    const DisplayKey key("ABC", Size{1511.5, 943.5});
    EXPECT_EQ(key.description(), "ABC@1512x944");
    EXPECT_EQ(DisplayKey("ABC", Size{1511.49, 943.49}).description(), "ABC@1511x943");
    EXPECT_EQ(DisplayKey("x", Size{-2.5, 0}).workAreaWidth, -3);
    EXPECT_EQ(DisplayKey::parsing(DisplayKey("id@with@x", -4, 7).description()), DisplayKey("id@with@x", -4, 7));
}

TEST(DisplayKey, NonFiniteAndHugeWorkAreasNeverMisbehave) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(DisplayKey("d", Size{std::nan(""), inf}).workAreaWidth, 0);
    EXPECT_EQ(DisplayKey("d", Size{1e300, -inf}).workAreaWidth, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(DisplayKey("d", Size{1e300, -inf}).workAreaHeight, std::numeric_limits<std::int64_t>::min());
}

TEST(DisplayKey, JSONNeedsAllThreeIntegerKeys) {
    const DisplayKey key("Main", 1920, 1080);
    EXPECT_EQ(DisplayKey::fromJSON(key.toJSON()), key);
    EXPECT_THROW(DisplayKey::fromJSON(json::parse(R"({"displayID":"a","workAreaWidth":1})")), json::DecodingError);
    EXPECT_THROW(DisplayKey::fromJSON(json::parse(R"({"displayID":"a","workAreaWidth":1.5,"workAreaHeight":1})")),
                 json::DecodingError);
}

TEST(Zone, EqualityAndHashingUseStandardisedRectangles) {
    const Zone a{3, Rect(10, 10, -10, -10)};
    const Zone b{3, Rect(0, 0, 10, 10)};
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<Zone>{}(a), std::hash<Zone>{}(b));
    EXPECT_NE(a, (Zone{4, Rect(0, 0, 10, 10)}));
    EXPECT_EQ(std::hash<Zone>{}(Zone{0, Rect(-0.0, 0, 1, 1)}), std::hash<Zone>{}(Zone{0, Rect(0, 0, 1, 1)}));
    EXPECT_EQ(Zone::fromJSON(b.toJSON()), b);
}

TEST(SpanSelection, KeepsFirstInsertionOrderWithoutDuplicates) {
    SpanSelection s;
    for (int i : {2, 0, 2, 1}) s.insert(i);
    EXPECT_EQ(s.zoneIndices, (std::vector<std::int64_t>{2, 0, 1}));
    s.select(5);
    EXPECT_EQ(s.zoneIndices, (std::vector<std::int64_t>{5}));
    s.removeAll();
    EXPECT_TRUE(s.isEmpty());
    SpanSelection other;
    other.insert(1);
    other.insert(0);
    SpanSelection ordered;
    ordered.insert(0);
    ordered.insert(1);
    EXPECT_NE(other, ordered);
}

TEST(SpanSelection, UnionCoversSelectedZonesIncludingGaps) {
    const std::vector<Zone> zones{{0, Rect(0, 0, 100, 100)}, {1, Rect(200, 0, 100, 100)}, {2, Rect(0, 100, 50, 50)}};
    SpanSelection s;
    EXPECT_FALSE(s.unionRect(zones).has_value());
    s.insert(9);
    EXPECT_FALSE(s.unionRect(zones).has_value());
    s.select(2);
    EXPECT_EQ(s.unionRect(zones), Rect(0, 100, 50, 50));
    s.select(1);
    s.insert(0);
    EXPECT_EQ(s.unionRect(zones), Rect(0, 0, 300, 100));
}
