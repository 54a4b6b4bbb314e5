// The overlap-free growth of the sites' rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "attributes/Growth.h"
#include "attributes/SiteSize.h"

namespace {

MySitePoint seeded(float x, float y, float w, float h, float rotation = 0.0f) {
    MySitePoint s;
    s.position = Point2D(x, y);
    s.rotation = rotation;
    seedSite(s, w, h);
    return s;
}

// The growth as plainly described: every site against every other, in site index order.
int referenceGrowth(std::vector<MySitePoint>& sites, const std::vector<int32_t>& order) {
    if (order.size() == 1) {
        sites[0].width = sites[0].layerWidth;
        sites[0].height = sites[0].layerHeight;
        return 0;
    }
    int rounds = 0;
    bool growing = true;
    while (growing) {
        ++rounds;
        for (int32_t s : order) {
            MySitePoint& site = sites[s];
            if (site.growing) {
                site.update();
            }
            for (size_t k = 0; k < sites.size() && site.growing; ++k) {
                if (int32_t(k) != s && site.intersect(sites[k])) {
                    site.growing = false;
                    site.updateBack();
                }
            }
        }
        growing = false;
        for (const MySitePoint& s : sites) {
            growing = growing || s.growing;
        }
    }
    return rounds;
}

}  // namespace

TEST(AttributesGrowth, TwoSquareSitesEndAtFiftyPointFiveAndFortyNinePointFive) {
    std::vector<MySitePoint> sites = {seeded(100, 100, 100, 100), seeded(150, 100, 100, 100)};
    const int rounds = growSites(sites, {0, 1});
    EXPECT_EQ(rounds, 50);
    EXPECT_FLOAT_EQ(sites[0].width, 50.5f);
    EXPECT_FLOAT_EQ(sites[1].width, 49.5f);
    EXPECT_FLOAT_EQ(scalePercent(1.0f, sites[0]), 50.5f);
    EXPECT_FLOAT_EQ(scalePercent(1.0f, sites[1]), 49.5f);
}

TEST(AttributesGrowth, VisitingOrderDecidesWhoGrowsFurther) {
    std::vector<MySitePoint> sites = {seeded(100, 100, 100, 100), seeded(150, 100, 100, 100)};
    growSites(sites, {1, 0});
    EXPECT_FLOAT_EQ(sites[1].width, 50.5f);
    EXPECT_FLOAT_EQ(sites[0].width, 49.5f);
}

TEST(AttributesGrowth, OneSiteTakesItsLayersOwnSize) {
    std::vector<MySitePoint> sites = {seeded(10, 10, 200, 100)};
    growSites(sites, {0});
    EXPECT_EQ(sites[0].width, 200.0f);
    EXPECT_EQ(sites[0].height, 100.0f);
    EXPECT_FLOAT_EQ(scalePercent(1.0f, sites[0]), 100.0f);
    EXPECT_FLOAT_EQ(scalePercent(0.5f, sites[0]), 50.0f);
}

TEST(AttributesGrowth, MatchesThePlainAllPairsGrowthOnRandomSites) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> side(1.0f, 400.0f), angle(-180.0f, 180.0f);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + trial % 11;
        // Crowded sites, and sites spread far apart so that most pairs never come near.
        std::uniform_real_distribution<float> coord(0.0f, trial % 2 ? 3000.0f : 300.0f);
        std::vector<MySitePoint> sites;
        for (int i = 0; i < n; ++i) {
            const float rotation = trial % 3 == 0 ? 0.0f : angle(gen);
            sites.push_back(seeded(coord(gen), coord(gen), std::floor(side(gen)),
                                   std::floor(side(gen)), rotation));
        }
        std::vector<int32_t> order(n);
        for (int i = 0; i < n; ++i) {
            order[i] = (i * 7 + trial) % n;  // a permutation: n never shares a factor with 7
        }
        if (n % 7 == 0) {
            for (int i = 0; i < n; ++i) order[i] = n - 1 - i;
        }
        std::vector<MySitePoint> expected = sites;
        const int expectedRounds = referenceGrowth(expected, order);
        EXPECT_EQ(growSites(sites, order), expectedRounds) << "trial " << trial;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(sites[i].width, expected[i].width) << "trial " << trial << " site " << i;
            EXPECT_EQ(sites[i].height, expected[i].height) << "trial " << trial << " site " << i;
        }
    }
}

