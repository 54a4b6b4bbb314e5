#include "host/ParamTable.h"

#include <array>
#include <cassert>
#include <cstring>

#include "AE_EffectCB.h"
#include "AE_EffectUI.h"
#include "AE_Macros.h"

namespace {

// Parameter flag sets used by the table.
constexpr PF_ParamFlags kNone = 0;
constexpr PF_ParamFlags kTwirly = PF_ParamFlag_COLLAPSE_TWIRLY;
constexpr PF_ParamFlags kSupervise = PF_ParamFlag_SUPERVISE;
constexpr PF_ParamFlags kConstant = PF_ParamFlag_CANNOT_TIME_VARY;
constexpr PF_ParamFlags kSuperviseConstant = PF_ParamFlag_SUPERVISE | PF_ParamFlag_CANNOT_TIME_VARY;
constexpr PF_ParamFlags kTwirlyNoInterp = PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP;
// Offset (frames) decides whether Offset Method applies, so its changes must reach the plug-in
// for the controls to be refreshed.
constexpr PF_ParamFlags kTwirlyNoInterpSupervise = kTwirlyNoInterp | PF_ParamFlag_SUPERVISE;

constexpr PF_ValueDisplayFlags kPercent = PF_ValueDisplayFlag_PERCENT;

constexpr const char* kPositionItems = "Grid|Organic|Radial|Random|Use Previous Value|(-|Ignore";
constexpr const char* kScaleItems =
    "From Alpha|From Luminance|From Neighborhood|Random|Use Previous Value|(-|Ignore";
constexpr const char* kRotationItems =
    "From Alpha|From Luminance|Orient Towards Center|Random|Use Previous Value|(-|Ignore";
constexpr const char* kOpacityItems =
    "From Alpha|From Luminance|Random|Use Previous Value|(-|Ignore";
constexpr const char* kLayerOrderItems =
    "By X|By Y|By Norm|By Inverse Norm|By Distance from Comp Center|"
    "By Distance from Image Center|Minimum Assignment|Random";
constexpr const char* kFramesItems =
    "Current Frame|Every X Frames (within work area)|From Layer Markers";
constexpr const char* kTemporalItems =
    "Linear|Ease In|Ease Out|Ease In and Out|Punchy In|Punchy Out|Punchy In and Out|Hold|Custom";
constexpr const char* kSpatialItems =
    "Linear|Inner Half Circle|Outer Half Circle|Random Inner & Outer|Random|Zig Zag|Custom";
constexpr const char* kOffsetMethodItems =
    "From Left to Right|From Right to Left|From Top to Bottom|From Bottom to Top|"
    "Distance from Comp Center|Distance from Image Center|Random";

constexpr const char* kCellShapeItems = "First Layer|Typical Layer|Square";

constexpr ParamEntry checkbox(const char* name, PF_ParamFlags flags, bool on) {
    return {PF_Param_CHECKBOX, name, flags, "", on ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

constexpr ParamEntry popup(const char* name, PF_ParamFlags flags, const char* items, int dflt) {
    return {PF_Param_POPUP, name, flags, items, double(dflt), 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

constexpr ParamEntry floatSlider(const char* name, PF_ParamFlags flags, float validMin,
                                 float validMax, float sliderMin, float sliderMax, double dflt,
                                 A_short precision, PF_ValueDisplayFlags display = 0) {
    return {PF_Param_FLOAT_SLIDER,
            name,
            flags,
            "",
            dflt,
            validMin,
            validMax,
            sliderMin,
            sliderMax,
            precision,
            display,
            0,
            0,
            0};
}

constexpr ParamEntry angle(const char* name, double degrees) {
    return {PF_Param_ANGLE, name, kTwirly, "", degrees, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

constexpr ParamEntry group(const char* name) {
    return {PF_Param_GROUP_START, name, kNone, "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

constexpr ParamEntry groupEnd() {
    return {PF_Param_GROUP_END, "", kNone, "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

// "About" carries the banner: a custom control area of 250 x 35 pixels.
constexpr ParamEntry aboutParam() {
    return {PF_Param_CHECKBOX,
            "About",
            kSuperviseConstant,
            "",
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            PF_PUI_CONTROL | PF_PUI_STD_CONTROL_ONLY,
            250,
            35};
}

constexpr ParamEntry sourceLayer() {
    return {PF_Param_LAYER,
            "Source Layer",
            kNone,
            "",
            double(PF_LayerDefault_MYSELF),
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0};
}

constexpr ParamEntry createButton() {
    return {PF_Param_BUTTON, "", kSupervise, "Create", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

// Influence defaults to one third, as a 32-bit float.
constexpr double kThirdInfluence = double(33.33333f);

// Indexed by host index - 1.
const std::array<ParamEntry, PARAM_COUNT - 1> kParams = {{
    aboutParam(),
    sourceLayer(),
    group("Transform"),
    popup("Position", kSupervise, kPositionItems, 2),
    popup("Scale", kSupervise, kScaleItems, 3),
    popup("Rotation", kSupervise, kRotationItems, 7),
    popup("Opacity", kSupervise, kOpacityItems, 6),
    group("Options"),
    floatSlider("Min Size (px)", kTwirly, 0, 10000, 0, 100, 0, 0),
    floatSlider("Max Size (px)", kTwirly, 0, 10000, 0, 500, 50, 0),
    checkbox("Prevent Overlap", kNone, true),
    floatSlider("Rescale Factor", kTwirly, -500, 500, 0, 200, 100, 0, kPercent),
    angle("Min Rotation", -45),
    angle("Max Rotation", 45),
    floatSlider("Min Opacity", kTwirly, 0, 100, 0, 100, 0, 0, kPercent),
    floatSlider("Max Opacity", kTwirly, 0, 100, 0, 100, 100, 0, kPercent),
    popup("Layer Order", kNone, kLayerOrderItems, 7),
    groupEnd(),
    groupEnd(),
    group("Animation"),
    popup("Frames to Render", kSuperviseConstant, kFramesItems, 1),
    floatSlider("Interval (frames)", kTwirly, 1, 10000, 1, 100, 25, 0),
    checkbox("Force Keyframing", kNone, false),
    popup("Temporal Interpolation", kSupervise, kTemporalItems, 6),
    floatSlider("Speed In", kTwirly, 0, 1000000, 0, 100, 0, 1),
    floatSlider("Influence In", kTwirly, 0.1f, 100, 0.1f, 100, kThirdInfluence, 1, kPercent),
    floatSlider("Speed Out", kTwirly, 0, 1000000, 0, 100, 0, 1),
    floatSlider("Influence Out", kTwirly, 0.1f, 100, 0.1f, 100, kThirdInfluence, 1, kPercent),
    popup("Spatial Interpolation", kSupervise, kSpatialItems, 1),
    floatSlider("In Tangent", kTwirly, -1000000, 1000000, -100, 100, 0, 1, kPercent),
    floatSlider("Out Tangent", kTwirly, -1000000, 1000000, -100, 100, 0, 1, kPercent),
    floatSlider("Offset (frames)", kTwirlyNoInterpSupervise, 0, 10000, 0, 100, 0, 0),
    popup("Offset Method", kNone, kOffsetMethodItems, 6),
    checkbox("Motion Blur", kConstant, false),
    groupEnd(),
    group("Advanced"),
    checkbox("Random Seed", kSuperviseConstant, true),
    floatSlider("Seed", kTwirly, -1000000, 1000000, 0, 100, 0, 0),
    groupEnd(),
    createButton(),
    checkbox("Remove Existing Keys", kConstant, false),
    // Added later, at the end so that stored projects keep their ids; the defaults leave their
    // collages as they were.
    group("Shape"),
    floatSlider("Alpha Threshold", kTwirly, 0, 255, 0, 255, 0, 0),
    checkbox("Keep Inside Shape", kSupervise, false),
    floatSlider("Overhang (%)", kTwirly, 0, 100, 0, 100, 10, 0),
    popup("Cell Shape", kNone, kCellShapeItems, 1),
    checkbox("Hide Below Min Size", kNone, false),
    checkbox("Follow Shape Changes", kNone, false),
    groupEnd(),
    checkbox("Fill Gaps", kNone, false),
}};

void fillFloatSlider(const ParamEntry& entry, PF_FloatSliderDef& fs) {
    fs.valid_min = entry.validMin;
    fs.valid_max = entry.validMax;
    fs.slider_min = entry.sliderMin;
    fs.slider_max = entry.sliderMax;
    fs.value = entry.dflt;
    fs.dephault = PF_FpShort(entry.dflt);
    fs.precision = entry.precision;
    fs.display_flags = entry.display;
    fs.fs_flags = PF_FSliderFlag_NONE;
    fs.curve_tolerance = AEFX_AUDIO_DEFAULT_CURVE_TOLERANCE;
}

void fillKindPart(const ParamEntry& entry, PF_ParamDefUnion& u) {
    switch (entry.kind) {
        case PF_Param_LAYER:
            u.ld.dephault = A_long(entry.dflt);
            break;
        case PF_Param_CHECKBOX:
            u.bd.value = A_long(entry.dflt);
            u.bd.dephault = PF_Boolean(u.bd.value);
            u.bd.u.nameptr = entry.text;
            break;
        case PF_Param_POPUP:
            u.pd.num_choices = A_short(popupItemCount(entry.text));
            u.pd.dephault = A_short(entry.dflt);
            u.pd.value = u.pd.dephault;
            u.pd.u.namesptr = entry.text;
            break;
        case PF_Param_FLOAT_SLIDER:
            fillFloatSlider(entry, u.fs_d);
            break;
        case PF_Param_ANGLE:
            u.ad.value = u.ad.dephault = PF_Fixed(entry.dflt * 65536.0);
            break;
        case PF_Param_BUTTON:
            u.button_d.u.namesptr = entry.text;
            break;
        default:  // group start and end carry nothing
            break;
    }
}

// Clears the definition, fills parameter index and adds it at the end of the list.
PF_Err addParam(PF_InData* in_data, PF_ParamDef& def, int index) {
    const ParamEntry& entry = paramEntry(index);
    AEFX_CLR_STRUCT(def);
    fillParamDef(entry, index, def);
    PF_STRCPY(def.name, entry.name);
    return PF_ADD_PARAM(in_data, -1, &def);
}

}  // namespace

const ParamEntry& paramEntry(int index) {
    assert(index >= PARAM_ABOUT && index < PARAM_COUNT);
    return kParams[size_t(index - 1)];
}

int popupItemCount(const char* items) {
    int count = 1;
    for (const char* c = items; *c; ++c) count += *c == '|';
    return count;
}

void fillParamDef(const ParamEntry& entry, int index, PF_ParamDef& def) {
    assert(std::strlen(entry.name) <= PF_MAX_EFFECT_PARAM_NAME_LEN);
    def.uu.id = index - 1;
    def.param_type = entry.kind;
    def.flags = entry.flags;
    def.ui_flags = entry.uiFlags;
    def.ui_width = entry.uiWidth;
    def.ui_height = entry.uiHeight;
    fillKindPart(entry, def.u);
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
    PF_ParamDef def;
    if (const PF_Err err = addParam(in_data, def, PARAM_ABOUT)) return err;

    // The banner is drawn in the Effect Controls panel only.
    PF_CustomUIInfo ui;
    AEFX_CLR_STRUCT(ui);
    ui.events = PF_CustomEFlag_EFFECT;
    const PF_Err uiErr = PF_REGISTER_UI(in_data, &ui);

    for (int index = PARAM_SOURCE_LAYER; index < PARAM_COUNT; ++index) {
        if (const PF_Err err = addParam(in_data, def, index)) return err;
    }
    out_data->num_params = PARAM_COUNT;
    return uiErr;
}
