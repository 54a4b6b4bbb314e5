// The simulated host's project model: times, keys, interpolation and the layer-to-world matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "sim/model/Model.h"

namespace {

using sim::Interp;
using sim::Stream;
using sim::Time;
using sim::Vec3;

Stream oneD() {
    Stream s;
    s.dims = 1;
    return s;
}

TEST(SimModelTime, FromSecondsRoundsToTheNearestUnit) {
    EXPECT_EQ(Time::fromSeconds(0.48).value, 48000);
    EXPECT_EQ(Time::fromSeconds(0.48).scale, 100000u);
    EXPECT_EQ(Time::fromSeconds(1.0 / 3.0, 3).value, 1);
    EXPECT_EQ(Time::fromSeconds(0.000004).value, 0);
    EXPECT_EQ(Time::fromSeconds(0.000005).value, 1);
}

TEST(SimModelTime, ComparesAcrossScalesExactly) {
    EXPECT_TRUE(sim::sameTime(Time{1, 25}, Time{4000, 100000}));
    EXPECT_FALSE(sim::sameTime(Time{1, 25}, Time{4001, 100000}));
    EXPECT_TRUE(sim::earlier(Time{3999, 100000}, Time{1, 25}));
    EXPECT_FALSE(sim::earlier(Time{1, 25}, Time{4000, 100000}));
}

TEST(SimModelKeys, InsertInTimeOrderAndReplaceAtAnExistingTime) {
    Stream s = oneD();
    EXPECT_EQ(s.addKey(Time{2, 1}, {20, 0, 0}), 0);
    EXPECT_EQ(s.addKey(Time{1, 1}, {10, 0, 0}), 0);
    EXPECT_EQ(s.addKey(Time{3, 1}, {30, 0, 0}), 2);
    s.keys[1].edit().outInterp = Interp::Hold;
    s.keys[1].edit().outEase[0].speed = 5;
    // Same time, another scale: the key takes the value and keeps its attributes.
    EXPECT_EQ(s.addKey(Time{50, 25}, {99, 0, 0}), 1);
    ASSERT_EQ(s.keys.size(), 3u);
    EXPECT_EQ(s.keys[1].value[0], 99);
    EXPECT_EQ(s.keys[1].style().outInterp, Interp::Hold);
    EXPECT_EQ(s.keys[1].style().outEase[0].speed, 5);
    EXPECT_EQ(s.keyIndexAt(Time{200000, 100000}), 1);
    EXPECT_EQ(s.keyIndexAt(Time{5, 2}), -1);
}

TEST(SimModelKeys, NewKeysHaveOneEasePerTemporalDimension) {
    Stream s;
    s.easeDims = 3;
    s.addKey(Time{0, 1}, {1, 2, 3});
    EXPECT_EQ(s.keys[0].style().inEase.size(), 3u);
    EXPECT_EQ(s.keys[0].style().outEase.size(), 3u);
    EXPECT_EQ(s.keys[0].style().inInterp, Interp::Linear);
}

// Keys keep their seldom-changed parts in the property's table of distinct styles, shared by
// keys alike wherever they are: a copy of the project (an undo snapshot) keeps its styles
// whatever the original's keys are given later, and an entry no key uses is reused.
TEST(SimModelKeys, KeysShareStylesAndACopyIsUnchangedByEditsOfTheOriginal) {
    Stream s;
    s.easeDims = 3;
    for (int32_t f = 0; f < 4; ++f) s.addKey(Time{f, 25}, {1, 2, 3});
    EXPECT_TRUE(s.keys[0].sharesStyleWith(s.keys[3]));
    const Stream snapshot = s;
    for (size_t i = 0; i < s.keys.size(); ++i) {
        sim::KeyStyle style = s.keys.style(i);
        style.outInterp = Interp::Bezier;
        style.outEase[2] = {0, 33.3333};
        s.keys.setStyle(i, style);
    }
    EXPECT_EQ(snapshot.keys[1].style().outInterp, Interp::Linear);
    EXPECT_EQ(snapshot.keys[1].style().outEase[2].influence, sim::Ease().influence);
    EXPECT_TRUE(s.keys[0].sharesStyleWith(s.keys[3]));  // edited alike, shared again
    EXPECT_FALSE(s.keys[0].sharesStyleWith(snapshot.keys[0]));
    // A style that differs in a zero's sign only is not shared.
    s.keys[3].edit().inEase[0].speed = -0.0;
    EXPECT_FALSE(s.keys[3].sharesStyleWith(s.keys[2]));
    EXPECT_TRUE(std::signbit(s.keys[3].style().inEase[0].speed));
    EXPECT_EQ(s.keys.style(3).inEase[0].speed, 0.0);
    // Keys alike apart (A B A) share one entry; keys given another style leave theirs.
    s.keys[1].edit().inInterp = Interp::Hold;
    s.keys[2].edit().inInterp = Interp::Hold;
    s.keys[3].edit().inEase[0].speed = 0.0;
    EXPECT_TRUE(s.keys[0].sharesStyleWith(s.keys[3]));
    EXPECT_TRUE(s.keys[1].sharesStyleWith(s.keys[2]));
    EXPECT_FALSE(s.keys[0].sharesStyleWith(s.keys[1]));
    EXPECT_EQ(s.keys.styleId(0), s.keys.styleId(3));
    EXPECT_NE(s.keys.styleId(0), s.keys.styleId(1));
    // Every key restyled one by one, three times: the entries freed are reused, so the table
    // holds no more than the four styles in use at once (two old, two new).
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < s.keys.size(); ++i) s.keys[i].edit().outEase[0].speed = round + 1.0;
        for (size_t i = 0; i < s.keys.size(); ++i) EXPECT_LT(s.keys.styleId(i), 4u);
    }
    EXPECT_TRUE(s.keys[0].sharesStyleWith(s.keys[3]));
    EXPECT_EQ(s.keys[2].style().outEase[0].speed, 3.0);
    EXPECT_EQ(snapshot.keys[2].style().outEase[0].speed, 0.0);
    // Removing and keying over keys keeps the others' styles.
    s.keys.erase(0);
    EXPECT_EQ(s.addKey(Time{2, 25}, {7, 7, 7}), 1);
    EXPECT_EQ(s.keys[1].value[0], 7.0);
    EXPECT_EQ(s.keys[1].style().outEase[0].speed, 3.0);
}

