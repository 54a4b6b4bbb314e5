// The UI state rules: which parameters are greyed out for the current choices, in which order
// the host is told, and what a failing update leaves behind.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "host/Params.h"
#include "host/UIRules.h"
#include "test_host_fixture.h"

namespace {

using hostfixture::HostTest;

// The controls at the parameters' defaults.
UIControls defaults() {
    UIControls c;
    c.position = A_long(PositionMode::Organic);
    c.scale = A_long(ScaleMode::FromNeighborhood);
    c.rotation = A_long(RotationMode::Ignore);
    c.opacity = A_long(OpacityMode::Ignore);
    c.framesToRender = A_long(FramesToRender::CurrentFrame);
    c.temporal = A_long(TemporalPreset::PunchyOut);
    c.spatial = A_long(SpatialPreset::Linear);
    c.randomSeed = true;
    c.offsetFrames = 0.0;
    c.keepInsideShape = false;
    return c;
}

std::map<int, bool> statesOf(const UIControls& c) {
    std::map<int, bool> states;
    for (const UIRuleState& r : uiRuleStates(c)) states[r.index] = r.enabled;
    return states;
}

TEST(HostUIRules, ParametersAreUpdatedInTheFixedOrder) {
    std::vector<int> order;
    for (const UIRuleState& r : uiRuleStates(defaults())) order.push_back(r.index);
    EXPECT_EQ(order, (std::vector<int>{9,  10, 11, 12, 13, 14, 15, 16, 17, 23, 22, 29, 38,
                                       25, 27, 26, 28, 31, 30, 33, 44, 45, 46, 47, 48, 50}));
}

TEST(HostUIRules, OffsetMethodAppliesFromHalfAFrame) {
    UIControls c = defaults();
    c.offsetFrames = 0.4;
    EXPECT_FALSE(statesOf(c)[PARAM_OFFSET_METHOD]);
    c.offsetFrames = 0.5;
    EXPECT_TRUE(statesOf(c)[PARAM_OFFSET_METHOD]);
    c.offsetFrames = 0.0;
    EXPECT_FALSE(statesOf(c)[PARAM_OFFSET_METHOD]);
    c.offsetFrames = 12.0;
    EXPECT_TRUE(statesOf(c)[PARAM_OFFSET_METHOD]);
}

TEST(HostUIRules, ScaleModesDecideTheSizeOptions) {
    UIControls c = defaults();
    c.scale = A_long(ScaleMode::Random);
    auto s = statesOf(c);
    EXPECT_TRUE(s[PARAM_MIN_SIZE] && s[PARAM_MAX_SIZE] && s[PARAM_PREVENT_OVERLAP] &&
                s[PARAM_RESCALE_FACTOR]);
    c.scale = A_long(ScaleMode::FromNeighborhood);
    s = statesOf(c);
    EXPECT_FALSE(s[PARAM_MIN_SIZE] || s[PARAM_MAX_SIZE] || s[PARAM_PREVENT_OVERLAP]);
    EXPECT_TRUE(s[PARAM_RESCALE_FACTOR]);
    c.scale = A_long(ScaleMode::UsePreviousValue);
    s = statesOf(c);
    EXPECT_TRUE(s[PARAM_MIN_SIZE] && s[PARAM_MAX_SIZE] && s[PARAM_RESCALE_FACTOR]);
    EXPECT_FALSE(s[PARAM_PREVENT_OVERLAP]);
    c.scale = A_long(ScaleMode::Ignore);
    s = statesOf(c);
    EXPECT_FALSE(s[PARAM_MIN_SIZE] || s[PARAM_MAX_SIZE] || s[PARAM_PREVENT_OVERLAP] ||
                 s[PARAM_RESCALE_FACTOR]);
    for (ScaleMode mode : {ScaleMode::FromAlpha, ScaleMode::FromLuminance}) {
        c.scale = A_long(mode);
        s = statesOf(c);
        EXPECT_TRUE(s[PARAM_MIN_SIZE] && s[PARAM_PREVENT_OVERLAP] && s[PARAM_RESCALE_FACTOR]);
    }
}

// Keep Inside Shape and its Overhang apply where sizes grow, Hide Below Min Size where Prevent
// Overlap does, Cell Shape to Grid cells.
TEST(HostUIRules, ShapeOptionsFollowGrowthAndGrid) {
    struct Row {
        ScaleMode scale;
        PositionMode position;
        bool keepInside;
        bool keepInsideOn, overhangOn, cellShapeOn, hideOn;
    };
    const Row rows[] = {
        {ScaleMode::FromNeighborhood, PositionMode::Organic, false, true, false, false, false},
        {ScaleMode::FromNeighborhood, PositionMode::Grid, true, true, true, true, false},
        {ScaleMode::Random, PositionMode::Radial, true, true, true, false, true},
        {ScaleMode::FromAlpha, PositionMode::Grid, false, true, false, true, true},
        {ScaleMode::FromLuminance, PositionMode::Random, true, true, true, false, true},
        {ScaleMode::UsePreviousValue, PositionMode::Grid, true, false, false, true, false},
        {ScaleMode::Ignore, PositionMode::Ignore, true, false, false, false, false},
    };
    for (const Row& r : rows) {
        UIControls c = defaults();
        c.scale = A_long(r.scale);
        c.position = A_long(r.position);
        c.keepInsideShape = r.keepInside;
        auto s = statesOf(c);
        SCOPED_TRACE(int(r.scale) * 10 + int(r.position));
        EXPECT_EQ(s[PARAM_KEEP_INSIDE_SHAPE], r.keepInsideOn);
        EXPECT_EQ(s[PARAM_OVERHANG], r.overhangOn);
        EXPECT_EQ(s[PARAM_CELL_SHAPE], r.cellShapeOn);
        EXPECT_EQ(s[PARAM_HIDE_BELOW_MIN_SIZE], r.hideOn);
        EXPECT_EQ(s[PARAM_FILL_GAPS], r.keepInsideOn);  // wherever sizes grow
        // Following needs a frame before and sites of the plug-in's own.
        EXPECT_FALSE(s[PARAM_FOLLOW_SHAPE_CHANGES]);
        c.framesToRender = A_long(FramesToRender::FromLayerMarkers);
        EXPECT_EQ(statesOf(c)[PARAM_FOLLOW_SHAPE_CHANGES], r.position != PositionMode::Ignore);
    }
}

TEST(HostUIRules, FramesToRenderDecidesKeyingOptions) {
    UIControls c = defaults();
    auto s = statesOf(c);  // Current Frame
    EXPECT_TRUE(s[PARAM_FORCE_KEYFRAMING]);
    EXPECT_FALSE(s[PARAM_INTERVAL] || s[PARAM_SPATIAL_INTERPOLATION]);
    c.framesToRender = A_long(FramesToRender::EveryXFrames);
    s = statesOf(c);
    EXPECT_FALSE(s[PARAM_FORCE_KEYFRAMING]);
    EXPECT_TRUE(s[PARAM_INTERVAL] && s[PARAM_SPATIAL_INTERPOLATION]);
    c.framesToRender = A_long(FramesToRender::FromLayerMarkers);
    s = statesOf(c);
    EXPECT_FALSE(s[PARAM_FORCE_KEYFRAMING] || s[PARAM_INTERVAL]);
    EXPECT_TRUE(s[PARAM_SPATIAL_INTERPOLATION]);
}

TEST(HostUIRules, RotationOpacityPositionAndPresets) {
    UIControls c = defaults();
    auto s = statesOf(c);  // Rotation Ignore, Opacity Ignore, Position Organic
    EXPECT_FALSE(s[PARAM_MIN_ROTATION] || s[PARAM_MAX_ROTATION]);
    EXPECT_FALSE(s[PARAM_MIN_OPACITY] || s[PARAM_MAX_OPACITY]);
    EXPECT_TRUE(s[PARAM_LAYER_ORDER]);
    c.rotation = A_long(RotationMode::UsePreviousValue);  // keeps the range
    EXPECT_TRUE(statesOf(c)[PARAM_MIN_ROTATION] && statesOf(c)[PARAM_MAX_ROTATION]);
    c.rotation = A_long(RotationMode::OrientTowardsCenter);
    EXPECT_FALSE(statesOf(c)[PARAM_MIN_ROTATION] || statesOf(c)[PARAM_MAX_ROTATION]);
    c.opacity = A_long(OpacityMode::UsePreviousValue);
    EXPECT_TRUE(statesOf(c)[PARAM_MIN_OPACITY] && statesOf(c)[PARAM_MAX_OPACITY]);
    c.position = A_long(PositionMode::Ignore);
    EXPECT_FALSE(statesOf(c)[PARAM_LAYER_ORDER]);

    EXPECT_FALSE(s[PARAM_SPEED_IN] || s[PARAM_INFLUENCE_OUT] || s[PARAM_IN_TANGENT]);
    EXPECT_FALSE(s[PARAM_SEED]);
    c.temporal = A_long(TemporalPreset::Custom);
    c.spatial = A_long(SpatialPreset::Custom);
    c.randomSeed = false;
    s = statesOf(c);
    EXPECT_TRUE(s[PARAM_SPEED_IN] && s[PARAM_SPEED_OUT] && s[PARAM_INFLUENCE_IN] &&
                s[PARAM_INFLUENCE_OUT]);
    EXPECT_TRUE(s[PARAM_IN_TANGENT] && s[PARAM_OUT_TANGENT] && s[PARAM_SEED]);
}

// Through the host: the refresh makes the 24 updates each time, and the host keeps the state.
TEST_F(HostTest, RefreshUpdatesTheHostsRecordsEveryTime) {
    setUpEffect();
    host.setParam(PARAM_SCALE, double(ScaleMode::UsePreviousValue));
    host.setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::FromLayerMarkers));
    host.setParam(PARAM_OFFSET_FRAMES, 0.5);
    ASSERT_EQ(host.updateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.callCount("PF_UpdateParamUI"), kUIRuleCount);
    EXPECT_FALSE(host.paramDisabled(PARAM_MIN_SIZE));
    EXPECT_TRUE(host.paramDisabled(PARAM_PREVENT_OVERLAP));
    EXPECT_TRUE(host.paramDisabled(PARAM_FORCE_KEYFRAMING));
    EXPECT_TRUE(host.paramDisabled(PARAM_INTERVAL));
    EXPECT_FALSE(host.paramDisabled(PARAM_SPATIAL_INTERPOLATION));
    EXPECT_FALSE(host.paramDisabled(PARAM_OFFSET_METHOD));
    EXPECT_FALSE(host.paramDisabled(PARAM_POSITION));  // never disabled
    ASSERT_EQ(host.updateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.callCount("PF_UpdateParamUI"), 2 * kUIRuleCount);
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

