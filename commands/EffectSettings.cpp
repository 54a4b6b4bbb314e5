#include "commands/EffectSettings.h"

#include <algorithm>
#include <cmath>

#include "host/HostObjects.h"

namespace {

// 33.333328 is one float step below the float nearest 100/3; 0.1 is the float 0.1.
constexpr float kThird = 33.333328f;
constexpr float kTenth = 0.1f;

// A popup's value (a whole number as double) as its enumeration.
template <class Mode>
Mode popup(double v) {
    return asMode<Mode>(static_cast<int32_t>(v));
}

// One parameter read per frame and where its value goes.
struct SettingRead {
    int param;
    void (*store)(MyTessaron& e, double v);
};

// The table's order is the order the host is asked for the values.
const SettingRead kFrameSettings[] = {
    {PARAM_POSITION,
     [](MyTessaron& e, double v) {
         e.positionModes.push_back(popup<PositionMode>(v));
         e.positionActive |= e.positionModes.back() != PositionMode::Ignore;
     }},
    {PARAM_SCALE,
     [](MyTessaron& e, double v) {
         e.scaleModes.push_back(popup<ScaleMode>(v));
         e.scaleActive |= e.scaleModes.back() != ScaleMode::Ignore;
     }},
    {PARAM_ROTATION,
     [](MyTessaron& e, double v) {
         e.rotationModes.push_back(popup<RotationMode>(v));
         e.rotationActive |= e.rotationModes.back() != RotationMode::Ignore;
     }},
    {PARAM_OPACITY,
     [](MyTessaron& e, double v) {
         e.opacityModes.push_back(popup<OpacityMode>(v));
         e.opacityActive |= e.opacityModes.back() != OpacityMode::Ignore;
     }},
    {PARAM_MIN_SIZE, [](MyTessaron& e, double v) { e.minSizes.push_back(float(v)); }},
    {PARAM_MAX_SIZE, [](MyTessaron& e, double v) { e.maxSizes.push_back(float(v)); }},
    {PARAM_PREVENT_OVERLAP, [](MyTessaron& e, double v) { e.preventOverlaps.push_back(v > 0); }},
    {PARAM_RESCALE_FACTOR,
     [](MyTessaron& e, double v) { e.rescaleFactors.push_back(float(v / 100.0)); }},
    {PARAM_MIN_ROTATION, [](MyTessaron& e, double v) { e.minRotations.push_back(float(v)); }},
    {PARAM_MAX_ROTATION, [](MyTessaron& e, double v) { e.maxRotations.push_back(float(v)); }},
    {PARAM_MIN_OPACITY, [](MyTessaron& e, double v) { e.minOpacities.push_back(float(v)); }},
    {PARAM_MAX_OPACITY, [](MyTessaron& e, double v) { e.maxOpacities.push_back(float(v)); }},
    {PARAM_LAYER_ORDER,
     [](MyTessaron& e, double v) { e.layerOrders.push_back(popup<LayerOrder>(v)); }},
    {PARAM_FRAMES_TO_RENDER,
     [](MyTessaron& e, double v) { e.framesToRender = popup<FramesToRender>(v); }},
    {PARAM_FORCE_KEYFRAMING, [](MyTessaron& e, double v) { e.forceKeyframing = v > 0; }},
    {PARAM_TEMPORAL_INTERPOLATION,
     [](MyTessaron& e, double v) { e.temporalPresets.push_back(popup<TemporalPreset>(v)); }},
    {PARAM_SPATIAL_INTERPOLATION,
     [](MyTessaron& e, double v) { e.spatialPresets.push_back(popup<SpatialPreset>(v)); }},
    {PARAM_OUT_TANGENT, [](MyTessaron& e, double v) { e.outTangents.push_back(float(v / 100.0)); }},
    {PARAM_IN_TANGENT, [](MyTessaron& e, double v) { e.inTangents.push_back(float(v / 100.0)); }},
    {PARAM_OFFSET_FRAMES, [](MyTessaron& e, double v) { e.offsetFrames.push_back(int32_t(v)); }},
    {PARAM_OFFSET_METHOD,
     [](MyTessaron& e, double v) { e.offsetMethods.push_back(popup<OffsetMethod>(v)); }},
    {PARAM_MOTION_BLUR, [](MyTessaron& e, double v) { e.motionBlur = v > 0; }},
    {PARAM_RANDOM_SEED, [](MyTessaron& e, double v) { e.randomSeed = v > 0; }},
    {PARAM_SEED, [](MyTessaron& e, double v) { e.seeds.push_back(int32_t(v)); }},
    {PARAM_REMOVE_EXISTING_KEYS, [](MyTessaron& e, double v) { e.removeKeysFirst = v > 0; }},
    // Alpha is whole numbers: "at or below 31.5" is at or below 31.
    {PARAM_ALPHA_THRESHOLD,
     [](MyTessaron& e, double v) {
         e.alphaThresholds.push_back(int32_t(std::clamp(std::floor(v), 0.0, 255.0)));
     }},
    {PARAM_KEEP_INSIDE_SHAPE, [](MyTessaron& e, double v) { e.keepInsideShapes.push_back(v > 0); }},
    {PARAM_OVERHANG,
     [](MyTessaron& e, double v) {
         e.overhangs.push_back(float(std::clamp(v, 0.0, 100.0) / 100.0));
     }},
    {PARAM_CELL_SHAPE,
     [](MyTessaron& e, double v) { e.cellShapes.push_back(popup<CellShape>(v)); }},
    {PARAM_FOLLOW_SHAPE_CHANGES,
     [](MyTessaron& e, double v) { e.followShapeChanges.push_back(v > 0); }},
    {PARAM_FILL_GAPS, [](MyTessaron& e, double v) { e.fillGaps.push_back(v > 0); }},
    // Read last: whether it hides layers depends on the frame's Scale and Prevent Overlap. Hidden
    // layers are keyed on Opacity even where Opacity is Ignore.
    {PARAM_HIDE_BELOW_MIN_SIZE,
     [](MyTessaron& e, double v) {
         e.hideBelowMinSizes.push_back(v > 0);
         e.opacityActive |= e.hidesSmallLayers(int(e.hideBelowMinSizes.size()) - 1);
     }},
};

// The frame's ease values follow its Temporal Interpolation; Custom reads the four sliders.
void appendEase(EffectParamReader& reader, MyTessaron& e, const A_Time& time) {
    EaseValues ease = presetEase(e.temporalPresets.back());
    if (e.temporalPresets.back() == TemporalPreset::Custom) {
        ease.speedIn = float(reader.read(PARAM_SPEED_IN, time));
        ease.influenceIn = float(reader.read(PARAM_INFLUENCE_IN, time));
        ease.speedOut = float(reader.read(PARAM_SPEED_OUT, time));
        ease.influenceOut = float(reader.read(PARAM_INFLUENCE_OUT, time));
    }
    e.speedsIn.push_back(ease.speedIn);
    e.influencesIn.push_back(ease.influenceIn);
    e.speedsOut.push_back(ease.speedOut);
    e.influencesOut.push_back(ease.influenceOut);
}

}  // namespace

