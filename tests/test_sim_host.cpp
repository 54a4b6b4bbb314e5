// The simulated host through its public API: suites, callbacks, accounting, faults, undo,
// parameter registration and check-out, commands and custom UI drawing.
#include <gtest/gtest.h>

#include <cairo.h>
#include <png.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <tuple>
#include <utility>
#include <vector>

#include "AE_AdvEffectSuites.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "adobesdk/DrawbotSuite.h"
#include "sim/core/Host.h"

namespace {

sim::Project twoLayers() {
    sim::Project p;
    sim::Layer shape;
    shape.id = 11;
    shape.name = "Shape";
    shape.width = 40;
    shape.height = 20;
    shape.fill = {255, 0, 0, 255};
    sim::Layer card;
    card.id = 12;
    card.name = "Card";
    card.width = 10;
    card.height = 10;
    p.comp.layers = {shape, card};
    return p;
}

template <class Suite>
const Suite* acquire(sim::Host& host, const char* name, int version) {
    const void* suite = nullptr;
    const SPErr err = host.inData()->pica_basicP->AcquireSuite(name, version, &suite);
    return err ? nullptr : static_cast<const Suite*>(suite);
}

void release(sim::Host& host, const char* name, int version) {
    EXPECT_EQ(host.inData()->pica_basicP->ReleaseSuite(name, version), 0);
}

// A fake entry point whose behaviour the test sets.
std::function<PF_Err(PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef**, void*)> g_plugin;

PF_Err fakeEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamList params, PF_LayerDef*,
                 void* extra) {
    return g_plugin ? g_plugin(cmd, in, out, params, extra) : PF_Err_NONE;
}

TEST(SimHostSuites, AcquiredByNameAndVersionOnly) {
    sim::Host host(twoLayers());
    EXPECT_NE(acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13), nullptr);
    EXPECT_NE(acquire<AEGP_StreamSuite2>(host, kAEGPStreamSuite, 7), nullptr);
    EXPECT_NE(acquire<PF_HandleSuite1>(host, kPFHandleSuite, 2), nullptr);
    EXPECT_EQ(acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 12), nullptr);
    EXPECT_EQ(acquire<AEGP_LayerSuite7>(host, "AEGP Nonsense Suite", 13), nullptr);
    EXPECT_EQ(host.leaks().at("suite"), 3);
    release(host, kAEGPLayerSuite, 13);
    release(host, kAEGPStreamSuite, 7);
    release(host, kPFHandleSuite, 2);
    EXPECT_NE(host.inData()->pica_basicP->ReleaseSuite(kPFHandleSuite, 2), 0);
    EXPECT_EQ(host.takeMisuse().size(), 1u);  // released twice
    EXPECT_TRUE(host.leaks().empty());
    EXPECT_EQ(host.callCount("AcquireSuite"), 5);
}

TEST(SimHostSuites, LayerFactsAndBadHandles) {
    sim::Project p = twoLayers();
    p.comp.layers[1].type = sim::LayerType::Camera;
    p.comp.layers[0].maskedBounds = {1, 2, 30, 15};
    sim::Host host(p);
    auto* layers = acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13);
    auto* pf = acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    AEGP_LayerH own = nullptr, second = nullptr, byId = nullptr;
    ASSERT_EQ(pf->AEGP_GetEffectLayer(host.inData()->effect_ref, &own), A_Err_NONE);
    AEGP_CompH comp = nullptr;
    ASSERT_EQ(layers->AEGP_GetLayerParentComp(own, &comp), A_Err_NONE);
    A_long count = 0;
    EXPECT_EQ(layers->AEGP_GetCompNumLayers(comp, &count), A_Err_NONE);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(layers->AEGP_GetCompLayerByIndex(comp, 1, &second), A_Err_NONE);
    EXPECT_EQ(layers->AEGP_GetCompLayerByIndex(comp, 2, &second), A_Err_PARAMETER);
    AEGP_ObjectType type = -1;
    EXPECT_EQ(layers->AEGP_GetLayerObjectType(second, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ObjectType_CAMERA);
    EXPECT_EQ(layers->AEGP_GetLayerFromLayerID(comp, 11, &byId), A_Err_NONE);
    EXPECT_EQ(byId, own);
    EXPECT_EQ(layers->AEGP_GetLayerFromLayerID(comp, 99, &byId), A_Err_NONE);
    EXPECT_EQ(byId, nullptr);
    A_FloatRect bounds{};
    const A_Time zero{0, 1};
    EXPECT_EQ(layers->AEGP_GetLayerMaskedBounds(own, 1, &zero, &bounds), A_Err_NONE);
    EXPECT_EQ(bounds.right, 30);
    EXPECT_EQ(layers->AEGP_SetLayerFlag(own, AEGP_LayerFlag_MOTION_BLUR, true), A_Err_NONE);
    EXPECT_TRUE(host.project().comp.layers[0].motionBlur);
    EXPECT_EQ(layers->AEGP_SetLayerFlag(own, 0x8 | 0x20, true), A_Err_PARAMETER);
    int junk = 0;
    EXPECT_EQ(layers->AEGP_GetLayerIndex(reinterpret_cast<AEGP_LayerH>(&junk), &count),
              A_Err_PARAMETER);
    EXPECT_EQ(layers->AEGP_GetLayerIndex(own, nullptr), A_Err_PARAMETER);
    release(host, kAEGPLayerSuite, 13);
    release(host, kAEGPPFInterfaceSuite, 1);
    EXPECT_TRUE(host.leaks().empty());
}

