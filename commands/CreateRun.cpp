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
#include "host/HostObjects.h"
#include "host/Params.h"
#include "host/SuiteServices.h"

namespace {

struct Run {
    PF_InData* in_data;
    PF_OutData* out_data;
    AEGP_SuiteHandler& suites;
    GlobalData& global;
    MyTessaron& engine;
    // The Source layer's Position, held until the run is over.
    ScopedStream sourcePositionStream{suites};
    ScopedValue sourcePosition{suites};
};

// A failed host call noted for the press's message; returns err.
A_Err noted(const char* what, A_Err err) {
    hostFailures().failed(what, err);
    return err;
}

// The Source layer image's pixel format. Failures of the suite are shown by the suite helpers;
// none stops the command, which then goes on with the format stored before.
void storeSourcePixelFormat(PF_InData* in_data, PF_OutData* out_data, GlobalData& global) {
    // Declared first, so that it is checked in after the suite is released.
    ScopedCheckout source(in_data);
    ScopedAefxSuite worlds(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                           "Couldn't load suite.", "Couldn't release suite.");
    if (!worlds.get()) {
        return;  // the first failure ends this sequence; nothing was checked out
    }
    PF_Err err = source.checkout(PARAM_SOURCE_LAYER, 0, in_data->time_step, in_data->time_scale);
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (!err) {
        err = static_cast<PF_WorldSuite2*>(worlds.get())
                  ->PF_GetPixelFormat(&source.param().u.ld, &format);
    }
    if (err) {
        hostFailures().fellBack("reading the Source's pixel format", err, 1);
    } else {
        global.sourcePixelFormat = format;
    }
}

// The layer id the Source Layer parameter holds at layer time 0 (0: none chosen).
A_Err readSourceLayerId(Run& run, AEGP_EffectRefH effect, AEGP_LayerIDVal* id) {
    AEGP_StreamSuite2* streams = run.suites.StreamSuite2();
    ScopedStream stream(run.suites);
    ScopedStreamValue<AEGP_StreamValue> value(streams->AEGP_DisposeStreamValue);
    A_Err err = stream.fetchEffectParam(run.global.pluginId, effect, PARAM_SOURCE_LAYER);
    const A_Time zero = {0, 1};
    ERR(value.adopt(streams->AEGP_GetNewStreamValue(
        run.global.pluginId, stream.get(), AEGP_LTimeMode_LayerTime, &zero, true, &value.value())));
    if (!err) {
        *id = value.value().val.layer_id;
    }
    return err;
}

// Resolves the Source layer in the composition of the layer that carries the effect.
A_Err findSourceLayer(Run& run) {
    ScopedEffect effect(run.suites, run.suites.EffectSuite2()->AEGP_DisposeEffect);
    A_Err err = effect.fetch(run.global.pluginId, run.in_data->effect_ref);
    AEGP_LayerIDVal id = 0;
    ERR(readSourceLayerId(run, effect.get(), &id));
    if (!err && id != 0) {
        AEGP_LayerSuite7* layers = run.suites.LayerSuite7();
        AEGP_LayerH effectLayer = nullptr;
        AEGP_CompH comp = nullptr;
        ERR(run.suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(run.in_data->effect_ref,
                                                                &effectLayer));
        ERR(layers->AEGP_GetLayerParentComp(effectLayer, &comp));
        ERR(layers->AEGP_GetLayerFromLayerID(comp, id, &run.engine.sourceLayer));
    }
    ERR(effect.reset());
    return err;
}

// Size, times and layers of the Source layer's composition, and the Source's own position.
A_Err readCompositionFacts(Run& run) {
    MyTessaron& e = run.engine;
    AEGP_LayerSuite7* layers = run.suites.LayerSuite7();
    AEGP_CompSuite7* comps = run.suites.CompSuite7();
    AEGP_ItemH item = nullptr;
    AEGP_ObjectType type = AEGP_ObjectType_NONE;
    A_Err err = layers->AEGP_GetLayerIndex(e.sourceLayer, &e.sourceLayerIndex);
    ERR(layers->AEGP_GetLayerObjectType(e.sourceLayer, &type));
    e.sourceLayerType = type;
    ERR(layers->AEGP_GetLayerParentComp(e.sourceLayer, &e.comp));
    ERR(run.suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(run.in_data->effect_ref,
                                                            &e.effectLayer));
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
    ERR(run.sourcePositionStream.fetch(run.global.pluginId, e.sourceLayer,
                                       AEGP_LayerStream_POSITION));
    e.sourcePositionStream = run.sourcePositionStream.get();
    ERR(run.sourcePosition.readAt(run.global.pluginId, e.sourcePositionStream, e.compCurrentTime));
    e.sourcePosition = run.sourcePosition.value();
    return err;
}

// Frame numbers of the Source layer's markers, in the host's order.
A_Err readMarkerFrames(Run& run) {
    MyTessaron& e = run.engine;
    ScopedStream stream(run.suites);
    A_Err err = stream.fetch(run.global.pluginId, e.sourceLayer, AEGP_LayerStream_MARKER);
    A_long count = 0;
    ERR(run.suites.KeyframeSuite4()->AEGP_GetStreamNumKFs(stream.get(), &count));
    for (A_long k = 0; !err && k < count; ++k) {
        A_Time t = {0, 1};
        ERR(run.suites.KeyframeSuite4()->AEGP_GetKeyframeTime(stream.get(), k,
                                                              AEGP_LTimeMode_CompTime, &t));
        if (!err) {
            e.markerFrames.push_back(frameNumberOf(t, e.frameSeconds));
        }
    }
    return err;
}

void reportInfo(Run& run, const char* text) {
    noted("showing a message",
          run.suites.UtilitySuite4()->AEGP_ReportInfo(run.global.pluginId, text));
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
    ScopedEffect effect(run.suites, run.suites.EffectSuite3()->AEGP_DisposeEffect);
    const A_Err err = effect.fetch(run.global.pluginId, run.in_data->effect_ref);
    if (err) {
        return err;
    }
    EffectParamReader reader(run.suites, run.global.pluginId, effect.get());
    for (int32_t f : plan.frames) {
        const A_Time time = {f * e.frameDuration.value, e.frameDuration.scale};
        readFrameSettings(reader, e, f, time);
    }
    return effect.reset();
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
    e.releaseRowsOnceKeyed = true;  // the engine goes with the command
}

// Gathers everything, then runs the engine. Returns the command's error code.
A_Err gatherAndRun(Run& run, PF_Err refreshErr) {
    A_Err err = refreshErr;
    const A_Err sourceErr = noted("finding the Source layer", findSourceLayer(run));
    if (!run.engine.sourceLayer) {
        if (sourceErr) {
            return err ? err : sourceErr;  // the failure is told, not taken for a missing choice
        }
        PF_InData* in_data = run.in_data;
        if (PF_SPRINTF(run.out_data->return_msg, "You must choose a Source layer first.") < 0) {
            noted("showing a message", PF_Err_INTERNAL_STRUCT_DAMAGED);
        }
        // Without this flag the host keeps the message to itself.
        run.out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        return err;
    }
    ERR(sourceErr);
    ERR(noted("reading the composition", readCompositionFacts(run)));
    FramePlan plan;
    bool stop = false;
    ERR(noted("reading the Source layer's markers", planFrames(run, plan, stop)));
    if (err || stop) {
        return err;
    }
    err = noted("reading the composition's layers", collectCollageLayers(run));
    if (err || refuseRun(run, plan)) {
        return err;
    }
    ERR(noted("reading the effect's settings", readSettings(run, plan)));
    if (!err) {
        fillRunIdentity(run, plan);
        // Rows for the frames the run evaluates only: at thousands of layers the full tables
        // are tens of MB of fresh pages a press.
        run.engine.init(run.engine.evaluatedFrameCount());
        run.engine.solve();
    }
    return err;
}

// Releases the Source layer's Position; its error counts when nothing failed before.
void releaseSourcePosition(Run& run, A_Err& err) {
    run.sourcePosition.reset();
    const A_Err err2 = run.sourcePositionStream.reset();
    run.engine.sourcePositionStream = nullptr;
    if (!err) {
        err = err2;
    }
}

// The Create button shows its normal state again.
PF_Err refreshCreateButton(PF_InData* in_data, PF_ParamDef* params[]) {
    ScopedSuite<PF_ParamUtilsSuite1> paramUtils(in_data->pica_basicP, kPFParamUtilsSuite,
                                                kPFParamUtilsSuiteVersion1);
    return noted(
        "refreshing the Create button",
        paramUtils->PF_UpdateParamUI(in_data->effect_ref, PARAM_CREATE, params[PARAM_CREATE]));
}

}  // namespace

PF_Err CreateCollage(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                     PF_Err refreshErr) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    GlobalDataLock lock(suites, in_data->global_data);
    if (!lock.get()) {
        return noted("locking the effect's global data", PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    noted("updating the effect's controls", refreshErr);
    if (!refreshErr) {
        storeSourcePixelFormat(in_data, out_data, *lock.get());
    }
    // What the run holds is released on every way out, a missing suite's exception included.
    auto engine = std::make_unique<MyTessaron>();
    Run run{in_data, out_data, suites, *lock.get(), *engine};
    A_Err err = gatherAndRun(run, refreshErr);
    releaseSourcePosition(run, err);
    engine.reset();
    if (!err) {
        err = refreshCreateButton(in_data, params);
    }
    return err;
}
