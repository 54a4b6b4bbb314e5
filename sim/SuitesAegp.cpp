// The project suites: utility (messages, undo, registration, scripts), the effect's own layer
// and effect reference, layers, compositions and items.
#include <cmath>

#include "AE_GeneralPlug.h"
#include "sim/HostImpl.h"
#include "sim/Script.h"
#include "sim/SourceFrame.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// ---------------------------------------------------------------- Utility

A_Err reportInfo(AEGP_PluginID, const A_char* text) {
    return serve("AEGP_ReportInfo", [&](Impl& h) -> A_Err {
        if (!text) return A_Err_PARAMETER;
        h.showMessage(text, true);
        return A_Err_NONE;
    });
}

A_Err startUndoGroup(const A_char* name) {
    return serve("AEGP_StartUndoGroup", [&](Impl& h) -> A_Err {
        if (!name) return A_Err_PARAMETER;
        h.startUndo(name);
        return A_Err_NONE;
    });
}

A_Err endUndoGroup() {
    return serve("AEGP_EndUndoGroup",
                 [&](Impl& h) -> A_Err { return h.endUndo() ? A_Err_NONE : A_Err_GENERIC; });
}

A_Err registerWithAegp(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    return serve("AEGP_RegisterWithAEGP", [&](Impl& h) -> A_Err {
        if (!name || !id) return A_Err_PARAMETER;
        *id = h.lastPluginId = h.nextPluginId++;
        return A_Err_NONE;
    });
}

// Result and error texts are not handed back: the plug-in asks for neither.
A_Err executeScriptOp(AEGP_PluginID, const A_char* script, const A_Boolean, AEGP_MemHandle* result,
                      AEGP_MemHandle* error) {
    return serve("AEGP_ExecuteScript", [&](Impl& h) -> A_Err {
        if (!script) return A_Err_PARAMETER;
        if (result) *result = nullptr;
        if (error) *error = nullptr;
        h.records.scripts.emplace_back(script);
        return executeScript(h.project, h.records, script) ? A_Err_NONE : A_Err_GENERIC;
    });
}

template <class Suite>
void fillUtility(Suite& s) {
    s.AEGP_ReportInfo = &reportInfo;
    s.AEGP_StartUndoGroup = &startUndoGroup;
    s.AEGP_EndUndoGroup = &endUndoGroup;
    s.AEGP_RegisterWithAEGP = &registerWithAegp;
    s.AEGP_ExecuteScript = &executeScriptOp;
    s.AEGP_IsScriptingAvailable = [](A_Boolean* available) -> A_Err {
        if (!available) return A_Err_PARAMETER;
        *available = true;
        return A_Err_NONE;
    };
    notServed(s.AEGP_GetDriverPluginInitFuncVersion, s.AEGP_GetDriverImplementationVersion,
              s.AEGP_StartQuietErrors, s.AEGP_EndQuietErrors, s.AEGP_GetLastErrorMessage,
              s.AEGP_GetMainHWND, s.AEGP_ShowHideAllFloaters, s.AEGP_PaintPalGetForeColor,
              s.AEGP_PaintPalGetBackColor, s.AEGP_PaintPalSetForeColor, s.AEGP_PaintPalSetBackColor,
              s.AEGP_CharPalGetFillColor, s.AEGP_CharPalGetStrokeColor, s.AEGP_CharPalSetFillColor,
              s.AEGP_CharPalSetStrokeColor, s.AEGP_CharPalIsFillColorUIFrontmost,
              s.AEGP_ConvertFpLongToHSFRatio, s.AEGP_ConvertHSFRatioToFpLong,
              s.AEGP_CauseIdleRoutinesToBeCalled, s.AEGP_GetSuppressInteractiveUI,
              s.AEGP_WriteToOSConsole, s.AEGP_WriteToDebugLog, s.AEGP_HostIsActivated,
              s.AEGP_GetPluginPlatformRef);
}

