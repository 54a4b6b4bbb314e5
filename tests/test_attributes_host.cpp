// Attribute stages that read the layers through the simulated host: previous key values, the
// layers' own rotation under Ignore, seed sizes from the layers' bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_fixture.h"

namespace {

const A_Time kAt1_48 = {37, 25};  // 1.48 s
const A_Time kAt3 = {75, 25};     // 3 s

// Collage layers over two frames, each layer on its own site.
struct Attributes : fixture::HostedEngine {
    explicit Attributes(int layers, int frames = 2)
        : HostedEngine(fixture::collageProject(layers), frames) {
        engine.sites.assign(layers, MySitePoint());
        std::vector<int32_t> ids;
        for (int j = 0; j < layers; ++j) {
            ids.push_back(j);
        }
        engine.assignmentIds.assign(frames, ids);
        engine.hasImage.assign(frames, true);
    }
};

}  // namespace

TEST(AttributesHost, RotationUsePreviousValueReadsTheKeyBeforeAndCarriesIt) {
    Attributes a(2);
    sim::Layer& keyed = a.collageLayer(0);
    keyed.rotation.addKey(sim::Time{0, 25}, {10, 0, 0});
    keyed.rotation.addKey(sim::Time{25, 25}, {20, 0, 0});
    keyed.rotation.addKey(sim::Time{50, 25}, {30, 0, 0});
    a.collageLayer(1).rotation.value[0] = 33;  // no keys: the value at the time
    a.engine.rotationModes.assign(2, RotationMode::UsePreviousValue);
    a.engine.getRotations(kAt1_48, 0);
    EXPECT_EQ(a.engine.rotations[0][0], 20.0f);
    EXPECT_EQ(a.engine.rotations[1][0], 33.0f);
    a.engine.getRotations(kAt3, 1);
    // The table carries the first frame's reading, and the site turns as the layer is shown.
    EXPECT_EQ(a.engine.rotations[0][1], 20.0f);
    EXPECT_EQ(a.engine.sites[0].rotation, 20.0f);
    EXPECT_TRUE(a.host.leaks().empty());
}

// A layer passing left of the centre, from below to above: its angle goes on from the layer's
// previous key, the one it had before the run at the first frame, its last keyed frame's after.
TEST(AttributesHost, OrientTowardsCenterTurnsEachKeyTheShortWayFromThePreviousKey) {
    Attributes a(2, 4);
    fixture::setOpaqueImage(a.engine, 101, 101);  // centre (50, 50)
    a.collageLayer(0).rotation.addKey(sim::Time{0, 25}, {700, 0, 0});
    a.collageLayer(1).rotation.value[0] = -20;  // no keys: the value at the time
    a.engine.rotationModes.assign(4, RotationMode::OrientTowardsCenter);
    a.engine.rotationModes[1] = RotationMode::Ignore;
    const float below = 263.0f, above = 277.0f;  // as the centre gives them: 263 and -83
    const float rad = 3.14159265f / 180.0f;
    auto siteAt = [&](float degrees) {  // where Orient Towards Center gives `degrees`
        const float r = (degrees - 90.0f) * rad;
        return Point2D(50.0f + 40.0f * std::cos(r), 50.0f + 40.0f * std::sin(r));
    };
    const float angles[4] = {below, 0.0f, above, below};
    for (int f : {0, 1, 2, 3}) {
        a.engine.sites[0].position = a.engine.sites[1].position = siteAt(angles[f]);
        a.engine.getRotations(kAt3, f);
    }
    EXPECT_NEAR(a.engine.rotations[0][0], below + 360.0f, 1e-2f);  // nearest 700
    EXPECT_NEAR(a.engine.rotations[0][2], above + 360.0f, 1e-2f);  // past the Ignore frame
    EXPECT_NEAR(a.engine.rotations[0][3], below + 360.0f, 1e-2f);
    EXPECT_NEAR(a.engine.rotations[1][0], below - 360.0f, 1e-2f);  // nearest -20
    EXPECT_NEAR(a.engine.rotations[1][2], above - 360.0f, 1e-2f);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, RotationIgnoreTakesTheLayersRotationOnlyForTheGrowth) {
    Attributes a(1);
    a.collageLayer(0).rotation.addKey(sim::Time{0, 25}, {10, 0, 0});
    a.collageLayer(0).rotation.addKey(sim::Time{25, 25}, {20, 0, 0});
    a.engine.getRotations(kAt1_48, 0);  // Scale Ignore, Prevent Overlap off
    EXPECT_EQ(a.engine.rotations[0][0], 0.0f);
    EXPECT_EQ(a.host.callCount("AEGP_GetNewLayerStream"), 0);
    a.engine.preventOverlaps[0] = true;
    a.engine.getRotations(kAt1_48, 0);
    EXPECT_EQ(a.engine.rotations[0][0], 20.0f);
    EXPECT_EQ(a.engine.sites[0].rotation, 20.0f);
    a.engine.preventOverlaps[0] = false;
    a.engine.scaleModes[0] = ScaleMode::FromNeighborhood;
    a.engine.rotations[0][0] = 0.0f;
    a.engine.getRotations(kAt1_48, 0);
    EXPECT_EQ(a.engine.rotations[0][0], 20.0f);
    // The rotation the layer shows at the frame: at a key its value, between keys on the way
    // (not the last key before the frame).
    a.collageLayer(0).rotation.addKey(sim::Time{10, 25}, {90, 0, 0});
    a.engine.getRotations(A_Time{10, 25}, 0);
    EXPECT_EQ(a.engine.sites[0].rotation, 90.0f);
    a.engine.getRotations(A_Time{5, 25}, 0);
    EXPECT_FLOAT_EQ(a.engine.sites[0].rotation, 50.0f);
    EXPECT_TRUE(a.host.leaks().empty());
}