TEST(SimHostAccounting, CountsStreamsValuesEffectsHandlesUntilDisposed) {
    sim::Host host(twoLayers());
    PF_InData* in = host.inData();
    auto* pf = acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    auto* streams = acquire<AEGP_StreamSuite4>(host, kAEGPStreamSuite, 9);
    auto* effects = acquire<AEGP_EffectSuite3>(host, kAEGPEffectSuite, 3);
    AEGP_LayerH own = nullptr;
    pf->AEGP_GetEffectLayer(in->effect_ref, &own);
    AEGP_StreamRefH position = nullptr;
    ASSERT_EQ(streams->AEGP_GetNewLayerStream(1, own, AEGP_LayerStream_POSITION, &position), 0);
    AEGP_StreamValue2 value{};
    const A_Time zero{0, 1};
    ASSERT_EQ(streams->AEGP_GetNewStreamValue(1, position, 1, &zero, true, &value), 0);
    AEGP_EffectRefH effect = nullptr;
    ASSERT_EQ(pf->AEGP_GetNewEffectForEffect(1, in->effect_ref, &effect), 0);
    PF_Handle handle = in->utils->host_new_handle(16);
    const std::map<std::string, long> open{
        {"effect", 1}, {"handle", 1}, {"stream", 1}, {"suite", 3}, {"value", 1}};
    EXPECT_EQ(host.leaks(), open);
    EXPECT_EQ(streams->AEGP_DisposeStreamValue(&value), 0);
    EXPECT_EQ(streams->AEGP_DisposeStreamValue(&value), A_Err_PARAMETER);  // once only
    EXPECT_EQ(streams->AEGP_DisposeStream(position), 0);
    EXPECT_EQ(streams->AEGP_DisposeStream(position), A_Err_PARAMETER);
    EXPECT_EQ(host.takeMisuse().size(), 2u);  // the value and the stream released twice
    EXPECT_EQ(effects->AEGP_DisposeEffect(effect), 0);
    in->utils->host_dispose_handle(handle);
    release(host, kAEGPPFInterfaceSuite, 1);
    release(host, kAEGPStreamSuite, 9);
    release(host, kAEGPEffectSuite, 3);
    EXPECT_TRUE(host.leaks().empty());
}

// Every host a test makes must go without misuse of its handles; a test that misuses them on
// purpose takes the misuse it made (Host::takeMisuse).
[[maybe_unused]] const bool kMisuseFailsTheTest = [] {
    sim::Host::onMisuse([](const std::vector<sim::Misuse>& misuse) {
        for (const sim::Misuse& m : misuse)
            ADD_FAILURE() << "host handle misused: " << m.call << " on a " << m.kind << ", "
                          << m.problem;
    });
    return true;
}();

// What a misuse case works on: the suites, and one object of each kind the plug-in can obtain.
struct MisuseBench {
    sim::Host host{twoLayers()};
    PF_InData* in = host.inData();
    const AEGP_PFInterfaceSuite1* pf =
        acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    const AEGP_StreamSuite4* streams = acquire<AEGP_StreamSuite4>(host, kAEGPStreamSuite, 9);
    const AEGP_StreamSuite2* oldStreams = acquire<AEGP_StreamSuite2>(host, kAEGPStreamSuite, 7);
    const AEGP_KeyframeSuite4* keys = acquire<AEGP_KeyframeSuite4>(host, kAEGPKeyframeSuite, 4);
    const AEGP_EffectSuite3* effects = acquire<AEGP_EffectSuite3>(host, kAEGPEffectSuite, 3);
    AEGP_StreamRefH stream = nullptr;
    AEGP_StreamValue2 value{};
    AEGP_StreamValue oldValue{};
    AEGP_EffectRefH effect = nullptr;
    AEGP_AddKeyframesInfoH batch = nullptr;
    PF_Handle handle = nullptr;
    PF_ParamDef param{};
    PF_EffectWorld world{};
    void* block = nullptr;

    MisuseBench() {
        AEGP_LayerH own = nullptr;
        pf->AEGP_GetEffectLayer(in->effect_ref, &own);
        const A_Time zero{0, 1};
        EXPECT_EQ(streams->AEGP_GetNewLayerStream(1, own, AEGP_LayerStream_POSITION, &stream), 0);
        EXPECT_EQ(streams->AEGP_GetNewStreamValue(1, stream, 1, &zero, true, &value), 0);
        EXPECT_EQ(oldStreams->AEGP_GetNewStreamValue(1, stream, 1, &zero, true, &oldValue), 0);
        EXPECT_EQ(pf->AEGP_GetNewEffectForEffect(1, in->effect_ref, &effect), 0);
        EXPECT_EQ(keys->AEGP_StartAddKeyframes(stream, &batch), 0);
        handle = in->utils->host_new_handle(16);
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, 0, 0, 1, 25, &param), 0);
        EXPECT_EQ(in->utils->new_world(in->effect_ref, 4, 4, 0, &world), 0);
        EXPECT_EQ(in->pica_basicP->AllocateBlock(8, &block), 0);
    }
    // Gives back everything once, in the order a plug-in would.
    void giveBackAll() {
        EXPECT_EQ(in->pica_basicP->FreeBlock(block), 0);
        EXPECT_EQ(in->utils->dispose_world(in->effect_ref, &world), 0);
        EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &param), 0);
        in->utils->host_dispose_handle(handle);
        EXPECT_EQ(keys->AEGP_EndAddKeyframes(false, batch), 0);
        EXPECT_EQ(effects->AEGP_DisposeEffect(effect), 0);
        EXPECT_EQ(oldStreams->AEGP_DisposeStreamValue(&oldValue), 0);
        EXPECT_EQ(streams->AEGP_DisposeStreamValue(&value), 0);
        EXPECT_EQ(streams->AEGP_DisposeStream(stream), 0);
        for (auto [name, version] :
             std::vector<std::pair<const char*, int>>{{kAEGPEffectSuite, 3},
                                                      {kAEGPKeyframeSuite, 4},
                                                      {kAEGPStreamSuite, 7},
                                                      {kAEGPStreamSuite, 9},
                                                      {kAEGPPFInterfaceSuite, 1}})
            release(host, name, version);
    }
};

