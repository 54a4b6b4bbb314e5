// The stream and keyframe suites: layer transform streams, the marker stream and effect
// parameter streams, their values, keys, tangents, eases and add-keyframes batches.
#include <cstring>

#include "AE_GeneralPlug.h"
#include "sim/HostImpl.h"

namespace sim {

namespace {

using Impl = Host::Impl;

static_assert(sizeof(AEGP_StreamValue) == sizeof(AEGP_StreamValue2), "same layout, old and new");

// ---------------------------------------------------------------- stream facts

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

// A marker value: both the old record handle and the new opaque pointer are its address.
void* newMarker(Impl& h) {
    return h.markers.add(MarkerValue{});
}

void releaseMarkerIn(Impl& h, const AEGP_StreamVal2& val) {
    void* p;
    std::memcpy(&p, &val, sizeof p);
    h.markers.remove(p);
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

// The stream's value at a time, before expressions (there are none).
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

// ---------------------------------------------------------------- Stream suite

A_Err isStreamLegal(AEGP_LayerH layerH, AEGP_LayerStream which, A_Boolean* legal) {
    return serve("AEGP_IsStreamLegal", [&](Impl& h) -> A_Err {
        if (!h.layerOf(layerH) || !legal) return A_Err_PARAMETER;
        *legal =
            (which >= 0 && which <= AEGP_LayerStream_OPACITY) || which == AEGP_LayerStream_MARKER;
        return A_Err_NONE;
    });
}

A_Err getNewLayerStream(AEGP_PluginID, AEGP_LayerH layerH, AEGP_LayerStream which,
                        AEGP_StreamRefH* stream) {
    return serve("AEGP_GetNewLayerStream", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        const bool marker = which == AEGP_LayerStream_MARKER;
        if (!layer || !stream || (!marker && !layer->stream(which))) return A_Err_PARAMETER;
        StreamRef ref{marker ? StreamRef::Markers : StreamRef::LayerProperty, layer->id, which, 0};
        *stream = static_cast<AEGP_StreamRefH>(h.streams.add(ref));
        h.accounting.acquire("stream");
        return A_Err_NONE;
    });
}

A_Err getEffectNumParamStreams(AEGP_EffectRefH effect, A_long* count) {
    return serve("AEGP_GetEffectNumParamStreams", [&](Impl& h) -> A_Err {
        if (!h.effects.find(effect) || !count) return A_Err_PARAMETER;
        *count = A_long(h.defs.size());
        return A_Err_NONE;
    });
}

A_Err getNewEffectStreamByIndex(AEGP_PluginID, AEGP_EffectRefH effect, PF_ParamIndex index,
                                AEGP_StreamRefH* stream) {
    return serve("AEGP_GetNewEffectStreamByIndex", [&](Impl& h) -> A_Err {
        const EffectRef* e = h.effects.find(effect);
        if (!e || !h.effectOf(*e) || !stream || index < 1 || index >= A_long(h.defs.size())) {
            return A_Err_PARAMETER;
        }
        StreamRef ref{StreamRef::EffectParam, e->layerId, index, e->slot};
        *stream = static_cast<AEGP_StreamRefH>(h.streams.add(ref));
        h.accounting.acquire("stream");
        return A_Err_NONE;
    });
}

A_Err disposeStream(AEGP_StreamRefH stream) {
    return serve("AEGP_DisposeStream", [&](Impl& h) -> A_Err {
        if (!h.streams.remove(stream)) return A_Err_PARAMETER;
        h.accounting.release("stream");
        return A_Err_NONE;
    });
}

A_Err duplicateStreamRef(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_StreamRefH* copy) {
    return serve("AEGP_DuplicateStreamRef", [&](Impl& h) -> A_Err {
        const StreamRef* ref = h.streams.find(stream);
        if (!ref || !copy) return A_Err_PARAMETER;
        *copy = static_cast<AEGP_StreamRefH>(h.streams.add(*ref));
        h.accounting.acquire("stream");
        return A_Err_NONE;
    });
}

// Runs body with the stream behind a handle, with an argument check.
template <class F>
A_Err onStream(const char* op, AEGP_StreamRefH stream, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        const StreamRef* ref = h.streams.find(stream);
        if (!ref || !out) return A_Err_PARAMETER;
        return body(h, *ref);
    });
}

