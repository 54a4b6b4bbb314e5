// The layer suite: a layer's facts, switches, bounds, transform and times.
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "AE_GeneralPlug.h"
#include "sim/suites/AegpSuites.h"
#include "sim/model/LayerTime.h"
#include "sim/model/SourceFrame.h"

namespace sim {

namespace {

using Impl = Host::Impl;

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

// What the layer draws at the time (footage frames have sizes of their own) within its mask.
A_Err getLayerMaskedBounds(AEGP_LayerH layerH, AEGP_LTimeMode mode, const A_Time* time,
                           A_FloatRect* bounds) {
    return onLayer("AEGP_GetLayerMaskedBounds", layerH, time ? bounds : nullptr,
                   [&](Impl& h, Layer& l) {
                       const double at = h.compTimeOf(l.id, mode, *time).seconds();
                       const bool unset = l.maskedBounds == std::array<double, 4>{0, 0, 0, 0};
                       const auto b = unset ? maskedBoundsAt(l, h.comp(), at) : l.maskedBounds;
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
                   [&](Impl& h, Layer& l) {
                       const auto m = layerToWorld(h.comp(), l, secondsOf(*time));
                       for (int i = 0; i < 4; ++i) {
                           for (int j = 0; j < 4; ++j) matrix->mat[i][j] = m[i][j];
                       }
                   });
}

// A layer without a parent gives no layer.
A_Err getLayerParent(const AEGP_LayerH layerH, AEGP_LayerH* parent) {
    return onLayer("AEGP_GetLayerParent", layerH, parent, [&](Impl& h, Layer& l) {
        *parent = l.parent && h.layerById(l.parent)
                      ? static_cast<AEGP_LayerH>(h.layerHandle(l.parent))
                      : nullptr;
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

A_Err getLayerCurrentTime(AEGP_LayerH layerH, AEGP_LTimeMode mode, A_Time* time) {
    return onLayer("AEGP_GetLayerCurrentTime", layerH, time,
                   [&](Impl& h, Layer& l) { *time = h.timeIn(l.id, mode, h.comp().currentTime); });
}

// The layer's in point, its out point no later than the composition's end.
std::pair<Time, Time> shownSpan(Impl& h, const Layer& l) {
    const Time out = earlier(h.comp().duration, l.outPoint) ? h.comp().duration : l.outPoint;
    return {l.inPoint, earlier(out, l.inPoint) ? l.inPoint : out};
}

// In layer time the in point is the earlier end of the span (a reversed layer's is its out).
A_Err getLayerInPoint(AEGP_LayerH layerH, AEGP_LTimeMode mode, A_Time* time) {
    return onLayer("AEGP_GetLayerInPoint", layerH, time, [&](Impl& h, Layer& l) {
        const auto [in, out] = shownSpan(h, l);
        const A_Time a = h.timeIn(l.id, mode, in), b = h.timeIn(l.id, mode, out);
        *time = earlier(Time{b.value, b.scale}, Time{a.value, a.scale}) ? b : a;
    });
}

A_Err getLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode mode, A_Time* time) {
    return onLayer("AEGP_GetLayerDuration", layerH, time, [&](Impl& h, Layer& l) {
        const auto [in, out] = shownSpan(h, l);
        const A_Time a = h.timeIn(l.id, mode, in), b = h.timeIn(l.id, mode, out);
        const int64_t d = int64_t(b.value) * a.scale - int64_t(a.value) * b.scale;
        // |d| / (a.scale x b.scale) seconds, on a's scale
        *time = A_Time{A_long((std::llabs(d) + b.scale / 2) / b.scale), a.scale};
    });
}

A_Err convertCompToLayerTime(AEGP_LayerH layerH, const A_Time* in, A_Time* out) {
    return onLayer("AEGP_ConvertCompToLayerTime", layerH, in ? out : nullptr,
                   [&](Impl& h, Layer& l) {
                       if (in->scale == 0) throw std::invalid_argument("no time scale");
                       *out = h.timeIn(l.id, AEGP_LTimeMode_LayerTime, Time{in->value, in->scale});
                   });
}

A_Err convertLayerToCompTime(AEGP_LayerH layerH, const A_Time* in, A_Time* out) {
    return onLayer("AEGP_ConvertLayerToCompTime", layerH, in ? out : nullptr,
                   [&](Impl& h, Layer& l) {
                       if (in->scale == 0) throw std::invalid_argument("no time scale");
                       *out = toATime(h.compTimeOf(l.id, AEGP_LTimeMode_LayerTime, *in));
                   });
}

}  // namespace

bool isComp(Host::Impl& h, AEGP_CompH comp) {
    return comp == h.compHandle();
}

// Runs body on the layer behind a handle, with an argument check.

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
        s.AEGP_ConvertCompToLayerTime = &convertCompToLayerTime;
        s.AEGP_ConvertLayerToCompTime = &convertLayerToCompTime;
        s.AEGP_GetLayerID = &getLayerID;
        s.AEGP_GetLayerToWorldXform = &getLayerToWorldXform;
        s.AEGP_GetLayerFromLayerID = &getLayerFromLayerID;
        s.AEGP_GetLayerParent = &getLayerParent;
        notServed(s.AEGP_GetActiveLayer, s.AEGP_GetLayerSourceItemID, s.AEGP_GetLayerName,
                  s.AEGP_GetLayerQuality, s.AEGP_SetLayerQuality, s.AEGP_IsLayerAudioReallyOn,
                  s.AEGP_SetLayerInPointAndDuration, s.AEGP_GetLayerOffset, s.AEGP_SetLayerOffset,
                  s.AEGP_GetLayerStretch, s.AEGP_SetLayerStretch, s.AEGP_GetLayerTransferMode,
                  s.AEGP_SetLayerTransferMode, s.AEGP_IsAddLayerValid, s.AEGP_AddLayer,
                  s.AEGP_ReorderLayer, s.AEGP_IsVideoActive, s.AEGP_IsLayerUsedAsTrackMatte,
                  s.AEGP_DoesLayerHaveTrackMatte, s.AEGP_GetLayerDancingRandValue,
                  s.AEGP_GetLayerToWorldXformFromView, s.AEGP_SetLayerName, s.AEGP_SetLayerParent,
                  s.AEGP_DeleteLayer, s.AEGP_DuplicateLayer, s.AEGP_GetLayerLabel,
                  s.AEGP_SetLayerLabel);
        return s;
    }();
    return &suite;
}

}  // namespace sim
