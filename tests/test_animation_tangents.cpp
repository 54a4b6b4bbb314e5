// Spatial tangents of Position key pairs by preset.
#include <gtest/gtest.h>

#include <vector>

#include "animation/SpatialTangents.h"

namespace {

// Draws from fixed lists, counting how many were taken.
struct ScriptedDraws {
    std::vector<float> rands;
    std::vector<double> mts;
    size_t randTaken = 0;
    size_t mtTaken = 0;

    TangentDraws draws() {
        return TangentDraws{[this] { return rands.at(randTaken++); },
                            [this] { return mts.at(mtTaken++); }};
    }
};

// A horizontal chord of 100 px: arm L = 4/3 x 50, normal n = (0, -1).
const Point2D kA(0.0f, 0.0f);
const Point2D kB(100.0f, 0.0f);
const float kArm = 1.3333334f * 50.0f;

void expectPoint(const Point2D& p, float x, float y) {
    EXPECT_FLOAT_EQ(p.x, x);
    EXPECT_FLOAT_EQ(p.y, y);
    EXPECT_EQ(p.z, 0.0f);
}

}  // namespace

TEST(AnimationTangents, FixedPresetsOnAHorizontalChord) {
    ScriptedDraws d;
    auto at = [&](SpatialPreset preset) {
        return *spatialTangents(preset, kA, kB, 0, 0, d.draws());
    };
    expectPoint(at(SpatialPreset::Linear).out, 0, 0);
    expectPoint(at(SpatialPreset::Linear).in, 0, 0);
    expectPoint(at(SpatialPreset::InnerHalfCircle).out, 0, kArm);  // -L n
    expectPoint(at(SpatialPreset::InnerHalfCircle).in, 0, kArm);
    expectPoint(at(SpatialPreset::OuterHalfCircle).out, 0, -kArm);  // +L n
    expectPoint(at(SpatialPreset::OuterHalfCircle).in, 0, -kArm);
    expectPoint(at(SpatialPreset::ZigZag).out, 0, -kArm);  // +L n out, -L n in
    expectPoint(at(SpatialPreset::ZigZag).in, 0, kArm);
    EXPECT_EQ(d.randTaken + d.mtTaken, 0u);
}

TEST(AnimationTangents, NormalIsTheChordTurnedAQuarter) {
    ScriptedDraws d;
    // Chord straight down (y grows): n = (b.y - a.y, a.x - b.x) normalised = (1, 0).
    const TangentPair t = *spatialTangents(SpatialPreset::OuterHalfCircle, Point2D(5, 5),
                                           Point2D(5, 35), 0, 0, d.draws());
    expectPoint(t.out, 1.3333334f * 15.0f, 0);
    // A diagonal chord of length 50 (30, 40): arm 4/3 x 25 along (0.8, -0.6).
    const TangentPair u = *spatialTangents(SpatialPreset::OuterHalfCircle, Point2D(0, 0),
                                           Point2D(30, 40), 0, 0, d.draws());
    const float arm = 1.3333334f * 25.0f;
    EXPECT_NEAR(u.out.x, arm * 0.8f, 1e-4);
    EXPECT_NEAR(u.out.y, arm * -0.6f, 1e-4);
}

TEST(AnimationTangents, RandomInnerAndOuterTossesOneCoinForBothArms) {
    ScriptedDraws d{{0.25f, 0.75f, 0.5f}, {}};
    const TangentPair inner =
        *spatialTangents(SpatialPreset::RandomInnerAndOuter, kA, kB, 0, 0, d.draws());
    expectPoint(inner.out, 0, kArm);
    expectPoint(inner.in, 0, kArm);
    const TangentPair outer =
        *spatialTangents(SpatialPreset::RandomInnerAndOuter, kA, kB, 0, 0, d.draws());
    expectPoint(outer.out, 0, -kArm);
    expectPoint(outer.in, 0, -kArm);
    const TangentPair half =
        *spatialTangents(SpatialPreset::RandomInnerAndOuter, kA, kB, 0, 0, d.draws());
    expectPoint(half.out, 0, -kArm);  // 0.5 is not below 0.5
    EXPECT_EQ(d.randTaken, 3u);
    EXPECT_EQ(d.mtTaken, 0u);
}

TEST(AnimationTangents, RandomDrawsEachArmFromTheGeneratorOutFirst) {
    ScriptedDraws d{{}, {0.75, 0.25}};
    const TangentPair t = *spatialTangents(SpatialPreset::Random, kA, kB, 0, 0, d.draws());
    // s = (r + r - 1) x L along n = (0, -1)
    expectPoint(t.out, 0, -(0.5f * kArm));
    expectPoint(t.in, 0, 0.5f * kArm);
    EXPECT_EQ(d.mtTaken, 2u);
    EXPECT_EQ(d.randTaken, 0u);
}

TEST(AnimationTangents, CustomScalesTheArmsPlusAndMinusOneHundredPercent) {
    ScriptedDraws d;
    const TangentPair full =
        *spatialTangents(SpatialPreset::Custom, kA, kB, 1.0f, -1.0f, d.draws());
    expectPoint(full.out, 0, -kArm);
    expectPoint(full.in, 0, kArm);
    const TangentPair half = *spatialTangents(SpatialPreset::Custom, kA, kB, 0.5f, 0.0f, d.draws());
    expectPoint(half.out, 0, -0.5f * kArm);
    expectPoint(half.in, 0, 0);
}

TEST(AnimationTangents, ZeroLengthChordGivesZeroTangentsForEveryPreset) {
    ScriptedDraws d{{0.1f}, {0.9, 0.1}};
    for (SpatialPreset preset :
         {SpatialPreset::Linear, SpatialPreset::InnerHalfCircle, SpatialPreset::OuterHalfCircle,
          SpatialPreset::RandomInnerAndOuter, SpatialPreset::Random, SpatialPreset::ZigZag,
          SpatialPreset::Custom}) {
        const TangentPair t =
            *spatialTangents(preset, Point2D(7, 7), Point2D(7, 7), 1, -1, d.draws());
        expectPoint(t.out, 0, 0);
        expectPoint(t.in, 0, 0);
    }
    // The random presets still draw.
    EXPECT_EQ(d.randTaken, 1u);
    EXPECT_EQ(d.mtTaken, 2u);
}

TEST(AnimationTangents, UnknownPresetLeavesTheTangents) {
    ScriptedDraws d;
    EXPECT_FALSE(spatialTangents(asMode<SpatialPreset>(0), kA, kB, 1, 1, d.draws()).has_value());
    EXPECT_FALSE(spatialTangents(asMode<SpatialPreset>(8), kA, kB, 1, 1, d.draws()).has_value());
}