A_Err getStreamType(AEGP_StreamRefH stream, AEGP_StreamType* type) {
    return onStream("AEGP_GetStreamType", stream, type, [&](Impl& h, const StreamRef& ref) {
        *type = typeOf(h, ref);
        return A_Err_NONE;
    });
}

A_Err canVaryOverTime(AEGP_StreamRefH stream, A_Boolean* can) {
    return onStream("AEGP_CanVaryOverTime", stream, can, [&](Impl& h, const StreamRef& ref) {
        const PF_ParamDef* def = paramDefOf(h, ref);
        *can = ref.type == StreamRef::LayerProperty ||
               (def && !(def->flags & PF_ParamFlag_CANNOT_TIME_VARY) &&
                typeOf(h, ref) != AEGP_StreamType_NO_DATA);
        return A_Err_NONE;
    });
}

A_Err isStreamTimevarying(AEGP_StreamRefH stream, A_Boolean* varies) {
    return onStream("AEGP_IsStreamTimevarying", stream, varies, [&](Impl& h, const StreamRef& ref) {
        const Stream* s = h.layerStream(ref);
        const ParamValue* p = paramValueOf(h, ref);
        *varies = (s && !s->keys.empty()) || (p && !p->keys.empty());
        return A_Err_NONE;
    });
}

A_Err getStreamProperties(AEGP_StreamRefH stream, AEGP_StreamFlags* flags, A_FpLong* min0,
                          A_FpLong* max0) {
    return onStream("AEGP_GetStreamProperties", stream, flags, [&](Impl& h, const StreamRef& ref) {
        const Stream* s = h.layerStream(ref);
        const bool opacity = s && ref.which == AEGP_LayerStream_OPACITY;
        *flags = (s && s->spatial ? AEGP_StreamFlag_IS_SPATIAL : 0) |
                 (opacity ? AEGP_StreamFlag_HAS_MIN | AEGP_StreamFlag_HAS_MAX : 0);
        if (opacity && min0) *min0 = 0.0;
        if (opacity && max0) *max0 = 100.0;
        return A_Err_NONE;
    });
}

A_Err getNewStreamValue(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_LTimeMode, const A_Time* time,
                        A_Boolean, AEGP_StreamValue2* value) {
    return onStream("AEGP_GetNewStreamValue", stream, time && value ? value : nullptr,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        AEGP_StreamValue2 v{stream, {}};
                        if (const A_Err err = readValue(h, ref, secondsOf(*time), v.val))
                            return err;
                        *value = v;
                        h.accounting.acquire("value");
                        return A_Err_NONE;
                    });
}

A_Err disposeStreamValue(AEGP_StreamValue2* value) {
    return serve("AEGP_DisposeStreamValue", [&](Impl& h) -> A_Err {
        if (!value || !h.accounting.release("value")) return A_Err_PARAMETER;
        releaseMarkerIn(h, value->val);
        return A_Err_NONE;
    });
}

// Only a stream without keys takes a value of its own.
A_Err setStreamValue(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_StreamValue2* value) {
    return onStream("AEGP_SetStreamValue", stream, value, [&](Impl& h, const StreamRef& ref) {
        if (Stream* s = h.layerStream(ref); s && s->keys.empty()) {
            s->value = vecOf(value->val, s->dims);
            return A_Err_NONE;
        }
        ParamValue* p = paramValueOf(h, ref);
        if (!p || !p->keys.empty() || !paramDefOf(h, ref)) return A_Err_PARAMETER;
        const bool layer = typeOf(h, ref) == AEGP_StreamType_LAYER_ID;
        p->value = layer ? double(value->val.layer_id) : value->val.one_d;
        return A_Err_NONE;
    });
}

A_Err getLayerStreamValue(AEGP_LayerH layerH, AEGP_LayerStream which, AEGP_LTimeMode,
                          const A_Time* time, A_Boolean, AEGP_StreamVal2* value,
                          AEGP_StreamType* type0) {
    return serve("AEGP_GetLayerStreamValue", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        Stream* s = layer ? layer->stream(which) : nullptr;
        if (!s || !time || !value) return A_Err_PARAMETER;
        *value = AEGP_StreamVal2{};
        putVec(*value, s->valueAt(secondsOf(*time)), s->dims);
        if (type0) *type0 = typeOf(h, StreamRef{StreamRef::LayerProperty, layer->id, which, 0});
        return A_Err_NONE;
    });
}

