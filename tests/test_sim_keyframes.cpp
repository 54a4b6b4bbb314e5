// Keys through the simulated host's keyframe suite: add-keyframes batches, deletion, values,
// tangents, eases, interpolation and the marker stream.
#include <gtest/gtest.h>

#include <random>

#include "AE_GeneralPlug.h"
#include "sim/core/Host.h"

namespace {

// A host with one layer and the suites a keyframe test needs, released and checked at the end.
class SimKeys : public testing::Test {
  protected:
    void SetUp() override {
        sim::Project p;
        sim::Layer layer;
        layer.id = 5;
        layer.width = layer.height = 10;
        layer.markers = {sim::Time{5, 25}, sim::Time{12, 25}, sim::Time{40, 25}};
        p.comp.layers = {layer};
        host = std::make_unique<sim::Host>(p);
        const SPBasicSuite* sp = host->inData()->pica_basicP;
        const void* s = nullptr;
        sp->AcquireSuite(kAEGPStreamSuite, 9, &s);
        streams = static_cast<const AEGP_StreamSuite4*>(s);
        sp->AcquireSuite(kAEGPKeyframeSuite, 4, &s);
        keys = static_cast<const AEGP_KeyframeSuite4*>(s);
        sp->AcquireSuite(kAEGPPFInterfaceSuite, 1, &s);
        static_cast<const AEGP_PFInterfaceSuite1*>(s)->AEGP_GetEffectLayer(
            host->inData()->effect_ref, &layerH);
    }
    void TearDown() override {
        for (AEGP_StreamRefH s : opened) streams->AEGP_DisposeStream(s);
        const SPBasicSuite* sp = host->inData()->pica_basicP;
        sp->ReleaseSuite(kAEGPStreamSuite, 9);
        sp->ReleaseSuite(kAEGPKeyframeSuite, 4);
        sp->ReleaseSuite(kAEGPPFInterfaceSuite, 1);
        EXPECT_TRUE(host->leaks().empty());
    }
    AEGP_StreamRefH stream(AEGP_LayerStream which) {
        AEGP_StreamRefH s = nullptr;
        EXPECT_EQ(streams->AEGP_GetNewLayerStream(1, layerH, which, &s), 0);
        opened.push_back(s);
        return s;
    }
    sim::Stream& position() { return host->project().comp.layers[0].position; }

    std::unique_ptr<sim::Host> host;
    const AEGP_StreamSuite4* streams = nullptr;
    const AEGP_KeyframeSuite4* keys = nullptr;
    AEGP_LayerH layerH = nullptr;
    std::vector<AEGP_StreamRefH> opened;
};

AEGP_StreamValue2 point(AEGP_StreamRefH s, double x, double y) {
    AEGP_StreamValue2 v{s, {}};
    v.val.three_d = {x, y, 0};
    return v;
}

TEST_F(SimKeys, BatchIndicesAreInTimeOrderAndAKeyAtAnExistingTimeReplacesIt) {
    position().addKey(sim::Time{2, 1}, {20, 0, 0});
    AEGP_StreamRefH pos = stream(AEGP_LayerStream_POSITION);
    AEGP_AddKeyframesInfoH batch = nullptr;
    ASSERT_EQ(keys->AEGP_StartAddKeyframes(pos, &batch), 0);
    EXPECT_EQ(host->leaks().at("keyframes_batch"), 1);
    A_long index = -1;
    const A_Time one{100000, 100000}, two{2, 1}, three{75, 25};
    ASSERT_EQ(keys->AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &three, &index), 0);
    EXPECT_EQ(index, 1);
    const AEGP_StreamValue2 v3 = point(pos, 30, 3);
    EXPECT_EQ(keys->AEGP_SetAddKeyframe(batch, index, &v3), 0);
    ASSERT_EQ(keys->AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &one, &index), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(keys->AEGP_SetAddKeyframe(batch, 1, &v3), A_Err_PARAMETER);  // not added here
    ASSERT_EQ(keys->AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &two, &index), 0);
    EXPECT_EQ(index, 1);
    const AEGP_StreamValue2 v2 = point(pos, 22, 2);
    EXPECT_EQ(keys->AEGP_SetAddKeyframe(batch, 1, &v2), 0);
    EXPECT_EQ(position().keys.size(), 1u);  // nothing lands before the batch ends
    ASSERT_EQ(keys->AEGP_EndAddKeyframes(true, batch), 0);
    ASSERT_EQ(position().keys.size(), 3u);
    EXPECT_EQ(position().keys[0].value[0], 20);  // the value the stream had there
    EXPECT_EQ(position().keys[1].value[0], 22);
    EXPECT_EQ(position().keys[2].value[1], 3);
    EXPECT_EQ(keys->AEGP_EndAddKeyframes(true, batch), A_Err_PARAMETER);
    EXPECT_EQ(host->takeMisuse().size(), 1u);  // ended twice
}