const void* utilitySuite(int version) {
    static const AEGP_UtilitySuite4 v4 = [] {
        AEGP_UtilitySuite4 s{};
        fillUtility(s);
        return s;
    }();
    static const AEGP_UtilitySuite5 v5 = [] {
        AEGP_UtilitySuite5 s{};
        fillUtility(s);
        notServed(s.AEGP_UpdateFontList);
        return s;
    }();
    if (version == kAEGPUtilitySuiteVersion4) return &v4;
    if (version == kAEGPUtilitySuiteVersion5) return &v5;
    return nullptr;
}

// ---------------------------------------------------------------- PF Interface, Effect

A_Err getEffectLayer(PF_ProgPtr ref, AEGP_LayerH* layer) {
    return serve("AEGP_GetEffectLayer", [&](Impl& h) -> A_Err {
        Layer* own = h.effectLayerPtr();
        if (!h.isEffectRef(ref) || !layer || !own) return A_Err_PARAMETER;
        *layer = static_cast<AEGP_LayerH>(h.layerHandle(own->id));
        return A_Err_NONE;
    });
}

A_Err getNewEffectForEffect(AEGP_PluginID, PF_ProgPtr ref, AEGP_EffectRefH* effect) {
    return serve("AEGP_GetNewEffectForEffect", [&](Impl& h) -> A_Err {
        Layer* own = h.effectLayerPtr();
        if (!h.isEffectRef(ref) || !effect || !own) return A_Err_PARAMETER;
        *effect = static_cast<AEGP_EffectRefH>(h.effects.add(EffectRef{own->id, h.effectSlot}));
        h.accounting.acquire("effect");
        return A_Err_NONE;
    });
}

A_Err convertEffectToCompTime(PF_ProgPtr ref, A_long time, A_u_long scale, A_Time* comp) {
    return serve("AEGP_ConvertEffectToCompTime", [&](Impl& h) -> A_Err {
        if (!h.isEffectRef(ref) || !comp || scale == 0) return A_Err_PARAMETER;
        *comp = A_Time{time, scale};
        return A_Err_NONE;
    });
}

const AEGP_PFInterfaceSuite1* pfInterfaceSuite() {
    static const AEGP_PFInterfaceSuite1 suite = [] {
        AEGP_PFInterfaceSuite1 s{};
        s.AEGP_GetEffectLayer = &getEffectLayer;
        s.AEGP_GetNewEffectForEffect = &getNewEffectForEffect;
        s.AEGP_ConvertEffectToCompTime = &convertEffectToCompTime;
        notServed(s.AEGP_GetEffectCamera, s.AEGP_GetEffectCameraMatrix);
        return s;
    }();
    return &suite;
}

A_Err disposeEffect(AEGP_EffectRefH effect) {
    return serve("AEGP_DisposeEffect", [&](Impl& h) -> A_Err {
        if (!h.effects.remove(effect)) return A_Err_PARAMETER;
        h.accounting.release("effect");
        return A_Err_NONE;
    });
}

A_Err getLayerNumEffects(AEGP_LayerH layerH, A_long* count) {
    return serve("AEGP_GetLayerNumEffects", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        if (!layer || !count) return A_Err_PARAMETER;
        *count = A_long(layer->effects.size());
        return A_Err_NONE;
    });
}

A_Err getLayerEffectByIndex(AEGP_PluginID, AEGP_LayerH layerH, AEGP_EffectIndex index,
                            AEGP_EffectRefH* effect) {
    return serve("AEGP_GetLayerEffectByIndex", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        if (!layer || !effect || index < 0 || index >= A_long(layer->effects.size())) {
            return A_Err_PARAMETER;
        }
        *effect = static_cast<AEGP_EffectRefH>(h.effects.add(EffectRef{layer->id, index}));
        h.accounting.acquire("effect");
        return A_Err_NONE;
    });
}

template <class Suite>
void fillEffect(Suite& s) {
    s.AEGP_GetLayerNumEffects = &getLayerNumEffects;
    s.AEGP_GetLayerEffectByIndex = &getLayerEffectByIndex;
    s.AEGP_DisposeEffect = &disposeEffect;
    notServed(s.AEGP_GetInstalledKeyFromLayerEffect, s.AEGP_GetEffectParamUnionByIndex,
              s.AEGP_GetEffectFlags, s.AEGP_SetEffectFlags, s.AEGP_ReorderEffect,
              s.AEGP_EffectCallGeneric, s.AEGP_ApplyEffect, s.AEGP_DeleteLayerEffect,
              s.AEGP_GetNumInstalledEffects, s.AEGP_GetNextInstalledEffect, s.AEGP_GetEffectName,
              s.AEGP_GetEffectMatchName, s.AEGP_GetEffectCategory, s.AEGP_DuplicateEffect);
}