A_Err getExpressionState(AEGP_PluginID, AEGP_StreamRefH stream, A_Boolean* enabled) {
    return onStream("AEGP_GetExpressionState", stream, enabled, [&](Impl&, const StreamRef&) {
        *enabled = false;
        return A_Err_NONE;
    });
}

// ---- the old value types of version 7: same layout, marker as a record handle

A_Err getNewStreamValueOld(AEGP_PluginID id, AEGP_StreamRefH stream, AEGP_LTimeMode mode,
                           const A_Time* time, A_Boolean pre, AEGP_StreamValue* value) {
    AEGP_StreamValue2 v{};
    const A_Err err = getNewStreamValue(id, stream, mode, time, pre, value ? &v : nullptr);
    if (!err) std::memcpy(value, &v, sizeof v);
    return err;
}

A_Err disposeStreamValueOld(AEGP_StreamValue* value) {
    AEGP_StreamValue2 v{};
    if (value) std::memcpy(&v, value, sizeof v);
    return disposeStreamValue(value ? &v : nullptr);
}

A_Err setStreamValueOld(AEGP_PluginID id, AEGP_StreamRefH stream, AEGP_StreamValue* value) {
    AEGP_StreamValue2 v{};
    if (value) std::memcpy(&v, value, sizeof v);
    return setStreamValue(id, stream, value ? &v : nullptr);
}

A_Err getLayerStreamValueOld(AEGP_LayerH layerH, AEGP_LayerStream which, AEGP_LTimeMode mode,
                             const A_Time* time, A_Boolean pre, AEGP_StreamVal* value,
                             AEGP_StreamType* type0) {
    AEGP_StreamVal2 v{};
    const A_Err err =
        getLayerStreamValue(layerH, which, mode, time, pre, value ? &v : nullptr, type0);
    if (!err) std::memcpy(value, &v, sizeof v);
    return err;
}

template <class Suite>
void fillStream(Suite& s) {
    s.AEGP_IsStreamLegal = &isStreamLegal;
    s.AEGP_CanVaryOverTime = &canVaryOverTime;
    s.AEGP_GetNewLayerStream = &getNewLayerStream;
    s.AEGP_GetEffectNumParamStreams = &getEffectNumParamStreams;
    s.AEGP_GetNewEffectStreamByIndex = &getNewEffectStreamByIndex;
    s.AEGP_DisposeStream = &disposeStream;
    s.AEGP_GetStreamProperties = &getStreamProperties;
    s.AEGP_IsStreamTimevarying = &isStreamTimevarying;
    s.AEGP_GetStreamType = &getStreamType;
    s.AEGP_GetExpressionState = &getExpressionState;
    s.AEGP_DuplicateStreamRef = &duplicateStreamRef;
    notServed(s.AEGP_GetValidInterpolations, s.AEGP_GetNewMaskStream, s.AEGP_GetStreamName,
              s.AEGP_GetStreamUnitsText, s.AEGP_SetExpressionState, s.AEGP_GetExpression,
              s.AEGP_SetExpression);
}

const void* streamSuiteTable(int version) {
    static const AEGP_StreamSuite2 v7 = [] {
        AEGP_StreamSuite2 s{};
        fillStream(s);
        s.AEGP_GetNewStreamValue = &getNewStreamValueOld;
        s.AEGP_DisposeStreamValue = &disposeStreamValueOld;
        s.AEGP_SetStreamValue = &setStreamValueOld;
        s.AEGP_GetLayerStreamValue = &getLayerStreamValueOld;
        return s;
    }();
    static const AEGP_StreamSuite4 v9 = [] {
        AEGP_StreamSuite4 s{};
        fillStream(s);
        s.AEGP_GetNewStreamValue = &getNewStreamValue;
        s.AEGP_DisposeStreamValue = &disposeStreamValue;
        s.AEGP_SetStreamValue = &setStreamValue;
        s.AEGP_GetLayerStreamValue = &getLayerStreamValue;
        return s;
    }();
    if (version == kAEGPStreamSuiteVersion2) return &v7;
    if (version == kAEGPStreamSuiteVersion4) return &v9;
    return nullptr;
}

// ---------------------------------------------------------------- Keyframe suite

