#include "sim/suites/StreamAccess.h"

#include <cstring>

namespace sim {

using Impl = Host::Impl;

static_assert(sizeof(AEGP_StreamValue) == sizeof(AEGP_StreamValue2), "same layout, old and new");

const PF_ParamDef* paramDefOf(Impl& h, const StreamRef& ref) {
    if (ref.type != StreamRef::EffectParam || ref.which < 1 || ref.which >= int(h.defs.size())) {
        return nullptr;
    }
    return &h.defs[ref.which];
}

ParamValue* paramValueOf(Impl& h, const StreamRef& ref) {
    EffectInstance* effect = h.effectOf(EffectRef{ref.layerId, ref.effectSlot});
    return effect && ref.type == StreamRef::EffectParam ? &effect->params[ref.which] : nullptr;
}

AEGP_StreamType typeOf(Impl& h, const StreamRef& ref) {
    if (ref.type == StreamRef::Markers) return AEGP_StreamType_MARKER;
    if (ref.type == StreamRef::LayerProperty) {
        if (ref.which <= AEGP_LayerStream_POSITION) return AEGP_StreamType_ThreeD_SPATIAL;
        return ref.which == AEGP_LayerStream_SCALE ? AEGP_StreamType_ThreeD : AEGP_StreamType_OneD;
    }
    const PF_ParamDef* def = paramDefOf(h, ref);
    switch (def ? def->param_type : PF_Param_NO_DATA) {
        case PF_Param_LAYER:
            return AEGP_StreamType_LAYER_ID;
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_ANGLE:
        case PF_Param_CHECKBOX:
        case PF_Param_POPUP:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_BUTTON:
            return AEGP_StreamType_OneD;
        default:
            return AEGP_StreamType_NO_DATA;
    }
}

void* newMarker(Impl& h) {
    return h.markers.add(MarkerValue{});
}

void releaseMarkerIn(Impl& h, const AEGP_StreamVal2& val) {
    void* p;
    std::memcpy(&p, &val, sizeof p);
    if (h.markers.holds(p)) h.markers.remove(p);
}

Vec3 vecOf(const AEGP_StreamVal2& val, int dims) {
    return dims == 1 ? Vec3{val.one_d, 0, 0} : Vec3{val.three_d.x, val.three_d.y, val.three_d.z};
}

void putVec(AEGP_StreamVal2& val, const Vec3& v, int dims) {
    if (dims == 1) {
        val.one_d = v[0];
    } else {
        val.three_d = AEGP_ThreeDVal{v[0], v[1], v[2]};
    }
}

void putParam(Impl& h, const StreamRef& ref, double v, AEGP_StreamVal2& val) {
    if (typeOf(h, ref) == AEGP_StreamType_LAYER_ID) {
        val.layer_id = AEGP_LayerIDVal(v);
    } else {
        val.one_d = v;
    }
}

A_Err readValue(Impl& h, const StreamRef& ref, double seconds, AEGP_StreamVal2& val) {
    val = AEGP_StreamVal2{};
    if (Stream* s = h.layerStream(ref)) {
        putVec(val, s->valueAt(seconds), s->dims);
    } else if (ref.type == StreamRef::Markers && h.layerById(ref.layerId)) {
        val.markerP = static_cast<AEGP_MarkerValP>(newMarker(h));
    } else if (ParamValue* p = paramValueOf(h, ref); p && paramDefOf(h, ref)) {
        putParam(h, ref, p->at(seconds), val);
    } else {
        return A_Err_PARAMETER;
    }
    return A_Err_NONE;
}

}  // namespace sim