const void* effectSuiteTable(int version) {
    static const AEGP_EffectSuite2 v2 = [] {
        AEGP_EffectSuite2 s{};
        fillEffect(s);
        return s;
    }();
    static const AEGP_EffectSuite3 v3 = [] {
        AEGP_EffectSuite3 s{};
        fillEffect(s);
        return s;
    }();
    if (version == kAEGPEffectSuiteVersion2) return &v2;
    if (version == kAEGPEffectSuiteVersion3) return &v3;
    return nullptr;
}

// ---------------------------------------------------------------- Layer

bool isComp(Impl& h, AEGP_CompH comp) {
    return comp == h.compHandle();
}

// Runs body on the layer behind a handle, with an argument check.
template <class F>
A_Err onLayer(const char* op, AEGP_LayerH layerH, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        if (!layer || !out) return A_Err_PARAMETER;
        body(h, *layer);
        return A_Err_NONE;
    });
}

A_Err getCompNumLayers(AEGP_CompH comp, A_long* count) {
    return serve("AEGP_GetCompNumLayers", [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !count) return A_Err_PARAMETER;
        *count = A_long(h.comp().layers.size());
        return A_Err_NONE;
    });
}

A_Err getCompLayerByIndex(AEGP_CompH comp, A_long index, AEGP_LayerH* layer) {
    return serve("AEGP_GetCompLayerByIndex", [&](Impl& h) -> A_Err {
        const auto& layers = h.comp().layers;
        if (!isComp(h, comp) || !layer || index < 0 || index >= A_long(layers.size())) {
            return A_Err_PARAMETER;
        }
        *layer = static_cast<AEGP_LayerH>(h.layerHandle(layers[index].id));
        return A_Err_NONE;
    });
}

A_Err getLayerIndex(AEGP_LayerH layerH, A_long* index) {
    return onLayer("AEGP_GetLayerIndex", layerH, index,
                   [&](Impl& h, Layer& l) { *index = h.layerIndexById(l.id); });
}

// Cameras and lights have no source item.
A_Err getLayerSourceItem(AEGP_LayerH layerH, AEGP_ItemH* item) {
    return onLayer("AEGP_GetLayerSourceItem", layerH, item, [&](Impl& h, Layer& l) {
        const bool none = l.type == LayerType::Camera || l.type == LayerType::Light;
        *item = none ? nullptr : static_cast<AEGP_ItemH>(h.itemHandle(l.id));
    });
}

A_Err getLayerParentComp(AEGP_LayerH layerH, AEGP_CompH* comp) {
    return onLayer("AEGP_GetLayerParentComp", layerH, comp,
                   [&](Impl& h, Layer&) { *comp = static_cast<AEGP_CompH>(h.compHandle()); });
}

A_Err getLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* flags) {
    return onLayer("AEGP_GetLayerFlags", layerH, flags,
                   [&](Impl&, Layer& l) { *flags = l.flags(); });
}

// The switches the model keeps; any other flag, or more than one bit, is refused.
bool* switchOf(Layer& l, AEGP_LayerFlags flag) {
    switch (flag) {
        case AEGP_LayerFlag_VIDEO_ACTIVE:
            return &l.video;
        case AEGP_LayerFlag_MOTION_BLUR:
            return &l.motionBlur;
        case AEGP_LayerFlag_LOCKED:
            return &l.locked;
        case AEGP_LayerFlag_ADJUSTMENT_LAYER:
            return &l.adjustment;
        case AEGP_LayerFlag_LAYER_IS_3D:
            return &l.threeD;
        case AEGP_LayerFlag_NULL_LAYER:
            return &l.null;
        case AEGP_LayerFlag_GUIDE_LAYER:
            return &l.guide;
        default:
            return nullptr;
    }
}