// A handle given back twice, one never handed out, and one used after it was given back: each is
// refused with the suite's error and recorded, by the call and the handle's kind; the host's
// count of what is outstanding stays right (an extra release does not hide a missing one).
TEST(SimHostAccounting, MisusedHandlesAreRefusedAndRecorded) {
    struct Case {
        const char* what;
        std::function<int(MisuseBench&)> misuse;  // after everything was given back once
        int error;
        sim::Misuse expected;
    };
    const A_Time zero{0, 1};
    int junk = 0;
    void* stranger = &junk;
    const std::vector<Case> cases = {
        {"stream disposed twice",
         [](MisuseBench& b) { return b.streams->AEGP_DisposeStream(b.stream); },
         A_Err_PARAMETER,
         {"AEGP_DisposeStream", "stream", "released twice"}},
        {"stream never handed out",
         [&](MisuseBench& b) {
             return b.streams->AEGP_DisposeStream(static_cast<AEGP_StreamRefH>(stranger));
         },
         A_Err_PARAMETER,
         {"AEGP_DisposeStream", "stream", "not handed out"}},
        {"stream read after release",
         [](MisuseBench& b) {
             AEGP_StreamType type{};
             return b.streams->AEGP_GetStreamType(b.stream, &type);
         },
         A_Err_PARAMETER,
         {"AEGP_GetStreamType", "stream", "used after release"}},
        {"stream value disposed twice",
         [](MisuseBench& b) { return b.streams->AEGP_DisposeStreamValue(&b.value); },
         A_Err_PARAMETER,
         {"AEGP_DisposeStreamValue", "value", "released twice"}},
        {"old stream value disposed twice",
         [](MisuseBench& b) { return b.oldStreams->AEGP_DisposeStreamValue(&b.oldValue); },
         A_Err_PARAMETER,
         {"AEGP_DisposeStreamValue", "value", "released twice"}},
        {"a copy of a stream value disposed",
         [](MisuseBench& b) {
             AEGP_StreamValue2 copy = b.value;
             return b.streams->AEGP_DisposeStreamValue(&copy);
         },
         A_Err_PARAMETER,
         {"AEGP_DisposeStreamValue", "value", "not handed out"}},
        {"effect disposed twice",
         [](MisuseBench& b) { return b.effects->AEGP_DisposeEffect(b.effect); },
         A_Err_PARAMETER,
         {"AEGP_DisposeEffect", "effect", "released twice"}},
        {"effect read after release",
         [](MisuseBench& b) {
             A_long n = 0;
             return b.streams->AEGP_GetEffectNumParamStreams(b.effect, &n);
         },
         A_Err_PARAMETER,
         {"AEGP_GetEffectNumParamStreams", "effect", "used after release"}},
        {"keyframe batch ended twice",
         [](MisuseBench& b) { return b.keys->AEGP_EndAddKeyframes(true, b.batch); },
         A_Err_PARAMETER,
         {"AEGP_EndAddKeyframes", "keyframes_batch", "released twice"}},
        {"keyframe batch added to after its end",
         [&](MisuseBench& b) {
             A_long index = 0;
             return b.keys->AEGP_AddKeyframes(b.batch, AEGP_LTimeMode_CompTime, &zero, &index);
         },
         A_Err_PARAMETER,
         {"AEGP_AddKeyframes", "keyframes_batch", "used after release"}},
        {"handle disposed twice",
         [](MisuseBench& b) {
             b.in->utils->host_dispose_handle(b.handle);
             return 0;
         },
         0,
         {"host_dispose_handle", "handle", "released twice"}},
        {"handle locked after release",
         [](MisuseBench& b) { return b.in->utils->host_lock_handle(b.handle) ? 0 : -1; },
         -1,
         {"host_lock_handle", "handle", "used after release"}},
        {"parameter checked in twice",
         [](MisuseBench& b) { return b.in->inter.checkin_param(b.in->effect_ref, &b.param); },
         PF_Err_BAD_CALLBACK_PARAM,
         {"checkin_param", "param", "released twice"}},
        {"world disposed twice",
         [](MisuseBench& b) { return b.in->utils->dispose_world(b.in->effect_ref, &b.world); },
         PF_Err_BAD_CALLBACK_PARAM,
         {"dispose_world", "world", "not handed out"}},
        {"block freed twice",
         [](MisuseBench& b) { return b.in->pica_basicP->FreeBlock(b.block); },
         A_Err_PARAMETER,
         {"FreeBlock", "block", "released twice"}},
        {"suite released twice",
         [](MisuseBench& b) { return b.in->pica_basicP->ReleaseSuite(kAEGPEffectSuite, 3); },
         kSPSuiteNotFoundError,
         {"ReleaseSuite", "suite", "released twice"}},
        {"suite never acquired",
         [](MisuseBench& b) { return b.in->pica_basicP->ReleaseSuite(kAEGPLayerSuite, 13); },
         kSPSuiteNotFoundError,
         {"ReleaseSuite", "suite", "not handed out"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MisuseBench bench;
        bench.giveBackAll();
        EXPECT_TRUE(bench.host.leaks().empty());
        EXPECT_TRUE(bench.host.misuse().empty());
        EXPECT_EQ(c.misuse(bench), c.error);
        const std::vector<sim::Misuse> recorded = bench.host.takeMisuse();
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].call, c.expected.call);
        EXPECT_EQ(recorded[0].kind, c.expected.kind);
        EXPECT_EQ(recorded[0].problem, c.expected.problem);
        EXPECT_TRUE(bench.host.leaks().empty());
    }
}

