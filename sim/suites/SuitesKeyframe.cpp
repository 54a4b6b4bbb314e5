// The keyframe suite: keys of any stream, their values, tangents, eases and interpolation, and
// add-keyframes batches.
#include "AE_GeneralPlug.h"
#include "sim/suites/StreamAccess.h"

namespace sim {

namespace {

using Impl = Host::Impl;

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

// Runs body on the style of a key of a layer property stream (tangents, eases, interpolation);
// what body changes in it becomes the key's style when it succeeds.
template <class F>
A_Err onPropertyKey(const char* op, AEGP_StreamRefH stream, AEGP_KeyframeIndex index, F&& body) {
    return onKey(op, stream, index, [&](Impl& h, const StreamRef& ref, KeyAccess& keys) -> A_Err {
        if (!keys.stream) return A_Err_PARAMETER;
        KeyStyle style = keys.stream->keys.style(size_t(index));
        const A_Err err = body(h, ref, *keys.stream, style);
        if (!err) keys.stream->keys.setStyle(size_t(index), style);
        return err;
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

A_Err getKeyframeTime(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, AEGP_LTimeMode mode,
                      A_Time* time) {
    if (!time) return serve("AEGP_GetKeyframeTime", [](Impl&) { return A_Err(A_Err_PARAMETER); });
    return onKey(
        "AEGP_GetKeyframeTime", stream, index, [&](Impl& h, const StreamRef& ref, KeyAccess& keys) {
            const Time t = keys.stream    ? keys.stream->keys.time(size_t(index))
                           : keys.markers ? (*keys.markers)[index]
                                          : Time::fromSeconds(keys.param->keys[index].first);
            *time = h.timeIn(ref.layerId, mode, t);
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
                         forgetInBatches(h, ref, keys.stream->keys.time(size_t(index)));
                         keys.stream->keys.erase(size_t(index));
                     } else if (keys.markers) {
                         keys.markers->erase(keys.markers->begin() + index);
                     } else {
                         keys.param->keys.erase(keys.param->keys.begin() + index);
                     }
                     return A_Err_NONE;
                 });
}

A_Err insertKeyframe(AEGP_StreamRefH stream, AEGP_LTimeMode mode, const A_Time* time,
                     AEGP_KeyframeIndex* index) {
    return onStream("AEGP_InsertKeyframe", stream, time && index ? index : nullptr,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        Stream* s = h.layerStream(ref);
                        if (!s) return A_Err_PARAMETER;
                        if (time->scale == 0) return A_Err_PARAMETER;
                        const Time t = h.compTimeOf(ref.layerId, mode, *time);
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
                         putVec(v.val, keys.stream->keys.value(size_t(index)), keys.stream->dims);
                     } else if (keys.markers) {
                         v.val.markerP = static_cast<AEGP_MarkerValP>(newMarker(h));
                     } else {
                         putParam(h, ref, keys.param->keys[index].second, v.val);
                     }
                     *value = v;
                     h.accounting.acquire("value", value);
                     return A_Err_NONE;
                 });
}

A_Err setKeyframeValue(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       const AEGP_StreamValue2* value) {
    return onKey("AEGP_SetKeyframeValue", stream, index,
                 [&](Impl& h, const StreamRef& ref, KeyAccess& keys) -> A_Err {
                     if (!value || keys.markers) return A_Err_PARAMETER;
                     if (keys.stream) {
                         keys.stream->keys.setValue(size_t(index),
                                                    vecOf(value->val, keys.stream->dims));
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
    return onPropertyKey("AEGP_GetNewKeyframeSpatialTangents", stream, index,
                         [&](Impl& h, const StreamRef&, Stream& s, KeyStyle& key) -> A_Err {
                             if (!s.spatial) return A_Err_PARAMETER;
                             for (auto [target, tangent] : {std::pair{in0, &key.inTangent},
                                                            std::pair{out0, &key.outTangent}}) {
                                 if (!target) continue;
                                 *target = AEGP_StreamValue2{stream, {}};
                                 putVec(target->val, *tangent, 3);
                                 h.accounting.acquire("value", target);
                             }
                             return A_Err_NONE;
                         });
}

A_Err setSpatialTangents(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                         const AEGP_StreamValue2* in0, const AEGP_StreamValue2* out0) {
    return onPropertyKey("AEGP_SetKeyframeSpatialTangents", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, KeyStyle& key) -> A_Err {
                             if (!s.spatial) return A_Err_PARAMETER;
                             if (in0) key.inTangent = vecOf(in0->val, 3);
                             if (out0) key.outTangent = vecOf(out0->val, 3);
                             return A_Err_NONE;
                         });
}

// Keys made elsewhere may lack the lists of eases; they are made when first used.
void fillEases(KeyStyle& key, const Stream& s) {
    if (int(key.inEase.size()) < s.easeDims) key.inEase.resize(size_t(s.easeDims));
    if (int(key.outEase.size()) < s.easeDims) key.outEase.resize(size_t(s.easeDims));
}

A_Err getTemporalEase(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, A_long dim,
                      AEGP_KeyframeEase* in0, AEGP_KeyframeEase* out0) {
    return onPropertyKey("AEGP_GetKeyframeTemporalEase", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, KeyStyle& key) -> A_Err {
                             if (dim < 0 || dim >= s.easeDims) return A_Err_PARAMETER;
                             fillEases(key, s);
                             const Ease in = key.inEase[size_t(dim)];
                             const Ease out = key.outEase[size_t(dim)];
                             if (in0) *in0 = AEGP_KeyframeEase{in.speed, in.influence};
                             if (out0) *out0 = AEGP_KeyframeEase{out.speed, out.influence};
                             return A_Err_NONE;
                         });
}

A_Err setTemporalEase(AEGP_StreamRefH stream, AEGP_KeyframeIndex index, A_long dim,
                      const AEGP_KeyframeEase* in0, const AEGP_KeyframeEase* out0) {
    return onPropertyKey("AEGP_SetKeyframeTemporalEase", stream, index,
                         [&](Impl&, const StreamRef&, Stream& s, KeyStyle& key) -> A_Err {
                             if (dim < 0 || dim >= s.easeDims) return A_Err_PARAMETER;
                             fillEases(key, s);
                             if (in0) key.inEase[size_t(dim)] = Ease{in0->speedF, in0->influenceF};
                             if (out0)
                                 key.outEase[size_t(dim)] = Ease{out0->speedF, out0->influenceF};
                             return A_Err_NONE;
                         });
}

A_Err getKeyframeFlags(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeFlags* flags) {
    return onPropertyKey("AEGP_GetKeyframeFlags", stream, index,
                         [&](Impl&, const StreamRef&, Stream&, KeyStyle&) -> A_Err {
                             if (!flags) return A_Err_PARAMETER;
                             *flags = AEGP_KeyframeFlag_NONE;
                             return A_Err_NONE;
                         });
}

A_Err getInterpolation(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeInterpolationType* in0, AEGP_KeyframeInterpolationType* out0) {
    return onPropertyKey("AEGP_GetKeyframeInterpolation", stream, index,
                         [&](Impl&, const StreamRef&, Stream&, KeyStyle& key) -> A_Err {
                             if (in0) *in0 = AEGP_KeyframeInterpolationType(key.inInterp);
                             if (out0) *out0 = AEGP_KeyframeInterpolationType(key.outInterp);
                             return A_Err_NONE;
                         });
}

bool validInterp(AEGP_KeyframeInterpolationType t) {
    return t >= AEGP_KeyInterp_LINEAR && t <= AEGP_KeyInterp_HOLD;
}

A_Err setInterpolation(AEGP_StreamRefH stream, AEGP_KeyframeIndex index,
                       AEGP_KeyframeInterpolationType in, AEGP_KeyframeInterpolationType out) {
    return onPropertyKey("AEGP_SetKeyframeInterpolation", stream, index,
                         [&](Impl&, const StreamRef&, Stream&, KeyStyle& key) -> A_Err {
                             if (!validInterp(in) || !validInterp(out)) return A_Err_PARAMETER;
                             key.inInterp = Interp(in);
                             key.outInterp = Interp(out);
                             return A_Err_NONE;
                         });
}

// ---- add-keyframes batches

A_Err startAddKeyframes(AEGP_StreamRefH stream, AEGP_AddKeyframesInfoH* batch) {
    return onStream("AEGP_StartAddKeyframes", stream, batch,
                    [&](Impl& h, const StreamRef& ref) -> A_Err {
                        Stream* s = h.layerStream(ref);
                        if (!s) return A_Err_PARAMETER;
                        Batch b{stream, ref, {}, std::vector<bool>(s->keys.size(), false)};
                        b.keys.reserve(s->keys.size());
                        for (size_t i = 0; i < s->keys.size(); ++i)
                            b.keys.push_back({s->keys.time(i), s->keys.value(i)});
                        *batch = static_cast<AEGP_AddKeyframesInfoH>(h.batches.add(std::move(b)));
                        return A_Err_NONE;
                    });
}

// Adds a key to the batch at a time and returns its index among all keys in time order; a key
// at an existing key's time takes that key's place.
A_Err addKeyframes(AEGP_AddKeyframesInfoH batchH, AEGP_LTimeMode mode, const A_Time* time,
                   A_long* index) {
    return serve("AEGP_AddKeyframes", [&](Impl& h) -> A_Err {
        Batch* b = h.batches.find(batchH);
        Stream* s = b ? h.layerStream(b->target) : nullptr;
        if (!s || !time || !index || time->scale == 0) return A_Err_PARAMETER;
        const Time t = h.compTimeOf(b->target.layerId, mode, *time);
        const auto pos =
            std::lower_bound(b->keys.begin(), b->keys.end(), t,
                             [](const BatchKey& k, const Time& x) { return earlier(k.time, x); });
        const size_t i = size_t(pos - b->keys.begin());
        if (pos == b->keys.end() || !sameTime(pos->time, t)) {
            b->keys.insert(pos, BatchKey{t, s->valueAt(t.seconds())});
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
        if (!h.batches.holds(batchH)) {
            h.batches.remove(batchH);  // recorded: ended twice, or never started
            return A_Err_PARAMETER;
        }
        Batch* b = h.batches.find(batchH);
        Stream* s = h.layerStream(b->target);
        if (add && s)
            s->keys.reserve(s->keys.size() +
                            size_t(std::count(b->added.begin(), b->added.end(), true)));
        for (size_t i = 0; add && s && i < b->keys.size(); ++i) {
            if (b->added[i]) s->addKey(b->keys[i].time, b->keys[i].value);
        }
        h.batches.remove(batchH);
        return s || !add ? A_Err_NONE : A_Err_PARAMETER;
    });
}

}  // namespace

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

}  // namespace sim