A_Err setLayerFlag(AEGP_LayerH layerH, AEGP_LayerFlags flag, A_Boolean value) {
    return serve("AEGP_SetLayerFlag", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        bool* target = layer ? switchOf(*layer, flag) : nullptr;
        if (!target) return A_Err_PARAMETER;
        *target = value != 0;
        return A_Err_NONE;
    });
}

A_Err isLayerVideoReallyOn(AEGP_LayerH layerH, A_Boolean* on) {
    return onLayer("AEGP_IsLayerVideoReallyOn", layerH, on,
                   [&](Impl&, Layer& l) { *on = l.video && l.videoReallyOn && !l.audioOnly; });
}

// Layer bounds; a layer without masked bounds of its own reports what it draws.
A_Err getLayerMaskedBounds(AEGP_LayerH layerH, AEGP_LTimeMode, const A_Time* time,
                           A_FloatRect* bounds) {
    return onLayer("AEGP_GetLayerMaskedBounds", layerH, time ? bounds : nullptr,
                   [&](Impl& h, Layer& l) {
                       const bool unset = l.maskedBounds == std::array<double, 4>{0, 0, 0, 0};
                       const auto b = unset ? sourceFrame(l, h.comp()).content : l.maskedBounds;
                       *bounds = A_FloatRect{b[0], b[1], b[2], b[3]};
                   });
}

A_Err getLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* type) {
    return onLayer("AEGP_GetLayerObjectType", layerH, type,
                   [&](Impl&, Layer& l) { *type = objectTypeOf(l.type); });
}

A_Err isLayer3D(AEGP_LayerH layerH, A_Boolean* is3d) {
    return onLayer("AEGP_IsLayer3D", layerH, is3d, [&](Impl&, Layer& l) { *is3d = l.threeD; });
}

A_Err isLayer2D(AEGP_LayerH layerH, A_Boolean* is2d) {
    return onLayer("AEGP_IsLayer2D", layerH, is2d, [&](Impl&, Layer& l) { *is2d = !l.threeD; });
}

A_Err getLayerID(AEGP_LayerH layerH, AEGP_LayerIDVal* id) {
    return onLayer("AEGP_GetLayerID", layerH, id, [&](Impl&, Layer& l) { *id = l.id; });
}

A_Err getLayerToWorldXform(AEGP_LayerH layerH, const A_Time* time, A_Matrix4* matrix) {
    return onLayer("AEGP_GetLayerToWorldXform", layerH, time ? matrix : nullptr,
                   [&](Impl&, Layer& l) {
                       const auto m = layerToWorld(l, secondsOf(*time));
                       for (int i = 0; i < 4; ++i) {
                           for (int j = 0; j < 4; ++j) matrix->mat[i][j] = m[i][j];
                       }
                   });
}

// An id no layer of the composition has gives no layer, not an error.
A_Err getLayerFromLayerID(AEGP_CompH comp, AEGP_LayerIDVal id, AEGP_LayerH* layer) {
    return serve("AEGP_GetLayerFromLayerID", [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !layer) return A_Err_PARAMETER;
        *layer = h.layerById(id) ? static_cast<AEGP_LayerH>(h.layerHandle(id)) : nullptr;
        return A_Err_NONE;
    });
}

// Layers start at composition time 0 and last as long as the composition.
A_Err getLayerCurrentTime(AEGP_LayerH layerH, AEGP_LTimeMode, A_Time* time) {
    return onLayer("AEGP_GetLayerCurrentTime", layerH, time,
                   [&](Impl& h, Layer&) { *time = toATime(h.comp().currentTime); });
}

A_Err getLayerInPoint(AEGP_LayerH layerH, AEGP_LTimeMode, A_Time* time) {
    return onLayer("AEGP_GetLayerInPoint", layerH, time, [&](Impl& h, Layer&) {
        *time = A_Time{0, h.comp().duration.scale};
    });
}

A_Err getLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode, A_Time* time) {
    return onLayer("AEGP_GetLayerDuration", layerH, time,
                   [&](Impl& h, Layer&) { *time = toATime(h.comp().duration); });
}

A_Err sameTime(const char* op, AEGP_LayerH layerH, const A_Time* in, A_Time* out) {
    return onLayer(op, layerH, in ? out : nullptr, [&](Impl&, Layer&) { *out = *in; });
}