TEST(SimHostFaults, NthCallOfAnOperationOrOfAny) {
    sim::Host host(twoLayers());
    auto* layers = acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13);
    auto* pf = acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    AEGP_LayerH own = nullptr;
    pf->AEGP_GetEffectLayer(host.inData()->effect_ref, &own);
    AEGP_LayerFlags flags = 0;
    host.injectFault("AEGP_GetLayerFlags", 2, 77);
    EXPECT_EQ(layers->AEGP_GetLayerFlags(own, &flags), 0);
    EXPECT_EQ(layers->AEGP_GetLayerFlags(own, &flags), 77);
    EXPECT_EQ(layers->AEGP_GetLayerFlags(own, &flags), 0);
    host.injectFault("*", 1, 5);
    A_Boolean on = 0;
    EXPECT_EQ(layers->AEGP_IsLayer3D(own, &on), 5);
    EXPECT_EQ(layers->AEGP_IsLayer3D(own, &on), 0);
    host.injectFault("AcquireSuite", 1, A_Err_MISSING_SUITE);
    EXPECT_EQ(acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13), nullptr);
    host.injectFault("host_new_handle", 1, 4);
    EXPECT_EQ(host.inData()->utils->host_new_handle(8), nullptr);
    host.injectFault("AEGP_GetLayerFlags", 1, 9);
    host.clearFaults();
    EXPECT_EQ(layers->AEGP_GetLayerFlags(own, &flags), 0);
    EXPECT_EQ(host.callCount("AEGP_GetLayerFlags"), 4);
    EXPECT_EQ(host.callCount("AEGP_IsLayer3D"), 2);
    release(host, kAEGPLayerSuite, 13);
    release(host, kAEGPPFInterfaceSuite, 1);
    EXPECT_TRUE(host.leaks().empty());
}

// Every field the undo must restore, bit-exact (doubles in hexadecimal).
std::string dump(const sim::Comp& c) {
    std::ostringstream o;
    o << std::hexfloat;
    for (const auto& l : c.layers) {
        o << l.id << ' ' << l.flags() << ' ' << l.markers.size() << '\n';
        for (int w = 0; w < 5; ++w) {
            const sim::Stream& s = *const_cast<sim::Layer&>(l).stream(w);
            o << s.value[0] << ' ' << s.value[1] << ' ' << s.value[2] << '\n';
            for (const auto& k : s.keys) {
                o << k.time.value << '/' << k.time.scale << ' ' << int(k.style().inInterp)
                  << int(k.style().outInterp);
                for (int d = 0; d < 3; ++d) {
                    o << ' ' << k.value[d] << ' ' << k.style().inTangent[d] << ' '
                      << k.style().outTangent[d];
                }
                for (const auto& e : k.style().inEase) o << " i" << e.speed << ',' << e.influence;
                for (const auto& e : k.style().outEase) o << " o" << e.speed << ',' << e.influence;
                o << '\n';
            }
        }
    }
    return o.str();
}

TEST(SimHostUndo, RestoresTheProjectBitExactly) {
    sim::Project p = twoLayers();
    p.comp.layers[1].position.addKey(sim::Time{1, 25}, {0.1, 0.2, 0});
    p.comp.layers[1].position.addKey(sim::Time{5, 25}, {10.3, 7.7, 0});
    sim::Host host(p);
    const std::string before = dump(host.project().comp);
    auto* utility = acquire<AEGP_UtilitySuite4>(host, kAEGPUtilitySuite, 10);
    auto* layers = acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13);
    auto* streams = acquire<AEGP_StreamSuite4>(host, kAEGPStreamSuite, 9);
    auto* keys = acquire<AEGP_KeyframeSuite4>(host, kAEGPKeyframeSuite, 4);
    ASSERT_EQ(utility->AEGP_StartUndoGroup("Tessaron (Pro)"), 0);
    AEGP_CompH comp = nullptr;
    AEGP_LayerH card = nullptr;
    AEGP_StreamRefH position = nullptr, scale = nullptr;
    AEGP_LayerH own = nullptr;
    layers->AEGP_GetCompLayerByIndex(nullptr, 0, &own);  // a bad comp: refused
    EXPECT_EQ(own, nullptr);
    auto* pf = acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    pf->AEGP_GetEffectLayer(host.inData()->effect_ref, &own);
    layers->AEGP_GetLayerParentComp(own, &comp);
    layers->AEGP_GetCompLayerByIndex(comp, 1, &card);
    streams->AEGP_GetNewLayerStream(1, card, AEGP_LayerStream_POSITION, &position);
    streams->AEGP_GetNewLayerStream(1, own, AEGP_LayerStream_SCALE, &scale);
    AEGP_StreamValue2 tangent{position, {}};
    tangent.val.three_d = {3.5, -1.25, 0};
    EXPECT_EQ(keys->AEGP_SetKeyframeSpatialTangents(position, 0, &tangent, &tangent), 0);
    const AEGP_KeyframeEase ease{1.5, 40};
    EXPECT_EQ(keys->AEGP_SetKeyframeTemporalEase(position, 1, 0, &ease, &ease), 0);
    EXPECT_EQ(keys->AEGP_SetKeyframeInterpolation(position, 1, 3, 2), 0);
    EXPECT_EQ(keys->AEGP_DeleteKeyframe(position, 0), 0);
    AEGP_StreamValue2 big{scale, {}};
    big.val.three_d = {250, 250, 100};
    EXPECT_EQ(streams->AEGP_SetStreamValue(1, scale, &big), 0);
    layers->AEGP_SetLayerFlag(card, AEGP_LayerFlag_MOTION_BLUR, true);
    ASSERT_EQ(utility->AEGP_EndUndoGroup(), 0);
    EXPECT_NE(dump(host.project().comp), before);
    EXPECT_TRUE(host.undo());
    EXPECT_EQ(dump(host.project().comp), before);
    EXPECT_FALSE(host.undo());
    EXPECT_EQ(host.records().undoGroups, std::vector<std::string>{"Tessaron (Pro)"});
    EXPECT_EQ(utility->AEGP_EndUndoGroup(), A_Err_GENERIC);  // none open
    streams->AEGP_DisposeStream(position);
    streams->AEGP_DisposeStream(scale);
    for (auto [name, version] : {std::pair{kAEGPUtilitySuite, 10},
                                 {kAEGPLayerSuite, 13},
                                 {kAEGPStreamSuite, 9},
                                 {kAEGPKeyframeSuite, 4},
                                 {kAEGPPFInterfaceSuite, 1}}) {
        release(host, name, version);
    }
    EXPECT_TRUE(host.leaks().empty());
}

