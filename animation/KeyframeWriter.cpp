#include <array>
#include <cassert>
#include <vector>

#include "AEGP_SuiteHandler.h"
#include "animation/KeyTime.h"
#include "animation/Properties.h"
#include "animation/SpatialTangents.h"
#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "host/HostFailures.h"
#include "host/Params.h"
#include "streams/HostTime.h"
#include "streams/LayerStreams.h"
#include "streams/ParentSpace.h"
#include "streams/PreviousKey.h"

namespace {

// A parented layer's own values, at each frame position and at the current time: what shows
// the collage's values through its parents. Empty for a layer without a parent.
struct OwnPlan {
    std::vector<Own> atFrame;
    Own plain;
    bool parented() const { return !atFrame.empty(); }
};

// Replaces the components the run writes by layer i's results at frame position k (or by its
// own values there when it has a parent); the others keep the value the host reported.
void putResult(const MyTessaron& e, int p, int i, int k, const Own* own, AEGP_StreamVal2& v) {
    switch (p) {
        case Property_Position:
            v.three_d.x = own ? own->x : e.positions[i][k].x;
            v.three_d.y = own ? own->y : e.positions[i][k].y;
            break;
        case Property_Scale:
            v.three_d.x = own ? own->scaleX : e.scales[i][k];
            v.three_d.y = own ? own->scaleY : e.scales[i][k];
            break;
        case Property_Rotation:
            v.one_d = own ? own->rotation : e.rotations[i][k];
            break;
        default:
            v.one_d = e.opacities[i][k];
            break;
    }
}

bool writtenAt(const MyTessaron& e, int p, int k) {
    return propertyActive(e, p) && !propertyIgnoredAt(e, p, k);
}

// Layer i's own values at frame position k shown at time t through its parent space. A layer
// the run does not turn at k keeps its Rotation at t, and its Scale is fitted to it.
A_Err ownAt(AEGP_SuiteHandler& suites, const MyTessaron& e, int i, int k, A_Time t,
            const ParentSpace& parent, AEGP_StreamRefH rotation, Own* own) {
    const bool turn = writtenAt(e, Property_Rotation, k);
    AEGP_StreamVal2 kept = {};
    const bool fit = !turn && writtenAt(e, Property_Scale, k);
    const A_Err err = fit ? streamValueAt(suites, e.pluginId, rotation, t, &kept) : A_Err_NONE;
    const Shown shown = {e.positions[i][k].x, e.positions[i][k].y, e.scales[i][k],
                         e.rotations[i][k]};
    *own = ownValues(parent, shown, turn, kept.one_d);
    // Only what the run sizes or turns can be skewed by it.
    if (!own->exact && (writtenAt(e, Property_Scale, k) || turn)) {
        hostFailures().shownSkewed(e.layerIndices[size_t(i)] + 1);
    }
    return err;
}

// The plan of layer i: its parent space at each key's time, and with plain values at the
// current time (with the first frame's values).
A_Err planOwnValues(AEGP_SuiteHandler& suites, const MyTessaron& e, int i, AEGP_LayerH layer,
                    AEGP_StreamRefH rotation, bool plain, OwnPlan& plan) {
    const int frames = e.evaluatedFrameCount();
    const std::vector<A_Time> times = layerKeyTimes(e, i);
    A_Err err = A_Err_NONE;
    for (int k = 0; k <= frames && !err; ++k) {
        const bool atPlain = k == frames;
        if (atPlain && (!plain || frames == 0)) {
            break;
        }
        const A_Time t = atPlain ? e.compCurrentTime : times[size_t(k)];
        ParentSpace parent;
        err = parentSpaceAt(suites, layer, t, &parent);
        if (!err && !parent.parented) {
            break;  // no parent: the collage's values are the layer's own
        }
        Own own;
        if (!err) {
            err = ownAt(suites, e, i, atPlain ? 0 : k, t, parent, rotation, &own);
        }
        if (atPlain) {
            plan.plain = own;
        } else {
            plan.atFrame.push_back(own);
        }
    }
    if (err) {
        plan.atFrame.clear();
    }
    return err;
}

// The property gets one plain value (no key) when it has no keys and the run is a single
// Current Frame run without Force Keyframing.
bool writesPlainValue(const MyTessaron& e, A_long numKeys) {
    const FramesToRender frames = e.framesToRender;
    return numKeys == 0 && frames != FramesToRender::EveryXFrames &&
           frames != FramesToRender::FromLayerMarkers && !e.forceKeyframing;
}

// The plain values a property gets: none when it ignores the (only) frame.
int plainValueCount(const MyTessaron& e, int p) {
    return e.evaluatedFrameCount() == 0 || propertyIgnoredAt(e, p, 0) ? 0 : 1;
}

A_Err writePlainValue(AEGP_SuiteHandler& suites, const MyTessaron& e, int p, int i,
                      AEGP_StreamRefH stream, const OwnPlan& plan) {
    if (plainValueCount(e, p) == 0) {
        return A_Err_NONE;
    }
    ScopedValue value(suites);
    A_Err err = value.readAt(e.pluginId, stream, e.compCurrentTime);
    if (!err) {
        putResult(e, p, i, 0, plan.parented() ? &plan.plain : nullptr, value.value().val);
        err = suites.StreamSuite4()->AEGP_SetStreamValue(e.pluginId, stream, &value.value());
    }
    return err;
}

// One key per frame position that does not ignore the property, all in one add-keyframes batch;
// the times of the keys written are appended in frame order. After a failed call the batch is
// still ended, keeping the keys added before the failure (and listing them).
A_Err writeKeys(AEGP_SuiteHandler& suites, const MyTessaron& e, int p, int i,
                AEGP_StreamRefH stream, const OwnPlan& plan, std::vector<A_Time>& written) {
    AEGP_KeyframeSuite4* keys = suites.KeyframeSuite4();
    ScopedValue value(suites);
    const std::vector<A_Time> times = layerKeyTimes(e, i);
    ScopedKeyframeBatch batch(keys, true);
    A_Err err = batch.start(stream);
    for (int k = 0; k < e.evaluatedFrameCount() && !err; ++k) {
        if (propertyIgnoredAt(e, p, k)) {
            continue;
        }
        const A_Time t = times[k];
        A_long index = 0;
        err = keys->AEGP_AddKeyframes(batch.get(), AEGP_LTimeMode_CompTime, &t, &index);
        if (!err) {
            err = value.readAt(e.pluginId, stream, t);
        }
        if (!err) {
            putResult(e, p, i, k, plan.parented() ? &plan.atFrame[size_t(k)] : nullptr,
                      value.value().val);
            err = keys->AEGP_SetAddKeyframe(batch.get(), index, &value.value());
        }
        if (!err) {
            written.push_back(t);
        }
        value.reset();
    }
    const A_Err endErr = batch.end();
    if (endErr) {
        written.clear();  // the host added none of them
    }
    return err ? err : endErr;
}

// The stream's key times in seconds, in key order.
A_Err readKeySeconds(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream, std::vector<double>& out) {
    AEGP_KeyframeSuite4* keys = suites.KeyframeSuite4();
    A_long count = 0;
    A_Err err = keys->AEGP_GetStreamNumKFs(stream, &count);
    for (A_long q = 0; q < count && !err; ++q) {
        A_Time t = {0, 1};
        err = keys->AEGP_GetKeyframeTime(stream, q, AEGP_LTimeMode_CompTime, &t);
        out.push_back(timeSeconds(t));
    }
    return err;
}

// The final index of each written key, in frame order. The indices the host returned while
// adding go stale when a later key lands earlier in time, so the keys are found again by time
// (the nearest, as the host may keep a time at its own scale).
A_Err writtenKeyIndices(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream,
                        const std::vector<A_Time>& written, std::vector<int>& indices) {
    std::vector<double> keySeconds;
    const A_Err err = readKeySeconds(suites, stream, keySeconds);
    for (size_t k = 0; k < written.size() && !err && !keySeconds.empty(); ++k) {
        indices.push_back(nearestKeyIndex(keySeconds, timeSeconds(written[k])));
    }
    return err;
}

// Stream p of layer i; the layer is fetched first unless already known.
A_Err fetchStream(AEGP_SuiteHandler& suites, const MyTessaron& e, int i, AEGP_LayerH* layer, int p,
                  ScopedStream& stream) {
    A_Err err = *layer ? A_Err_NONE : fetchCollageLayer(suites, e, i, layer);
    if (!err) {
        err = stream.fetch(e.pluginId, *layer, kPropertyStreams[p]);
    }
    return err;
}

// Key a's out tangent and key b's in tangent from the preset of frame position k (key a's
// frame); the tangents not set by the pair are written back as read.
A_Err setPairTangents(AEGP_SuiteHandler& suites, const MyTessaron& e, AEGP_StreamRefH stream,
                      A_long a, A_long b, int k) {
    AEGP_KeyframeSuite4* keys = suites.KeyframeSuite4();
    ScopedValue inA(suites), outA(suites), inB(suites), outB(suites), valueA(suites),
        valueB(suites);
    A_Err err = keys->AEGP_GetNewKeyframeSpatialTangents(e.pluginId, stream, a, &inA.value(),
                                                         &outA.value());
    inA.adopt(!err);
    outA.adopt(!err);
    if (!err) {
        err = keys->AEGP_GetNewKeyframeSpatialTangents(e.pluginId, stream, b, &inB.value(),
                                                       &outB.value());
        inB.adopt(!err);
        outB.adopt(!err);
    }
    if (!err) {
        err = valueA.readKey(e.pluginId, stream, a);
    }
    if (!err) {
        err = valueB.readKey(e.pluginId, stream, b);
    }
    if (err) {
        return err;
    }
    const AEGP_ThreeDVal& va = valueA.value().val.three_d;
    const AEGP_ThreeDVal& vb = valueB.value().val.three_d;
    const TangentDraws draws{uniformRand, uniform53};
    const std::optional<TangentPair> tangents = spatialTangents(
        e.spatialPresets[k], Point2D(float(va.x), float(va.y)), Point2D(float(vb.x), float(vb.y)),
        e.outTangents[k], e.inTangents[k], draws);
    if (tangents) {
        outA.value().val.three_d = AEGP_ThreeDVal{tangents->out.x, tangents->out.y, 0.0};
        inB.value().val.three_d = AEGP_ThreeDVal{tangents->in.x, tangents->in.y, 0.0};
    }
    err = keys->AEGP_SetKeyframeSpatialTangents(stream, a, &inA.value(), &outA.value());
    if (!err) {
        err = keys->AEGP_SetKeyframeSpatialTangents(stream, b, &inB.value(), &outB.value());
    }
    return err;
}

}  // namespace

