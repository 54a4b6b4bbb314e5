#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "engine_fixture.h"
#include "placement/Candidates.h"

namespace {

std::vector<Point2D> grid(const MyTessaron& e, int k, float aspect) {
    std::vector<Point2D> out{Point2D(-1, -1)};  // replaced, not appended to
    e.getGridPointsInShape(k, aspect, out);
    return out;
}

std::vector<Point2D> radial(const MyTessaron& e, int k) {
    std::vector<Point2D> out{Point2D(-1, -1)};
    e.getRadialPointsInShape(k, out);
    return out;
}

CandidateChoice gridChoice(const MyTessaron& e, int n, float aspect) {
    return chooseCandidates(
        n, 1, [&](int k, std::vector<Point2D>& out) { e.getGridPointsInShape(k, aspect, out); });
}

bool samePoint(const Point2D& a, const Point2D& b) {
    return a.x == b.x && a.y == b.y;
}

}  // namespace

TEST(PlacementGrid, CellCentresOnAnOpaqueSquare) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const auto one = grid(e, 1, 1.0f);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].x, 50.0f);
    EXPECT_EQ(one[0].y, 50.0f);
    const auto four = grid(e, 2, 1.0f);
    ASSERT_EQ(four.size(), 4u);
    EXPECT_TRUE(samePoint(four[0], Point2D(25, 25)));
    EXPECT_TRUE(samePoint(four[1], Point2D(75, 25)));
    EXPECT_TRUE(samePoint(four[2], Point2D(25, 75)));
    EXPECT_TRUE(samePoint(four[3], Point2D(75, 75)));
    for (int k = 3; k <= 7; ++k) {
        EXPECT_EQ(grid(e, k, 1.0f).size(), size_t(k * k)) << k;
    }
    // 2 px cells: the last column and row of centres sit at 99, on the bounds' last pixel.
    const auto fifty = grid(e, 50, 1.0f);
    ASSERT_EQ(fifty.size(), 2500u);
    EXPECT_TRUE(samePoint(fifty.back(), Point2D(99, 99)));
}

TEST(PlacementGrid, FourLayersFitExactlyThreeLeaveOneEmptyCell) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const CandidateChoice four = gridChoice(e, 4, 1.0f);
    EXPECT_FALSE(four.hadExcess);
    EXPECT_EQ(four.points.size(), 4u);
    const CandidateChoice three = gridChoice(e, 3, 1.0f);
    EXPECT_TRUE(three.hadExcess);
    EXPECT_EQ(three.excess, 1);
    EXPECT_EQ(three.points.size(), 4u);
}

TEST(PlacementGrid, WideLayersGiveTwiceAsManyRows) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const auto cells = grid(e, 2, 2.0f);  // cw 50, ch 25: 2 columns x 4 rows
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_TRUE(samePoint(cells[0], Point2D(25, 12.5f)));
    EXPECT_TRUE(samePoint(cells[7], Point2D(75, 87.5f)));
}

TEST(PlacementGrid, OnlyCentresOnTheShapeCount) {
    MyTessaron e;
    fixture::setImage(e, 100, 100, [](int x, int y) { return x < 50 || y < 50; });
    EXPECT_EQ(grid(e, 2, 1.0f).size(), 3u);
}

TEST(PlacementRadial, CandidateCountsOnAnOpaqueSquare) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const size_t expected[] = {1, 1, 1, 7, 7, 15, 19};
    for (int k = 0; k <= 6; ++k) {
        EXPECT_EQ(radial(e, k).size(), expected[k]) << "rings " << k;
    }
    const auto centre = radial(e, 0);
    EXPECT_EQ(centre[0].x, 49.5f);
    EXPECT_EQ(centre[0].y, 49.5f);
}

TEST(PlacementRadial, FirstRingStartsAtThirtyDegrees) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const auto points = radial(e, 3);  // ring 1 radius = diagonal / 3 = 47.14
    ASSERT_EQ(points.size(), 7u);
    EXPECT_NEAR(points[1].x, 49.5f + 47.1405f * std::cos(0.5235988f), 1e-3f);
    EXPECT_NEAR(points[1].y, 49.5f + 47.1405f * std::sin(0.5235988f), 1e-3f);
}

