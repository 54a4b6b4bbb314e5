// Offset orders and key times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>

#include "animation/KeyTime.h"
#include "animation/OffsetOrder.h"
#include "engine/Random.h"
#include "engine_fixture.h"
#include "streams/HostTime.h"

namespace {

std::vector<IndexedPoint> points(const std::vector<Point2D>& ps) {
    std::vector<IndexedPoint> list;
    for (size_t i = 0; i < ps.size(); ++i) {
        list.push_back(IndexedPoint{int32_t(i), ps[i]});
    }
    return list;
}

std::vector<int32_t> placesBy(OffsetMethod method, const std::vector<Point2D>& ps,
                              OffsetCentres centres = {}) {
    std::vector<IndexedPoint> list = points(ps);
    orderByOffsetMethod(list, method, centres, [] { return 0; });
    return orderPositions(list);
}

// Five layers: a cross around (50, 50).
const std::vector<Point2D> kCross = {Point2D(50, 50), Point2D(10, 50), Point2D(95, 50),
                                     Point2D(50, 3), Point2D(50, 80)};

}  // namespace

TEST(AnimationOffsets, PositionalOrders) {
    using V = std::vector<int32_t>;
    // Layers 0, 3 and 4 share x = 50: their three middle places come in no set order.
    const V lr = placesBy(OffsetMethod::FromLeftToRight, kCross);
    EXPECT_EQ(lr[1], 0);
    EXPECT_EQ(lr[2], 4);
    const V rl = placesBy(OffsetMethod::FromRightToLeft, kCross);
    EXPECT_EQ(rl[2], 0);
    EXPECT_EQ(rl[1], 4);
    // Top first: y grows downwards.
    EXPECT_EQ(placesBy(OffsetMethod::FromTopToBottom, kCross)[3], 0);
    EXPECT_EQ(placesBy(OffsetMethod::FromTopToBottom, kCross)[4], 4);
    EXPECT_EQ(placesBy(OffsetMethod::FromBottomToTop, kCross)[4], 0);
    EXPECT_EQ(placesBy(OffsetMethod::FromBottomToTop, kCross)[3], 4);
    const OffsetCentres centres{Point2D(50, 50), Point2D(90, 50)};
    EXPECT_EQ(placesBy(OffsetMethod::DistanceFromCompCenter, kCross, centres), (V{0, 2, 3, 4, 1}));
    EXPECT_EQ(placesBy(OffsetMethod::DistanceFromImageCenter, kCross, centres), (V{1, 4, 0, 3, 2}));
    EXPECT_EQ(placesBy(asMode<OffsetMethod>(0), kCross), (V{0, 1, 2, 3, 4}));
    EXPECT_EQ(placesBy(asMode<OffsetMethod>(8), kCross), (V{0, 1, 2, 3, 4}));
}

TEST(AnimationOffsets, RandomShufflesWithRandModuloKPlusOne) {
    std::vector<IndexedPoint> list = points(kCross);
    std::vector<int> draws = {1, 5, 7,
                              2};  // k = 1: 1 % 2, k = 2: 5 % 3, k = 3: 7 % 4, k = 4: 2 % 5
    size_t taken = 0;
    orderByOffsetMethod(list, OffsetMethod::Random, {}, [&] { return draws.at(taken++); });
    EXPECT_EQ(taken, 4u);
    // [0 1 2 3 4] -> swap(1,1) -> swap(2,2) -> swap(3,3) -> swap(4,2): [0 1 4 3 2]
    std::vector<int32_t> order;
    for (const IndexedPoint& p : list) {
        order.push_back(p.index);
    }
    EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 4, 3, 2}));
    EXPECT_EQ(orderPositions(list), (std::vector<int32_t>{0, 1, 4, 3, 2}));
    list = points({Point2D()});
    orderByOffsetMethod(list, OffsetMethod::Random, {}, [&] { return draws.at(taken++); });
    EXPECT_EQ(taken, 4u);  // a single layer draws nothing
}

TEST(AnimationOffsets, PlacesAreAPermutationMatchingASortByKey) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> coord(0, 1000);
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<Point2D> ps;
        for (int i = 0; i < 1 + trial; ++i) {
            ps.push_back(Point2D(coord(gen), coord(gen)));
        }
        const std::vector<int32_t> places = placesBy(OffsetMethod::FromLeftToRight, ps);
        std::vector<int32_t> sorted = places;
        std::sort(sorted.begin(), sorted.end());
        for (size_t k = 0; k < sorted.size(); ++k) {
            ASSERT_EQ(sorted[k], int32_t(k));
        }
        for (size_t a = 0; a < ps.size(); ++a) {
            for (size_t b = 0; b < ps.size(); ++b) {
                if (ps[a].x < ps[b].x) {
                    EXPECT_LT(places[a], places[b]);
                }
            }
        }
    }
}

