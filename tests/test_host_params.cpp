// The parameter set: the 48 registered parameters with their kinds, flags, ranges, defaults and
// popups, the custom UI registration, and Params Setup's error rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AE_EffectUI.h"
#include "host/ParamTable.h"
#include "host/Params.h"
#include "test_host_fixture.h"

namespace {

using hostfixture::HostTest;

struct Expected {
    int index;
    PF_ParamType kind;
    const char* name;
    PF_ParamFlags flags;
};

// Registration order, kinds, names and flags of every parameter.
const std::vector<Expected> kExpected = {
    {1, PF_Param_CHECKBOX, "About", 66},
    {2, PF_Param_LAYER, "Source Layer", 0},
    {3, PF_Param_GROUP_START, "Transform", 0},
    {4, PF_Param_POPUP, "Position", 64},
    {5, PF_Param_POPUP, "Scale", 64},
    {6, PF_Param_POPUP, "Rotation", 64},
    {7, PF_Param_POPUP, "Opacity", 64},
    {8, PF_Param_GROUP_START, "Options", 0},
    {9, PF_Param_FLOAT_SLIDER, "Min Size (px)", 32},
    {10, PF_Param_FLOAT_SLIDER, "Max Size (px)", 32},
    {11, PF_Param_CHECKBOX, "Prevent Overlap", 0},
    {12, PF_Param_FLOAT_SLIDER, "Rescale Factor", 32},
    {13, PF_Param_ANGLE, "Min Rotation", 32},
    {14, PF_Param_ANGLE, "Max Rotation", 32},
    {15, PF_Param_FLOAT_SLIDER, "Min Opacity", 32},
    {16, PF_Param_FLOAT_SLIDER, "Max Opacity", 32},
    {17, PF_Param_POPUP, "Layer Order", 0},
    {18, PF_Param_GROUP_END, "", 0},
    {19, PF_Param_GROUP_END, "", 0},
    {20, PF_Param_GROUP_START, "Animation", 0},
    {21, PF_Param_POPUP, "Frames to Render", 66},
    {22, PF_Param_FLOAT_SLIDER, "Interval (frames)", 32},
    {23, PF_Param_CHECKBOX, "Force Keyframing", 0},
    {24, PF_Param_POPUP, "Temporal Interpolation", 64},
    {25, PF_Param_FLOAT_SLIDER, "Speed In", 32},
    {26, PF_Param_FLOAT_SLIDER, "Influence In", 32},
    {27, PF_Param_FLOAT_SLIDER, "Speed Out", 32},
    {28, PF_Param_FLOAT_SLIDER, "Influence Out", 32},
    {29, PF_Param_POPUP, "Spatial Interpolation", 64},
    {30, PF_Param_FLOAT_SLIDER, "In Tangent", 32},
    {31, PF_Param_FLOAT_SLIDER, "Out Tangent", 32},
    {32, PF_Param_FLOAT_SLIDER, "Offset (frames)", 100},
    {33, PF_Param_POPUP, "Offset Method", 0},
    {34, PF_Param_CHECKBOX, "Motion Blur", 2},
    {35, PF_Param_GROUP_END, "", 0},
    {36, PF_Param_GROUP_START, "Advanced", 0},
    {37, PF_Param_CHECKBOX, "Random Seed", 66},
    {38, PF_Param_FLOAT_SLIDER, "Seed", 32},
    {39, PF_Param_GROUP_END, "", 0},
    {40, PF_Param_BUTTON, "", 64},
    {41, PF_Param_CHECKBOX, "Remove Existing Keys", 2},
    {42, PF_Param_GROUP_START, "Shape", 0},
    {43, PF_Param_FLOAT_SLIDER, "Alpha Threshold", 32},
    {44, PF_Param_CHECKBOX, "Keep Inside Shape", 64},
    {45, PF_Param_FLOAT_SLIDER, "Overhang (%)", 32},
    {46, PF_Param_POPUP, "Cell Shape", 0},
    {47, PF_Param_CHECKBOX, "Hide Below Min Size", 0},
    {48, PF_Param_CHECKBOX, "Follow Shape Changes", 0},
    {49, PF_Param_GROUP_END, "", 0},
    {50, PF_Param_CHECKBOX, "Fill Gaps", 0},
};

struct ExpectedPopup {
    int index;
    const char* items;
    int count;
    int dflt;
};

const std::vector<ExpectedPopup> kPopups = {
    {4, "Grid|Organic|Radial|Random|Use Previous Value|(-|Ignore", 7, 2},
    {5, "From Alpha|From Luminance|From Neighborhood|Random|Use Previous Value|(-|Ignore", 7, 3},
    {6, "From Alpha|From Luminance|Orient Towards Center|Random|Use Previous Value|(-|Ignore", 7,
     7},
    {7, "From Alpha|From Luminance|Random|Use Previous Value|(-|Ignore", 6, 6},
    {17,
     "By X|By Y|By Norm|By Inverse Norm|By Distance from Comp Center|By Distance from Image "
     "Center|Minimum Assignment|Random",
     8, 7},
    {21, "Current Frame|Every X Frames (within work area)|From Layer Markers", 3, 1},
    {24,
     "Linear|Ease In|Ease Out|Ease In and Out|Punchy In|Punchy Out|Punchy In and Out|Hold|Custom",
     9, 6},
    {29, "Linear|Inner Half Circle|Outer Half Circle|Random Inner & Outer|Random|Zig Zag|Custom", 7,
     1},
    {33,
     "From Left to Right|From Right to Left|From Top to Bottom|From Bottom to Top|Distance from "
     "Comp Center|Distance from Image Center|Random",
     7, 6},
    {46, "First Layer|Typical Layer|Square", 3, 1},
};

struct ExpectedSlider {
    int index;
    float validMin, validMax, sliderMin, sliderMax;
    double value;
    A_short precision;
    PF_ValueDisplayFlags display;
};

const std::vector<ExpectedSlider> kSliders = {
    {9, 0, 10000, 0, 100, 0, 0, 0},
    {10, 0, 10000, 0, 500, 50, 0, 0},
    {12, -500, 500, 0, 200, 100, 0, 1},
    {15, 0, 100, 0, 100, 0, 0, 1},
    {16, 0, 100, 0, 100, 100, 0, 1},
    {22, 1, 10000, 1, 100, 25, 0, 0},
    {25, 0, 1000000, 0, 100, 0, 1, 0},
    {26, 0.1f, 100, 0.1f, 100, double(33.33333f), 1, 1},
    {27, 0, 1000000, 0, 100, 0, 1, 0},
    {28, 0.1f, 100, 0.1f, 100, double(33.33333f), 1, 1},
    {30, -1000000, 1000000, -100, 100, 0, 1, 1},
    {31, -1000000, 1000000, -100, 100, 0, 1, 1},
    {32, 0, 10000, 0, 100, 0, 0, 0},
    {38, -1000000, 1000000, 0, 100, 0, 0, 0},
    {43, 0, 255, 0, 255, 0, 0, 0},
    {45, 0, 100, 0, 100, 10, 0, 0},
};

// Checkbox defaults: on for Prevent Overlap and Random Seed only.
const std::vector<std::pair<int, int>> kCheckboxes = {{1, 0},  {11, 1}, {23, 0}, {34, 0}, {37, 1},
                                                      {41, 0}, {44, 0}, {47, 0}, {48, 0}, {50, 0}};

void expectCommon(const PF_ParamDef& def, const Expected& e) {
    SCOPED_TRACE(e.index);
    EXPECT_EQ(def.uu.id, e.index - 1);
    EXPECT_EQ(def.param_type, e.kind);
    EXPECT_STREQ(def.name, e.name);
    EXPECT_EQ(def.flags, e.flags);
    const bool about = e.index == PARAM_ABOUT;
    EXPECT_EQ(def.ui_flags, about ? PF_PUI_CONTROL | PF_PUI_STD_CONTROL_ONLY : 0);
    EXPECT_EQ(def.ui_width, about ? 250 : 0);
    EXPECT_EQ(def.ui_height, about ? 35 : 0);
}

void expectPopup(const PF_ParamDef& def, const ExpectedPopup& p) {
    SCOPED_TRACE(p.index);
    EXPECT_EQ(def.u.pd.num_choices, p.count);
    EXPECT_EQ(def.u.pd.dephault, p.dflt);
    EXPECT_EQ(def.u.pd.value, p.dflt);
}

void expectSlider(const PF_ParamDef& def, const ExpectedSlider& s) {
    SCOPED_TRACE(s.index);
    const PF_FloatSliderDef& fs = def.u.fs_d;
    EXPECT_EQ(fs.valid_min, s.validMin);
    EXPECT_EQ(fs.valid_max, s.validMax);
    EXPECT_EQ(fs.slider_min, s.sliderMin);
    EXPECT_EQ(fs.slider_max, s.sliderMax);
    EXPECT_EQ(fs.value, s.value);
    EXPECT_EQ(fs.dephault, float(s.value));
    EXPECT_EQ(fs.precision, s.precision);
    EXPECT_EQ(fs.display_flags, s.display);
    EXPECT_EQ(fs.curve_tolerance, 0.05f);
    EXPECT_EQ(fs.fs_flags, 0u);
    EXPECT_EQ(fs.phase, 0.0);
}

// Checks every registered definition against the expectations; popup texts come from text().
template <class TextOf>
void expectAllParams(const std::vector<PF_ParamDef>& defs, TextOf text) {
    ASSERT_EQ(defs.size(), size_t(PARAM_COUNT));
    for (const Expected& e : kExpected) expectCommon(defs[e.index], e);
    for (const ExpectedPopup& p : kPopups) {
        expectPopup(defs[p.index], p);
        EXPECT_EQ(text(p.index), p.items);
    }
    for (const ExpectedSlider& s : kSliders) expectSlider(defs[s.index], s);
    for (auto [index, on] : kCheckboxes) {
        EXPECT_EQ(defs[index].u.bd.value, on) << index;
        EXPECT_EQ(defs[index].u.bd.dephault, on) << index;
        EXPECT_EQ(text(index), "") << index;
    }
    EXPECT_EQ(defs[PARAM_MIN_ROTATION].u.ad.value, -45 * 65536);
    EXPECT_EQ(defs[PARAM_MIN_ROTATION].u.ad.dephault, -45 * 65536);
    EXPECT_EQ(defs[PARAM_MAX_ROTATION].u.ad.value, 45 * 65536);
    EXPECT_EQ(defs[PARAM_MAX_ROTATION].u.ad.dephault, 45 * 65536);
    EXPECT_EQ(defs[PARAM_SOURCE_LAYER].u.ld.dephault, PF_LayerDefault_MYSELF);
    EXPECT_EQ(text(PARAM_CREATE), "Create");
}

// The definitions as Params Setup fills them, without a host.
std::vector<PF_ParamDef> tableDefs() {
    std::vector<PF_ParamDef> defs(PARAM_COUNT);
    for (int index = 1; index < PARAM_COUNT; ++index) {
        PF_ParamDef& def = defs[index];
        std::memset(&def, 0, sizeof def);
        fillParamDef(paramEntry(index), index, def);
        std::strcpy(def.name, paramEntry(index).name);
    }
    return defs;
}

TEST(HostParamsTable, EveryParameterMatchesTheRegistrationList) {
    ASSERT_EQ(kExpected.size(), size_t(PARAM_COUNT - 1));
    const std::vector<PF_ParamDef> defs = tableDefs();
    expectAllParams(defs, [&](int index) -> std::string {
        const PF_ParamDef& d = defs[index];
        if (d.param_type == PF_Param_POPUP) return d.u.pd.u.namesptr;
        if (d.param_type == PF_Param_CHECKBOX) return d.u.bd.u.nameptr;
        return d.u.button_d.u.namesptr;
    });
}

TEST(HostParamsTable, PopupItemsCountTheirSeparators) {
    EXPECT_EQ(popupItemCount("One"), 1);
    EXPECT_EQ(popupItemCount("A|(-|B"), 3);
    EXPECT_EQ(popupItemCount(""), 1);
}

// Popup item numbers are the enumerations the engine uses; Ignore sits after the separator.
TEST(HostParamsTable, PopupEnumerationsMatchTheItemNumbers) {
    EXPECT_EQ(uint32_t(PositionMode::Ignore), 7u);
    EXPECT_EQ(uint32_t(ScaleMode::Ignore), 7u);
    EXPECT_EQ(uint32_t(RotationMode::Ignore), 7u);
    EXPECT_EQ(uint32_t(OpacityMode::Ignore), 6u);
    EXPECT_EQ(uint32_t(PositionMode::Organic), 2u);
    EXPECT_EQ(uint32_t(ScaleMode::FromNeighborhood), 3u);
    EXPECT_EQ(uint32_t(LayerOrder::MinimumAssignment), 7u);
    EXPECT_EQ(uint32_t(FramesToRender::FromLayerMarkers), 3u);
    EXPECT_EQ(uint32_t(TemporalPreset::PunchyOut), 6u);
    EXPECT_EQ(uint32_t(TemporalPreset::Custom), 9u);
    EXPECT_EQ(uint32_t(SpatialPreset::Custom), 7u);
    EXPECT_EQ(uint32_t(OffsetMethod::DistanceFromImageCenter), 6u);
    EXPECT_EQ(uint32_t(OffsetMethod::Random), 7u);
}

TEST_F(HostTest, ParamsSetupRegistersTheParametersAndTheCustomUI) {
    setUpEffect();
    EXPECT_EQ(host.outData().num_params, PARAM_COUNT);
    expectAllParams(host.paramDefs(), [&](int index) { return host.popupTexts()[index]; });
    EXPECT_EQ(host.callCount("add_param"), PARAM_COUNT - 1);
    ASSERT_NE(host.customUI(), nullptr);
    const PF_CustomUIInfo& ui = *host.customUI();
    EXPECT_EQ(ui.events, PF_CustomEFlag_EFFECT);
    EXPECT_EQ(ui.reserved, 0);
    EXPECT_EQ(ui.comp_ui_width, 0);
    EXPECT_EQ(ui.layer_ui_width, 0);
    EXPECT_EQ(ui.preview_ui_alignment, 0);
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

// The custom UI is registered right after "About", before the other parameters; each name is
// copied with the host's string routine before its parameter is added.
TEST_F(HostTest, TheCustomUIIsRegisteredAfterTheFirstParameter) {
    setUpEffect();
    const auto& calls = host.records().calls;
    std::vector<std::string> order;
    for (const std::string& c : calls) {
        if (c == "add_param" || c == "register_ui" || c == "strcpy") order.push_back(c);
    }
    std::vector<std::string> expected = {"strcpy", "add_param", "register_ui"};
    for (int index = PARAM_SOURCE_LAYER; index < PARAM_COUNT; ++index) {
        expected.insert(expected.end(), {"strcpy", "add_param"});
    }
    EXPECT_EQ(order, expected);
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

TEST_F(HostTest, AnAddFailureAtParameterKEndsParamsSetupWithItsCode) {
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    for (int k : {1, 2, 17, 40, 41}) {
        SCOPED_TRACE(k);
        host.injectFault("add_param", k, 600 + k);
        EXPECT_EQ(host.paramsSetup(), 600 + k);
        EXPECT_NE(host.outData().num_params, PARAM_COUNT);
        EXPECT_EQ(host.paramDefs().size(), size_t(k));  // the input layer and k - 1 parameters
        EXPECT_EQ(host.customUI() != nullptr, k > 1);
        host.clearFaults();
    }
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

TEST_F(HostTest, ACustomUIFailureStillRegistersEveryParameter) {
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    host.injectFault("register_ui", 1, 42);
    EXPECT_EQ(host.paramsSetup(), 42);
    EXPECT_EQ(host.outData().num_params, PARAM_COUNT);
    EXPECT_EQ(host.paramDefs().size(), size_t(PARAM_COUNT));
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

}  // namespace
