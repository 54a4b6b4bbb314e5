// The keyframe writer through the simulated host: plain values or keys, key times, spatial
// tangents, motion blur, batches and failures.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace {

// An engine of n collage layers over `frames` evaluated frames (frame numbers 10, 20, ...), with
// Position, Scale, Rotation and Opacity results filled in per layer and frame.
struct Writer : fixture::HostedEngine {
    explicit Writer(int layers = 1, int frames = 1)
        : HostedEngine(fixture::collageProject(layers), frames) {
        MyTessaron& e = engine;
        for (int k = 0; k < frames; ++k) {
            e.frameList[k] = 10 * (k + 1);
            e.positionModes[k] = PositionMode::Grid;
            e.scaleModes[k] = ScaleMode::FromAlpha;
            e.rotationModes[k] = RotationMode::FromAlpha;
            e.opacityModes[k] = OpacityMode::FromAlpha;
        }
        e.positionActive = e.scaleActive = e.rotationActive = e.opacityActive = true;
        e.framesToRender = FramesToRender::CurrentFrame;
        for (int i = 0; i < layers; ++i) {
            for (int k = 0; k < frames; ++k) {
                e.positions[i][k] = Point2D(100.0f * (k + 1) + i, 50.0f + i);
                e.scales[i][k] = 10.0f + k;
                e.rotations[i][k] = 5.0f * (k + 1);
                e.opacities[i][k] = 90.0f - k;
            }
        }
    }

    void writeAll() {
        for (int i = 0; i < engine.layerCount; ++i) {
            engine.keyframeLayer(i);
        }
    }
};

void expectClean(sim::Host& host) {
    EXPECT_TRUE(host.leaks().empty());
}

}  // namespace

TEST(AnimationWriter, CurrentFrameSetsPlainValuesOnLayersWithoutKeys) {
    Writer w;
    w.writeAll();
    const sim::Layer& l = w.collageLayer(0);
    EXPECT_TRUE(l.position.keys.empty());
    EXPECT_TRUE(l.scale.keys.empty());
    EXPECT_EQ(l.position.value, (sim::Vec3{100, 50, 0}));
    EXPECT_EQ(l.scale.value, (sim::Vec3{10, 10, 100}));  // z keeps the reported value
    EXPECT_EQ(l.rotation.value[0], 5.0);
    EXPECT_EQ(l.opacity.value[0], 90.0);
    EXPECT_EQ(w.host.callCount("AEGP_StartAddKeyframes"), 0);
    expectClean(w.host);
}

TEST(AnimationWriter, ForceKeyframingOrExistingKeysWriteOneKeyAtTheFrame) {
    Writer forced;
    forced.engine.forceKeyframing = true;
    forced.writeAll();
    const sim::Layer& l = forced.collageLayer(0);
    ASSERT_EQ(l.rotation.keys.size(), 1u);
    EXPECT_EQ(l.rotation.keys[0].time.value, 40000);  // frame 10 at 25 fps
    EXPECT_EQ(l.rotation.keys[0].time.scale, 100000u);
    EXPECT_EQ(l.rotation.keys[0].value[0], 5.0);
    ASSERT_EQ(l.scale.keys.size(), 1u);
    EXPECT_EQ(l.scale.keys[0].value, (sim::Vec3{10, 10, 100}));

    Writer keyed;
    keyed.collageLayer(0).opacity.addKey(sim::Time{0, 25}, {100, 0, 0});
    keyed.writeAll();
    const sim::Layer& k = keyed.collageLayer(0);
    ASSERT_EQ(k.opacity.keys.size(), 2u);  // the old key and the frame's
    EXPECT_EQ(k.opacity.keys[1].value[0], 90.0);
    EXPECT_TRUE(k.rotation.keys.empty());  // other properties still plain
    EXPECT_EQ(k.rotation.value[0], 5.0);
    expectClean(keyed.host);
}