// The key times of any stream kind, for counting, reading and deleting.
struct KeyAccess {
    Stream* stream = nullptr;              // layer property
    std::vector<Time>* markers = nullptr;  // marker stream
    ParamValue* param = nullptr;           // effect parameter

    long count() const {
        return stream    ? long(stream->keys.size())
               : markers ? long(markers->size())
               : param   ? long(param->keys.size())
                         : -1;
    }
    bool has(A_long index) const { return index >= 0 && index < count(); }
};

KeyAccess keysOf(Impl& h, const StreamRef& ref) {
    KeyAccess a;
    if (ref.type == StreamRef::LayerProperty) {
        a.stream = h.layerStream(ref);
    } else if (ref.type == StreamRef::Markers) {
        Layer* layer = h.layerById(ref.layerId);
        a.markers = layer ? &layer->markers : nullptr;
        if (a.markers) sortMarkers(*a.markers);
    } else if (paramDefOf(h, ref) && typeOf(h, ref) != AEGP_StreamType_NO_DATA) {
        a.param = paramValueOf(h, ref);
    }
    return a;
}

// Runs body on key index of the stream, after checking that the key exists.
template <class F>
A_Err onKey(const char* op, AEGP_StreamRefH stream, AEGP_KeyframeIndex index, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        const StreamRef* ref = h.streams.find(stream);
        if (!ref) return A_Err_PARAMETER;
        KeyAccess keys = keysOf(h, *ref);
        if (!keys.has(index)) return A_Err_PARAMETER;
        return body(h, *ref, keys);
    });
}

// Runs body on a key of a layer property stream (tangents, eases, interpolation, values).
template <class F>
A_Err onPropertyKey(const char* op, AEGP_StreamRefH stream, AEGP_KeyframeIndex index, F&& body) {
    return onKey(op, stream, index, [&](Impl& h, const StreamRef& ref, KeyAccess& keys) -> A_Err {
        if (!keys.stream) return A_Err_PARAMETER;
        return body(h, ref, *keys.stream, keys.stream->keys[index]);
    });
}

A_Err getStreamNumKFs(AEGP_StreamRefH stream, A_long* count) {
    return onStream("AEGP_GetStreamNumKFs", stream, count, [&](Impl& h, const StreamRef& ref) {
        const KeyAccess keys = keysOf(h, ref);
        *count = keys.stream || keys.markers || keys.param ? A_long(keys.count())
                                                           : A_long(AEGP_NumKF_NO_DATA);
        return A_Err_NONE;
    });
}

A_Err getKeyframeTime(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, AEGP_LTimeMode,
                      A_Time* time) {
    if (!time) return serve("AEGP_GetKeyframeTime", [](Impl&) { return A_Err(A_Err_PARAMETER); });
    return onKey(
        "AEGP_GetKeyframeTime", stream, index, [&](Impl&, const StreamRef&, KeyAccess& keys) {
            const Time t = keys.stream    ? keys.stream->keys[index].time
                           : keys.markers ? (*keys.markers)[index]
                                          : Time::fromSeconds(keys.param->keys[index].first);
            *time = toATime(t);
            return A_Err_NONE;
        });
}

// Deleting a key also takes it out of the working copy of any batch open on the stream.
void forgetInBatches(Impl& h, const StreamRef& ref, const Time& t) {
    h.batches.forEach([&](Batch& b) {
        if (b.target.layerId != ref.layerId || b.target.which != ref.which) return;
        for (size_t i = 0; i < b.keys.size(); ++i) {
            if (!b.added[i] && sameTime(b.keys[i].time, t)) {
                b.keys.erase(b.keys.begin() + long(i));
                b.added.erase(b.added.begin() + long(i));
                return;
            }
        }
    });
}

A_Err deleteKeyframe(AEGP_StreamRefH stream, AEGP_KeyframeIndex index) {
    return onKey("AEGP_DeleteKeyframe", stream, index,
                 [&](Impl& h, const StreamRef& ref, KeyAccess& keys) {
                     if (keys.stream) {
                         forgetInBatches(h, ref, keys.stream->keys[index].time);
                         keys.stream->keys.erase(keys.stream->keys.begin() + index);
                     } else if (keys.markers) {
                         keys.markers->erase(keys.markers->begin() + index);
                     } else {
                         keys.param->keys.erase(keys.param->keys.begin() + index);
                     }
                     return A_Err_NONE;
                 });
}

