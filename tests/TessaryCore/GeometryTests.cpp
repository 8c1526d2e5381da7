#include <gtest/gtest.h>

#include "TessaryCore/Geometry.h"

using namespace tessary;

TEST(Geometry, StandardizedFlipsNegativeSizes) {
    EXPECT_EQ(Rect(10, 10, -10, -20).standardized(), Rect(0, -10, 10, 20));
    EXPECT_EQ(Rect(1, 2, 3, 4).standardized(), Rect(1, 2, 3, 4));
    EXPECT_TRUE(rectsEqual(Rect(10, 10, -10, -10), Rect(0, 0, 10, 10)));
}

TEST(Geometry, InsetShrinksOrGrowsAndGoesNullWhenInverted) {
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(10, 5), Rect(10, 5, 80, 40));
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(-10, -5), Rect(-10, -5, 120, 60));
    EXPECT_TRUE(Rect(0, 0, 10, 10).insetBy(6, 0).isNull());
    EXPECT_EQ(Rect(0, 0, 10, 10).insetBy(5, 5), Rect(5, 5, 0, 0));
}

TEST(Geometry, UnionIgnoresNullButKeepsEmptyRectangles) {
    EXPECT_EQ(Rect(0, 0, 100, 100).unionWith(Rect(200, 0, 100, 100)), Rect(0, 0, 300, 100));
    EXPECT_EQ(Rect::null().unionWith(Rect(1, 2, 3, 4)), Rect(1, 2, 3, 4));
    EXPECT_EQ(Rect(1, 2, 3, 4).unionWith(Rect::null()), Rect(1, 2, 3, 4));
    EXPECT_EQ(Rect(0, 0, 10, 10).unionWith(Rect(20, 20, 0, 0)), Rect(0, 0, 20, 20));
}

TEST(Geometry, IntersectionOfApartTouchingAndOverlapping) {
    EXPECT_TRUE(Rect(0, 0, 10, 10).intersection(Rect(11, 0, 10, 10)).isNull());
    const Rect touching = Rect(0, 0, 10, 5).intersection(Rect(0, 5, 10, 5));
    EXPECT_FALSE(touching.isNull());
    EXPECT_EQ(touching, Rect(0, 5, 10, 0));
    EXPECT_FALSE(Rect(0, 0, 10, 5).intersects(Rect(0, 5, 10, 5)));
    EXPECT_EQ(Rect(0, 0, 10, 10).intersection(Rect(5, -5, 10, 10)), Rect(5, 0, 5, 5));
}

TEST(Geometry, ContainsTakesMinimumEdgesInAndMaximumEdgesOut) {
    const Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains({0, 0}));
    EXPECT_TRUE(r.contains({9.999, 9.999}));
    EXPECT_FALSE(r.contains({10, 5}));
    EXPECT_FALSE(r.contains({5, 10}));
    EXPECT_TRUE(Rect(10, 10, -10, -10).contains({0, 0}));
    EXPECT_FALSE(Rect::null().contains({0, 0}));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains({0, 0}));
}
