#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "placement/MinimumAssignment.h"

namespace {

long long totalCost(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                    const std::vector<int32_t>& columns) {
    long long sum = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        sum += squaredDistanceCost(from[i], to[columns[i]]);
    }
    return sum;
}

long long bruteForceBest(const std::vector<Point2D>& from, const std::vector<Point2D>& to) {
    std::vector<int32_t> perm(from.size());
    std::iota(perm.begin(), perm.end(), 0);
    long long best = -1;
    do {
        const long long c = totalCost(from, to, perm);
        best = (best < 0 || c < best) ? c : best;
    } while (std::next_permutation(perm.begin(), perm.end()));
    return best;
}

bool isPermutation(std::vector<int32_t> columns) {
    std::sort(columns.begin(), columns.end());
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] != static_cast<int32_t>(i)) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(PlacementAssignment, MatchesBruteForceOnSmallRandomInputs) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> coord(0, 500);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + trial % 7;
        std::vector<Point2D> from, to;
        for (int i = 0; i < n; ++i) {
            from.emplace_back(coord(rng), coord(rng));
            to.emplace_back(coord(rng), coord(rng));
        }
        const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>(n, true));
        ASSERT_TRUE(isPermutation(columns));
        EXPECT_EQ(totalCost(from, to, columns), bruteForceBest(from, to)) << trial;
    }
}

TEST(PlacementAssignment, LayersMoveToTheNearestFreeSites) {
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(100, 0), Point2D(200, 0)};
    const std::vector<Point2D> to = {Point2D(210, 5), Point2D(-3, 2), Point2D(95, -4)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>(3, true));
    EXPECT_EQ(columns, (std::vector<int32_t>{1, 2, 0}));
}

// 60000 px apart is beyond the 32-bit range of squared distances; 64-bit costs still order them.
TEST(PlacementAssignment, FarDistancesDoNotOverflow) {
    EXPECT_EQ(squaredDistanceCost(Point2D(0, 0), Point2D(60000, 0)), 3600000000LL);
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(70000, 0)};
    const std::vector<Point2D> to = {Point2D(69000, 0), Point2D(-60000, 0)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>(2, true));
    EXPECT_EQ(columns, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(squaredDistanceCost(Point2D(0, 0), Point2D(1e30f, 0)), kMaxAssignmentCost);
}

TEST(PlacementAssignment, UnknownStartsTakeWhatTheOthersLeave) {
    const std::vector<Point2D> from = {Point2D(0, 0), Point2D(0, 0)};
    const std::vector<Point2D> to = {Point2D(500, 0), Point2D(1, 0)};
    const auto columns = minimumDistanceAssignment(from, to, std::vector<bool>{false, true});
    EXPECT_EQ(columns, (std::vector<int32_t>{0, 1}));
}