// Under Scale Ignore the visible rectangle is centred with the layer's own scale, per axis: a
// 100 x 150 layer anchored at its corner, scaled 50 % x 200 %, ends at site - R(rotation)(25, 150).
TEST(AttributesHost, ScaleIgnoreCentresWithTheLayersOwnScalePerAxis) {
    Attributes a(1);
    sim::Layer& l = a.collageLayer(0);
    l.width = 100;
    l.height = 150;
    l.maskedBounds = {0, 0, 100, 150};
    l.anchorPoint.value = {0, 0, 0};
    l.scale.value = {50, 200, 100};
    l.rotation.value[0] = 30;
    a.engine.scales[0][0] = 80.0f;  // what the run would give: unused under Ignore
    a.engine.rotations[0][0] = 30.0f;
    a.engine.placedAtSite = {true};
    a.engine.positions[0][0] = Point2D(500, 400);
    a.engine.centreVisibleRectangles(kAt3, 0);
    const double r = 30.0 * 3.14159265358979 / 180.0;
    EXPECT_NEAR(a.engine.positions[0][0].x, 500.0 - (25.0 * std::cos(r) - 150.0 * std::sin(r)),
                1e-3);
    EXPECT_NEAR(a.engine.positions[0][0].y, 400.0 - (25.0 * std::sin(r) + 150.0 * std::cos(r)),
                1e-3);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, OpacityUsePreviousValueWithAndWithoutKeys) {
    Attributes a(2);
    a.collageLayer(0).opacity.value[0] = 64;
    a.collageLayer(1).opacity.addKey(sim::Time{50, 25}, {12, 0, 0});  // one key: its value
    a.engine.opacityModes.assign(2, OpacityMode::UsePreviousValue);
    a.engine.getOpacities(kAt1_48, 0);
    EXPECT_EQ(a.engine.opacities[0][0], 64.0f);
    EXPECT_EQ(a.engine.opacities[1][0], 12.0f);
    a.collageLayer(0).opacity.value[0] = 5;
    a.engine.getOpacities(kAt3, 1);
    EXPECT_EQ(a.engine.opacities[0][1], 64.0f);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, FailedFetchGivesTheRemainingLayersTheLastValueRead) {
    Attributes a(3);
    for (int j = 0; j < 3; ++j) {
        a.collageLayer(j).opacity.value[0] = 11.0 * (j + 1);
    }
    a.engine.opacityModes.assign(2, OpacityMode::UsePreviousValue);
    a.host.injectFault("AEGP_GetNewLayerStream", 2, A_Err_GENERIC);
    a.engine.getOpacities(kAt1_48, 0);
    EXPECT_EQ(a.engine.opacities[0][0], 11.0f);
    EXPECT_EQ(a.engine.opacities[1][0], 11.0f);
    EXPECT_EQ(a.engine.opacities[2][0], 11.0f);
    EXPECT_EQ(a.host.callCount("AEGP_GetNewLayerStream"), 2);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, SeedSizesComeFromTheLayersMaskedBounds) {
    Attributes a(2);
    a.collageLayer(1).maskedBounds = {0, 0, 0, 100};  // no width
    a.engine.scaleModes[0] = ScaleMode::FromAlpha;
    a.engine.getInitialSitesDimensions(kAt1_48, 0);
    const MySitePoint& s = a.engine.sites[0];
    EXPECT_EQ(s.layerWidth, 200.0f);
    EXPECT_EQ(s.layerHeight, 100.0f);
    EXPECT_EQ(s.aspect, 2.0f);
    EXPECT_EQ(s.width, 1.0f);
    EXPECT_EQ(s.height, 0.5f);
    EXPECT_TRUE(s.growing);
    const MySitePoint& empty = a.engine.sites[1];
    EXPECT_FALSE(empty.growing);
    EXPECT_TRUE(std::isfinite(empty.aspect) && std::isfinite(empty.radius));
    a.engine.scaleModes[0] = ScaleMode::FromNeighborhood;
    a.engine.getScales(kAt1_48, 0);
    EXPECT_FLOAT_EQ(a.engine.scales[0][0], 100.0f);  // alone among real layers: own size
    EXPECT_FLOAT_EQ(a.engine.scales[1][0], 100.0f);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, ScaleUsePreviousValueWritesTheKeyValueExactly) {
    Attributes a(1);
    a.collageLayer(0).scale.addKey(sim::Time{0, 25}, {37.3, 80, 100});
    a.engine.scaleModes.assign(2, ScaleMode::UsePreviousValue);
    a.engine.rescaleFactors = {0.5f, 0.5f};
    a.engine.getInitialSitesDimensions(kAt1_48, 0);
    a.engine.getScales(kAt1_48, 0);
    EXPECT_EQ(a.engine.scales[0][0], 37.3f);  // the horizontal scale, no Rescale Factor
    EXPECT_FLOAT_EQ(a.engine.sites[0].width, 0.373f * 200.0f);
    a.collageLayer(0).scale.keys.setValue(0, {90, 90, 100});
    a.engine.getInitialSitesDimensions(kAt3, 1);
    a.engine.getScales(kAt3, 1);
    EXPECT_EQ(a.engine.scales[0][1], 37.3f);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, SeedSizesTruncateTheBoundsToWholePixels) {
    Attributes a(2);
    a.collageLayer(0).maskedBounds = {0, 0, 199.99999999, 100};   // 200 once narrowed to float
    a.collageLayer(1).maskedBounds = {0.5, -0.25, 100.25, 49.5};  // 99.75 x 49.75
    a.engine.scaleModes[0] = ScaleMode::FromAlpha;
    a.engine.getInitialSitesDimensions(kAt1_48, 0);
    EXPECT_EQ(a.engine.sites[0].layerWidth, 199.0f);
    EXPECT_EQ(a.engine.sites[0].layerHeight, 100.0f);
    EXPECT_EQ(a.engine.sites[1].layerWidth, 99.0f);
    EXPECT_EQ(a.engine.sites[1].layerHeight, 49.0f);
    EXPECT_EQ(a.engine.sites[1].aspect, 99.0f / 49.0f);
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, FailedBoundsFetchLeavesTheRemainingLayersTheLastBounds) {
    Attributes a(3);
    a.collageLayer(0).maskedBounds = {0, 0, 300, 100};
    a.collageLayer(1).maskedBounds = {0, 0, 50, 50};
    a.collageLayer(2).maskedBounds = {0, 0, 80, 40};
    a.engine.scaleModes[0] = ScaleMode::FromAlpha;
    const long fetchesBefore = a.host.callCount("AEGP_GetCompLayerByIndex");
    a.host.injectFault("AEGP_GetCompLayerByIndex", 2, A_Err_GENERIC);
    a.engine.getInitialSitesDimensions(kAt1_48, 0);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(a.engine.sites[j].layerWidth, 300.0f) << j;
        EXPECT_EQ(a.engine.sites[j].aspect, 3.0f) << j;
    }
    EXPECT_EQ(a.host.callCount("AEGP_GetCompLayerByIndex") - fetchesBefore, 2);
    EXPECT_EQ(a.host.callCount("AEGP_GetLayerMaskedBounds"), 1);
    EXPECT_TRUE(a.host.leaks().empty());
}

