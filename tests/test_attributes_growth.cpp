// The overlap-free growth of the sites' rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "attributes/Growth.h"
#include "attributes/ShapeLimit.h"
#include "attributes/SiteSize.h"
#include "shape_oracle.h"

namespace {

MySitePoint seeded(float x, float y, float w, float h, float rotation = 0.0f) {
    MySitePoint s;
    s.position = Point2D(x, y);
    s.rotation = rotation;
    seedSite(s, w, h);
    return s;
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
        const int expectedRounds = growSitesAllPairs(expected, order);
        EXPECT_EQ(growSites(sites, order), expectedRounds) << "trial " << trial;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(sites[i].width, expected[i].width) << "trial " << trial << " site " << i;
            EXPECT_EQ(sites[i].height, expected[i].height) << "trial " << trial << " site " << i;
        }
    }
}

// A tall layer starts one pixel on its long side too: two 2 x 200 bars 50 px apart along their
// length meet in the middle instead of starting 100 px tall and stopping at once.
TEST(AttributesGrowth, TallLayersSeedTheirLongerSideAtOnePixel) {
    const MySitePoint tall = seeded(0, 0, 2, 200);
    EXPECT_FLOAT_EQ(tall.height, 1.0f);
    EXPECT_FLOAT_EQ(tall.width, 0.01f);
    std::vector<MySitePoint> sites = {seeded(100, 100, 2, 200), seeded(100, 150, 2, 200)};
    growSites(sites, {0, 1});
    EXPECT_FLOAT_EQ(sites[0].height, 50.5f);
    EXPECT_FLOAT_EQ(sites[1].height, 49.5f);
    EXPECT_FLOAT_EQ(scalePercent(1.0f, sites[0]), 25.25f);
    // Lying flat, the same bars grow the same way.
    std::vector<MySitePoint> flat = {seeded(100, 100, 200, 2), seeded(150, 100, 200, 2)};
    growSites(flat, {0, 1});
    EXPECT_FLOAT_EQ(flat[0].width, 50.5f);
}

// Sites closer than a pixel (a Grid of very flat cells): seeds that already touch keep their
// one-pixel size instead of stepping out and half back, which left pairs 1.4 px deep; a third
// site well apart still grows.
TEST(AttributesGrowth, SeedsThatAlreadyTouchKeepTheirSize) {
    std::vector<MySitePoint> sites = {seeded(200, 247.8f, 50, 50, 179.4f),
                                      seeded(200, 247.4f, 50, 50, 148.7f),
                                      seeded(260, 247.4f, 50, 50)};
    growSites(sites, {0, 1, 2});
    EXPECT_EQ(sites[0].width, 1.0f);
    EXPECT_EQ(sites[1].width, 1.0f);
    EXPECT_GT(sites[2].width, 50.0f);
}

namespace {

std::vector<int32_t> inOrder(size_t n) {
    std::vector<int32_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = int32_t(i);
    }
    return order;
}

void expectSameGrowth(std::vector<MySitePoint> sites, const std::string& what) {
    std::vector<MySitePoint> expected = sites;
    const std::vector<int32_t> order = inOrder(sites.size());
    EXPECT_EQ(growSites(sites, order), growSitesAllPairs(expected, order)) << what;
    for (size_t i = 0; i < sites.size(); ++i) {
        ASSERT_EQ(sites[i].width, expected[i].width) << what << " site " << i;
        ASSERT_EQ(sites[i].height, expected[i].height) << what << " site " << i;
    }
}

}  // namespace