// A plug-in that registers a layer parameter, a popup and a checkbox, with texts it then
// overwrites: the host must keep its own copies.
PF_Err registerParams(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef**, void*) {
    if (cmd != PF_Cmd_PARAMS_SETUP) return PF_Err_NONE;
    PF_ParamDef def{};
    def.param_type = PF_Param_LAYER;
    std::strcpy(def.name, "Source Layer");
    def.u.ld.dephault = PF_LayerDefault_MYSELF;
    if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) return err;
    char items[] = "Grid|Organic";
    def = PF_ParamDef{};
    def.param_type = PF_Param_POPUP;
    std::strcpy(def.name, "Position");
    def.u.pd.num_choices = 2;
    def.u.pd.value = def.u.pd.dephault = 2;
    def.u.pd.u.namesptr = items;
    if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) return err;
    std::strcpy(items, "XXXX|XXXXXXX");
    out->num_params = 3;
    return PF_Err_NONE;
}

TEST(SimHostParams, AddParamCopiesTextsAndSetsDefaults) {
    sim::Host host(twoLayers());
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    ASSERT_EQ(host.paramsSetup(), PF_Err_NONE);
    ASSERT_EQ(host.paramDefs().size(), 3u);
    EXPECT_EQ(host.paramIndex("Position"), 2);
    EXPECT_EQ(host.paramIndex("Nope"), -1);
    EXPECT_EQ(host.popupTexts()[2], "Grid|Organic");
    EXPECT_STREQ(host.paramDefs()[2].u.pd.u.namesptr, "Grid|Organic");
    EXPECT_EQ(host.effect().params.at(1).value, 11);  // the effect's own layer
    EXPECT_EQ(host.effect().params.at(2).value, 2);
    host.setParamKeys(2, {{1.0, 1}, {0.0, 2}});
    EXPECT_EQ(host.effect().params.at(2).at(0.5), 2);
    EXPECT_EQ(host.effect().params.at(2).at(1.5), 1);
    g_plugin = nullptr;
}

// Only rendering reads the input layer's pixels: other commands see its size without pixels, so
// that a full-frame layer does not cost a world per command.
TEST(SimHostParams, OnlyRenderingGetsTheInputLayersPixels) {
    sim::Host host(twoLayers());
    std::vector<std::pair<PF_Cmd, PF_LayerDef>> seen;
    g_plugin = [&](PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef** params, void* extra) {
        seen.emplace_back(cmd, params[0]->u.ld);
        return registerParams(cmd, in, out, params, extra);
    };
    host.attach(&fakeEntry);
    ASSERT_EQ(host.paramsSetup(), PF_Err_NONE);
    ASSERT_EQ(host.updateParamsUI(), PF_Err_NONE);
    ASSERT_EQ(host.render(), PF_Err_NONE);
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& [cmd, input] : seen) {
        EXPECT_EQ(input.width, 40) << cmd;
        EXPECT_EQ(input.height, 20) << cmd;
        EXPECT_EQ(input.data != nullptr, cmd == PF_Cmd_RENDER) << cmd;
    }
    g_plugin = nullptr;
}

// Checks out parameter 1 (a layer parameter) at time 0 and reports the world.
struct Checkout {
    PF_ParamDef def{};
    PF_PixelFormat format = 0;
};

Checkout checkoutSource(sim::Host& host) {
    Checkout c;
    PF_InData* in = host.inData();
    EXPECT_EQ(in->inter.checkout_param(in->effect_ref, 1, 0, in->time_step, in->time_scale, &c.def),
              0);
    auto* worlds = acquire<PF_WorldSuite2>(host, kPFWorldSuite, 2);
    if (c.def.u.ld.data) {
        EXPECT_EQ(worlds->PF_GetPixelFormat(&c.def.u.ld, &c.format), 0);
    }
    release(host, kPFWorldSuite, 2);
    return c;
}

template <class T>
const T* row(const PF_LayerDef& w, int y) {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(w.data) + y * w.rowbytes);
}

TEST(SimHostCheckout, LayerParamAtHalfResolutionAndEveryDepth) {
    sim::Project p = twoLayers();
    p.comp.downsample = 2;
    sim::Host host(p);
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    ASSERT_EQ(host.paramsSetup(), PF_Err_NONE);

    Checkout eight = checkoutSource(host);
    EXPECT_EQ(eight.def.u.ld.width, 20);
    EXPECT_EQ(eight.def.u.ld.height, 10);
    EXPECT_GE(eight.def.u.ld.rowbytes, 20 * 4);
    EXPECT_EQ(eight.format, PF_PixelFormat_ARGB32);
    const PF_Pixel px = row<PF_Pixel>(eight.def.u.ld, 9)[19];
    EXPECT_EQ(px.alpha, 255);
    EXPECT_EQ(px.red, 255);
    EXPECT_EQ(px.green, 0);
    EXPECT_EQ(host.leaks().at("param"), 1);
    PF_InData* in = host.inData();
    EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &eight.def), 0);
    EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &eight.def), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.takeMisuse().size(), 1u);  // checked in twice

    host.project().comp.bitDepth = 16;
    Checkout sixteen = checkoutSource(host);
    EXPECT_EQ(sixteen.format, PF_PixelFormat_ARGB64);
    EXPECT_EQ(row<PF_Pixel16>(sixteen.def.u.ld, 0)[0].red, 32768);
    EXPECT_EQ(row<PF_Pixel16>(sixteen.def.u.ld, 0)[0].blue, 0);
    in->inter.checkin_param(in->effect_ref, &sixteen.def);

    host.project().comp.bitDepth = 32;
    host.project().comp.downsample = 1;
    Checkout thirtyTwo = checkoutSource(host);
    EXPECT_EQ(thirtyTwo.def.u.ld.width, 40);
    EXPECT_EQ(thirtyTwo.format, PF_PixelFormat_ARGB128);
    EXPECT_EQ(row<PF_PixelFloat>(thirtyTwo.def.u.ld, 19)[39].alpha, 1.0f);
    in->inter.checkin_param(in->effect_ref, &thirtyTwo.def);

    host.setParam(1, 0);  // None: a cleared record
    Checkout none = checkoutSource(host);
    EXPECT_EQ(none.def.u.ld.data, nullptr);
    EXPECT_EQ(none.def.u.ld.width, 0);
    in->inter.checkin_param(in->effect_ref, &none.def);
    EXPECT_TRUE(host.leaks().empty());
    g_plugin = nullptr;
}