const AEGP_LayerSuite7* layerSuite() {
    static const AEGP_LayerSuite7 suite = [] {
        AEGP_LayerSuite7 s{};
        s.AEGP_GetCompNumLayers = &getCompNumLayers;
        s.AEGP_GetCompLayerByIndex = &getCompLayerByIndex;
        s.AEGP_GetLayerIndex = &getLayerIndex;
        s.AEGP_GetLayerSourceItem = &getLayerSourceItem;
        s.AEGP_GetLayerParentComp = &getLayerParentComp;
        s.AEGP_GetLayerFlags = &getLayerFlags;
        s.AEGP_SetLayerFlag = &setLayerFlag;
        s.AEGP_IsLayerVideoReallyOn = &isLayerVideoReallyOn;
        s.AEGP_GetLayerCurrentTime = &getLayerCurrentTime;
        s.AEGP_GetLayerInPoint = &getLayerInPoint;
        s.AEGP_GetLayerDuration = &getLayerDuration;
        s.AEGP_GetLayerMaskedBounds = &getLayerMaskedBounds;
        s.AEGP_GetLayerObjectType = &getLayerObjectType;
        s.AEGP_IsLayer3D = &isLayer3D;
        s.AEGP_IsLayer2D = &isLayer2D;
        s.AEGP_ConvertCompToLayerTime = [](AEGP_LayerH l, const A_Time* in, A_Time* out) {
            return sameTime("AEGP_ConvertCompToLayerTime", l, in, out);
        };
        s.AEGP_ConvertLayerToCompTime = [](AEGP_LayerH l, const A_Time* in, A_Time* out) {
            return sameTime("AEGP_ConvertLayerToCompTime", l, in, out);
        };
        s.AEGP_GetLayerID = &getLayerID;
        s.AEGP_GetLayerToWorldXform = &getLayerToWorldXform;
        s.AEGP_GetLayerFromLayerID = &getLayerFromLayerID;
        notServed(s.AEGP_GetActiveLayer, s.AEGP_GetLayerSourceItemID, s.AEGP_GetLayerName,
                  s.AEGP_GetLayerQuality, s.AEGP_SetLayerQuality, s.AEGP_IsLayerAudioReallyOn,
                  s.AEGP_SetLayerInPointAndDuration, s.AEGP_GetLayerOffset, s.AEGP_SetLayerOffset,
                  s.AEGP_GetLayerStretch, s.AEGP_SetLayerStretch, s.AEGP_GetLayerTransferMode,
                  s.AEGP_SetLayerTransferMode, s.AEGP_IsAddLayerValid, s.AEGP_AddLayer,
                  s.AEGP_ReorderLayer, s.AEGP_IsVideoActive, s.AEGP_IsLayerUsedAsTrackMatte,
                  s.AEGP_DoesLayerHaveTrackMatte, s.AEGP_GetLayerDancingRandValue,
                  s.AEGP_GetLayerToWorldXformFromView, s.AEGP_SetLayerName, s.AEGP_GetLayerParent,
                  s.AEGP_SetLayerParent, s.AEGP_DeleteLayer, s.AEGP_DuplicateLayer,
                  s.AEGP_GetLayerLabel, s.AEGP_SetLayerLabel);
        return s;
    }();
    return &suite;
}

// ---------------------------------------------------------------- Comp

template <class F>
A_Err onComp(const char* op, AEGP_CompH comp, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !out) return A_Err_PARAMETER;
        body(h.comp());
        return A_Err_NONE;
    });
}

A_Err getItemFromComp(AEGP_CompH comp, AEGP_ItemH* item) {
    return serve("AEGP_GetItemFromComp", [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !item) return A_Err_PARAMETER;
        *item = static_cast<AEGP_ItemH>(h.compItemHandle());
        return A_Err_NONE;
    });
}

A_Err getCompFromItem(AEGP_ItemH item, AEGP_CompH* comp) {
    return serve("AEGP_GetCompFromItem", [&](Impl& h) -> A_Err {
        if (item != h.compItemHandle() || !comp) return A_Err_PARAMETER;
        *comp = static_cast<AEGP_CompH>(h.compHandle());
        return A_Err_NONE;
    });
}