TEST(AnimationWriter, EveryXFramesAndMarkersKeyEveryFrameNotIgnored) {
    for (FramesToRender framesToRender :
         {FramesToRender::EveryXFrames, FramesToRender::FromLayerMarkers}) {
        Writer w(1, 3);
        w.engine.framesToRender = framesToRender;
        w.engine.opacityModes[1] = OpacityMode::Ignore;    // at the second frame
        w.engine.rotationModes[2] = RotationMode::Ignore;  // at the third
        // Scale's separator has Opacity's Ignore number: it does not ignore Scale.
        w.engine.scaleModes[0] = ScaleMode::Separator;
        w.writeAll();
        const sim::Layer& l = w.collageLayer(0);
        ASSERT_EQ(l.position.keys.size(), 3u);
        EXPECT_EQ(l.scale.keys.size(), 3u);
        ASSERT_EQ(l.rotation.keys.size(), 2u);
        ASSERT_EQ(l.opacity.keys.size(), 2u);
        EXPECT_EQ(l.opacity.keys[0].time.value, 40000);
        EXPECT_EQ(l.opacity.keys[1].time.value, 120000);
        EXPECT_EQ(l.opacity.keys[1].value[0], 88.0);
        EXPECT_EQ(l.position.keys[2].value, (sim::Vec3{300, 50, 0}));
        EXPECT_EQ(w.host.callCount("AEGP_StartAddKeyframes"), 4);
        EXPECT_EQ(w.host.callCount("AEGP_EndAddKeyframes"), 4);
        expectClean(w.host);
    }
}

TEST(AnimationWriter, IgnoredAtTheFirstFrameWritesNoPlainValue) {
    Writer w;
    w.engine.opacityModes[0] = OpacityMode::Ignore;
    w.collageLayer(0).opacity.value[0] = 77;
    w.writeAll();
    EXPECT_EQ(w.collageLayer(0).opacity.value[0], 77.0);
    EXPECT_TRUE(w.collageLayer(0).opacity.keys.empty());
}

TEST(AnimationWriter, InactivePropertiesAreNotTouched) {
    Writer w(1, 2);
    w.engine.framesToRender = FramesToRender::EveryXFrames;
    w.engine.scaleActive = false;
    w.writeAll();
    EXPECT_TRUE(w.collageLayer(0).scale.keys.empty());
    EXPECT_EQ(w.collageLayer(0).scale.value, (sim::Vec3{100, 100, 100}));
    EXPECT_EQ(w.collageLayer(0).rotation.keys.size(), 2u);
}

TEST(AnimationWriter, OffsetOrderShiftsEachLayersKeys) {
    Writer w(3, 1);
    w.engine.forceKeyframing = true;
    w.engine.offsetFrames[0] = 2;
    w.engine.offsets[0][0] = 2;
    w.engine.offsets[1][0] = 0;
    w.engine.offsets[2][0] = 1;
    w.writeAll();
    EXPECT_EQ(w.collageLayer(0).position.keys.at(0).time.value, 48000);
    EXPECT_EQ(w.collageLayer(1).position.keys.at(0).time.value, 40000);
    EXPECT_EQ(w.collageLayer(2).position.keys.at(0).time.value, 44000);
    EXPECT_EQ(w.collageLayer(2).opacity.keys.at(0).time.value, 44000);
    expectClean(w.host);
}

TEST(AnimationWriter, SpatialTangentsFollowEachPairsPreset) {
    Writer w(1, 3);
    w.engine.framesToRender = FramesToRender::EveryXFrames;
    w.engine.spatialPresets = {SpatialPreset::OuterHalfCircle, SpatialPreset::Custom,
                               SpatialPreset::Linear};
    w.engine.outTangents = {0, 1.0f, 0};
    w.engine.inTangents = {0, -1.0f, 0};
    w.writeAll();
    const sim::KeyList& keys = w.collageLayer(0).position.keys;
    ASSERT_EQ(keys.size(), 3u);
    // Chords of 100 px along x: arm 4/3 x 50 along n = (0, -1).
    const double arm = double(1.3333334f * 50.0f);
    EXPECT_EQ(keys[0].style().outTangent, (sim::Vec3{0, -arm, 0}));
    EXPECT_EQ(keys[1].style().inTangent, (sim::Vec3{0, -arm, 0}));
    EXPECT_EQ(keys[1].style().outTangent, (sim::Vec3{0, -arm, 0}));  // Custom +100 %
    EXPECT_EQ(keys[2].style().inTangent, (sim::Vec3{0, arm, 0}));    // Custom -100 %
    EXPECT_EQ(keys[0].style().inTangent, (sim::Vec3{0, 0, 0}));
    EXPECT_EQ(keys[2].style().outTangent, (sim::Vec3{0, 0, 0}));
    expectClean(w.host);
}