EaseValues presetEase(TemporalPreset temporalPreset) {
    switch (temporalPreset) {
        case TemporalPreset::EaseIn:
            return {0, kThird, 0, kTenth};
        case TemporalPreset::EaseOut:
            return {0, kTenth, 0, kThird};
        case TemporalPreset::EaseInAndOut:
            return {0, kThird, 0, kThird};
        case TemporalPreset::PunchyIn:
            return {0, kThird, 0, 100};
        case TemporalPreset::PunchyOut:
            return {0, 100, 0, kThird};
        case TemporalPreset::PunchyInAndOut:
            return {0, 100, 0, 100};
        default:
            return {0, kTenth, 0, kTenth};  // Linear, Hold, Custom and unknown values
    }
}

EffectParamReader::EffectParamReader(const AEGP_SuiteHandler& suites, AEGP_PluginID pluginId,
                                     AEGP_EffectRefH effect)
    : suites_(suites), pluginId_(pluginId), effect_(effect) {}

double EffectParamReader::read(int param, const A_Time& time) {
    AEGP_StreamSuite2* streams = suites_.StreamSuite2();
    ScopedStream stream(suites_);
    ScopedStreamValue<AEGP_StreamValue> value(streams->AEGP_DisposeStreamValue);
    A_Err err = stream.fetchEffectParam(pluginId_, effect_, param);
    if (!err) {
        err = value.adopt(streams->AEGP_GetNewStreamValue(
            pluginId_, stream.get(), AEGP_LTimeMode_CompTime, &time, true, &value.value()));
    }
    if (err) {
        hostFailures().fellBack("reading the effect's settings", err, 1);
    } else {
        last_[param] = value.value().val.one_d;
    }
    return last_[param];
}

void readFrameSettings(EffectParamReader& reader, MyTessaron& engine, int32_t frame,
                       const A_Time& time) {
    for (const SettingRead& setting : kFrameSettings) {
        setting.store(engine, reader.read(setting.param, time));
        if (setting.param == PARAM_FRAMES_TO_RENDER) {
            engine.frameList.push_back(frame);
        } else if (setting.param == PARAM_TEMPORAL_INTERPOLATION) {
            appendEase(reader, engine, time);
        }
    }
}