A_Err insertKeyframe(AEGP_StreamRefH stream, AEGP_LTimeMode, const A_Time* time,
                     AEGP_KeyframeIndex* index) {
    return onStream("AEGP_InsertKeyframe", stream, time && index ? index : nullptr,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        Stream* s = h.layerStream(ref);
                        if (!s) return A_Err_PARAMETER;
                        const Time t{time->value, time->scale};
                        *index = s->addKey(t, s->valueAt(t.seconds()));
                        return A_Err_NONE;
                    });
}

A_Err getNewKeyframeValue(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                          AEGP_StreamValue2* value) {
    if (!value)
        return serve("AEGP_GetNewKeyframeValue", [](Impl&) { return A_Err(A_Err_PARAMETER); });
    return onKey("AEGP_GetNewKeyframeValue", stream, index,
                 [&](Impl& h, const StreamRef& ref, KeyAccess& keys) {
                     AEGP_StreamValue2 v{stream, {}};
                     if (keys.stream) {
                         putVec(v.val, keys.stream->keys[index].value, keys.stream->dims);
                     } else if (keys.markers) {
                         v.val.markerP = static_cast<AEGP_MarkerValP>(newMarker(h));
                     } else {
                         putParam(h, ref, keys.param->keys[index].second, v.val);
                     }
                     *value = v;
                     h.accounting.acquire("value");
                     return A_Err_NONE;
                 });
}

A_Err setKeyframeValue(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       const AEGP_StreamValue2* value) {
    return onKey("AEGP_SetKeyframeValue", stream, index,
                 [&](Impl& h, const StreamRef& ref, KeyAccess& keys) -> A_Err {
                     if (!value || keys.markers) return A_Err_PARAMETER;
                     if (keys.stream) {
                         keys.stream->keys[index].value = vecOf(value->val, keys.stream->dims);
                     } else {
                         const bool layer = typeOf(h, ref) == AEGP_StreamType_LAYER_ID;
                         keys.param->keys[index].second =
                             layer ? double(value->val.layer_id) : value->val.one_d;
                     }
                     return A_Err_NONE;
                 });
}

A_Err getValueDimensionality(AEGP_StreamRefH stream, A_short* dims) {
    return onStream("AEGP_GetStreamValueDimensionality", stream, dims,
                    [&](Impl& h, const StreamRef& ref) {
                        const Stream* s = h.layerStream(ref);
                        *dims = A_short(s ? s->dims : 1);
                        return A_Err_NONE;
                    });
}

A_Err getTemporalDimensionality(AEGP_StreamRefH stream, A_short* dims) {
    return onStream("AEGP_GetStreamTemporalDimensionality", stream, dims,
                    [&](Impl& h, const StreamRef& ref) {
                        const Stream* s = h.layerStream(ref);
                        *dims = A_short(s ? s->easeDims : 1);
                        return A_Err_NONE;
                    });
}

A_Err getNewSpatialTangents(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                            AEGP_StreamValue2* in0, AEGP_StreamValue2* out0) {
    return onPropertyKey(
        "AEGP_GetNewKeyframeSpatialTangents", stream, index,
        [&](Impl& h, const StreamRef&, Stream& s, Key& key) -> A_Err {
            if (!s.spatial) return A_Err_PARAMETER;
            for (auto [target, tangent] : {std::pair{in0, &key.style().inTangent},
                                           std::pair{out0, &key.style().outTangent}}) {
                if (!target) continue;
                *target = AEGP_StreamValue2{stream, {}};
                putVec(target->val, *tangent, 3);
                h.accounting.acquire("value");
            }
            return A_Err_NONE;
        });
}

A_Err setSpatialTangents(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                         const AEGP_StreamValue2* in0, const AEGP_StreamValue2* out0) {
    return onPropertyKey("AEGP_SetKeyframeSpatialTangents", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, Key& key) -> A_Err {
                             if (!s.spatial) return A_Err_PARAMETER;
                             if (in0) key.edit().inTangent = vecOf(in0->val, 3);
                             if (out0) key.edit().outTangent = vecOf(out0->val, 3);
                             s.shareStyle(size_t(index));
                             return A_Err_NONE;
                         });
}