TEST(AnimationOffsets, KeyTimesSpreadTheOrderOverTheOffset) {
    // 3 layers, Offset 2 frames, 25 fps, frame 10.
    EXPECT_EQ(keyTimeAt(offsetKeySeconds(10, 0.04, 2, 3, 2)).value, 48000);
    EXPECT_EQ(keyTimeAt(offsetKeySeconds(10, 0.04, 1, 3, 2)).value, 44000);
    EXPECT_EQ(keyTimeAt(offsetKeySeconds(10, 0.04, 0, 3, 2)).value, 40000);
    EXPECT_EQ(keyTimeAt(0.48).scale, 100000u);
    // One layer is never shifted; Offset 0 shifts nobody.
    EXPECT_EQ(offsetKeySeconds(10, 0.04, 0, 1, 5), 10 * 0.04);
    EXPECT_EQ(offsetKeySeconds(10, 0.04, 2, 3, 0), 10 * 0.04);
    // n layers over n - 1 frames: consecutive places one frame apart.
    for (int place = 0; place < 5; ++place) {
        EXPECT_EQ(keyTimeAt(offsetKeySeconds(0, 0.04, place, 5, 4)).value, 4000 * place);
    }
    // Rounded half up at the fixed scale.
    EXPECT_EQ(keyTimeAt(0.000005).value, 1);
    EXPECT_EQ(keyTimeAt(1.0 / 30.0).value, 3333);
}

TEST(AnimationOffsets, KeyTimesTooLateForTheFixedScaleFallBackToMilliseconds) {
    EXPECT_EQ(keyTimeAt(21474.83647).value, 2147483647);  // the last time that fits
    EXPECT_EQ(keyTimeAt(21474.83647).scale, 100000u);
    const A_Time late = keyTimeAt(30000.0404);
    EXPECT_EQ(late.value, 30000040);
    EXPECT_EQ(late.scale, 1000u);
    EXPECT_EQ(keyTimeAt(1e9).value, INT32_MAX);  // saturated, never wrapped
    EXPECT_EQ(keyTimeAt(-1e9).value, INT32_MIN);
}

TEST(AnimationOffsets, KeyTimesMoveOnlyWhenNotAfterThePreviousKey) {
    const A_Time a = {40000, 100000}, b = {20000, 100000}, c = {44000, 100000};
    // Kept: already in order, and frames without a key neither move nor count.
    std::vector<A_Time> t = orderedKeyTimes({b, a, c}, {true, true, true}, 0.04);
    EXPECT_EQ(t[0].value, 20000);
    EXPECT_EQ(t[1].value, 40000);
    EXPECT_EQ(t[2].value, 44000);
    t = orderedKeyTimes({a, b, c}, {true, false, true}, 0.04);
    EXPECT_EQ(t[1].value, 20000);
    EXPECT_EQ(t[2].value, 44000);
    // Moved: on or before the previous key's time goes one frame after it, and the keys after
    // follow the moved one.
    t = orderedKeyTimes({a, a, b, c}, {true, true, true, true}, 0.04);
    EXPECT_EQ(t[1].value, 44000);
    EXPECT_EQ(t[2].value, 48000);
    EXPECT_EQ(t[3].value, 52000);
    // Times at different scales compare exactly.
    EXPECT_TRUE(laterTime({30000041, 1000}, {2147483647, 100000}));
    EXPECT_FALSE(laterTime({1, 1000}, {100, 100000}));
    EXPECT_FALSE(laterTime({100, 100000}, {1, 1000}));
    t = orderedKeyTimes({{30000040, 1000}, {30000040, 1000}}, {true, true}, 0.04);
    EXPECT_EQ(t[1].value, 30000080);
    EXPECT_EQ(t[1].scale, 1000u);
    // A frame too short for the scale still moves the key on by one tick.
    t = orderedKeyTimes({a, a}, {true, true}, 0.0);
    EXPECT_EQ(t[1].value, 40001);
}

TEST(AnimationOffsets, NearestKeyIndexTakesTheEarlierKeyOnATie) {
    const std::vector<double> keys = {0.4, 0.8, 1.2};
    EXPECT_EQ(nearestKeyIndex(keys, 0.8), 1);
    EXPECT_EQ(nearestKeyIndex(keys, 0.0), 0);
    EXPECT_EQ(nearestKeyIndex(keys, 9.0), 2);
    EXPECT_EQ(nearestKeyIndex(keys, 0.6), 0);  // halfway
    EXPECT_EQ(nearestKeyIndex(keys, 0.61), 1);
    EXPECT_EQ(nearestKeyIndex({2.0}, -1.0), 0);
    EXPECT_EQ(timeSeconds(A_Time{48000, 100000}), 0.48);
    EXPECT_EQ(timeSeconds(A_Time{5, 0}), 0.0);
}