TEST(PlacementCandidates, SmallestNonNegativeExcessWinsEarlierOnTies) {
    // Counts by k: 1 -> 2, 2 -> 9, 3 -> 6, 4 -> 5, 5 -> 12, 6 -> 5, 7 -> 3 (excess 0 never tried).
    const int counts[] = {0, 2, 9, 6, 5, 12, 5, 5, 3};
    int lastK = 0;
    const CandidateChoice c = chooseCandidates(5, 1, [&](int k, std::vector<Point2D>& out) {
        lastK = std::max(lastK, k);
        out.assign(counts[k], Point2D(float(k), 0));
    });
    EXPECT_EQ(lastK, 7);
    EXPECT_TRUE(c.hadExcess);
    EXPECT_EQ(c.excess, 0);
    EXPECT_EQ(c.points[0].x, 4.0f);
}

TEST(PlacementCandidates, PickAtRandomTakesEachCandidateOnce) {
    std::vector<Point2D> candidates;
    for (int i = 0; i < 50; ++i) {
        candidates.emplace_back(float(i), 0.0f);
    }
    seedRandomSources(4);
    const auto picked = pickAtRandom(candidates, 50);
    ASSERT_EQ(picked.size(), 50u);
    std::vector<float> xs;
    for (const Point2D& p : picked) {
        xs.push_back(p.x);
    }
    std::sort(xs.begin(), xs.end());
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(xs[i], float(i));
    }
    // The first pick is a pick-generator index, with the remaining list keeping its order.
    seedRandomSources(4);
    const size_t first = randomIndex(50);
    const size_t second = randomIndex(49);
    EXPECT_EQ(picked[0].x, float(first));
    EXPECT_EQ(picked[1].x, float(second < first ? second : second + 1));
}

// The cell height is (1 / aspect) x width in double: with an aspect of 3 a float reciprocal would
// give rows at 16.666668 and 83.33334 instead.
TEST(PlacementGrid, CellHeightComesFromTheReciprocalAspectInDouble) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const auto cells = grid(e, 1, 3.0f);
    ASSERT_EQ(cells.size(), 3u);
    const float ch = static_cast<float>((1.0 / 3.0f) * 100.0f);
    EXPECT_EQ(cells[0].y, 0.5f * ch);
    EXPECT_EQ(cells[2].y, 0.5f * ch + ch + ch);
    EXPECT_EQ(cells[2].x, 50.0f);
}

// Ring points: spacing from the double diagonal, angles summed in single precision, the point
// formed in double from the single-precision values.
TEST(PlacementRadial, RingPointsRoundFromDoubleOnce) {
    MyTessaron e;
    fixture::setOpaqueImage(e, 100, 100);
    const auto points = radial(e, 6);  // centre, 6 on ring 1, 12 on ring 2 kept
    const float s = static_cast<float>(std::sqrt(100.0 * 100.0 + 100.0 * 100.0)) / 6.0f;
    std::vector<Point2D> expected = {Point2D(49.5f, 49.5f)};
    for (int r = 1; r <= 2; ++r) {
        const float step = 6.2831855f / static_cast<float>(6 * r);
        float theta = r == 1 ? 0.5235988f : 0.0f;
        for (int q = 0; q < 6 * r; ++q, theta = theta + step) {
            const double rho = static_cast<float>(r) * s;
            expected.emplace_back(static_cast<float>(49.5f + rho * std::cos(double(theta))),
                                  static_cast<float>(49.5f + rho * std::sin(double(theta))));
        }
    }
    ASSERT_EQ(points.size(), expected.size());
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(samePoint(points[i], expected[i])) << i;
    }
}