TEST(AttributesGrowth, ZeroSizeLayersNeitherGrowNorStopOthers) {
    for (auto [w, h] : {std::pair{0.0f, 100.0f}, {100.0f, 0.0f}, {0.0f, 0.0f}}) {
        MySitePoint empty = seeded(125, 100, w, h);
        EXPECT_FALSE(empty.growing);
        EXPECT_EQ(empty.aspect, 1.0f);
        EXPECT_EQ(empty.width, 0.0f);
        EXPECT_EQ(empty.radius, 0.0f);

        std::vector<MySitePoint> with = {seeded(100, 100, 100, 100), empty,
                                         seeded(150, 100, 100, 100)};
        std::vector<MySitePoint> without = {with[0], with[2]};
        growSites(with, {0, 1, 2});
        growSites(without, {0, 1});
        EXPECT_EQ(with[0].width, without[0].width);
        EXPECT_EQ(with[2].width, without[1].width);
        EXPECT_EQ(with[1].width, 0.0f);
        // Such a layer keeps its own size, whatever the rescale factor.
        EXPECT_FLOAT_EQ(scalePercent(0.8f, with[1]), 80.0f);
        EXPECT_TRUE(std::isfinite(scalePercent(1.0f, with[1])));
    }
}

TEST(AttributesGrowth, ALoneRealLayerAmongEmptyOnesTakesItsOwnSize) {
    std::vector<MySitePoint> sites = {seeded(0, 0, 0, 50), seeded(100, 100, 80, 40)};
    EXPECT_EQ(growSites(sites, {0, 1}), 0);
    EXPECT_EQ(sites[1].width, 80.0f);
    EXPECT_EQ(sites[1].height, 40.0f);
}

TEST(AttributesGrowth, StopsAtTheRoundBound) {
    std::vector<MySitePoint> sites = {seeded(0, 0, 10, 10), seeded(1000, 0, 10, 10)};
    EXPECT_EQ(growSites(sites, {0, 1}, 3), 3);
    EXPECT_FALSE(sites[0].growing);
    EXPECT_FALSE(sites[1].growing);
    EXPECT_FLOAT_EQ(sites[0].height, 4.0f);  // the seed plus three steps
}

TEST(AttributesSiteSize, LongerSideFollowsTheAspect) {
    MySitePoint wide = seeded(0, 0, 200, 100);
    setLongerSide(wide, 120.0f);
    EXPECT_EQ(wide.width, 120.0f);
    EXPECT_EQ(wide.height, 60.0f);
    MySitePoint portrait = seeded(0, 0, 100, 200);
    setLongerSide(portrait, 120.0f);
    EXPECT_EQ(portrait.height, 120.0f);
    EXPECT_EQ(portrait.width, 60.0f);
    EXPECT_FLOAT_EQ(scalePercent(1.0f, portrait), 60.0f);  // width over own width
    MySitePoint square = seeded(0, 0, 50, 50);
    setLongerSide(square, 30.0f);
    EXPECT_EQ(square.width, 30.0f);
    EXPECT_EQ(square.height, 30.0f);
}

TEST(AttributesSiteSize, SeedIsOnePixelWideWithTheLayersProportions) {
    const MySitePoint s = seeded(10, 20, 200, 100, 90.0f);
    EXPECT_EQ(s.width, 1.0f);
    EXPECT_EQ(s.height, 0.5f);
    EXPECT_EQ(s.aspect, 2.0f);
    EXPECT_TRUE(s.growing);
    EXPECT_EQ(s.growStep, 1.0f);
    EXPECT_FLOAT_EQ(s.radius, 0.5f * std::sqrt(1.25f));
    ASSERT_EQ(s.corners.size(), 4u);
    EXPECT_NEAR(s.corners[0].x, 10.25f, 1e-4);  // turned a quarter clockwise
    EXPECT_NEAR(s.corners[0].y, 19.5f, 1e-4);
}