// The grid broad phase gives exactly the all-pairs growth: equal sizes on a lattice (every site
// touches several at once), coincident and repeated positions, one layer, and a full collage.
TEST(AttributesGrowth, BroadPhaseGivesExactlyTheAllPairsResult) {
    std::vector<MySitePoint> lattice;
    for (int i = 0; i < 400; ++i) {
        lattice.push_back(seeded(float(i % 20) * 30.0f, float(i / 20) * 30.0f, 40, 40));
    }
    expectSameGrowth(lattice, "lattice");
    std::vector<MySitePoint> same(50, seeded(10, 10, 30, 20, 45.0f));
    expectSameGrowth(same, "coincident");
    std::vector<MySitePoint> repeated;
    for (int i = 0; i < 90; ++i) {
        repeated.push_back(seeded(float(i % 3) * 100.0f, 0.0f, 60, 10, float(i)));
    }
    expectSameGrowth(repeated, "repeated");
    expectSameGrowth({seeded(5, 5, 10, 10)}, "one");
    std::vector<MySitePoint> line;  // all on one row: a degenerate grid
    for (int i = 0; i < 100; ++i) {
        line.push_back(seeded(float(i * i), 7.0f, 20, 5, float(i * 13)));
    }
    expectSameGrowth(line, "line");
    // A member that starts at its layer's full size: its cell reaches that far from the start.
    MySitePoint wide = seeded(40, 0, 100, 10);
    setLongerSide(wide, 100.0f);
    wide.placeRectangle();
    expectSameGrowth({seeded(0, 0, 50, 50), wide}, "full-size neighbour");

    std::mt19937 gen(3000);
    std::uniform_real_distribution<float> x(0.0f, 1920.0f), y(0.0f, 1080.0f), turn(0.0f, 360.0f);
    const std::pair<float, float> sizes[] = {{2, 2000}, {2000, 2}, {50, 50}, {120, 80}};
    std::vector<MySitePoint> full;
    for (int i = 0; i < 3000; ++i) {
        const auto [w, h] = sizes[i % 4];
        full.push_back(seeded(x(gen), y(gen), w, h, i % 2 ? turn(gen) : 0.0f));
    }
    expectSameGrowth(full, "3000 layers");
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

// ---------------------------------------------------------------- Keep Inside Shape
namespace {

// The share of the rectangle off the shape by the oracle (scale: image pixels per site pixel).
double bruteOffShare(const std::vector<Point2D>& corners, const OpaqueIndex& shape, double scale) {
    shape_oracle::Polygon poly;
    for (const Point2D& c : corners) poly.push_back({c.x * scale, c.y * scale});
    return shape_oracle::offShare(poly, shape.width(), shape.height(),
                                  [&](int x, int y) { return shape.opaque(x, y); });
}

// A 48 x 36 shape of a few random discs and bars.
OpaqueIndex randomShape(std::mt19937& gen) {
    std::uniform_real_distribution<double> x(0, 48), y(0, 36), r(1, 9);
    std::vector<std::array<double, 3>> discs(4);
    for (auto& d : discs) d = {x(gen), y(gen), r(gen)};
    const double barY = y(gen);
    OpaqueIndex shape;
    shape.reset(48, 36);
    for (int j = 0; j < 36; ++j) {
        for (int i = 0; i < 48; ++i) {
            bool in = std::fabs(j + 0.5 - barY) < 1.0 && i > 5;  // a thin limb
            for (const auto& d : discs) in |= std::hypot(i + 0.5 - d[0], j + 0.5 - d[1]) < d[2];
            if (in) shape.set(i, j);
        }
    }
    shape.finish();
    shape.countWords();
    return shape;
}

// count rectangles centred on the shape, 5, 25 or 45 wide and 10 high, turned at random unless
// straight.
std::vector<MySitePoint> sitesOnShape(std::mt19937& gen, const OpaqueIndex& shape, size_t count,
                                      bool straight) {
    std::uniform_real_distribution<float> x(0, 48), y(0, 36), turn(-180, 180);
    std::vector<MySitePoint> sites;
    while (sites.size() < count) {
        const Point2D p(x(gen), y(gen));
        if (!shape.opaque(int(p.x), int(p.y))) continue;
        const float w = 5 + 20 * float(sites.size() % 3), h = 10;
        sites.push_back(seeded(p.x, p.y, w, h, straight ? 0.0f : turn(gen)));
    }
    return sites;
}

}  // namespace

// The share off the shape is exact: rectangles of every size and turn, across edges, thin limbs
// and the image's borders, at full and half resolution.
TEST(AttributesShapeLimit, OffShareMatchesTheClippedPixelOracle) {
    std::mt19937 gen(21);
    std::uniform_real_distribution<float> cx(-5, 53), cy(-5, 41), side(0.2f, 30), turn(-180, 180);
    for (int trial = 0; trial < 40; ++trial) {
        const OpaqueIndex shape = randomShape(gen);
        const float scale = trial % 4 == 3 ? 0.5f : 1.0f;  // site pixels are twice the image's
        const ShapeLimit limit(shape, scale, scale, 0.1f, 0);
        for (int k = 0; k < 25; ++k) {
            const float rotation = k % 5 == 0 ? 0.0f : (k % 5 == 1 ? 90.0f : turn(gen));
            const std::vector<Point2D> corners =
                getPolygonFromPointSizeRot(Point2D(cx(gen) / scale, cy(gen) / scale),
                                           side(gen) / scale, side(gen) / scale, rotation);
            EXPECT_NEAR(limit.offShare(corners), bruteOffShare(corners, shape, scale), 1e-9)
                << "trial " << trial << " rectangle " << k;
        }
    }
}

// Grown with the limit, no rectangle lies more than the overhang off the shape, the broad phase
// still gives the all-pairs result, and without the limit the same sites spill far.
TEST(AttributesShapeLimit, GrowthKeepsEveryRectangleWithinTheOverhang) {
    std::mt19937 gen(2121);
    for (int trial = 0; trial < 8; ++trial) {
        const OpaqueIndex shape = randomShape(gen);
        const float overhang = trial % 2 ? 0.1f : 0.25f;
        std::vector<MySitePoint> sites =
            sitesOnShape(gen, shape, size_t(2 + trial * 3), trial % 3 == 0);
        std::vector<MySitePoint> reference = sites, unlimited = sites;
        const ShapeLimit limit(shape, 1, 1, overhang, sites.size());
        const std::vector<int32_t> order = inOrder(sites.size());
        const int rounds = growSites(sites, order, MaxGrowthRounds, &limit);
        EXPECT_EQ(growSitesAllPairs(reference, order, MaxGrowthRounds, &limit), rounds);
        growSites(unlimited, order, 200);
        double worstUnlimited = 0;
        for (size_t i = 0; i < sites.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "trial " << trial << " site " << i);
            EXPECT_EQ(sites[i].width, reference[i].width);
            EXPECT_LE(bruteOffShare(sites[i].corners, shape, 1), overhang + 1e-9);
            worstUnlimited =
                std::max(worstUnlimited, bruteOffShare(unlimited[i].corners, shape, 1));
        }
        EXPECT_GT(worstUnlimited, overhang) << "trial " << trial;
    }
}