TEST_F(SimKeys, EndingWithoutAddingKeepsDeletionsAndAddsNothing) {
    for (int i = 0; i < 4; ++i) position().addKey(sim::Time{i, 1}, {double(i), 0, 0});
    AEGP_StreamRefH pos = stream(AEGP_LayerStream_POSITION);
    AEGP_AddKeyframesInfoH batch = nullptr;
    ASSERT_EQ(keys->AEGP_StartAddKeyframes(pos, &batch), 0);
    A_long index = 0;
    const A_Time later{9, 1};
    keys->AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &later, &index);
    for (A_long k = 3; k >= 1; --k) EXPECT_EQ(keys->AEGP_DeleteKeyframe(pos, k), 0);
    EXPECT_EQ(keys->AEGP_DeleteKeyframe(pos, 1), A_Err_PARAMETER);
    ASSERT_EQ(keys->AEGP_EndAddKeyframes(false, batch), 0);
    A_long count = -1;
    EXPECT_EQ(keys->AEGP_GetStreamNumKFs(pos, &count), 0);
    EXPECT_EQ(count, 1);
}

// Batches against the model's own key insertion, on random times and values.
TEST_F(SimKeys, BatchesMatchDirectInsertionOnRandomInput) {
    std::mt19937 rng(3);
    AEGP_StreamRefH rot = stream(AEGP_LayerStream_ROTATION);
    for (int round = 0; round < 10; ++round) {
        host->project().comp.layers[0].rotation.keys.clear();
        sim::Stream expected = host->project().comp.layers[0].rotation;
        for (int i = 0; i < 5; ++i) {
            const sim::Time t{int32_t(rng() % 50), 25};
            host->project().comp.layers[0].rotation.addKey(t, {double(i), 0, 0});
            expected.addKey(t, {double(i), 0, 0});
        }
        AEGP_AddKeyframesInfoH batch = nullptr;
        ASSERT_EQ(keys->AEGP_StartAddKeyframes(rot, &batch), 0);
        for (int i = 0; i < 30; ++i) {
            const A_Time t{A_long(rng() % 50), 25};
            A_long index = -1;
            ASSERT_EQ(keys->AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &t, &index), 0);
            AEGP_StreamValue2 v{rot, {}};
            v.val.one_d = 100.0 + i;
            ASSERT_EQ(keys->AEGP_SetAddKeyframe(batch, index, &v), 0);
            ASSERT_EQ(index, expected.addKey(sim::Time{t.value, t.scale}, {v.val.one_d, 0, 0}));
        }
        ASSERT_EQ(keys->AEGP_EndAddKeyframes(true, batch), 0);
        const auto& got = host->project().comp.layers[0].rotation.keys;
        ASSERT_EQ(got.size(), expected.keys.size());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_TRUE(sim::sameTime(got[k].time, expected.keys[k].time));
            EXPECT_EQ(got[k].value[0], expected.keys[k].value[0]);
        }
    }
}

TEST_F(SimKeys, ValuesTangentsEasesAndInterpolation) {
    position().addKey(sim::Time{0, 1}, {1, 2, 0});
    position().addKey(sim::Time{1, 1}, {5, 6, 0});
    AEGP_StreamRefH pos = stream(AEGP_LayerStream_POSITION);
    AEGP_StreamValue2 value{}, in{}, out{};
    ASSERT_EQ(keys->AEGP_GetNewKeyframeValue(1, pos, 1, &value), 0);
    EXPECT_EQ(value.val.three_d.y, 6);
    EXPECT_EQ(value.streamH, pos);
    const AEGP_StreamValue2 tIn = point(pos, -3, 0), tOut = point(pos, 4, 1);
    ASSERT_EQ(keys->AEGP_SetKeyframeSpatialTangents(pos, 0, &tIn, &tOut), 0);
    ASSERT_EQ(keys->AEGP_GetNewKeyframeSpatialTangents(1, pos, 0, &in, &out), 0);
    EXPECT_EQ(in.val.three_d.x, -3);
    EXPECT_EQ(out.val.three_d.y, 1);
    EXPECT_EQ(host->leaks().at("value"), 3);
    for (AEGP_StreamValue2* v : {&value, &in, &out})
        EXPECT_EQ(streams->AEGP_DisposeStreamValue(v), 0);
    EXPECT_EQ(keys->AEGP_GetNewKeyframeSpatialTangents(1, pos, 2, &in, nullptr), A_Err_PARAMETER);

    AEGP_StreamRefH scale = stream(AEGP_LayerStream_SCALE);
    host->project().comp.layers[0].scale.addKey(sim::Time{0, 1}, {100, 100, 100});
    const AEGP_KeyframeEase ease{2, 75};
    EXPECT_EQ(keys->AEGP_SetKeyframeTemporalEase(scale, 0, 2, &ease, nullptr), 0);
    EXPECT_EQ(keys->AEGP_SetKeyframeTemporalEase(scale, 0, 3, &ease, nullptr), A_Err_PARAMETER);
    AEGP_KeyframeEase back{};
    EXPECT_EQ(keys->AEGP_GetKeyframeTemporalEase(scale, 0, 2, &back, nullptr), 0);
    EXPECT_EQ(back.influenceF, 75);
    EXPECT_EQ(keys->AEGP_SetKeyframeSpatialTangents(scale, 0, &tIn, &tOut), A_Err_PARAMETER);
    EXPECT_EQ(
        keys->AEGP_SetKeyframeInterpolation(pos, 0, AEGP_KeyInterp_LINEAR, AEGP_KeyInterp_HOLD), 0);
    EXPECT_EQ(position().keys[0].style().outInterp, sim::Interp::Hold);
    EXPECT_EQ(keys->AEGP_SetKeyframeInterpolation(pos, 0, 9, 1), A_Err_PARAMETER);
}