A_Err getWorkAreaStart(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompWorkAreaStart", comp, t,
                  [&](Comp& c) { *t = toATime(c.workAreaStart); });
}

A_Err getWorkAreaDuration(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompWorkAreaDuration", comp, t,
                  [&](Comp& c) { *t = toATime(c.workAreaDuration); });
}

A_Err getFrameDuration(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompFrameDuration", comp, t,
                  [&](Comp& c) { *t = toATime(c.frameDuration); });
}

A_Err getDownsample(AEGP_CompH comp, AEGP_DownsampleFactor* f) {
    return onComp("AEGP_GetCompDownsampleFactor", comp, f, [&](Comp& c) {
        *f = AEGP_DownsampleFactor{A_short(c.downsample), A_short(c.downsample)};
    });
}

A_Err getFramerate(AEGP_CompH comp, A_FpLong* fps) {
    return onComp("AEGP_GetCompFramerate", comp, fps,
                  [&](Comp& c) { *fps = 1.0 / c.frameDuration.seconds(); });
}

template <class Suite>
void fillComp(Suite& s) {
    s.AEGP_GetCompFromItem = &getCompFromItem;
    s.AEGP_GetItemFromComp = &getItemFromComp;
    s.AEGP_GetCompDownsampleFactor = &getDownsample;
    s.AEGP_GetCompFramerate = &getFramerate;
    s.AEGP_GetCompWorkAreaStart = &getWorkAreaStart;
    s.AEGP_GetCompWorkAreaDuration = &getWorkAreaDuration;
    s.AEGP_GetCompFrameDuration = &getFrameDuration;
    notServed(s.AEGP_SetCompDownsampleFactor, s.AEGP_GetCompBGColor, s.AEGP_SetCompBGColor,
              s.AEGP_GetCompFlags, s.AEGP_SetCompFrameRate, s.AEGP_GetCompShutterAnglePhase,
              s.AEGP_GetCompShutterFrameRange, s.AEGP_GetCompSuggestedMotionBlurSamples,
              s.AEGP_SetCompSuggestedMotionBlurSamples, s.AEGP_SetCompWorkAreaStartAndDuration,
              s.AEGP_CreateSolidInComp, s.AEGP_CreateCameraInComp, s.AEGP_CreateLightInComp,
              s.AEGP_CreateComp, s.AEGP_GetNewCollectionFromCompSelection, s.AEGP_SetSelection,
              s.AEGP_GetCompDisplayStartTime, s.AEGP_SetCompDisplayStartTime,
              s.AEGP_SetCompDuration, s.AEGP_CreateNullInComp, s.AEGP_SetCompPixelAspectRatio,
              s.AEGP_CreateTextLayerInComp, s.AEGP_SetCompDimensions, s.AEGP_DuplicateComp,
              s.AEGP_GetMostRecentlyUsedComp, s.AEGP_CreateVectorLayerInComp,
              s.AEGP_GetNewCompMarkerStream);
}

const void* compSuite(int version) {
    static const AEGP_CompSuite7 v7 = [] {
        AEGP_CompSuite7 s{};
        fillComp(s);
        return s;
    }();
    static const AEGP_CompSuite8 v8 = [] {
        AEGP_CompSuite8 s{};
        fillComp(s);
        notServed(s.AEGP_CreateBoxTextLayerInComp, s.AEGP_GetCompDisplayDropFrame,
                  s.AEGP_SetCompDisplayDropFrame);
        return s;
    }();
    if (version == kAEGPCompSuiteVersion7) return &v7;
    if (version == kAEGPCompSuiteVersion8) return &v8;
    return nullptr;
}

// ---------------------------------------------------------------- Item

// The composition's item, or the source item of a layer (whose item id is the composition's
// plus the layer's id, so that every item has its own).
struct ItemFacts {
    int width, height;
    A_Ratio aspect;
    int32_t id;
};