TEST(AnimationOffsets, NearestKeyIndexMatchesALinearScan) {
    std::mt19937 gen(11);
    std::uniform_int_distribution<int> tick(0, 60);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<double> keys;
        for (int q = 0; q < 1 + trial % 9; ++q) {
            keys.push_back(tick(gen) * 0.04);
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        const double t = tick(gen) * 0.02;
        int best = 0;
        for (size_t q = 1; q < keys.size(); ++q) {
            if (std::fabs(keys[q] - t) < std::fabs(keys[best] - t)) {
                best = int(q);
            }
        }
        ASSERT_EQ(nearestKeyIndex(keys, t), best) << "trial " << trial;
    }
}

namespace {

// An engine of one frame whose layers take the sites at the given points (image 100 x 100).
void placeSites(MyTessaron& e, const std::vector<Point2D>& at) {
    e.layerCount = int32_t(at.size());
    fixture::setNeutralSettings(e, 1);
    e.init();
    e.imageWidth = 100;
    e.imageHeight = 100;
    for (const Point2D& p : at) {
        MySitePoint site;
        site.position = p;
        e.sites.push_back(site);
    }
    std::vector<int32_t> ids(at.size());
    std::iota(ids.begin(), ids.end(), 0);
    e.assignmentIds = {ids};
}

std::vector<int32_t> placesAtFrame0(MyTessaron& e, OffsetMethod method) {
    e.offsetMethods[0] = method;
    e.getOffsets(A_Time{0, 25}, 0);
    std::vector<int32_t> places;
    for (int i = 0; i < e.layerCount; ++i) {
        places.push_back(e.offsets[i][0]);
    }
    return places;
}

}  // namespace

// Layer i is ordered by the site it was assigned, not by its own number; Distance from Comp
// Center measures from the middle of the image, Distance from Image Center from the middle of
// the opaque bounds.
TEST(AnimationOffsets, EngineOrdersEachLayerByItsAssignedSite) {
    MyTessaron e;
    placeSites(e, {Point2D(50, 50), Point2D(10, 50), Point2D(95, 50)});
    const int32_t bounds[4] = {80, 100, 40, 60};  // shape centre (90, 50)
    std::copy(bounds, bounds + 4, e.opaqueBounds);
    e.assignmentIds = {{2, 0, 1}};  // layers at x = 95, 50 and 10
    using V = std::vector<int32_t>;
    EXPECT_EQ(placesAtFrame0(e, OffsetMethod::FromLeftToRight), (V{2, 1, 0}));
    EXPECT_EQ(placesAtFrame0(e, OffsetMethod::FromRightToLeft), (V{0, 1, 2}));
    // Distances 45, 0, 40 from (50, 50), then 5, 40, 80 from (90, 50).
    EXPECT_EQ(placesAtFrame0(e, OffsetMethod::DistanceFromCompCenter), (V{2, 0, 1}));
    EXPECT_EQ(placesAtFrame0(e, OffsetMethod::DistanceFromImageCenter), (V{0, 1, 2}));
    // An unknown method keeps the layer order.
    EXPECT_EQ(placesAtFrame0(e, asMode<OffsetMethod>(9)), (V{0, 1, 2}));
}

// The Random order shuffles with the pick generator and leaves the value generator alone, so
// the stages after it draw the same numbers whatever the Offset Method.
TEST(AnimationOffsets, EngineRandomOrderDrawsFromThePickGeneratorOnly) {
    MyTessaron e;
    placeSites(e, {Point2D(1, 1), Point2D(2, 2), Point2D(3, 3), Point2D(4, 4), Point2D(5, 5)});
    seedRandomSources(99);
    const std::vector<int32_t> places = placesAtFrame0(e, OffsetMethod::Random);
    const uint64_t nextValue = genrand64_int64();
    const uint64_t nextPick = pick_int64();

    seedRandomSources(99);
    std::vector<int32_t> order = {0, 1, 2, 3, 4};
    for (size_t k = 1; k < order.size(); ++k) {
        std::swap(order[k], order[size_t(randomInt31()) % (k + 1)]);
    }
    std::vector<int32_t> expected(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
        expected[size_t(order[k])] = int32_t(k);
    }
    EXPECT_EQ(places, expected);
    EXPECT_EQ(genrand64_int64(), nextValue);
    EXPECT_EQ(pick_int64(), nextPick);
}