// A run whose first frame has no shape writes Scale 0 there, and the key value once the shape
// appears: the empty frame's 0 is not the reading to carry.
TEST(AttributesHost, ScaleUsePreviousValueCarriesTheReadingPastAnEmptyFrame) {
    Attributes a(1);
    a.engine.hasImage = {false, true};
    a.collageLayer(0).scale.addKey(sim::Time{0, 25}, {64, 64, 100});
    a.engine.scaleModes.assign(2, ScaleMode::UsePreviousValue);
    a.engine.getInitialSitesDimensions(kAt1_48, 0);
    a.engine.getScales(kAt1_48, 0);
    EXPECT_EQ(a.engine.scales[0][0], 0.0f);
    a.collageLayer(0).scale.keys.setValue(0, {90, 90, 100});
    a.engine.getInitialSitesDimensions(kAt3, 1);
    a.engine.getScales(kAt3, 1);
    EXPECT_EQ(a.engine.scales[0][1], 90.0f);  // the first reading with a shape
    EXPECT_TRUE(a.host.leaks().empty());
}

TEST(AttributesHost, ScaleUsePreviousValueSkipsEmptyFramesBackToTheReading) {
    Attributes a(1, 3);
    a.engine.hasImage = {true, false, true};
    a.engine.scaleModes.assign(3, ScaleMode::UsePreviousValue);
    a.collageLayer(0).scale.addKey(sim::Time{0, 25}, {40, 40, 100});
    const A_Time times[] = {kAt1_48, kAt3, {100, 25}};
    const float expected[] = {40.0f, 0.0f, 40.0f};
    for (int f = 0; f < 3; ++f) {
        a.collageLayer(0).scale.keys.setValue(0, {40.0 + f, 40, 100});
        a.engine.getInitialSitesDimensions(times[f], f);
        a.engine.getScales(times[f], f);
        EXPECT_EQ(a.engine.scales[0][f], expected[f]) << f;
    }
    EXPECT_TRUE(a.host.leaks().empty());
}