TEST(PlacementGrid, ReachesOnlyShapesWithAPixelLeftOfAndAboveTheLastOnes) {
    struct Shape {
        std::vector<int32_t> xs, ys;
        int32_t maxX, maxY;
        bool reaches;
    };
    const Shape shapes[] = {
        {{3}, {4}, 3, 4, false},                          // one pixel
        {{0, 1, 2, 3}, {5, 5, 5, 5}, 3, 5, false},        // one row
        {{2, 2, 2}, {0, 1, 2}, 2, 2, false},              // one column
        {{0, 1, 2, 2, 2}, {2, 2, 2, 1, 0}, 2, 2, false},  // last row and last column only
        {{0, 1}, {0, 1}, 1, 1, true},                     // a diagonal pair
        {{2, 0}, {0, 2}, 2, 2, false},                    // the other diagonal
    };
    for (const Shape& s : shapes) {
        OpaqueIndex shape;
        shape.reset(s.maxX + 1, s.maxY + 1);
        for (size_t i = 0; i < s.xs.size(); ++i) shape.set(s.xs[i], s.ys[i]);
        shape.finish();
        EXPECT_EQ(gridReachesShape(shape, s.maxX, s.maxY), s.reaches) << s.xs.size() << " pixels";
    }
    // Brute force: a reaching shape finds at least as many centres as there are layers.
    MyTessaron e;
    fixture::setImage(e, 3, 3, [](int x, int y) { return (x == 0 && y == 0) || x + y == 4; });
    ASSERT_TRUE(gridReachesShape(e.opaquePixels, e.opaqueBounds[1], e.opaqueBounds[3]));
    EXPECT_GE(gridChoice(e, 40, 1.0f).points.size(), 40u);
}

// Counting through the shape's pixels (few pixels) or through the cells (many) gives what
// building the list gives, for fine and coarse grids and any aspect.
TEST(PlacementGrid, CountsMatchTheBuiltCandidates) {
    std::mt19937 rng(11);
    for (int shape = 0; shape < 6; ++shape) {
        MyTessaron e;
        const int density = 1 + shape * 20;  // percent of opaque pixels
        std::vector<bool> opaque(60 * 40);
        for (size_t k = 0; k < opaque.size(); ++k) {
            opaque[k] = int(rng() % 100) < density;
        }
        fixture::setImage(e, 60, 40, [&](int x, int y) { return opaque[size_t(y) * 60 + x]; });
        for (int k : {1, 2, 7, 30, 61, 150, 400}) {
            for (float aspect : {1.0f, 2.0f, 0.37f}) {
                EXPECT_EQ(e.countGridPointsInShape(k, aspect), grid(e, k, aspect).size())
                    << shape << " " << k << " " << aspect;
            }
        }
    }
}

// Counts whose bound says they cannot reach n are never examined; the others are, and the
// choice is the unbounded one.
TEST(PlacementCandidates, BoundsSkipCountsWithoutChangingTheChoice) {
    const int counts[] = {0, 2, 9, 6, 5, 12, 5, 5, 3};
    std::vector<int> examined;
    auto build = [&](int k, std::vector<Point2D>& out) { out.assign(counts[k], Point2D(k, 0)); };
    CandidateCounts c;
    c.count = [&](int k) {
        examined.push_back(k);
        return size_t(counts[k]);
    };
    c.work = [](int) { return 1.0; };
    c.atMost = [&](int k) { return double(counts[k]); };
    const auto bounded = chooseCandidates(5, 1, build, c, 100.0);
    ASSERT_TRUE(bounded.has_value());
    const CandidateChoice plain = chooseCandidates(5, 1, build);
    EXPECT_EQ(bounded->excess, plain.excess);
    EXPECT_EQ(bounded->points.size(), plain.points.size());
    EXPECT_EQ(bounded->points[0].x, plain.points[0].x);
    EXPECT_EQ(examined, (std::vector<int>{2, 3, 4, 5, 6, 7}));  // 1 and 8 are below 5
}

// When the budget runs out before any count gives n candidates there is no choice; when it runs
// out among the further counts, the best set so far is kept.
TEST(PlacementCandidates, BudgetEndsTheSearch) {
    const int counts[] = {0, 2, 9, 6, 5, 12, 5, 5, 3};
    auto build = [&](int k, std::vector<Point2D>& out) { out.assign(counts[k], Point2D(k, 0)); };
    CandidateCounts c;
    c.count = [&](int k) { return size_t(counts[k]); };
    c.work = [](int k) { return double(k); };
    c.atMost = [](int) { return 1e9; };
    EXPECT_FALSE(chooseCandidates(5, 1, build, c, 2.0).has_value());  // 1 + 2 > 2
    const auto early = chooseCandidates(5, 1, build, c, 5.0);         // 1 and 2 fit, 3 does not
    ASSERT_TRUE(early.has_value());
    EXPECT_EQ(early->excess, 4);
    EXPECT_EQ(early->points[0].x, 2.0f);
}