// Keys made elsewhere may lack the lists of eases; they are made when first used.
void fillEases(Key& key, const Stream& s) {
    if (int(key.style().inEase.size()) < s.easeDims) key.edit().inEase.resize(size_t(s.easeDims));
    if (int(key.style().outEase.size()) < s.easeDims) key.edit().outEase.resize(size_t(s.easeDims));
}

A_Err getTemporalEase(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, A_long dim,
                      AEGP_KeyframeEase* in0, AEGP_KeyframeEase* out0) {
    return onPropertyKey("AEGP_GetKeyframeTemporalEase", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, Key& key) -> A_Err {
                             if (dim < 0 || dim >= s.easeDims) return A_Err_PARAMETER;
                             fillEases(key, s);
                             s.shareStyle(size_t(index));
                             const Ease in = key.style().inEase[size_t(dim)];
                             const Ease out = key.style().outEase[size_t(dim)];
                             if (in0) *in0 = AEGP_KeyframeEase{in.speed, in.influence};
                             if (out0) *out0 = AEGP_KeyframeEase{out.speed, out.influence};
                             return A_Err_NONE;
                         });
}

A_Err setTemporalEase(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, A_long dim,
                      const AEGP_KeyframeEase* in0, const AEGP_KeyframeEase* out0) {
    return onPropertyKey(
        "AEGP_SetKeyframeTemporalEase", stream, index,
        [&](Impl&, const StreamRef&, Stream& s, Key& key) -> A_Err {
            if (dim < 0 || dim >= s.easeDims) return A_Err_PARAMETER;
            fillEases(key, s);
            if (in0) key.edit().inEase[size_t(dim)] = Ease{in0->speedF, in0->influenceF};
            if (out0) key.edit().outEase[size_t(dim)] = Ease{out0->speedF, out0->influenceF};
            s.shareStyle(size_t(index));
            return A_Err_NONE;
        });
}

A_Err getKeyframeFlags(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeFlags* flags) {
    return onPropertyKey("AEGP_GetKeyframeFlags", stream, index,
                         [&](Impl&, const StreamRef&, Stream&, Key&) -> A_Err {
                             if (!flags) return A_Err_PARAMETER;
                             *flags = AEGP_KeyframeFlag_NONE;
                             return A_Err_NONE;
                         });
}

A_Err getInterpolation(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeInterpolationType* in0, AEGP_KeyframeInterpolationType* out0) {
    return onPropertyKey("AEGP_GetKeyframeInterpolation", stream, index,
                         [&](Impl&, const StreamRef&, Stream&, Key& key) -> A_Err {
                             if (in0) *in0 = AEGP_KeyframeInterpolationType(key.style().inInterp);
                             if (out0)
                                 *out0 = AEGP_KeyframeInterpolationType(key.style().outInterp);
                             return A_Err_NONE;
                         });
}

bool validInterp(AEGP_KeyframeInterpolationType t) {
    return t >= AEGP_KeyInterp_LINEAR && t <= AEGP_KeyInterp_HOLD;
}

A_Err setInterpolation(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeInterpolationType in, AEGP_KeyframeInterpolationType out) {
    return onPropertyKey("AEGP_SetKeyframeInterpolation", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, Key& key) -> A_Err {
                             if (!validInterp(in) || !validInterp(out)) return A_Err_PARAMETER;
                             key.edit().inInterp = Interp(in);
                             key.edit().outInterp = Interp(out);
                             s.shareStyle(size_t(index));
                             return A_Err_NONE;
                         });
}

// ---- add-keyframes batches

A_Err startAddKeyframes(AEGP_StreamRefH stream, AEGP_AddKeyframesInfoH* batch) {
    return onStream("AEGP_StartAddKeyframes", stream, batch,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        Stream* s = h.layerStream(ref);
                        if (!s) return A_Err_PARAMETER;
                        Batch b{stream, ref, s->keys, std::vector<bool>(s->keys.size(), false)};
                        *batch = static_cast<AEGP_AddKeyframesInfoH>(h.batches.add(std::move(b)));
                        h.accounting.acquire("keyframes_batch");
                        return A_Err_NONE;
                    });
}