// The controls of ARefreshFailingAtRuleK's second state: every rule but Rescale Factor, Keep
// Inside Shape and Cell Shape flips.
UIControls flippedControls() {
    UIControls c = defaults();
    c.scale = A_long(ScaleMode::Random);
    c.rotation = A_long(RotationMode::Random);
    c.opacity = A_long(OpacityMode::Random);
    c.position = A_long(PositionMode::Ignore);
    c.framesToRender = A_long(FramesToRender::EveryXFrames);
    c.temporal = A_long(TemporalPreset::Custom);
    c.spatial = A_long(SpatialPreset::Custom);
    c.randomSeed = false;
    c.offsetFrames = 3;
    c.keepInsideShape = true;
    return c;
}

void setControls(sim::Host& host, const UIControls& c) {
    host.setParam(PARAM_SCALE, c.scale);
    host.setParam(PARAM_ROTATION, c.rotation);
    host.setParam(PARAM_OPACITY, c.opacity);
    host.setParam(PARAM_POSITION, c.position);
    host.setParam(PARAM_FRAMES_TO_RENDER, c.framesToRender);
    host.setParam(PARAM_TEMPORAL_INTERPOLATION, c.temporal);
    host.setParam(PARAM_SPATIAL_INTERPOLATION, c.spatial);
    host.setParam(PARAM_RANDOM_SEED, c.randomSeed ? 1 : 0);
    host.setParam(PARAM_OFFSET_FRAMES, c.offsetFrames);
    host.setParam(PARAM_KEEP_INSIDE_SHAPE, c.keepInsideShape ? 1 : 0);
}

// A failing update at rule k ends the refresh: later parameters keep their earlier state.
TEST_F(HostTest, ARefreshFailingAtRuleKLeavesLaterRulesUntouched) {
    setUpEffect();
    const auto oldStates = uiRuleStates(defaults());
    const auto newStates = uiRuleStates(flippedControls());
    for (int k : {1, 2, 7, 13, 20, 22, 24}) {
        SCOPED_TRACE(k);
        setControls(host, defaults());
        ASSERT_EQ(host.updateParamsUI(), PF_Err_NONE);
        setControls(host, flippedControls());
        const long callsBefore = host.callCount("PF_UpdateParamUI");
        host.injectFault("PF_UpdateParamUI", k, 900);
        EXPECT_EQ(host.updateParamsUI(), 900);
        EXPECT_EQ(host.callCount("PF_UpdateParamUI") - callsBefore, k);
        for (int order = 1; order <= kUIRuleCount; ++order) {
            const UIRuleState& expected = order < k ? newStates[order - 1] : oldStates[order - 1];
            EXPECT_EQ(!host.paramDisabled(expected.index), expected.enabled) << "rule " << order;
        }
        host.clearFaults();
    }
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    expectNoLeaks();
}

}  // namespace
