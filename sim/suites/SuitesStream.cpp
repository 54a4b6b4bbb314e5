// The stream suite: layer transform streams, the marker stream and effect parameter streams,
// and their values.
#include <cstring>

#include "AE_GeneralPlug.h"
#include "sim/suites/StreamAccess.h"

namespace sim {

namespace {

using Impl = Host::Impl;

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
        return A_Err_NONE;
    });
}

A_Err disposeStream(AEGP_StreamRefH stream) {
    return serve("AEGP_DisposeStream", [&](Impl& h) -> A_Err {
        if (!h.streams.remove(stream)) return A_Err_PARAMETER;
        return A_Err_NONE;
    });
}

A_Err duplicateStreamRef(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_StreamRefH* copy) {
    return serve("AEGP_DuplicateStreamRef", [&](Impl& h) -> A_Err {
        const StreamRef* ref = h.streams.find(stream);
        if (!ref || !copy) return A_Err_PARAMETER;
        *copy = static_cast<AEGP_StreamRefH>(h.streams.add(*ref));
        return A_Err_NONE;
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

// A value is known by the address it was written to (the old value type's, for version 7).
A_Err newStreamValue(AEGP_StreamRefH stream, AEGP_LTimeMode mode, const A_Time* time,
                     AEGP_StreamValue2* value, const void* id) {
    return onStream("AEGP_GetNewStreamValue", stream, time && value ? value : nullptr,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        AEGP_StreamValue2 v{stream, {}};
                        const Time at = h.compTimeOf(ref.layerId, mode, *time);
                        if (const A_Err err = readValue(h, ref, at.seconds(), v.val)) return err;
                        *value = v;
                        h.accounting.acquire("value", id);
                        return A_Err_NONE;
                    });
}

A_Err disposeValue(AEGP_StreamValue2* value, const void* id) {
    return serve("AEGP_DisposeStreamValue", [&](Impl& h) -> A_Err {
        if (!value || !h.accounting.release("value", id)) return A_Err_PARAMETER;
        releaseMarkerIn(h, value->val);
        return A_Err_NONE;
    });
}

A_Err getNewStreamValue(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_LTimeMode mode,
                        const A_Time* time, A_Boolean, AEGP_StreamValue2* value) {
    return newStreamValue(stream, mode, time, value, value);
}

A_Err disposeStreamValue(AEGP_StreamValue2* value) {
    return disposeValue(value, value);
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

A_Err getLayerStreamValue(AEGP_LayerH layerH, AEGP_LayerStream which, AEGP_LTimeMode mode,
                          const A_Time* time, A_Boolean, AEGP_StreamVal2* value,
                          AEGP_StreamType* type0) {
    return serve("AEGP_GetLayerStreamValue", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        Stream* s = layer ? layer->stream(which) : nullptr;
        if (!s || !time || !value) return A_Err_PARAMETER;
        *value = AEGP_StreamVal2{};
        putVec(*value, s->valueAt(h.compTimeOf(layer->id, mode, *time).seconds()), s->dims);
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

A_Err getNewStreamValueOld(AEGP_PluginID, AEGP_StreamRefH stream, AEGP_LTimeMode mode,
                           const A_Time* time, A_Boolean, AEGP_StreamValue* value) {
    AEGP_StreamValue2 v{};
    const A_Err err = newStreamValue(stream, mode, time, value ? &v : nullptr, value);
    if (value && v.streamH)
        std::memcpy(value, &v, sizeof v);  // also a value handed out with an error
    return err;
}

A_Err disposeStreamValueOld(AEGP_StreamValue* value) {
    AEGP_StreamValue2 v{};
    if (value) std::memcpy(&v, value, sizeof v);
    return disposeValue(value ? &v : nullptr, value);
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

}  // namespace

const void* streamSuite(const std::string& name, int version) {
    if (name == kAEGPStreamSuite) return streamSuiteTable(version);
    if (name == kAEGPKeyframeSuite && version == kAEGPKeyframeSuiteVersion4) return keyframeSuite();
    return nullptr;
}

}  // namespace sim