TEST(SimHostCheckout, PngSourceIsReadStraight) {
    const std::string path = testing::TempDir() + "sim_host_source.png";
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 2);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 0, 0, 1, 0.5);
    cairo_rectangle(cr, 2, 0, 2, 2);
    cairo_fill(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
    sim::Project p = twoLayers();
    p.comp.layers[0].type = sim::LayerType::Footage;
    p.comp.layers[0].imagePath = path;
    p.comp.layers[0].width = p.comp.layers[0].height = 0;  // the image's size
    sim::Host host(p);
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    host.paramsSetup();
    Checkout c = checkoutSource(host);
    ASSERT_EQ(c.def.u.ld.width, 4);
    EXPECT_EQ(row<PF_Pixel>(c.def.u.ld, 1)[0].alpha, 0);
    const PF_Pixel blue = row<PF_Pixel>(c.def.u.ld, 1)[3];
    EXPECT_NEAR(blue.alpha, 128, 1);
    EXPECT_EQ(blue.blue, 255);
    host.inData()->inter.checkin_param(host.inData()->effect_ref, &c.def);
    EXPECT_TRUE(host.leaks().empty());
    g_plugin = nullptr;
}

// Faint pixels keep their colour: the plug-in reads what the file holds, as from the host.
TEST(SimHostCheckout, FaintPngPixelsReachThePluginUnchanged) {
    const std::string path = testing::TempDir() + "sim_host_faint.png";
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = 2;
    png.height = 1;
    png.format = PNG_FORMAT_RGBA;
    const uint8_t pixels[] = {245, 245, 245, 10, 3, 200, 90, 1};
    ASSERT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, pixels, 0, nullptr));
    sim::Project p = twoLayers();
    p.comp.layers[0].type = sim::LayerType::Footage;
    p.comp.layers[0].imagePath = path;
    p.comp.layers[0].width = p.comp.layers[0].height = 0;
    sim::Host host(p);
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    host.paramsSetup();
    Checkout c = checkoutSource(host);
    const PF_Pixel grey = row<PF_Pixel>(c.def.u.ld, 0)[0];
    EXPECT_EQ(grey.alpha, 10);
    EXPECT_EQ(grey.red, 245);
    EXPECT_EQ(grey.blue, 245);
    const PF_Pixel faintest = row<PF_Pixel>(c.def.u.ld, 0)[1];
    EXPECT_EQ(faintest.alpha, 1);
    EXPECT_EQ(faintest.red, 3);
    EXPECT_EQ(faintest.green, 200);
    EXPECT_EQ(faintest.blue, 90);
    host.inData()->inter.checkin_param(host.inData()->effect_ref, &c.def);
    g_plugin = nullptr;
}

// A shape layer's source is the composition's size with what it draws in the middle; its
// bounds are in layer space around the origin.
TEST(SimHostCheckout, ShapeSourceIsCompSizedWithTheShapeInTheMiddle) {
    sim::Project p = twoLayers();
    p.comp.width = 100;
    p.comp.height = 60;
    p.comp.layers[0].type = sim::LayerType::Shape;  // draws 40 x 20
    p.comp.layers[0].maskedBounds = {0, 0, 0, 0};
    sim::Host host(p);
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    host.paramsSetup();
    Checkout c = checkoutSource(host);
    ASSERT_EQ(c.def.u.ld.width, 100);
    ASSERT_EQ(c.def.u.ld.height, 60);
    EXPECT_EQ(row<PF_Pixel>(c.def.u.ld, 20)[30].alpha, 255);  // top-left of the drawn part
    EXPECT_EQ(row<PF_Pixel>(c.def.u.ld, 39)[69].alpha, 255);  // its bottom-right
    EXPECT_EQ(row<PF_Pixel>(c.def.u.ld, 19)[30].alpha, 0);
    EXPECT_EQ(row<PF_Pixel>(c.def.u.ld, 20)[70].alpha, 0);
    host.inData()->inter.checkin_param(host.inData()->effect_ref, &c.def);
    auto* layers = acquire<AEGP_LayerSuite7>(host, kAEGPLayerSuite, 13);
    auto* pf = acquire<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    AEGP_LayerH layer = nullptr;
    ASSERT_EQ(pf->AEGP_GetEffectLayer(host.inData()->effect_ref, &layer), A_Err_NONE);
    A_Time t{0, 25};
    A_FloatRect bounds{};
    ASSERT_EQ(layers->AEGP_GetLayerMaskedBounds(layer, AEGP_LTimeMode_CompTime, &t, &bounds),
              A_Err_NONE);
    EXPECT_EQ(bounds.left, -20);
    EXPECT_EQ(bounds.top, -10);
    EXPECT_EQ(bounds.right, 20);
    EXPECT_EQ(bounds.bottom, 10);
    release(host, kAEGPLayerSuite, 13);
    release(host, kAEGPPFInterfaceSuite, 1);
    EXPECT_TRUE(host.leaks().empty());
    g_plugin = nullptr;
}