// Adds a key to the batch at a time and returns its index among all keys in time order; a key
// at an existing key's time takes that key's place.
A_Err addKeyframes(AEGP_AddKeyframesInfoH batchH, AEGP_LTimeMode, const A_Time* time,
                   A_long* index) {
    return serve("AEGP_AddKeyframes", [&](Impl& h) -> A_Err {
        Batch* b = h.batches.find(batchH);
        Stream* s = b ? h.layerStream(b->target) : nullptr;
        if (!s || !time || !index || time->scale == 0) return A_Err_PARAMETER;
        const Time t{time->value, time->scale};
        const auto pos =
            std::lower_bound(b->keys.begin(), b->keys.end(), t,
                             [](const Key& k, const Time& x) { return earlier(k.time, x); });
        const size_t i = size_t(pos - b->keys.begin());
        if (pos == b->keys.end() || !sameTime(pos->time, t)) {
            Key key;
            key.time = t;
            key.value = s->valueAt(t.seconds());  // only time and value reach the stream
            b->keys.insert(pos, key);
            b->added.insert(b->added.begin() + long(i), true);
        }
        b->added[i] = true;
        *index = A_long(i);
        return A_Err_NONE;
    });
}

A_Err setAddKeyframe(AEGP_AddKeyframesInfoH batchH, A_long index, const AEGP_StreamValue2* value) {
    return serve("AEGP_SetAddKeyframe", [&](Impl& h) -> A_Err {
        Batch* b = h.batches.find(batchH);
        Stream* s = b ? h.layerStream(b->target) : nullptr;
        if (!s || !value || index < 0 || index >= A_long(b->keys.size()) || !b->added[index]) {
            return A_Err_PARAMETER;
        }
        b->keys[index].value = vecOf(value->val, s->dims);
        return A_Err_NONE;
    });
}

// Ending with adding puts the batch's keys on the stream; either way the batch is gone.
A_Err endAddKeyframes(A_Boolean add, AEGP_AddKeyframesInfoH batchH) {
    return serve("AEGP_EndAddKeyframes", [&](Impl& h) -> A_Err {
        Batch* b = h.batches.find(batchH);
        if (!b) return A_Err_PARAMETER;
        Stream* s = h.layerStream(b->target);
        for (size_t i = 0; add && s && i < b->keys.size(); ++i) {
            if (b->added[i]) s->addKey(b->keys[i].time, b->keys[i].value);
        }
        h.batches.remove(batchH);
        h.accounting.release("keyframes_batch");
        return s || !add ? A_Err_NONE : A_Err_PARAMETER;
    });
}

const AEGP_KeyframeSuite4* keyframeSuite() {
    static const AEGP_KeyframeSuite4 suite = [] {
        AEGP_KeyframeSuite4 s{};
        s.AEGP_GetStreamNumKFs = &getStreamNumKFs;
        s.AEGP_GetKeyframeTime = &getKeyframeTime;
        s.AEGP_InsertKeyframe = &insertKeyframe;
        s.AEGP_DeleteKeyframe = &deleteKeyframe;
        s.AEGP_GetNewKeyframeValue = &getNewKeyframeValue;
        s.AEGP_SetKeyframeValue = &setKeyframeValue;
        s.AEGP_GetStreamValueDimensionality = &getValueDimensionality;
        s.AEGP_GetStreamTemporalDimensionality = &getTemporalDimensionality;
        s.AEGP_GetNewKeyframeSpatialTangents = &getNewSpatialTangents;
        s.AEGP_SetKeyframeSpatialTangents = &setSpatialTangents;
        s.AEGP_GetKeyframeTemporalEase = &getTemporalEase;
        s.AEGP_SetKeyframeTemporalEase = &setTemporalEase;
        s.AEGP_GetKeyframeFlags = &getKeyframeFlags;
        s.AEGP_GetKeyframeInterpolation = &getInterpolation;
        s.AEGP_SetKeyframeInterpolation = &setInterpolation;
        s.AEGP_StartAddKeyframes = &startAddKeyframes;
        s.AEGP_AddKeyframes = &addKeyframes;
        s.AEGP_SetAddKeyframe = &setAddKeyframe;
        s.AEGP_EndAddKeyframes = &endAddKeyframes;
        notServed(s.AEGP_SetKeyframeFlag);
        return s;
    }();
    return &suite;
}

}  // namespace

const void* streamSuite(const std::string& name, int version) {
    if (name == kAEGPStreamSuite) return streamSuiteTable(version);
    if (name == kAEGPKeyframeSuite && version == kAEGPKeyframeSuiteVersion4) return keyframeSuite();
    return nullptr;
}

}  // namespace sim
