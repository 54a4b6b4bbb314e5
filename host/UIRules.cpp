#include "host/UIRules.h"

#include "AE_EffectSuites.h"
#include "host/Params.h"
#include "host/SuiteServices.h"

namespace {

bool scaleIs(const UIControls& c, ScaleMode m) {
    return asMode<ScaleMode>(c.scale) == m;
}

bool framesAre(const UIControls& c, FramesToRender f) {
    return asMode<FramesToRender>(c.framesToRender) == f;
}

// Min and Max Size apply when the size comes from the image, at random or from previous keys.
bool sizeRangeApplies(const UIControls& c) {
    return !scaleIs(c, ScaleMode::FromNeighborhood) && !scaleIs(c, ScaleMode::Ignore);
}

// Overlap is prevented by growing sites, which only sized modes do.
bool overlapApplies(const UIControls& c) {
    return scaleIs(c, ScaleMode::FromAlpha) || scaleIs(c, ScaleMode::FromLuminance) ||
           scaleIs(c, ScaleMode::Random);
}

// Sizes grow against each other (and, asked to, against the shape's edge).
bool growthApplies(const UIControls& c) {
    return scaleIs(c, ScaleMode::FromNeighborhood) || overlapApplies(c);
}

bool generatesSites(const UIControls& c) {
    const PositionMode p = asMode<PositionMode>(c.position);
    return p == PositionMode::Grid || p == PositionMode::Organic || p == PositionMode::Radial ||
           p == PositionMode::Random;
}

bool rotationRangeApplies(const UIControls& c) {
    const RotationMode r = asMode<RotationMode>(c.rotation);
    return r != RotationMode::OrientTowardsCenter && r != RotationMode::Ignore;
}

bool customTemporal(const UIControls& c) {
    return asMode<TemporalPreset>(c.temporal) == TemporalPreset::Custom;
}

bool customSpatial(const UIControls& c) {
    return asMode<SpatialPreset>(c.spatial) == SpatialPreset::Custom;
}

// Offsets are whole frames, rounded half up.
bool offsetApplies(const UIControls& c) {
    return A_long(c.offsetFrames + 0.5) > 0;  // NOLINT(bugprone-incorrect-roundings)
}

}  // namespace

std::array<UIRuleState, kUIRuleCount> uiRuleStates(const UIControls& c) {
    // Spatial interpolation shapes the path between keys, which needs several frames.
    const bool multiFrame = framesAre(c, FramesToRender::EveryXFrames) ||
                            framesAre(c, FramesToRender::FromLayerMarkers);
    return {{
        {PARAM_MIN_SIZE, sizeRangeApplies(c)},
        {PARAM_MAX_SIZE, sizeRangeApplies(c)},
        {PARAM_PREVENT_OVERLAP, overlapApplies(c)},
        {PARAM_RESCALE_FACTOR, !scaleIs(c, ScaleMode::Ignore)},
        {PARAM_MIN_ROTATION, rotationRangeApplies(c)},
        {PARAM_MAX_ROTATION, rotationRangeApplies(c)},
        {PARAM_MIN_OPACITY, asMode<OpacityMode>(c.opacity) != OpacityMode::Ignore},
        {PARAM_MAX_OPACITY, asMode<OpacityMode>(c.opacity) != OpacityMode::Ignore},
        {PARAM_LAYER_ORDER, asMode<PositionMode>(c.position) != PositionMode::Ignore},
        {PARAM_FORCE_KEYFRAMING, framesAre(c, FramesToRender::CurrentFrame)},
        {PARAM_INTERVAL, framesAre(c, FramesToRender::EveryXFrames)},
        {PARAM_SPATIAL_INTERPOLATION, multiFrame},
        {PARAM_SEED, !c.randomSeed},
        {PARAM_SPEED_IN, customTemporal(c)},
        {PARAM_SPEED_OUT, customTemporal(c)},
        {PARAM_INFLUENCE_IN, customTemporal(c)},
        {PARAM_INFLUENCE_OUT, customTemporal(c)},
        {PARAM_OUT_TANGENT, customSpatial(c)},
        {PARAM_IN_TANGENT, customSpatial(c)},
        {PARAM_OFFSET_METHOD, offsetApplies(c)},
        {PARAM_KEEP_INSIDE_SHAPE, growthApplies(c)},
        {PARAM_OVERHANG, growthApplies(c) && c.keepInsideShape},
        {PARAM_CELL_SHAPE, asMode<PositionMode>(c.position) == PositionMode::Grid},
        {PARAM_HIDE_BELOW_MIN_SIZE, overlapApplies(c)},
        {PARAM_FOLLOW_SHAPE_CHANGES, multiFrame && generatesSites(c)},
        {PARAM_FILL_GAPS, growthApplies(c)},
    }};
}

UIControls readUIControls(PF_ParamDef* params[]) {
    UIControls c;
    c.position = params[PARAM_POSITION]->u.pd.value;
    c.scale = params[PARAM_SCALE]->u.pd.value;
    c.rotation = params[PARAM_ROTATION]->u.pd.value;
    c.opacity = params[PARAM_OPACITY]->u.pd.value;
    c.framesToRender = params[PARAM_FRAMES_TO_RENDER]->u.pd.value;
    c.temporal = params[PARAM_TEMPORAL_INTERPOLATION]->u.pd.value;
    c.spatial = params[PARAM_SPATIAL_INTERPOLATION]->u.pd.value;
    c.randomSeed = params[PARAM_RANDOM_SEED]->u.bd.value != 0;
    c.offsetFrames = params[PARAM_OFFSET_FRAMES]->u.fs_d.value;
    c.keepInsideShape = params[PARAM_KEEP_INSIDE_SHAPE]->u.bd.value != 0;
    return c;
}

PF_Err enableParam(PF_InData* in_data, PF_ParamDef* params[], int index, bool enable) {
    ScopedSuite<PF_ParamUtilsSuite1> paramUtils(in_data->pica_basicP, kPFParamUtilsSuite,
                                                kPFParamUtilsSuiteVersion1);
    PF_ParamDef* def = params[index];
    if (enable) {
        def->ui_flags &= ~PF_PUI_DISABLED;
    } else {
        def->ui_flags |= PF_PUI_DISABLED;
    }
    return paramUtils->PF_UpdateParamUI(in_data->effect_ref, index, def);
}

PF_Err RefreshUIParams(PF_InData* in_data, PF_ParamDef* params[]) {
    for (const UIRuleState& rule : uiRuleStates(readUIControls(params))) {
        if (const PF_Err err = enableParam(in_data, params, rule.index, rule.enabled)) return err;
    }
    return PF_Err_NONE;
}