TEST(SimHostCommands, ReportsApiVersion13Point28UnlessTold) {
    sim::Host host(twoLayers());
    PF_SpecVersion seen{};
    g_plugin = [&](PF_Cmd, PF_InData* in, PF_OutData*, PF_ParamDef**, void*) {
        seen = in->version;
        return PF_Err_NONE;
    };
    host.attach(&fakeEntry);
    ASSERT_EQ(host.about(), PF_Err_NONE);
    EXPECT_EQ(seen.major, 13);
    EXPECT_EQ(seen.minor, 28);
    g_plugin = nullptr;
}

TEST(SimHostCommands, InDataOutDataAndRecords) {
    sim::Project p = twoLayers();
    p.comp.currentTime = sim::Time{12, 25};
    p.comp.downsample = 2;
    sim::Host host(p);
    host.setApiVersion(13, 1);
    PF_InData seen{};
    g_plugin = [&](PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef** params, void*) {
        seen = *in;
        EXPECT_EQ(params[0]->u.ld.width, 20);
        if (cmd == PF_Cmd_GLOBAL_SETUP) {
            out->global_data = in->utils->host_new_handle(8);
            out->out_flags = 0x02008000;
        }
        if (cmd == PF_Cmd_USER_CHANGED_PARAM) {
            in->utils->ansi.sprintf(out->return_msg, "%s %d", "frames", 1001);
        }
        if (cmd == PF_Cmd_GLOBAL_SETDOWN) in->utils->host_dispose_handle(in->global_data);
        return PF_Err_NONE;
    };
    host.attach(&fakeEntry);
    ASSERT_EQ(host.globalSetup(), 0);
    EXPECT_EQ(seen.version.major, 13);
    EXPECT_EQ(seen.version.minor, 1);
    EXPECT_EQ(seen.time_scale, 25u);
    EXPECT_EQ(seen.time_step, 1);
    EXPECT_EQ(seen.current_time, 12);
    EXPECT_EQ(seen.downsample_x.den, 2u);
    EXPECT_EQ(host.outData().out_flags, 0x02008000);
    ASSERT_EQ(host.userChangedParam(1), 0);
    EXPECT_NE(seen.global_data, nullptr);
    EXPECT_EQ(host.records().messages, std::vector<std::string>{"frames 1001"});
    ASSERT_EQ(host.globalSetdown(), 0);
    ASSERT_EQ(host.records().commands.size(), 3u);
    EXPECT_EQ(host.records().commands[1].cmd, PF_Cmd_USER_CHANGED_PARAM);
    EXPECT_EQ(host.records().commands[1].returnMsg, "frames 1001");
    EXPECT_TRUE(host.leaks().empty());
    g_plugin = nullptr;
}

TEST(SimHostCommands, RenderCopiesThroughTheHostsCopyCallback) {
    sim::Project p = twoLayers();
    p.comp.bitDepth = 16;
    sim::Host host(p);
    PF_FilterProc copying = [](PF_Cmd cmd, PF_InData* in, PF_OutData*, PF_ParamList params,
                               PF_LayerDef* output, void*) -> PF_Err {
        if (cmd != PF_Cmd_RENDER) return PF_Err_NONE;
        return in->utils->copy(in->effect_ref, &params[0]->u.ld, output, nullptr, nullptr);
    };
    host.attach(copying);
    ASSERT_EQ(host.render(), PF_Err_NONE);
    const PF_LayerDef* out = host.outputWorld();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->width, 40);
    EXPECT_EQ(row<PF_Pixel16>(*out, 19)[39].red, 32768);
    EXPECT_TRUE(host.leaks().empty());
}

