#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/MyTessaron.h"
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
        lastK = k;
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
    std::srand(4);
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
    // The first pick is trunc(m x rand draw) with the remaining list keeping its order.
    std::srand(4);
    const int first = static_cast<int>(50.0f * static_cast<float>(std::rand() / (RAND_MAX + 1.0)));
    EXPECT_EQ(picked[0].x, float(first));
}
