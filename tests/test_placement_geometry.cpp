#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "placement/MySitePoint.h"
#include "placement/Orderings.h"

namespace {

MySitePoint square(float x, float y, float side, float rotation = 0.0f) {
    MySitePoint s;
    s.position = Point2D(x, y);
    s.width = s.height = side;
    s.rotation = rotation;
    s.radius = 0.5f * std::sqrt(2.0f) * side;
    s.corners = getPolygonFromPointSizeRot(s.position, side, side, rotation);
    return s;
}

MySitePoint at(float x, float y) {
    MySitePoint s;
    s.position = Point2D(x, y);
    return s;
}

// Reference overlap test: some point of one filled rectangle lies in the other (dense sampling
// of both rectangles' areas in their own frames).
bool containsPoint(const MySitePoint& s, float px, float py) {
    const Point2D local = rotatePoint(s.position, Point2D(px, py), -s.rotation);
    return std::fabs(local.x - s.position.x) <= 0.5f * s.width + 1e-3f &&
           std::fabs(local.y - s.position.y) <= 0.5f * s.height + 1e-3f;
}

bool sampledOverlap(const MySitePoint& a, const MySitePoint& b) {
    for (const MySitePoint* s : {&a, &b}) {
        const MySitePoint& other = (s == &a) ? b : a;
        for (int i = 0; i <= 40; ++i) {
            for (int j = 0; j <= 40; ++j) {
                const Point2D p(s->position.x + s->width * (i / 40.0f - 0.5f),
                                s->position.y + s->height * (j / 40.0f - 0.5f));
                const Point2D q = rotatePoint(s->position, p, s->rotation);
                if (containsPoint(other, q.x, q.y)) {
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace

TEST(PlacementGeometry, UpdateGrowsLongerSideAndUpdateBackShrinksHalfAStep) {
    MySitePoint s;
    s.aspect = 2.0f;
    s.width = 1.0f;
    s.height = 0.5f;
    s.growStep = 1.0f;
    s.update();
    EXPECT_EQ(s.width, 1.0f);  // not growing: nothing changes
    s.growing = true;
    s.update();
    EXPECT_FLOAT_EQ(s.width, 2.0f);
    EXPECT_FLOAT_EQ(s.height, 1.0f);
    EXPECT_FLOAT_EQ(s.radius, 0.5f * std::sqrt(5.0f));
    ASSERT_EQ(s.corners.size(), 4u);
    s.growing = false;
    s.updateBack();
    EXPECT_FLOAT_EQ(s.width, 1.5f);
    EXPECT_FLOAT_EQ(s.height, 0.75f);
    EXPECT_FLOAT_EQ(s.corners[2].x, 0.75f);
}

TEST(PlacementGeometry, SquareAndPortraitGrowOnHeight) {
    MySitePoint s;
    s.aspect = 0.5f;
    s.growStep = 1.0f;
    s.growing = true;
    s.update();
    EXPECT_FLOAT_EQ(s.height, 1.0f);
    EXPECT_FLOAT_EQ(s.width, 0.5f);
}

TEST(PlacementGeometry, TouchingCountsAsOverlap) {
    EXPECT_TRUE(square(0, 0, 10).intersect(square(10, 0, 10)));
    EXPECT_FALSE(square(0, 0, 10).intersect(square(10.01f, 0, 10)));
    EXPECT_TRUE(square(0, 0, 10).intersect(square(0, 10, 10)));
    EXPECT_FALSE(square(0, 0, 10).intersect(square(100, 0, 10)));  // beyond the radii
}

// Centres farther apart than the two radii are apart whatever the corners say.
TEST(PlacementGeometry, DistantCentresSkipTheCornerTest) {
    MySitePoint a = square(0, 0, 10);
    MySitePoint b = square(0, 0, 10);
    b.position = Point2D(14.2f, 0);  // radii 7.07 each: 14.14 apart at most
    EXPECT_FALSE(a.intersect(b));
    b.position = Point2D(14.1f, 0);
    EXPECT_TRUE(a.intersect(b));  // the corners still coincide
}

TEST(PlacementGeometry, RotatedDiamondSeparatedFromCornerGap) {
    // A 45-degree square's tip reaches 7.07 px: at 12.5 px it misses the other's side at 5 px.
    EXPECT_FALSE(square(0, 0, 10).intersect(square(12.5f, 0, 10, 45)));
    EXPECT_TRUE(square(0, 0, 10).intersect(square(11.5f, 0, 10, 45)));
}

TEST(PlacementGeometry, IntersectAgreesWithSampledReference) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> pos(-20, 20), side(2, 20), angle(0, 360);
    int overlaps = 0;
    for (int t = 0; t < 300; ++t) {
        const MySitePoint a = square(0, 0, side(rng), angle(rng));
        const MySitePoint b = square(pos(rng), pos(rng), side(rng), angle(rng));
        const bool expected = sampledOverlap(a, b);
        overlaps += expected;
        // Near-touching pairs may differ by the sampling step; skip them.
        const MySitePoint bigger = square(b.position.x, b.position.y, b.width + 0.4f, b.rotation);
        const MySitePoint smaller = square(b.position.x, b.position.y, b.width - 0.4f, b.rotation);
        if (sampledOverlap(a, bigger) != sampledOverlap(a, smaller)) {
            continue;
        }
        EXPECT_EQ(a.intersect(b), expected) << t;
        EXPECT_EQ(b.intersect(a), expected) << t;
    }
    EXPECT_GT(overlaps, 20);
}

TEST(PlacementGeometry, PolygonCornersAtZeroAndNinetyDegrees) {
    const auto c0 = getPolygonFromPointSizeRot(Point2D(0, 0), 2, 1, 0);
    ASSERT_EQ(c0.size(), 4u);
    EXPECT_FLOAT_EQ(c0[0].x, -1.0f);
    EXPECT_FLOAT_EQ(c0[0].y, -0.5f);
    EXPECT_FLOAT_EQ(c0[1].x, 1.0f);
    EXPECT_FLOAT_EQ(c0[1].y, -0.5f);
    EXPECT_FLOAT_EQ(c0[2].x, 1.0f);
    EXPECT_FLOAT_EQ(c0[2].y, 0.5f);
    EXPECT_FLOAT_EQ(c0[3].x, -1.0f);
    EXPECT_FLOAT_EQ(c0[3].y, 0.5f);
    const auto c90 = getPolygonFromPointSizeRot(Point2D(0, 0), 2, 1, 90);
    EXPECT_NEAR(c90[0].x, 0.5f, 1e-6f);
    EXPECT_NEAR(c90[0].y, -1.0f, 1e-6f);
    EXPECT_EQ(c90[0].z, 0.0f);
}

TEST(PlacementGeometry, RotatePointTurnsClockwiseOnScreen) {
    const Point2D p = rotatePoint(Point2D(10, 10), Point2D(20, 10), 90);
    EXPECT_NEAR(p.x, 10.0f, 1e-5f);
    EXPECT_NEAR(p.y, 20.0f, 1e-5f);  // right of the centre turns to below it
}

TEST(PlacementOrderings, EachOrderingSortsByItsKey) {
    std::vector<MySitePoint> s = {at(3, 0), at(1, 5), at(2, -4)};
    std::sort(s.begin(), s.end(), sort_by_x());
    EXPECT_EQ(s[0].position.x, 1.0f);
    EXPECT_EQ(s[2].position.x, 3.0f);
    std::sort(s.begin(), s.end(), sort_by_y());
    EXPECT_EQ(s[0].position.y, -4.0f);
    EXPECT_EQ(s[2].position.y, 5.0f);
    std::sort(s.begin(), s.end(), sort_by_norm());
    EXPECT_EQ(s[0].position.x, 3.0f);  // norms 9, 20, 26
    EXPECT_EQ(s[2].position.x, 1.0f);
    std::sort(s.begin(), s.end(), sort_by_inverse_norm());
    EXPECT_EQ(s[0].position.x, 1.0f);
    std::sort(s.begin(), s.end(), sort_by_distance_from_point(Point2D(2, -3)));
    EXPECT_EQ(s[0].position.x, 2.0f);
    EXPECT_EQ(s[2].position.x, 1.0f);
}

TEST(PlacementOrderings, OrderingsAreStrict) {
    const MySitePoint a = at(1, 1);
    EXPECT_FALSE(sort_by_x()(a, a));
    EXPECT_FALSE(sort_by_norm()(a, a));
    EXPECT_FALSE(sort_by_inverse_norm()(a, a));
    EXPECT_FALSE(sort_by_distance_from_point(Point2D())(a, a));
}