TEST(AnimationWriter, OneKeyGetsNoTangentsAndSamePlacesGiveZero) {
    Writer one;
    one.engine.forceKeyframing = true;
    one.engine.spatialPresets = {SpatialPreset::OuterHalfCircle};
    one.writeAll();
    EXPECT_EQ(one.host.callCount("AEGP_SetKeyframeSpatialTangents"), 0);

    Writer still(1, 2);
    still.engine.framesToRender = FramesToRender::EveryXFrames;
    still.engine.spatialPresets = {SpatialPreset::InnerHalfCircle, SpatialPreset::InnerHalfCircle};
    still.engine.positions[0][1] = still.engine.positions[0][0];
    still.writeAll();
    EXPECT_EQ(still.host.callCount("AEGP_SetKeyframeSpatialTangents"), 2);
    for (const sim::Key& k : still.collageLayer(0).position.keys) {
        EXPECT_EQ(k.style().inTangent, (sim::Vec3{0, 0, 0}));
        EXPECT_EQ(k.style().outTangent, (sim::Vec3{0, 0, 0}));
    }
    expectClean(still.host);
}

TEST(AnimationWriter, MotionBlurIsOnlyEverTurnedOn) {
    Writer on;
    on.engine.motionBlur = true;
    on.writeAll();
    EXPECT_TRUE(on.collageLayer(0).motionBlur);

    Writer off;
    off.collageLayer(0).motionBlur = true;
    off.writeAll();
    EXPECT_TRUE(off.collageLayer(0).motionBlur);
}

TEST(AnimationWriter, FailedKeyEndsTheBatchKeepingTheKeysBefore) {
    Writer w(2, 3);
    w.engine.framesToRender = FramesToRender::EveryXFrames;
    w.engine.motionBlur = true;
    w.host.injectFault("AEGP_AddKeyframes", 2, A_Err_GENERIC);
    w.engine.keyframeLayer(0);
    const sim::Layer& l = w.collageLayer(0);
    ASSERT_EQ(l.position.keys.size(), 1u);  // the first key was kept
    EXPECT_EQ(l.position.keys[0].value, (sim::Vec3{100, 50, 0}));
    EXPECT_TRUE(l.scale.keys.empty());  // nothing after the failure
    EXPECT_FALSE(l.motionBlur);
    EXPECT_EQ(w.host.callCount("AEGP_SetKeyframeSpatialTangents"), 0);
    expectClean(w.host);
    w.engine.keyframeLayer(1);  // the next layer is written as usual
    EXPECT_EQ(w.collageLayer(1).opacity.keys.size(), 3u);
    EXPECT_TRUE(w.collageLayer(1).motionBlur);
    expectClean(w.host);
}

TEST(AnimationWriter, FailedFetchLeavesTheLayerAlone) {
    Writer w;
    w.engine.motionBlur = true;
    w.engine.positions[0][0] = Point2D(7, 7);
    w.host.injectFault("AEGP_GetNewLayerStream", 3, A_Err_GENERIC);  // the Rotation stream
    w.engine.keyframeLayer(0);
    EXPECT_EQ(w.collageLayer(0).position.value, (sim::Vec3{100, 50, 0}));  // as it was
    EXPECT_FALSE(w.collageLayer(0).motionBlur);
    expectClean(w.host);
}