std::optional<ItemFacts> itemFacts(Impl& h, AEGP_ItemH item) {
    const Comp& c = h.comp();
    const A_Ratio aspect{c.pixelAspectNum, c.pixelAspectDen};
    if (item && item == h.compItemHandle()) return ItemFacts{c.width, c.height, aspect, c.itemId};
    const auto id = h.itemIds.find(static_cast<const void*>(item));
    const Layer* l = id != h.itemIds.end() ? h.layerById(id->second) : nullptr;
    if (!l) return std::nullopt;
    return ItemFacts{l->width, l->height, A_Ratio{1, 1}, c.itemId + l->id};
}

template <class F>
A_Err onItem(const char* op, AEGP_ItemH item, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        const auto facts = itemFacts(h, item);
        if (!facts || !out) return A_Err_PARAMETER;
        body(h, *facts);
        return A_Err_NONE;
    });
}

A_Err getItemCurrentTime(AEGP_ItemH item, A_Time* t) {
    return onItem("AEGP_GetItemCurrentTime", item, t,
                  [&](Impl& h, const ItemFacts&) { *t = toATime(h.comp().currentTime); });
}

A_Err getItemDimensions(AEGP_ItemH item, A_long* width, A_long* height) {
    return onItem("AEGP_GetItemDimensions", item, width && height ? width : nullptr,
                  [&](Impl&, const ItemFacts& f) {
                      *width = f.width;
                      *height = f.height;
                  });
}

A_Err getItemPixelAspectRatio(AEGP_ItemH item, A_Ratio* ratio) {
    return onItem("AEGP_GetItemPixelAspectRatio", item, ratio,
                  [&](Impl&, const ItemFacts& f) { *ratio = f.aspect; });
}

A_Err getItemID(AEGP_ItemH item, A_long* id) {
    return onItem("AEGP_GetItemID", item, id, [&](Impl&, const ItemFacts& f) { *id = f.id; });
}

A_Err getItemDuration(AEGP_ItemH item, A_Time* t) {
    return onItem("AEGP_GetItemDuration", item, t,
                  [&](Impl& h, const ItemFacts&) { *t = toATime(h.comp().duration); });
}

const AEGP_ItemSuite8* itemSuite() {
    static const AEGP_ItemSuite8 suite = [] {
        AEGP_ItemSuite8 s{};
        s.AEGP_GetItemDuration = &getItemDuration;
        s.AEGP_GetItemCurrentTime = &getItemCurrentTime;
        s.AEGP_GetItemDimensions = &getItemDimensions;
        s.AEGP_GetItemPixelAspectRatio = &getItemPixelAspectRatio;
        s.AEGP_GetItemID = &getItemID;
        notServed(s.AEGP_GetFirstProjItem, s.AEGP_GetNextProjItem, s.AEGP_GetActiveItem,
                  s.AEGP_IsItemSelected, s.AEGP_SelectItem, s.AEGP_GetItemType, s.AEGP_GetTypeName,
                  s.AEGP_GetItemName, s.AEGP_SetItemName, s.AEGP_GetItemFlags,
                  s.AEGP_SetItemUseProxy, s.AEGP_GetItemParentFolder, s.AEGP_SetItemParentFolder,
                  s.AEGP_DeleteItem, s.AEGP_CreateNewFolder, s.AEGP_SetItemCurrentTime,
                  s.AEGP_GetItemCommentLength, s.AEGP_GetItemComment, s.AEGP_SetItemComment,
                  s.AEGP_GetItemLabel, s.AEGP_SetItemLabel, s.AEGP_GetItemMRUView);
        return s;
    }();
    return &suite;
}

}  // namespace

const void* aegpSuite(const std::string& name, int version) {
    if (name == kAEGPUtilitySuite) return utilitySuite(version);
    if (name == kAEGPPFInterfaceSuite && version == kAEGPPFInterfaceSuiteVersion1) {
        return pfInterfaceSuite();
    }
    if (name == kAEGPEffectSuite) return effectSuiteTable(version);
    if (name == kAEGPLayerSuite && version == kAEGPLayerSuiteVersion7) return layerSuite();
    if (name == kAEGPCompSuite) return compSuite(version);
    if (name == kAEGPItemSuite && version == kAEGPItemSuiteVersion8) return itemSuite();
    return nullptr;
}

}  // namespace sim