void MyTessaron::keyframeLayer(int i) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    AEGP_LayerH layer = nullptr;
    std::array<ScopedStream, PropertyCount> streams = {ScopedStream(suites), ScopedStream(suites),
                                                       ScopedStream(suites), ScopedStream(suites)};
    std::array<A_long, PropertyCount> numKeys = {0, 0, 0, 0};
    A_Err err = A_Err_NONE;
    for (int p = 0; p < PropertyCount && !err; ++p) {
        err = fetchStream(suites, *this, i, &layer, p, streams[p]);
    }
    for (int p = 0; p < PropertyCount && !err; ++p) {
        err = suites.KeyframeSuite4()->AEGP_GetStreamNumKFs(streams[p].get(), &numKeys[p]);
    }
    // A parented layer's values go through its parents at each key's time; after a failed
    // reading the layer gets the collage's values as they are.
    OwnPlan plan;
    bool plain = false;
    for (int p = 0; p < PropertyCount; ++p) {
        plain = plain || (propertyActive(*this, p) && writesPlainValue(*this, numKeys[p]));
    }
    if (!err && (positionActive || scaleActive || rotationActive)) {
        if (const A_Err planErr = planOwnValues(suites, *this, i, layer,
                                                streams[Property_Rotation].get(), plain, plan)) {
            hostFailures().fellBack("reading the layers' parents", planErr, 1);
        }
    }
    for (int p = 0; p < PropertyCount && !err; ++p) {
        if (!propertyActive(*this, p)) {
            continue;
        }
        if (writesPlainValue(*this, numKeys[p])) {
            err = writePlainValue(suites, *this, p, i, streams[p].get(), plan);
            hostFailures().keysWritten(i, err ? 0 : plainValueCount(*this, p));
            continue;
        }
        std::vector<A_Time> written;
        err = writeKeys(suites, *this, p, i, streams[p].get(), plan, written);
        hostFailures().keysWritten(i, int(written.size()));
        if (!err && p == Property_Position) {
            std::vector<int> indices;
            err = writtenKeyIndices(suites, streams[p].get(), written, indices);
            if (!err) {
                setSpatialInterpolation(i, indices);
            }
        }
    }
    hostFailures().failed("writing the layers' keys", err);
    // The switch is only ever turned on.
    if (motionBlur) {
        const A_Err blurErr =
            err ? err
                : suites.LayerSuite7()->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_MOTION_BLUR, true);
        if (blurErr) {
            hostFailures().motionBlurNotSet("switching motion blur on", err ? 0 : blurErr);
        }
    }
}

void MyTessaron::setSpatialInterpolation(int i, std::vector<int> keyIndices) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    AEGP_LayerH layer = nullptr;
    ScopedStream stream(suites);
    A_Err err = fetchStream(suites, *this, i, &layer, Property_Position, stream);
    // Pairs of the keys of consecutive keyed frames; each inner key ends with the in tangent of
    // the pair before it and the out tangent of the pair after it. A pair takes the settings of
    // the frame of its first key, which is not the pair's place once a frame was not keyed.
    const std::vector<int> frames = keyedFrames(*this, Property_Position);
    assert(frames.size() == keyIndices.size());
    for (size_t j = 0; j + 1 < keyIndices.size() && j < frames.size() && !err; ++j) {
        err = setPairTangents(suites, *this, stream.get(), keyIndices[j], keyIndices[j + 1],
                              frames[j]);
    }
    if (err) {
        hostFailures().tangentsNotSet("setting spatial tangents", err);
    }
}