// The binary-search insertion against a map keyed by exact time, on random input.
TEST(SimModelKeys, InsertionMatchesAnOrderedMapOnRandomTimes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        Stream s = oneD();
        std::map<int64_t, double> expected;  // by time in 1/600000 s
        for (int i = 0; i < 200; ++i) {
            const uint32_t scale = (rng() % 2) ? 25 : 100000;
            const int32_t value = int32_t(rng() % (scale == 25 ? 50 : 200000));
            const double v = double(rng() % 1000);
            const int index = s.addKey(Time{value, scale}, {v, 0, 0});
            const int64_t key = int64_t(value) * (600000 / scale);
            expected[key] = v;
            ASSERT_EQ(index, std::distance(expected.begin(), expected.find(key)));
        }
        ASSERT_EQ(s.keys.size(), expected.size());
        size_t i = 0;
        for (const auto& [time, v] : expected) {
            EXPECT_EQ(int64_t(s.keys[i].time.value) * (600000 / s.keys[i].time.scale), time);
            EXPECT_EQ(s.keys[i++].value[0], v);
        }
    }
}

TEST(SimModelValues, StaticBeforeAfterAndAtKeys) {
    Stream s = oneD();
    s.value = {7, 0, 0};
    EXPECT_EQ(s.valueAt(3.0)[0], 7);
    s.addKey(Time{1, 1}, {10, 0, 0});
    s.addKey(Time{3, 1}, {30, 0, 0});
    EXPECT_EQ(s.valueAt(0.0)[0], 10);
    EXPECT_EQ(s.valueAt(1.0)[0], 10);
    EXPECT_EQ(s.valueAt(3.0)[0], 30);
    EXPECT_EQ(s.valueAt(9.0)[0], 30);
    EXPECT_DOUBLE_EQ(s.valueAt(1.5)[0], 15);
    s.keys[0].edit().outInterp = Interp::Hold;
    EXPECT_EQ(s.valueAt(2.999)[0], 10);
    EXPECT_EQ(s.valueAt(3.0)[0], 30);
}

TEST(SimModelValues, BezierEaseStartsAndEndsSlowlyAndIsSymmetric) {
    Stream s = oneD();
    s.addKey(Time{0, 1}, {0, 0, 0});
    s.addKey(Time{1, 1}, {100, 0, 0});
    s.keys[0].edit().outInterp = s.keys[1].edit().inInterp = Interp::Bezier;
    s.keys[0].edit().outEase[0] = {0, 50};
    s.keys[1].edit().inEase[0] = {0, 50};
    EXPECT_NEAR(s.valueAt(0.5)[0], 50, 1e-9);
    EXPECT_LT(s.valueAt(0.1)[0], 10);
    EXPECT_NEAR(s.valueAt(0.25)[0] + s.valueAt(0.75)[0], 100, 1e-9);
    double previous = 0;
    for (int i = 1; i < 100; ++i) {
        const double v = s.valueAt(i / 100.0)[0];
        EXPECT_GT(v, previous);
        previous = v;
    }
}