namespace {

// Two layers over frames 10, 20 and 30 at 25 fps. Layer 0 takes place 1 of the offset order and
// frame 10 an Offset of 25 frames, so its first key (1.4 s) would land after those of frames 20
// (0.8 s) and 30 (1.2 s); these go one frame after the key before them (1.44 s, 1.48 s). Layer 1
// takes place 0 and is not shifted.
struct ReorderedWriter : Writer {
    ReorderedWriter() : Writer(2, 3) {
        engine.framesToRender = FramesToRender::EveryXFrames;
        engine.offsetFrames = {25, 0, 0};
        for (int k = 0; k < 3; ++k) {
            engine.offsets[0][k] = 1;
            engine.offsets[1][k] = 0;
        }
        engine.spatialPresets = {SpatialPreset::OuterHalfCircle, SpatialPreset::InnerHalfCircle,
                                 SpatialPreset::Linear};
    }
};

// The arm of a 100 px chord along x, and its normal (0, -1) scaled by it.
const double kArm = double(1.3333334f * 50.0f);

}  // namespace

TEST(AnimationWriter, KeysOfLaterFramesStayAfterAShiftedKeyWithTheirTangents) {
    ReorderedWriter w;
    w.writeAll();
    const sim::KeyList& keys = w.collageLayer(0).position.keys;
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].time.value, 140000);
    EXPECT_EQ(keys[1].time.value, 144000);
    EXPECT_EQ(keys[2].time.value, 148000);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(keys[k].value, (sim::Vec3{100.0 * (k + 1), 50, 0}));
    }
    // Frame 10 -> 20 is Outer, frame 20 -> 30 Inner.
    EXPECT_EQ(keys[0].style().inTangent, (sim::Vec3{0, 0, 0}));
    EXPECT_EQ(keys[0].style().outTangent, (sim::Vec3{0, -kArm, 0}));
    EXPECT_EQ(keys[1].style().inTangent, (sim::Vec3{0, -kArm, 0}));
    EXPECT_EQ(keys[1].style().outTangent, (sim::Vec3{0, kArm, 0}));
    EXPECT_EQ(keys[2].style().inTangent, (sim::Vec3{0, kArm, 0}));
    EXPECT_EQ(keys[2].style().outTangent, (sim::Vec3{0, 0, 0}));
    EXPECT_EQ(w.collageLayer(0).opacity.keys.at(2).time.value, 148000);

    const sim::KeyList& plain = w.collageLayer(1).position.keys;
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain[1].time.value, 80000);
    EXPECT_EQ(plain[0].style().outTangent, (sim::Vec3{0, -kArm, 0}));
    EXPECT_EQ(plain[1].style().inTangent, (sim::Vec3{0, -kArm, 0}));
    EXPECT_EQ(plain[1].style().outTangent, (sim::Vec3{0, kArm, 0}));
    EXPECT_EQ(plain[2].style().inTangent, (sim::Vec3{0, kArm, 0}));
    expectClean(w.host);
}

TEST(AnimationWriter, KeysAlreadyOnTheStreamKeepTheirTangents) {
    ReorderedWriter w;
    sim::Stream& position = w.collageLayer(0).position;
    for (double at : {0.2, 1.0, 1.42, 2.0}) {  // before, between and after the written keys
        const int q = position.addKey(sim::Time::fromSeconds(at), {7, 7, 0});
        position.keys[size_t(q)].edit().inTangent = {1, 2, 0};
        position.keys[size_t(q)].edit().outTangent = {3, 4, 0};
    }
    w.writeAll();
    const sim::KeyList& keys = position.keys;
    ASSERT_EQ(keys.size(), 7u);  // 0.2, 1.0, 1.4, 1.42, 1.44, 1.48, 2.0 s
    for (size_t q : {0u, 1u, 3u, 6u}) {
        EXPECT_EQ(keys[q].style().inTangent, (sim::Vec3{1, 2, 0})) << q;
        EXPECT_EQ(keys[q].style().outTangent, (sim::Vec3{3, 4, 0})) << q;
    }
    EXPECT_EQ(keys[2].style().outTangent, (sim::Vec3{0, -kArm, 0}));  // frame 10
    EXPECT_EQ(keys[4].style().inTangent, (sim::Vec3{0, -kArm, 0}));   // frame 20
    EXPECT_EQ(keys[4].style().outTangent, (sim::Vec3{0, kArm, 0}));
    EXPECT_EQ(keys[5].style().inTangent, (sim::Vec3{0, kArm, 0}));  // frame 30
    expectClean(w.host);
}

