#include "commands/CreateRun.h"

#include <algorithm>
#include <memory>

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_Macros.h"
#include "commands/EffectSettings.h"
#include "commands/FrameRange.h"
#include "commands/LayerFilter.h"
#include "engine/MyTessaron.h"
#include "host/GlobalData.h"
#include "host/Identity.h"
#include "host/Params.h"
#include "host/SuiteServices.h"

namespace {

struct Run {
    PF_InData* in_data;
    PF_OutData* out_data;
    AEGP_SuiteHandler& suites;
    GlobalData& global;
    MyTessaron& engine;
    bool positionValueTaken = false;
};

// The Source layer image's pixel format. Failures here are shown by the suite helpers and do
// not stop the command.
void storeSourcePixelFormat(PF_InData* in_data, PF_OutData* out_data, GlobalData& global) {
    PF_WorldSuite2* worlds = nullptr;
    if (AEFX_AcquireSuite(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                          "Couldn't load suite.", reinterpret_cast<void**>(&worlds))) {
        return;  // the first failure ends this sequence; nothing was checked out
    }
    PF_ParamDef checkout;
    AEFX_CLR_STRUCT(checkout);
    const PF_Err checkoutErr = PF_CHECKOUT_PARAM(in_data, PARAM_SOURCE_LAYER, 0, in_data->time_step,
                                                 in_data->time_scale, &checkout);
    if (!checkoutErr) {
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        if (!worlds->PF_GetPixelFormat(&checkout.u.ld, &format)) {
            global.sourcePixelFormat = format;
        }
    }
    AEFX_ReleaseSuite(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                      "Couldn't release suite.");
    // A check-out is always checked in, even when the suite could not be released.
    if (!checkoutErr) {
        PF_CHECKIN_PARAM(in_data, &checkout);
    }
}

// The layer id the Source Layer parameter holds at layer time 0 (0: none chosen).
A_Err readSourceLayerId(Run& run, AEGP_EffectRefH effect, AEGP_LayerIDVal* id) {
    AEGP_StreamSuite2* streams = run.suites.StreamSuite2();
    AEGP_StreamRefH stream = nullptr;
    A_Err err = streams->AEGP_GetNewEffectStreamByIndex(run.global.pluginId, effect,
                                                        PARAM_SOURCE_LAYER, &stream);
    const A_Time zero = {0, 1};
    AEGP_StreamValue value{};
    ERR(streams->AEGP_GetNewStreamValue(run.global.pluginId, stream, AEGP_LTimeMode_LayerTime,
                                        &zero, true, &value));
    if (!err) {
        *id = value.val.layer_id;
        streams->AEGP_DisposeStreamValue(&value);
    }
    if (stream) {
        streams->AEGP_DisposeStream(stream);
    }
    return err;
}

// Resolves the Source layer in the composition of the layer that carries the effect.
A_Err findSourceLayer(Run& run) {
    AEGP_EffectRefH effect = nullptr;
    A_Err err = run.suites.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(
        run.global.pluginId, run.in_data->effect_ref, &effect);
    AEGP_LayerIDVal id = 0;
    ERR(readSourceLayerId(run, effect, &id));
    if (!err && id != 0) {
        AEGP_LayerSuite7* layers = run.suites.LayerSuite7();
        AEGP_LayerH effectLayer = nullptr;
        AEGP_CompH comp = nullptr;
        ERR(run.suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(run.in_data->effect_ref,
                                                                &effectLayer));
        ERR(layers->AEGP_GetLayerParentComp(effectLayer, &comp));
        ERR(layers->AEGP_GetLayerFromLayerID(comp, id, &run.engine.sourceLayer));
    }
    if (effect) {
        A_Err err2 = A_Err_NONE;
        ERR2(run.suites.EffectSuite2()->AEGP_DisposeEffect(effect));
    }
    return err;
}

// Size, times and layers of the Source layer's composition, and the Source's own position.
A_Err readCompositionFacts(Run& run) {
    MyTessaron& e = run.engine;
    AEGP_LayerSuite7* layers = run.suites.LayerSuite7();
    AEGP_CompSuite7* comps = run.suites.CompSuite7();
    AEGP_StreamSuite4* streams = run.suites.StreamSuite4();
    AEGP_ItemH item = nullptr;
    AEGP_ObjectType type = AEGP_ObjectType_NONE;
    A_Err err = layers->AEGP_GetLayerIndex(e.sourceLayer, &e.sourceLayerIndex);
    ERR(layers->AEGP_GetLayerObjectType(e.sourceLayer, &type));
    e.sourceLayerType = type;
    ERR(layers->AEGP_GetLayerParentComp(e.sourceLayer, &e.comp));
    ERR(comps->AEGP_GetItemFromComp(e.comp, &item));
    ERR(run.suites.ItemSuite8()->AEGP_GetItemID(item, &e.compItemId));
    ERR(run.suites.ItemSuite8()->AEGP_GetItemDimensions(item, &e.compWidth, &e.compHeight));
    ERR(run.suites.ItemSuite8()->AEGP_GetItemCurrentTime(item, &e.compCurrentTime));
    ERR(run.suites.CompSuite8()->AEGP_GetCompFrameDuration(e.comp, &e.frameDuration));
    if (!err) {
        e.frameSeconds = double(e.frameDuration.value) / double(e.frameDuration.scale);
    }
    ERR(comps->AEGP_GetCompWorkAreaDuration(e.comp, &e.workAreaDuration));
    ERR(comps->AEGP_GetCompWorkAreaStart(e.comp, &e.workAreaStart));
    ERR(layers->AEGP_GetCompNumLayers(e.comp, &e.compLayerCount));
    ERR(streams->AEGP_GetNewLayerStream(run.global.pluginId, e.sourceLayer,
                                        AEGP_LayerStream_POSITION, &e.sourcePositionStream));
    ERR(streams->AEGP_GetNewStreamValue(run.global.pluginId, e.sourcePositionStream,
                                        AEGP_LTimeMode_CompTime, &e.compCurrentTime, true,
                                        &e.sourcePosition));
    run.positionValueTaken = !err;
    return err;
}

// Frame numbers of the Source layer's markers, in the host's order.
A_Err readMarkerFrames(Run& run) {
    MyTessaron& e = run.engine;
    AEGP_StreamRefH stream = nullptr;
    A_Err err = run.suites.StreamSuite4()->AEGP_GetNewLayerStream(
        run.global.pluginId, e.sourceLayer, AEGP_LayerStream_MARKER, &stream);
    A_long count = 0;
    ERR(run.suites.KeyframeSuite4()->AEGP_GetStreamNumKFs(stream, &count));
    for (A_long k = 0; !err && k < count; ++k) {
        A_Time t = {0, 1};
        ERR(run.suites.KeyframeSuite4()->AEGP_GetKeyframeTime(stream, k, AEGP_LTimeMode_CompTime,
                                                              &t));
        if (!err) {
            e.markerFrames.push_back(frameNumberOf(t, e.frameSeconds));
        }
    }
    if (stream) {
        A_Err err2 = A_Err_NONE;
        ERR2(run.suites.StreamSuite4()->AEGP_DisposeStream(stream));
    }
    return err;
}

void reportInfo(Run& run, const char* text) {
    run.suites.UtilitySuite4()->AEGP_ReportInfo(run.global.pluginId, text);
}

// The frames to evaluate by the stored Frames to Render; stop is set when the command ends here.
A_Err planFrames(Run& run, FramePlan& plan, bool& stop) {
    MyTessaron& e = run.engine;
    const int32_t interval = std::max<A_long>(1, run.global.interval);
    switch (static_cast<FramesToRender>(run.global.framesToRender)) {
        case FramesToRender::EveryXFrames:
            plan = planEveryXFrames(frameNumberOf(e.workAreaStart, e.frameSeconds),
                                    frameNumberOf(e.workAreaDuration, e.frameSeconds), interval);
            return A_Err_NONE;
        case FramesToRender::FromLayerMarkers: {
            const A_Err err = readMarkerFrames(run);
            plan = planMarkers(e.markerFrames);
            if (plan.count == 0) {
                stop = true;
                if (!err) reportInfo(run, "Layer markers not found.");
            }
            return err;
        }
        default:
            plan = planCurrentFrame(frameNumberOf(e.compCurrentTime, e.frameSeconds));
            return A_Err_NONE;
    }
}

// What the host reports about layer k of the composition.
A_Err readLayerFacts(Run& run, A_long k, LayerFacts& facts) {
    AEGP_LayerSuite7* layers = run.suites.LayerSuite7();
    AEGP_LayerH layer = nullptr;
    A_Boolean is3D = false, videoOn = false;
    facts.index = k;
    A_Err err = layers->AEGP_GetCompLayerByIndex(run.engine.comp, k, &layer);
    ERR(layers->AEGP_GetLayerObjectType(layer, &facts.objectType));
    ERR(layers->AEGP_GetLayerFlags(layer, &facts.flags));
    ERR(layers->AEGP_IsLayer3D(layer, &is3D));
    ERR(layers->AEGP_IsLayerVideoReallyOn(layer, &videoOn));
    facts.is3D = is3D != false;
    facts.videoReallyOn = videoOn != false;
    if (!err && facts.objectType == AEGP_ObjectType_AV) {
        AEGP_ItemH item = nullptr;
        A_long width = 0, height = 0;
        ERR(layers->AEGP_GetLayerSourceItem(layer, &item));
        ERR(run.suites.ItemSuite8()->AEGP_GetItemDimensions(item, &width, &height));
        facts.hasVisualSize = width > 0 || height > 0;
    }
    return err;
}

A_Err collectCollageLayers(Run& run) {
    A_Err err = A_Err_NONE;
    for (A_long k = 0; !err && k < run.engine.compLayerCount; ++k) {
        LayerFacts facts;
        err = readLayerFacts(run, k, facts);
        if (!err && isCollageLayer(facts, run.engine.sourceLayerIndex)) {
            run.engine.layerIndices.push_back(k);
        }
    }
    run.engine.layerCount = int32_t(run.engine.layerIndices.size());
    return err;
}

// The run's limits; true when the command must end here.
bool refuseRun(Run& run, const FramePlan& plan) {
    char text[256] = {};
    PF_InData* in_data = run.in_data;
    if (run.engine.layerCount == 0) {
        return true;
    }
    if (run.engine.layerCount > MyTessaron::MaxLayers) {
        // The result tables hold MaxLayers layers; refuse before anything is touched. The count
        // is of the layers the collage would take, not of every layer in the composition.
        PF_SPRINTF(text,
                   "Too many layers for a collage. The maximum allowed is %d eligible layers (the "
                   "composition has %d: visible, unlocked 2D layers other than the Source that "
                   "are not guide, null, adjustment, camera or light layers).",
                   MyTessaron::MaxLayers, run.engine.layerCount);
        reportInfo(run, text);
        return true;
    }
    if (plan.count > MyTessaron::MaxFrames) {
        PF_SPRINTF(text,
                   "The number of frames to render is too high. The maximum allowed is %d (the "
                   "actual number is %d).",
                   MyTessaron::MaxFrames, int(plan.count));
        reportInfo(run, text);
        return true;
    }
    return false;
}

// Every setting at every evaluated frame, read through an effect reference of this instance.
A_Err readSettings(Run& run, const FramePlan& plan) {
    MyTessaron& e = run.engine;
    AEGP_EffectRefH effect = nullptr;
    A_Err err = run.suites.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(
        run.global.pluginId, run.in_data->effect_ref, &effect);
    if (err) {
        return err;
    }
    EffectParamReader reader(run.suites, run.global.pluginId, effect);
    for (int32_t f : plan.frames) {
        const A_Time time = {f * e.frameDuration.value, e.frameDuration.scale};
        readFrameSettings(reader, e, f, time);
    }
    return run.suites.EffectSuite3()->AEGP_DisposeEffect(effect);
}

void fillRunIdentity(Run& run, const FramePlan& plan) {
    MyTessaron& e = run.engine;
    e.inData = run.in_data;
    e.sourcePixelFormat = run.global.sourcePixelFormat;
    e.pluginId = run.global.pluginId;
    e.undoName = identity::kName;
    e.downsampleX = run.global.downsampleX;
    e.downsampleY = run.global.downsampleY;
    e.upsampleX = run.global.upsampleX;
    e.upsampleY = run.global.upsampleY;
    e.firstFrame = plan.firstFrame;
    e.endFrame = plan.endFrame;
}

// Gathers everything, then runs the engine. Returns the command's error code.
A_Err gatherAndRun(Run& run, PF_Err refreshErr) {
    A_Err err = refreshErr;
    const A_Err sourceErr = findSourceLayer(run);
    if (!run.engine.sourceLayer) {
        PF_InData* in_data = run.in_data;
        PF_SPRINTF(run.out_data->return_msg, "You must choose a Source layer first.");
        // Without this flag the host keeps the message to itself.
        run.out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        return err ? err : sourceErr;
    }
    ERR(sourceErr);
    ERR(readCompositionFacts(run));
    FramePlan plan;
    bool stop = false;
    ERR(planFrames(run, plan, stop));
    if (err || stop) {
        return err;
    }
    err = collectCollageLayers(run);
    if (err || refuseRun(run, plan)) {
        return err;
    }
    ERR(readSettings(run, plan));
    if (!err) {
        fillRunIdentity(run, plan);
        run.engine.init();
        run.engine.solve();
    }
    return err;
}

// Releases the Source layer's Position; its error counts when nothing failed before.
void releaseSourcePosition(Run& run, A_Err& err) {
    AEGP_StreamSuite4* streams = run.suites.StreamSuite4();
    if (run.positionValueTaken) {
        streams->AEGP_DisposeStreamValue(&run.engine.sourcePosition);
        run.positionValueTaken = false;
    }
    if (run.engine.sourcePositionStream) {
        A_Err err2 = A_Err_NONE;
        ERR2(streams->AEGP_DisposeStream(run.engine.sourcePositionStream));
        run.engine.sourcePositionStream = nullptr;
    }
}

// The Create button shows its normal state again.
PF_Err refreshCreateButton(PF_InData* in_data, PF_ParamDef* params[]) {
    ScopedSuite<PF_ParamUtilsSuite1> paramUtils(in_data->pica_basicP, kPFParamUtilsSuite,
                                                kPFParamUtilsSuiteVersion1);
    return paramUtils->PF_UpdateParamUI(in_data->effect_ref, PARAM_CREATE, params[PARAM_CREATE]);
}

}  // namespace

PF_Err CreateCollage(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                     PF_Err refreshErr) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    GlobalDataLock lock(suites, in_data->global_data);
    if (!lock.get()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (!refreshErr) {
        storeSourcePixelFormat(in_data, out_data, *lock.get());
    }
    auto engine = std::make_unique<MyTessaron>();
    Run run{in_data, out_data, suites, *lock.get(), *engine};
    A_Err err = A_Err_NONE;
    try {
        err = gatherAndRun(run, refreshErr);
    } catch (...) {
        // A missing suite ends the command; what the run holds is released on the way out.
        A_Err ignored = A_Err_NONE;
        releaseSourcePosition(run, ignored);
        throw;
    }
    releaseSourcePosition(run, err);
    engine.reset();
    if (!err) {
        err = refreshCreateButton(in_data, params);
    }
    return err;
}