// Keys given the same ease share one style; a later change of one key leaves the other alone.
TEST_F(SimKeys, KeysEasedAlikeShareAStyleUntilOneChanges) {
    AEGP_StreamRefH scale = stream(AEGP_LayerStream_SCALE);
    sim::Stream& s = host->project().comp.layers[0].scale;
    for (int32_t f = 0; f < 2; ++f) s.addKey(sim::Time{f, 1}, {100, 100, 100});
    const AEGP_KeyframeEase ease{0, 33.3333};
    for (A_long k = 0; k < 2; ++k) {
        ASSERT_EQ(keys->AEGP_SetKeyframeInterpolation(scale, k, AEGP_KeyInterp_BEZIER,
                                                      AEGP_KeyInterp_BEZIER),
                  0);
        for (A_long d = 0; d < 3; ++d)
            ASSERT_EQ(keys->AEGP_SetKeyframeTemporalEase(scale, k, d, &ease, &ease), 0);
    }
    EXPECT_TRUE(s.keys[0].sharesStyleWith(s.keys[1]));
    const AEGP_KeyframeEase other{5, 50};
    ASSERT_EQ(keys->AEGP_SetKeyframeTemporalEase(scale, 0, 1, nullptr, &other), 0);
    EXPECT_EQ(s.keys[0].style().outEase[1].influence, 50);
    EXPECT_EQ(s.keys[1].style().outEase[1].influence, 33.3333);
}

TEST_F(SimKeys, MarkerStreamKeysAreTheMarkers) {
    AEGP_StreamRefH markers = stream(AEGP_LayerStream_MARKER);
    AEGP_StreamType type = 0;
    EXPECT_EQ(streams->AEGP_GetStreamType(markers, &type), 0);
    EXPECT_EQ(type, AEGP_StreamType_MARKER);
    A_long count = 0;
    EXPECT_EQ(keys->AEGP_GetStreamNumKFs(markers, &count), 0);
    EXPECT_EQ(count, 3);
    A_Time t{};
    EXPECT_EQ(keys->AEGP_GetKeyframeTime(markers, 1, AEGP_LTimeMode_CompTime, &t), 0);
    EXPECT_EQ(t.value, 12);
    EXPECT_EQ(t.scale, 25u);
    EXPECT_EQ(keys->AEGP_GetKeyframeTime(markers, 3, AEGP_LTimeMode_CompTime, &t), A_Err_PARAMETER);
    AEGP_StreamValue2 marker{};
    EXPECT_EQ(keys->AEGP_GetNewKeyframeValue(1, markers, 0, &marker), 0);
    EXPECT_NE(marker.val.markerP, nullptr);
    EXPECT_EQ(streams->AEGP_DisposeStreamValue(&marker), 0);
}

TEST_F(SimKeys, SetStreamValueOnlyWithoutKeys) {
    AEGP_StreamRefH opacity = stream(AEGP_LayerStream_OPACITY);
    AEGP_StreamValue2 v{opacity, {}};
    v.val.one_d = 40;
    EXPECT_EQ(streams->AEGP_SetStreamValue(1, opacity, &v), 0);
    EXPECT_EQ(host->project().comp.layers[0].opacity.value[0], 40);
    host->project().comp.layers[0].opacity.addKey(sim::Time{0, 1}, {10, 0, 0});
    EXPECT_EQ(streams->AEGP_SetStreamValue(1, opacity, &v), A_Err_PARAMETER);
    AEGP_StreamValue2 read{};
    const A_Time zero{0, 1};
    EXPECT_EQ(streams->AEGP_GetNewStreamValue(1, opacity, 1, &zero, true, &read), 0);
    EXPECT_EQ(read.val.one_d, 10);
    streams->AEGP_DisposeStreamValue(&read);
}

}  // namespace