// Interval 2 and Offset 4 over three layers whose order changes per frame: frame 4 of layer 0
// would land on its frame 0 key and frame 6 of layer 1 before its frame 4 key.
TEST(AnimationWriter, OffsetsBeyondTheIntervalLoseNoKeyAndKeepTheFrameOrder) {
    Writer w(3, 4);
    MyTessaron& e = w.engine;
    e.framesToRender = FramesToRender::EveryXFrames;
    e.frameList = {0, 2, 4, 6};
    e.offsetFrames.assign(4, 4);
    const int places[3][4] = {{2, 2, 0, 0}, {0, 0, 2, 0}, {1, 1, 1, 2}};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 4; ++k) {
            e.offsets[i][k] = places[i][k];
        }
    }
    w.writeAll();
    // In frames: specified times 4 6 4 6, 0 2 8 6 and 2 4 6 10; a key not after the one before
    // goes one frame after it, every other keeps its time.
    const int expected[3][4] = {{4, 6, 7, 8}, {0, 2, 8, 9}, {2, 4, 6, 10}};
    for (int i = 0; i < 3; ++i) {
        const sim::Layer& l = w.collageLayer(i);
        for (const sim::Stream* s : {&l.position, &l.scale, &l.rotation, &l.opacity}) {
            ASSERT_EQ(s->keys.size(), 4u) << "layer " << i << " " << s->name;
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(s->keys[k].time.value, expected[i][k] * 4000) << i << " " << k;
            }
        }
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(l.rotation.keys[k].value[0], e.rotations[i][k]);
            EXPECT_EQ(l.position.keys[k].value[0], e.positions[i][k].x);
        }
    }
    expectClean(w.host);
}

// With Position ignored at the second frame, the pair from the first key to the third frame's
// takes the first frame's preset and the next pair the third frame's (not the second's).
TEST(AnimationWriter, APositionPairTakesThePresetOfItsFirstKeysFrame) {
    Writer w(1, 4);
    MyTessaron& e = w.engine;
    e.framesToRender = FramesToRender::EveryXFrames;
    e.positionModes[1] = PositionMode::Ignore;
    e.spatialPresets = {SpatialPreset::OuterHalfCircle, SpatialPreset::ZigZag,
                        SpatialPreset::Linear, SpatialPreset::InnerHalfCircle};
    w.writeAll();
    const sim::KeyList& keys = w.collageLayer(0).position.keys;
    ASSERT_EQ(keys.size(), 3u);  // frames 10, 30 and 40
    EXPECT_EQ(keys[0].time.value, 40000);
    EXPECT_EQ(keys[1].time.value, 120000);
    const double arm = double(1.3333334f * 100.0f);  // the 200 px chord from frame 10 to 30
    EXPECT_EQ(keys[0].style().outTangent, (sim::Vec3{0, -arm, 0}));  // Outer
    EXPECT_EQ(keys[1].style().inTangent, (sim::Vec3{0, -arm, 0}));
    EXPECT_EQ(keys[1].style().outTangent, (sim::Vec3{0, 0, 0}));  // Linear, not Zig Zag
    EXPECT_EQ(keys[2].style().inTangent, (sim::Vec3{0, 0, 0}));
    expectClean(w.host);
}

TEST(AnimationWriter, FailedKeyTimeReadEndsTheLayerWithoutTangents) {
    ReorderedWriter w;
    w.host.injectFault("AEGP_GetKeyframeTime", 2, A_Err_GENERIC);
    w.engine.keyframeLayer(0);
    EXPECT_EQ(w.collageLayer(0).position.keys.size(), 3u);
    EXPECT_EQ(w.host.callCount("AEGP_SetKeyframeSpatialTangents"), 0);
    EXPECT_TRUE(w.collageLayer(0).scale.keys.empty());  // nothing after the failure
    expectClean(w.host);
}