// A lone layer grows too, up to the shape's edge: a 10 x 10 square centred in a 20 x 20 block
// stops when more than the overhang would lie outside.
TEST(AttributesShapeLimit, ALoneLayerGrowsToTheShapesEdge) {
    OpaqueIndex shape;
    shape.reset(40, 40);
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 30; ++x) shape.set(x, y);
    shape.finish();
    shape.countWords();
    std::vector<MySitePoint> sites = {seeded(20, 20, 10, 10)};
    const ShapeLimit none(shape, 1, 1, 0.0f, 1);
    growSites(sites, {0}, MaxGrowthRounds, &none);
    EXPECT_FLOAT_EQ(sites[0].width, 20.0f);  // 21 would overhang by 9 %
    sites = {seeded(20, 20, 10, 10)};
    const ShapeLimit tenth(shape, 1, 1, 0.1f, 1);
    growSites(sites, {0}, MaxGrowthRounds, &tenth);
    EXPECT_FLOAT_EQ(sites[0].width, 21.0f);  // 22 overhangs by 17 %
}

// A followed frame's sizes, on random sites with and without a shape limit, against the frame
// before's sizes from 0.6 to 1.5 times the grown ones: no pair the growth left apart overlaps by
// more than its step (apart at half a step less each), nothing more than the overhang off the
// shape, a site that shrank stays between its grown size and its size before, one that grew
// between a tenth less than its size before (yielding to one that shrank) and a tenth more (and
// its grown size), one without a size before as grown, and without a shape a site below its size
// before cannot take 1 % more.
TEST(AttributesShapeLimit, FollowedSizesComeBackOnlyAsFarAsTheyFit) {
    std::mt19937 gen(2525);
    for (int trial = 0; trial < 12; ++trial) {
        const OpaqueIndex shape = randomShape(gen);
        const bool limited = trial % 2 == 0;
        std::uniform_real_distribution<float> ratio(0.6f, 1.5f);
        std::vector<MySitePoint> sites =
            sitesOnShape(gen, shape, size_t(4 + trial * 2), trial % 3 == 0);
        const ShapeLimit limit(shape, 1, 1, 0.1f, sites.size());
        const ShapeLimit* shapeLimit = limited ? &limit : nullptr;
        std::vector<int32_t> order = inOrder(sites.size());
        std::shuffle(order.begin(), order.end(), gen);
        growSites(sites, order, MaxGrowthRounds, shapeLimit);
        const std::vector<MySitePoint> grown = sites;
        std::vector<float> before(order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const float size = longerSide(sites[order[i]]);
            before[i] = i % 5 == 0 ? size : i % 7 == 3 ? 0.0f : std::floor(ratio(gen) * size);
        }
        keepFollowedSizes(sites, order, before, shapeLimit);
        for (size_t i = 0; i < order.size(); ++i) {
            const int32_t s = order[i];
            SCOPED_TRACE(testing::Message() << "trial " << trial << " site " << s);
            const float size = longerSide(sites[s]), was = longerSide(grown[s]);
            if (before[i] <= 0.0f) {
                EXPECT_EQ(size, was);  // no size before: as grown
            } else if (was < before[i]) {
                EXPECT_GE(size, was);
                EXPECT_LE(size, before[i] * 1.0001f);
            } else {
                EXPECT_GE(size, before[i] * 0.8999f);
                EXPECT_LE(size, std::min(was, 1.1f * before[i]) * 1.0001f);
            }
            if (limited) {
                EXPECT_LE(bruteOffShare(sites[s].corners, shape, 1), 0.1 + 1e-9);
            }
            const auto lessHalfStep = [](MySitePoint site) {
                setLongerSide(site, longerSide(site) - 0.5f * site.growStep);
                site.placeRectangle();
                return site;
            };
            for (size_t k = 0; k < sites.size(); ++k) {
                if (int32_t(k) != s && !grown[s].intersect(grown[k])) {
                    EXPECT_FALSE(lessHalfStep(sites[s]).intersect(lessHalfStep(sites[k])))
                        << "and site " << k;
                }
            }
            const float most = was < before[i] ? before[i] : std::min(was, 1.1f * before[i]);
            if (!limited && before[i] > 0.0f && size < most * 0.999f) {
                MySitePoint larger = sites[s];
                setLongerSide(larger, 1.002f * size);
                larger.placeRectangle();
                larger = lessHalfStep(larger);
                bool touches = false;
                for (size_t k = 0; k < sites.size(); ++k) {
                    touches = touches || (int32_t(k) != s && larger.intersect(sites[k]));
                }
                EXPECT_TRUE(touches);
            }
        }
    }
}