TEST(SimHostInfo, ReportInfoInfoPanelAndParamUi) {
    sim::Host host(twoLayers());
    g_plugin = registerParams;
    host.attach(&fakeEntry);
    host.paramsSetup();
    auto* utility = acquire<AEGP_UtilitySuite5>(host, kAEGPUtilitySuite, 11);
    auto* adv = acquire<PF_AdvAppSuite2>(host, kPFAdvAppSuite, 2);
    auto* params = acquire<PF_ParamUtilsSuite1>(host, kPFParamUtilsSuite, 2);
    EXPECT_EQ(utility->AEGP_ReportInfo(1, "Layer markers not found."), 0);
    EXPECT_EQ(adv->PF_InfoDrawText("Evaluating frame 1 of 2", ""), 0);
    AEGP_PluginID id = 0;
    EXPECT_EQ(utility->AEGP_RegisterWithAEGP(nullptr, "Tessaron (Pro)", &id), 0);
    EXPECT_EQ(id, host.pluginId());
    EXPECT_EQ(utility->AEGP_ExecuteScript(id, "var a = 1;", false, nullptr, nullptr), 0);
    // The script's completion value comes back in a memory handle the caller frees; a failed
    // script's error in the other.
    auto* memory = acquire<AEGP_MemorySuite1>(host, kAEGPMemorySuite, 1);
    const auto text = [&](AEGP_MemHandle h) {
        AEGP_MemSize size = 0;
        void* data = nullptr;
        EXPECT_EQ(memory->AEGP_GetMemHandleSize(h, &size), 0);
        EXPECT_EQ(memory->AEGP_LockMemHandle(h, &data), 0);
        std::string t(static_cast<const char*>(data), size);
        EXPECT_EQ(memory->AEGP_UnlockMemHandle(h), 0);
        return t;
    };
    for (const auto& [script, ok, result, error] :
         {std::tuple{"var n = 2; n * 20 + ' keys';", true, "40 keys", ""},
          std::tuple{"undefinedName;", false, "",
                     "ReferenceError: identifier 'undefinedName' undefined"}}) {
        AEGP_MemHandle resultH = nullptr, errorH = nullptr;
        EXPECT_EQ(utility->AEGP_ExecuteScript(id, script, false, &resultH, &errorH) == 0, ok);
        ASSERT_TRUE(resultH && errorH);
        EXPECT_EQ(host.leaks().at("memory"), 2);
        EXPECT_EQ(text(resultH), std::string(result) + '\0');
        EXPECT_EQ(text(errorH), std::string(error) + '\0');
        EXPECT_EQ(memory->AEGP_UnlockMemHandle(resultH), A_Err_PARAMETER);  // not locked
        EXPECT_EQ(memory->AEGP_FreeMemHandle(resultH), 0);
        EXPECT_EQ(memory->AEGP_FreeMemHandle(errorH), 0);
        EXPECT_EQ(memory->AEGP_FreeMemHandle(errorH), A_Err_PARAMETER);  // freed already
        EXPECT_EQ(host.takeMisuse().size(), 1u);
    }
    release(host, kAEGPMemorySuite, 1);
    PF_ParamDef def = host.paramDefs()[2];
    def.ui_flags |= PF_PUI_DISABLED;
    PF_InData* in = host.inData();
    EXPECT_EQ(params->PF_UpdateParamUI(in->effect_ref, 2, &def), 0);
    EXPECT_TRUE(host.paramDisabled(2));
    EXPECT_FALSE(host.paramDisabled(1));
    EXPECT_EQ(params->PF_UpdateParamUI(in->effect_ref, 7, &def), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.records().messages, std::vector<std::string>{"Layer markers not found."});
    EXPECT_EQ(host.records().info, std::vector<std::string>{"Evaluating frame 1 of 2"});
    ASSERT_FALSE(host.records().scripts.empty());
    EXPECT_EQ(host.records().scripts.front(), "var a = 1;");
    release(host, kAEGPUtilitySuite, 11);
    release(host, kPFAdvAppSuite, 2);
    release(host, kPFParamUtilsSuite, 2);
    EXPECT_TRUE(host.leaks().empty());
    g_plugin = nullptr;
}

// Draws a 2 x 1 BGRA straight image (opaque blue, half-transparent red) at the frame's corner.
PF_Err drawBanner(PF_Cmd cmd, PF_InData* in, PF_OutData*, PF_ParamList, PF_LayerDef*, void* extra) {
    if (cmd != PF_Cmd_EVENT) return PF_Err_NONE;
    auto* event = static_cast<PF_EventExtra*>(extra);
    const SPBasicSuite* sp = in->pica_basicP;
    const void *draw, *supplier, *surface, *ui;
    sp->AcquireSuite(kDRAWBOT_DrawSuite, 1, &draw);
    sp->AcquireSuite(kDRAWBOT_SupplierSuite, 1, &supplier);
    sp->AcquireSuite(kDRAWBOT_SurfaceSuite, 1, &surface);
    sp->AcquireSuite(kPFEffectCustomUISuite, 1, &ui);
    DRAWBOT_DrawRef ref = nullptr;
    PF_Err err = static_cast<const PF_EffectCustomUISuite1*>(ui)->PF_GetDrawingReference(
        event->contextH, &ref);
    DRAWBOT_SupplierRef sup = nullptr;
    DRAWBOT_SurfaceRef surf = nullptr;
    auto* d = static_cast<const DRAWBOT_DrawbotSuite1*>(draw);
    auto* s = static_cast<const DRAWBOT_SupplierSuite1*>(supplier);
    if (!err) err = d->GetSupplier(ref, &sup);
    if (!err) err = d->GetSurface(ref, &surf);
    const uint8_t pixels[8] = {255, 0, 0, 255, 0, 0, 255, 128};
    DRAWBOT_ImageRef image = nullptr;
    if (!err)
        err = s->NewImageFromBuffer(sup, 2, 1, 8, kDRAWBOT_PixelLayout_32BGRA_Straight, pixels,
                                    &image);
    const DRAWBOT_PointF32 origin{float(event->effect_win.current_frame.left),
                                  float(event->effect_win.current_frame.top)};
    if (!err)
        err = static_cast<const DRAWBOT_SurfaceSuite2*>(surface)->DrawImage(surf, image, &origin,
                                                                            1.0f);
    if (image) s->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(image));
    sp->ReleaseSuite(kDRAWBOT_DrawSuite, 1);
    sp->ReleaseSuite(kDRAWBOT_SupplierSuite, 1);
    sp->ReleaseSuite(kDRAWBOT_SurfaceSuite, 1);
    sp->ReleaseSuite(kPFEffectCustomUISuite, 1);
    if (!err) event->evt_out_flags = PF_EO_HANDLED_EVENT;
    return err;
}

TEST(SimHostDrawing, DrawbotImageLandsOnTheSurface) {
    sim::Host host(twoLayers());
    host.attach(&drawBanner);
    PF_EventOutFlags flags = 0;
    ASSERT_EQ(host.drawEvent(1, PF_EA_CONTROL, PF_Rect{3, 2, 13, 6}, &flags), 0);
    EXPECT_EQ(flags, PF_EO_HANDLED_EVENT);
    cairo_surface_t* surface = host.drawingSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(surface), 13);
    cairo_surface_flush(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    uint32_t blue, red, empty;
    std::memcpy(&blue, data + 2 * stride + 3 * 4, 4);
    std::memcpy(&red, data + 2 * stride + 4 * 4, 4);
    std::memcpy(&empty, data + 2 * stride + 5 * 4, 4);
    EXPECT_EQ(blue, 0xff0000ffu);
    EXPECT_EQ(red, 0x80800000u);  // premultiplied on the surface
    EXPECT_EQ(empty, 0u);
    EXPECT_EQ(host.callCount("NewImageFromBuffer"), 1);
    EXPECT_TRUE(host.leaks().empty());
}

}  // namespace
