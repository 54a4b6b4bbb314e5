#include <gtest/gtest.h>

#include "commands/FrameRange.h"
#include "commands/LayerFilter.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 25.0;

A_Time atFrames(double frames) {
    // 25 fps at a fine time scale, so fractional frames are exact enough.
    return A_Time{static_cast<A_long>(frames * 4000.0 + 0.5), 100000};
}

TEST(FrameRange, CurrentFrameRoundsToTheNearestFrame) {
    EXPECT_EQ(frameNumberOf(atFrames(1.49), kFrameSeconds), 1);
    EXPECT_EQ(frameNumberOf(atFrames(1.5), kFrameSeconds), 2);
    const FramePlan plan = planCurrentFrame(frameNumberOf(atFrames(1.5), kFrameSeconds));
    EXPECT_EQ(plan.frames, std::vector<int32_t>({2}));
    EXPECT_EQ(plan.firstFrame, 2);
    EXPECT_EQ(plan.endFrame, 3);
    EXPECT_EQ(plan.count, 1);
}

TEST(FrameRange, EveryXFramesStepsThroughTheWorkArea) {
    const FramePlan plan = planEveryXFrames(20, 10, 3);
    EXPECT_EQ(plan.frames, std::vector<int32_t>({20, 23, 26, 29}));
    EXPECT_EQ(plan.count, 4);
    EXPECT_EQ(plan.endFrame, 30);
    EXPECT_EQ(planEveryXFrames(0, 1000, 1).count, 1000);
    EXPECT_EQ(planEveryXFrames(0, 1001, 1).count, 1001);
    EXPECT_EQ(planEveryXFrames(0, 0, 5).count, 0);
    EXPECT_TRUE(planEveryXFrames(0, 0, 5).frames.empty());
}

TEST(FrameRange, MarkersGiveTheirOwnFramesOnlyAndRepeatSharedFrames) {
    const FramePlan plan = planMarkers({5, 12, 40});
    EXPECT_EQ(plan.frames, std::vector<int32_t>({5, 12, 40}));
    EXPECT_EQ(plan.firstFrame, 5);
    EXPECT_EQ(plan.endFrame, 41);
    EXPECT_EQ(planMarkers({7, 7}).frames, std::vector<int32_t>({7, 7}));
    EXPECT_EQ(planMarkers({7}).endFrame, 8);
    EXPECT_EQ(planMarkers({}).count, 0);
}

LayerFacts solid(int index) {
    LayerFacts facts;
    facts.index = index;
    facts.flags = AEGP_LayerFlag_VIDEO_ACTIVE;
    return facts;
}

TEST(LayerFilter, KeepsVisibleTwoDLayersOfEveryDrawingKind) {
    EXPECT_TRUE(isCollageLayer(solid(1), 0));
    LayerFacts text = solid(2);
    text.objectType = AEGP_ObjectType_TEXT;
    text.hasVisualSize = false;  // text and shape layers pass without the size test
    EXPECT_TRUE(isCollageLayer(text, 0));
    LayerFacts shape = text;
    shape.objectType = AEGP_ObjectType_VECTOR;
    EXPECT_TRUE(isCollageLayer(shape, 0));
}

TEST(LayerFilter, RejectsTheSourceCamerasLightsFlagsThreeDAndInvisibleLayers) {
    EXPECT_FALSE(isCollageLayer(solid(3), 3));
    for (AEGP_ObjectType type : {AEGP_ObjectType_CAMERA, AEGP_ObjectType_LIGHT}) {
        LayerFacts facts = solid(1);
        facts.objectType = type;
        EXPECT_FALSE(isCollageLayer(facts, 0));
    }
    for (AEGP_LayerFlags flag : {AEGP_LayerFlag_LOCKED, AEGP_LayerFlag_ADJUSTMENT_LAYER,
                                 AEGP_LayerFlag_NULL_LAYER, AEGP_LayerFlag_GUIDE_LAYER}) {
        LayerFacts facts = solid(1);
        facts.flags |= flag;
        EXPECT_FALSE(isCollageLayer(facts, 0)) << flag;
    }
    LayerFacts audioOnly = solid(1);
    audioOnly.flags = AEGP_LayerFlag_AUDIO_ACTIVE;
    EXPECT_FALSE(isCollageLayer(audioOnly, 0));
    LayerFacts threeD = solid(1);
    threeD.is3D = true;
    EXPECT_FALSE(isCollageLayer(threeD, 0));
    LayerFacts hidden = solid(1);
    hidden.videoReallyOn = false;
    EXPECT_FALSE(isCollageLayer(hidden, 0));
    LayerFacts empty = solid(1);
    empty.hasVisualSize = false;
    EXPECT_FALSE(isCollageLayer(empty, 0));
}

}  // namespace

#include <cmath>

#include "commands/EffectSettings.h"

namespace {

TEST(EffectSettings, PresetEaseValuesAreTheExactFloats) {
    const float third = std::nextafter(100.0f / 3.0f, 0.0f);  // one step below 100/3
    const EaseValues punchyOut = presetEase(TemporalPreset::PunchyOut);
    EXPECT_EQ(punchyOut.influenceIn, 100.0f);
    EXPECT_EQ(punchyOut.influenceOut, third);
    EXPECT_EQ(presetEase(TemporalPreset::EaseIn).influenceIn, third);
    EXPECT_EQ(presetEase(TemporalPreset::EaseIn).influenceOut, 0.1f);
    for (TemporalPreset preset : {TemporalPreset::Linear, TemporalPreset::Hold,
                                  TemporalPreset::Custom, asMode<TemporalPreset>(42)}) {
        const EaseValues e = presetEase(preset);
        EXPECT_EQ(e.speedIn, 0.0f);
        EXPECT_EQ(e.influenceIn, 0.1f);
        EXPECT_EQ(e.speedOut, 0.0f);
        EXPECT_EQ(e.influenceOut, 0.1f);
    }
}

}  // namespace