TEST(SimModelValues, ScaleEasesEachDimensionOnItsOwn) {
    Stream s;
    s.easeDims = 3;
    s.addKey(Time{0, 1}, {0, 0, 100});
    s.addKey(Time{1, 1}, {100, 100, 100});
    s.keys[0].edit().outInterp = s.keys[1].edit().inInterp = Interp::Bezier;
    s.keys[0].edit().outEase[1] = {0, 90};
    s.keys[1].edit().inEase[1] = {0, 10};
    const Vec3 v = s.valueAt(0.3);
    EXPECT_NE(v[0], v[1]);
    EXPECT_EQ(v[2], 100);
}

TEST(SimModelValues, PositionFollowsItsSpatialTangents) {
    Stream s;
    s.spatial = true;
    s.addKey(Time{0, 1}, {0, 0, 0});
    s.addKey(Time{1, 1}, {100, 0, 0});
    EXPECT_NEAR(s.valueAt(0.25)[0], 25, 1e-9);  // no tangents: the straight line
    EXPECT_EQ(s.valueAt(0.25)[1], 0);
    s.keys[0].edit().outTangent = {0, -66.666, 0};
    s.keys[1].edit().inTangent = {0, -66.666, 0};
    const Vec3 mid = s.valueAt(0.5);
    EXPECT_NEAR(mid[0], 50, 1e-6);
    EXPECT_NEAR(mid[1], -50, 0.01);  // a half circle of radius 50 above the chord
    EXPECT_EQ(s.valueAt(1.0)[0], 100);
}

TEST(SimModelParams, HoldBetweenKeys) {
    sim::ParamValue p;
    p.value = 3;
    EXPECT_EQ(p.at(10), 3);
    p.keys = {{1.0, 10}, {2.0, 20}};
    EXPECT_EQ(p.at(0.0), 10);
    EXPECT_EQ(p.at(1.5), 10);
    EXPECT_EQ(p.at(2.0), 20);
}

TEST(SimModelLayer, DefaultsFlagsAndObjectTypes) {
    sim::Layer l;
    EXPECT_EQ(l.position.matchName, "ADBE Position");
    EXPECT_EQ(l.rotation.matchName, "ADBE Rotate Z");
    EXPECT_EQ(l.scale.value, (Vec3{100, 100, 100}));
    EXPECT_EQ(l.scale.easeDims, 3);
    EXPECT_EQ(l.opacity.value[0], 100);
    EXPECT_TRUE(l.position.spatial);
    EXPECT_EQ(l.stream(1), &l.position);
    EXPECT_EQ(l.stream(5), nullptr);
    EXPECT_EQ(l.flags(), 0x1);
    l.locked = l.adjustment = l.null = l.guide = l.threeD = l.motionBlur = true;
    l.video = false;
    EXPECT_EQ(l.flags(), 0x20 | 0x200 | 0x10000 | 0x40000 | 0x800 | 0x8);
    EXPECT_EQ(sim::objectTypeOf(sim::LayerType::Light), 1);
    EXPECT_EQ(sim::objectTypeOf(sim::LayerType::Camera), 2);
    EXPECT_EQ(sim::objectTypeOf(sim::LayerType::Text), 3);
    EXPECT_EQ(sim::objectTypeOf(sim::LayerType::Shape), 4);
    EXPECT_EQ(sim::objectTypeOf(sim::LayerType::Null), 0);
}

std::array<double, 2> apply(const std::array<std::array<double, 4>, 4>& m, double x, double y) {
    return {x * m[0][0] + y * m[1][0] + m[3][0], x * m[0][1] + y * m[1][1] + m[3][1]};
}

TEST(SimModelLayer, LayerToWorldOfAMovedScaledAndRotatedLayer) {
    sim::Layer l;
    l.anchorPoint.value = {50, 50, 0};
    l.position.value = {200, 100, 0};
    l.scale.value = {200, 50, 100};
    l.rotation.value = {90, 0, 0};
    const auto m = sim::layerToWorld(l, 0.0);
    // (60, 50) is 10 px right of the anchor: 20 px after scaling, turned a quarter clockwise
    // (downwards on screen), then moved to the position.
    const auto p = apply(m, 60, 50);
    EXPECT_NEAR(p[0], 200, 1e-9);
    EXPECT_NEAR(p[1], 120, 1e-9);
    const auto q = apply(m, 50, 40);  // 10 px above: 5 px, turned to the left
    EXPECT_NEAR(q[0], 205, 1e-9);
    EXPECT_NEAR(q[1], 100, 1e-9);
    EXPECT_EQ(m[0][3], 0);
    EXPECT_EQ(m[3][3], 1);
    l.rotation.value = {0, 0, 0};
    l.scale.value = {100, 100, 100};
    const auto plain = sim::layerToWorld(l, 0.0);
    EXPECT_EQ(plain[3][0], 150);
    EXPECT_EQ(plain[3][1], 50);
}

}  // namespace
