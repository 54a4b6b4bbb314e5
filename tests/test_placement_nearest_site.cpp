#include <gtest/gtest.h>

#include <random>

#include "placement/NearestSite.h"
#include "scoped_switches.h"

namespace {

std::vector<Point2D> randomPoints(std::mt19937& rng, int count, float w, float h) {
    std::uniform_real_distribution<float> x(0, w), y(0, h);
    std::vector<Point2D> points;
    for (int i = 0; i < count; ++i) {
        points.emplace_back(x(rng), y(rng));
    }
    return points;
}

// The grid search with 1 and with 3 threads, the samples grouped on every search and once for
// all, checked against the kd-tree reference.
void expectSameAsReference(const std::vector<Point2D>& sites, const std::vector<Point2D>& samples,
                           const char* what) {
    const std::vector<int32_t> reference = nearestSitesKdTree(sites, samples);
    const std::vector<uint32_t> order = cellOrder(samples, static_cast<int>(sites.size()));
    for (size_t grouped : {size_t(0), sites.size()}) {
        const OrderedSamples ordered = orderSamples(samples, order, grouped);
        // The centres' sites of the search before: none, then those of the sites reversed.
        std::vector<int32_t> centres;
        std::vector<Point2D> reversed(sites.rbegin(), sites.rend());
        nearestSitesGrid(reversed, ordered, &centres);
        for (int threads : {1, 3}) {
            const ScopedWorkerThreads pinned(threads);
            EXPECT_EQ(nearestSitesGrid(sites, ordered), reference)
                << what << " " << threads << " " << grouped;
            EXPECT_EQ(nearestSitesGrid(sites, ordered, &centres), reference)
                << what << " " << threads << " " << grouped << " from the centres' sites";
            // Rounds: from the sites reversed (all moved), then back from a third of them moved
            // a little and one far, so that only some cells are searched again.
            std::vector<Point2D> moved(sites);
            for (size_t j = 0; j < moved.size(); j += 3) {
                moved[j].x += 0.7f * float(j % 5) - 1.4f;
                moved[j].y -= 0.3f * float(j % 7);
            }
            if (moved.size() > 1) {
                const Point2D& far = sites[sites.size() / 2];
                moved[1] = Point2D(far.x + 0.5f, far.y - 0.5f);
            }
            NearestSiteRounds rounds(ordered, sites.size());
            rounds.search(reversed);
            EXPECT_EQ(rounds.search(sites), reference) << what << " " << threads << " rounds";
            EXPECT_EQ(rounds.search(moved), nearestSitesKdTree(moved, samples))
                << what << " " << threads << " rounds, moved";
            EXPECT_EQ(rounds.search(sites), reference)
                << what << " " << threads << " rounds, moved back";
        }
    }
}

}  // namespace

TEST(PlacementNearestSite, GridMatchesKdTreeOnRandomPoints) {
    std::mt19937 rng(5);
    for (int n : {1, 2, 17, 400, 3000}) {
        const auto sites = randomPoints(rng, n, 1920, 1080);
        // Samples beyond the sites' bounds as well as among them.
        std::vector<Point2D> samples = randomPoints(rng, 20000, 2400, 1400);
        for (Point2D& p : samples) {
            p.x -= 240;
            p.y -= 160;
        }
        expectSameAsReference(sites, samples, "random");
    }
}

// Sites on a lattice and samples halfway between them: two or four sites are exactly as near,
// and the lowest index wins in both searches.
TEST(PlacementNearestSite, EquidistantSitesGoToTheLowestIndex) {
    std::vector<Point2D> sites, samples;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            sites.emplace_back(10.0f * x, 10.0f * y);
            samples.emplace_back(10.0f * x + 5.0f, 10.0f * y);
            samples.emplace_back(10.0f * x + 5.0f, 10.0f * y + 5.0f);
        }
    }
    std::mt19937 rng(2);
    std::shuffle(sites.begin(), sites.end(), rng);
    expectSameAsReference(sites, samples, "lattice");

    const std::vector<Point2D> pair = {Point2D(10, 0), Point2D(0, 0)};
    const std::vector<Point2D> middle = {Point2D(5, 0), Point2D(5, 7)};
    EXPECT_EQ(nearestSitesGrid(pair, orderSamples(middle, {1, 0})), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(nearestSitesKdTree(pair, middle), (std::vector<int32_t>{0, 0}));
}

TEST(PlacementNearestSite, RepeatedAndCollinearSites) {
    std::mt19937 rng(8);
    const auto samples = randomPoints(rng, 5000, 300, 200);
    // Every site on one point: all samples go to site 0.
    const std::vector<Point2D> same(50, Point2D(100.5f, 40.25f));
    expectSameAsReference(same, samples, "one point");
    EXPECT_EQ(nearestSitesGrid(same, orderSamples(samples, cellOrder(samples, 50))),
              std::vector<int32_t>(samples.size(), 0));
    // Pairs of repeated sites among others, and every site on one row or one column.
    std::vector<Point2D> pairs = randomPoints(rng, 200, 300, 200);
    pairs.insert(pairs.end(), pairs.begin(), pairs.begin() + 100);
    std::shuffle(pairs.begin(), pairs.end(), rng);
    expectSameAsReference(pairs, samples, "pairs");
    std::vector<Point2D> row, column;
    for (int i = 0; i < 300; ++i) {
        row.emplace_back(float(i % 150) * 2.0f, 50.0f);
        column.emplace_back(120.0f, float(i % 100) * 2.0f);
    }
    expectSameAsReference(row, samples, "row");
    expectSameAsReference(column, samples, "column");
}

TEST(PlacementNearestSite, NoSitesNoNearest) {
    const std::vector<Point2D> samples = {Point2D(1, 2)};
    EXPECT_EQ(nearestSitesGrid({}, orderSamples(samples, {0})), (std::vector<int32_t>{-1}));
}

TEST(PlacementNearestSite, CellOrderVisitsEveryPointOnce) {
    std::mt19937 rng(3);
    // Spread over an area, and along a line 1e-12 px thick (cells that small
    // would be counted in the billions).
    std::vector<Point2D> thin = randomPoints(rng, 1000, 30000, 1e-12f);
    for (const auto& points : {randomPoints(rng, 1000, 500, 300), thin}) {
        std::vector<uint32_t> order = cellOrder(points, 40);
        std::sort(order.begin(), order.end());
        for (uint32_t k = 0; k < order.size(); ++k) {
            ASSERT_EQ(order[k], k);
        }
    }
}
