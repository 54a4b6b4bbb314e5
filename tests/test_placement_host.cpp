// Placement stages against the simulated host: images, previous keys, generated sites and their
// conversion, layer order and the composition positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine_fixture.h"
#include "streams/PreviousKey.h"

namespace {

A_Time seconds(double s) {
    return A_Time{A_long(s * 1000 + 0.5), 1000};
}

void addKey(sim::Stream& stream, double s, double x, double y) {
    stream.addKey(sim::Time::fromSeconds(s), sim::Vec3{x, y, 0});
}

MySitePoint siteAt(float x, float y) {
    MySitePoint s;
    s.position = Point2D(x, y);
    return s;
}

std::vector<std::pair<float, float>> sortedSites(const MyTessaron& e) {
    std::vector<std::pair<float, float>> v;
    for (const MySitePoint& s : e.sites) {
        v.emplace_back(s.position.x, s.position.y);
    }
    std::sort(v.begin(), v.end());
    return v;
}

bool infoContains(sim::Host& host, const std::string& text) {
    const auto& info = host.records().info;
    return std::find(info.begin(), info.end(), text) != info.end();
}

}  // namespace

TEST(PlacementHostImage, TakesTheSourceAtEachBitDepth) {
    for (int bits : {8, 16, 32}) {
        sim::Project p = fixture::collageProject(1, 6, 4);
        p.comp.bitDepth = bits;
        p.comp.layers[1].fill = {255, 0, 128, 255};
        fixture::HostedEngine h(p);
        h.engine.getImageDataAtTime(0);
        MyTessaron& e = h.engine;
        ASSERT_EQ(e.imageWidth, 6) << bits;
        ASSERT_EQ(e.imageHeight, 4);
        EXPECT_EQ(e.opaquePixels.count(), 24u);
        EXPECT_EQ(e.hasImage, std::vector<bool>{true});
        EXPECT_EQ(e.imagePixels[0], 255);  // alpha
        EXPECT_EQ(e.imagePixels[1], 255);  // red
        EXPECT_EQ(e.imagePixels[2], 0);
        EXPECT_NEAR(e.imagePixels[3], 128, 1) << bits;
        EXPECT_TRUE(h.host.leaks().empty());
    }
}

TEST(PlacementHostImage, HalfResolutionHalvesTheImage) {
    sim::Project p = fixture::collageProject(1, 100, 60);
    p.comp.downsample = 2;
    fixture::HostedEngine h(p);
    h.engine.getImageDataAtTime(3);
    EXPECT_EQ(h.engine.imageWidth, 50);
    EXPECT_EQ(h.engine.imageHeight, 30);
    EXPECT_EQ(h.engine.opaqueBounds[1], 49);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostImage, TransparentSourceHasNoImage) {
    sim::Project p = fixture::collageProject(1, 10, 10);
    p.comp.layers[1].fill = {0, 0, 0, 0};
    fixture::HostedEngine h(p);
    h.engine.getImageDataAtTime(0);
    EXPECT_EQ(h.engine.hasImage, std::vector<bool>{false});
}

TEST(PlacementHostPreviousKey, KeysAtZeroOneAndTwoSeconds) {
    sim::Project p = fixture::collageProject(1);
    addKey(p.comp.layers[2].position, 0.0, 0, 1);
    addKey(p.comp.layers[2].position, 1.0, 10, 1);
    addKey(p.comp.layers[2].position, 2.0, 20, 1);
    fixture::HostedEngine h(p);
    AEGP_StreamRefH stream = h.positionStream(0);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(1.5)).x, 10.0f);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(1.0)).x, 0.0f);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(0.004)).x, 0.0f);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(2.5)).x, 20.0f);
    const Point2D p15 = h.engine.getPreviousPosKeyValue(stream, seconds(1.5));
    EXPECT_EQ(p15.y, 1.0f);
    EXPECT_EQ(p15.z, 0.0f);
    h.disposeStream(stream);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostPreviousKey, BeforeTheFirstKeyReadsTimeZeroUnlessWithinTheWindow) {
    sim::Project p = fixture::collageProject(1);
    addKey(p.comp.layers[2].position, 1.0, 10, 0);
    addKey(p.comp.layers[2].position, 2.0, 20, 0);
    fixture::HostedEngine h(p);
    AEGP_StreamRefH stream = h.positionStream(0);
    AEGP_SuiteHandler suites(h.engine.inData->pica_basicP);
    A_Time chosen = {-1, 1};
    A_long keys = 0;
    ASSERT_EQ(previousKeyTime(suites, stream, seconds(0.5), 2, &chosen, &keys), A_Err_NONE);
    EXPECT_EQ(keys, 2);
    EXPECT_EQ(chosen.value, 0);
    ASSERT_EQ(previousKeyTime(suites, stream, seconds(0.998), 2, &chosen, &keys), A_Err_NONE);
    EXPECT_DOUBLE_EQ(double(chosen.value) / chosen.scale, 1.0);
    ASSERT_EQ(previousKeyTime(suites, stream, seconds(0.994), 2, &chosen, &keys), A_Err_NONE);
    EXPECT_EQ(chosen.value, 0);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(0.998)).x, 10.0f);
    h.disposeStream(stream);
}

TEST(PlacementHostPreviousKey, FewKeysReadTheValueAtTheTime) {
    sim::Project p = fixture::collageProject(2);
    p.comp.layers[2].position.value = {33, 44, 0};
    addKey(p.comp.layers[3].position, 1.0, 10, 0);
    fixture::HostedEngine h(p);
    AEGP_StreamRefH none = h.positionStream(0);
    AEGP_StreamRefH one = h.positionStream(1);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(none, seconds(0.5)).y, 44.0f);
    AEGP_SuiteHandler suites(h.engine.inData->pica_basicP);
    A_Time chosen = {-1, 1};
    A_long keys = 0;
    // Position reads a single key's stream at the time itself; the other properties search.
    previousKeyTime(suites, one, seconds(0.5), 2, &chosen, &keys);
    EXPECT_EQ(chosen.value, 500);
    previousKeyTime(suites, one, seconds(0.5), 1, &chosen, &keys);
    EXPECT_EQ(chosen.value, 0);
    h.disposeStream(none);
    h.disposeStream(one);
}

TEST(PlacementHostPreviousKey, FailedKeyCountGivesZero) {
    sim::Project p = fixture::collageProject(1);
    addKey(p.comp.layers[2].position, 0.0, 5, 5);
    fixture::HostedEngine h(p);
    AEGP_StreamRefH stream = h.positionStream(0);
    h.host.injectFault("AEGP_GetStreamNumKFs", 1, A_Err_GENERIC);
    const Point2D v = h.engine.getPreviousPosKeyValue(stream, seconds(1));
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    h.disposeStream(stream);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostGrid, ThreeLayersReportOneEmptyCellFourNone) {
    for (int layers : {3, 4}) {
        sim::Project p = fixture::collageProject(layers);
        p.comp.layers[2].maskedBounds = {0, 0, 80, 80};
        fixture::HostedEngine h(p);
        h.engine.positionModes[0] = PositionMode::Grid;
        h.engine.getImageDataAtTime(0);
        h.engine.getPoints(seconds(0), 0);
        EXPECT_EQ(h.engine.sites.size(), size_t(layers));
        EXPECT_EQ(infoContains(h.host, "Empty cells: 1"), layers == 3);
        EXPECT_EQ(h.host.records().info.size(), layers == 3 ? 1u : 0u);
        EXPECT_TRUE(h.host.leaks().empty());
    }
}

TEST(PlacementHostGrid, ConversionAtHalfResolutionIgnoresPixelAspect) {
    const std::vector<std::pair<float, float>> full = {{25, 25}, {25, 75}, {75, 25}, {75, 75}};
    for (int downsample : {1, 2}) {
        sim::Project p = fixture::collageProject(4);
        p.comp.layers[2].maskedBounds = {0, 0, 50, 50};
        p.comp.downsample = downsample;
        fixture::HostedEngine h(p);
        h.engine.positionModes[0] = PositionMode::Grid;
        h.engine.getImageDataAtTime(0);
        h.engine.getPoints(seconds(0), 0);
        EXPECT_EQ(sortedSites(h.engine), full) << downsample;
    }
    sim::Project p = fixture::collageProject(4);
    p.comp.layers[2].maskedBounds = {0, 0, 50, 50};
    p.comp.downsample = 2;
    p.comp.pixelAspectNum = 9;
    p.comp.pixelAspectDen = 10;
    fixture::HostedEngine h(p);
    h.engine.positionModes[0] = PositionMode::Grid;
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    // Positions and Source pixels share the composition's pixels: a non-square pixel aspect
    // leaves the sites on the shape.
    EXPECT_EQ(sortedSites(h.engine), full);
}

// Sites from the layers' own Position are composition positions: each layer keeps its place
// exactly, whatever the Source transform and the preview resolution.
TEST(PlacementHostKeepPlace, IgnoreUsePreviousAndEmptyFramesKeepPositionsExactly) {
    for (int variant = 0; variant < 3; ++variant) {
        sim::Project p = fixture::collageProject(3);
        p.comp.downsample = 2;
        p.comp.layers[1].position.value = {300, 200, 0};
        p.comp.layers[1].rotation.value = {30, 0, 0};
        if (variant == 2) {
            p.comp.layers[1].fill = {0, 0, 0, 0};
        }
        fixture::HostedEngine h(p);
        const PositionMode modes[] = {PositionMode::Ignore, PositionMode::UsePreviousValue,
                                      PositionMode::Grid};
        h.engine.positionModes[0] = modes[variant];
        h.engine.layerOrders[0] = LayerOrder::Random;
        h.engine.getImageDataAtTime(0);
        h.engine.getPoints(seconds(0), 0);
        h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(h.engine.positions[i][0].x, 100.0f + 10 * i) << variant;
            EXPECT_FLOAT_EQ(h.engine.positions[i][0].y, 50.0f) << variant;
        }
        EXPECT_TRUE(h.host.leaks().empty());
    }
}

TEST(PlacementHostOrder, IgnoreForcesRandomOrder) {
    fixture::HostedEngine h(fixture::collageProject(2));
    h.engine.positionModes[0] = PositionMode::Ignore;
    h.engine.layerOrders[0] = LayerOrder::ByX;
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    EXPECT_EQ(h.engine.layerOrders[0], LayerOrder::Random);
    EXPECT_EQ(h.engine.assignmentIds, (std::vector<std::vector<int32_t>>{{0, 1}}));
}

TEST(PlacementHostOrder, EachSortingOrderAssignsInSortedOrder) {
    const std::vector<MySitePoint> sites = {siteAt(80, 10), siteAt(5, 90), siteAt(40, 45)};
    const float expectedX[][3] = {{5, 40, 80}, {80, 40, 5}, {40, 80, 5},
                                  {5, 80, 40}, {40, 80, 5}, {40, 80, 5}};
    const LayerOrder orders[] = {LayerOrder::ByX,
                                 LayerOrder::ByY,
                                 LayerOrder::ByNorm,
                                 LayerOrder::ByInverseNorm,
                                 LayerOrder::ByDistanceFromCompCenter,
                                 LayerOrder::ByDistanceFromImageCenter};
    for (int order = 0; order < 6; ++order) {
        fixture::HostedEngine h(fixture::collageProject(3));
        h.engine.positionModes[0] = PositionMode::Random;
        h.engine.layerOrders[0] = orders[order];
        h.engine.getImageDataAtTime(0);
        h.engine.sites = sites;
        h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(h.engine.positions[i][0].x, expectedX[order][i]) << order << " " << i;
        }
    }
}

// The centres of the distance orders are full-resolution points, as the sites are.
TEST(PlacementHostOrder, ImageCentreOrderDoesNotDependOnResolution) {
    for (int downsample : {1, 2}) {
        sim::Project p = fixture::collageProject(2);
        p.comp.downsample = downsample;
        fixture::HostedEngine h(p);
        h.engine.positionModes[0] = PositionMode::Random;
        h.engine.layerOrders[0] = LayerOrder::ByDistanceFromImageCenter;
        h.engine.getImageDataAtTime(0);
        h.engine.sites = {siteAt(30, 30), siteAt(60, 60)};
        h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
        EXPECT_EQ(h.engine.positions[0][0].x, 60.0f) << downsample;
    }
}

// Costs compare composition positions: with a Source turned half a turn, each layer takes the
// site that lands on it.
TEST(PlacementHostOrder, MinimumAssignmentComparesCompositionPositions) {
    sim::Project p = fixture::collageProject(2);
    p.comp.layers[1].position.value = {500, 500, 0};
    p.comp.layers[1].rotation.value = {180, 0, 0};
    p.comp.layers[2].position.value = {490, 500, 0};
    p.comp.layers[3].position.value = {410, 500, 0};
    fixture::HostedEngine h(p);
    h.engine.positionModes[0] = PositionMode::Random;
    h.engine.layerOrders[0] = LayerOrder::MinimumAssignment;
    h.engine.sites = {siteAt(90, 0), siteAt(10, 0)};
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    EXPECT_EQ(h.engine.assignmentIds[0], (std::vector<int32_t>{1, 0}));
    EXPECT_NEAR(h.engine.positions[0][0].x, 490.0f, 1e-3f);
    EXPECT_NEAR(h.engine.positions[1][0].x, 410.0f, 1e-3f);
    EXPECT_NEAR(h.engine.positions[1][0].y, 500.0f, 1e-3f);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostOrder, MinimumAssignmentFollowsThePreviousFrame) {
    fixture::HostedEngine h(fixture::collageProject(2), 2);
    h.engine.positionModes.assign(2, PositionMode::Random);
    h.engine.layerOrders.assign(2, LayerOrder::MinimumAssignment);
    h.engine.sites = {siteAt(10, 10), siteAt(300, 10)};
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    const float first0 = h.engine.positions[0][0].x;
    h.engine.sites = {siteAt(first0 + 250, 10), siteAt(first0 + 5, 10)};
    h.engine.getAssignmentIdsAndPositions(seconds(0.04), 1);
    EXPECT_EQ(h.engine.positions[0][1].x, first0 + 5);
}

// Re-anchored layers are written off their sites (their rectangles centred there); the next
// frame's assignment measures moves from the sites, where they show, not from their anchors.
TEST(PlacementHostOrder, MinimumAssignmentMeasuresFromWhereLayersShow) {
    fixture::HostedEngine h(fixture::collageProject(2), 2);
    h.engine.positionModes.assign(2, PositionMode::Random);
    h.engine.layerOrders.assign(2, LayerOrder::MinimumAssignment);
    h.engine.sites = {siteAt(100, 10), siteAt(300, 10)};
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    const int left = h.engine.positions[0][0].x == 100.0f ? 0 : 1;
    // Anchors far out on opposite sides: the written Positions cross.
    h.engine.positions[size_t(left)][0].x = 400.0f;
    h.engine.positions[size_t(1 - left)][0].x = 0.0f;
    h.engine.sites = {siteAt(290, 10), siteAt(110, 10)};
    h.engine.getAssignmentIdsAndPositions(seconds(0.04), 1);
    EXPECT_EQ(h.engine.positions[size_t(left)][1].x, 110.0f);
    EXPECT_EQ(h.engine.positions[size_t(1 - left)][1].x, 290.0f);
}

TEST(PlacementHostAdjust, ShapeAndTextSources) {
    {
        sim::Project p = fixture::collageProject(1);
        p.comp.layers[1].type = sim::LayerType::Shape;
        fixture::HostedEngine h(p);
        h.engine.positionModes[0] = PositionMode::Random;
        h.engine.sites = {siteAt(10, 20)};
        h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
        EXPECT_FLOAT_EQ(h.engine.positions[0][0].x, 10.0f - 960.0f);
        EXPECT_FLOAT_EQ(h.engine.positions[0][0].y, 20.0f - 540.0f);
    }
    {
        sim::Project p = fixture::collageProject(1);
        p.comp.layers[1].type = sim::LayerType::Text;
        p.comp.layers[1].position.value = {300, 200, 0};
        fixture::HostedEngine h(p);
        h.engine.positionModes[0] = PositionMode::Random;
        h.engine.sites = {siteAt(10, 20)};
        h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
        EXPECT_FLOAT_EQ(h.engine.positions[0][0].x, 10.0f);
        EXPECT_FLOAT_EQ(h.engine.positions[0][0].y, 20.0f);
    }
}

TEST(PlacementHostFailure, LayersKeepThePreviousPositionAfterAFailedMapping) {
    fixture::HostedEngine h(fixture::collageProject(2), 2);
    h.engine.positionModes.assign(2, PositionMode::Random);
    h.engine.sites = {siteAt(10, 10), siteAt(20, 20)};
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    h.engine.sites = {siteAt(70, 70), siteAt(80, 80)};
    h.host.injectFault("AEGP_GetLayerToWorldXform", 1, A_Err_GENERIC);
    h.engine.getAssignmentIdsAndPositions(seconds(0.04), 1);
    EXPECT_EQ(h.engine.assignmentIds.size(), 2u);
    EXPECT_EQ(h.engine.positions[0][1].x, 10.0f);
    EXPECT_EQ(h.engine.positions[1][1].y, 20.0f);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostRepeat, UsePreviousValueRepeatsTheFirstFrame) {
    fixture::HostedEngine h(fixture::collageProject(2), 2);
    h.engine.positionModes.assign(2, PositionMode::UsePreviousValue);
    for (int f = 0; f < 2; ++f) {
        h.engine.getImageDataAtTime(f);
        h.engine.getPoints(seconds(0.04 * f), f);
        h.engine.getAssignmentIdsAndPositions(seconds(0.04 * f), f);
    }
    EXPECT_EQ(h.engine.positions[1][1].x, h.engine.positions[1][0].x);
    EXPECT_EQ(h.engine.positions[1][0].x, 110.0f);
}

TEST(PlacementHostRadial, SevenLayersFitSixLeaveOneEmptyCell) {
    for (int layers : {6, 7}) {
        fixture::HostedEngine h(fixture::collageProject(layers));
        h.engine.positionModes[0] = PositionMode::Radial;
        h.engine.getImageDataAtTime(0);
        h.engine.getPoints(seconds(0), 0);
        EXPECT_EQ(h.engine.sites.size(), size_t(layers));
        EXPECT_EQ(infoContains(h.host, "Empty cells: 1"), layers == 6);
        EXPECT_TRUE(h.host.leaks().empty());
    }
}

TEST(PlacementHostRandom, OneSitePerLayerOnTheShape) {
    fixture::HostedEngine h(fixture::collageProject(5, 40, 40));
    h.engine.positionModes[0] = PositionMode::Random;
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    ASSERT_EQ(h.engine.sites.size(), 5u);
    for (const MySitePoint& s : h.engine.sites) {
        EXPECT_GE(s.position.x, -0.1f);
        EXPECT_LT(s.position.x, 40.1f);
    }
}

// No grid cell centre ever falls on a one-row shape (centres stop at the last row's top edge), so
// raising the count would never end: such a shape takes random points on it instead.
TEST(PlacementHostGrid, OneRowSourceTakesRandomPointsOnTheRow) {
    fixture::HostedEngine h(fixture::collageProject(5, 40, 1));
    h.engine.positionModes[0] = PositionMode::Grid;
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    ASSERT_EQ(h.engine.sites.size(), 5u);
    for (const MySitePoint& s : h.engine.sites) {
        EXPECT_TRUE(h.engine.isPointInsideShape(s.position.x, s.position.y));
    }
    EXPECT_TRUE(h.host.records().info.empty());
    EXPECT_TRUE(h.host.leaks().empty());
}

// A mode value outside the popup (the separator) still gives every layer a site: its own place.
TEST(PlacementHostKeepPlace, SeparatorValueKeepsEveryLayerInPlace) {
    fixture::HostedEngine h(fixture::collageProject(3));
    h.engine.positionModes[0] = PositionMode::Separator;
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    ASSERT_EQ(h.engine.sites.size(), 3u);
    EXPECT_TRUE(h.engine.sitesAreCompPositions);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.engine.sites[i].position.x, 100.0f + 10 * i);
    }
    EXPECT_TRUE(h.host.leaks().empty());
}

// A failed stream fetch ends the fetching for the frame: the layers after it keep the previous
// frame's position (the origin at the first frame) instead of another layer's value.
TEST(PlacementHostKeepPlace, FailedStreamFetchStopsFetchingTheRest) {
    fixture::HostedEngine h(fixture::collageProject(3), 2);
    h.engine.positionModes.assign(2, PositionMode::Ignore);
    h.host.injectFault("AEGP_GetNewLayerStream", 3, A_Err_GENERIC);
    h.engine.getImageDataAtTime(0);
    h.engine.getPoints(seconds(0), 0);
    EXPECT_EQ(h.engine.sites[1].position.x, 110.0f);
    EXPECT_EQ(h.engine.sites[2].position.x, 0.0f);
    h.engine.getAssignmentIdsAndPositions(seconds(0), 0);
    for (int i = 0; i < 3; ++i) {
        h.collageLayer(i).position.value = {500.0 + i, 60.0, 0.0};
    }
    h.host.injectFault("AEGP_GetNewLayerStream", 2, A_Err_GENERIC);
    h.engine.getImageDataAtTime(1);
    const long fetched = h.host.callCount("AEGP_GetCompLayerByIndex");
    h.engine.getPoints(seconds(0.04), 1);
    EXPECT_EQ(h.host.callCount("AEGP_GetCompLayerByIndex") - fetched, 2);
    EXPECT_EQ(h.engine.sites[0].position.x, 500.0f);
    EXPECT_EQ(h.engine.sites[1].position.x, 110.0f);
    EXPECT_EQ(h.engine.sites[2].position.x, 0.0f);
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(PlacementHostPreviousKey, FailedKeyTimeGivesZero) {
    sim::Project p = fixture::collageProject(1);
    addKey(p.comp.layers[2].position, 0.0, 5, 5);
    addKey(p.comp.layers[2].position, 1.0, 7, 7);
    fixture::HostedEngine h(p);
    AEGP_StreamRefH stream = h.positionStream(0);
    h.host.injectFault("AEGP_GetKeyframeTime", 2, A_Err_GENERIC);
    const Point2D v = h.engine.getPreviousPosKeyValue(stream, seconds(1.5));
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(h.engine.getPreviousPosKeyValue(stream, seconds(1.5)).x, 7.0f);
    h.disposeStream(stream);
    EXPECT_TRUE(h.host.leaks().empty());
}

// Cells take the first collage layer's proportions (200 x 100: half as high as wide), or are
// square when its bounds cannot be read.
TEST(PlacementHostGrid, CellsTakeTheFirstLayersProportions) {
    fixture::HostedEngine wide(fixture::collageProject(8));
    wide.engine.positionModes[0] = PositionMode::Grid;
    wide.engine.getImageDataAtTime(0);
    wide.engine.getPoints(seconds(0), 0);
    std::vector<std::pair<float, float>> expected;
    for (float x : {25.0f, 75.0f}) {
        for (float y : {12.5f, 37.5f, 62.5f, 87.5f}) {
            expected.emplace_back(x, y);
        }
    }
    EXPECT_EQ(sortedSites(wide.engine), expected);
    EXPECT_TRUE(wide.host.records().info.empty());

    fixture::HostedEngine failed(fixture::collageProject(4));
    failed.engine.positionModes[0] = PositionMode::Grid;
    failed.host.injectFault("AEGP_GetLayerMaskedBounds", 1, A_Err_GENERIC);
    failed.engine.getImageDataAtTime(0);
    failed.engine.getPoints(seconds(0), 0);
    EXPECT_EQ(sortedSites(failed.engine),
              (std::vector<std::pair<float, float>>{{25, 25}, {25, 75}, {75, 25}, {75, 75}}));
    EXPECT_TRUE(failed.host.leaks().empty());
}

// A Source check-out that fails leaves an empty frame and nothing checked out.
TEST(PlacementHostImage, FailedCheckoutGivesAFrameWithoutShape) {
    fixture::HostedEngine h(fixture::collageProject(1, 10, 10));
    h.engine.getImageDataAtTime(0);
    h.host.injectFault("checkout_param", 1, PF_Err_BAD_CALLBACK_PARAM);
    h.engine.getImageDataAtTime(1);
    EXPECT_EQ(h.engine.hasImage, (std::vector<bool>{true, false}));
    EXPECT_EQ(h.engine.imageWidth, 0);
    EXPECT_EQ(h.engine.opaquePixels.count(), 0u);
    EXPECT_FALSE(h.engine.isPointInsideShape(0, 0));
    EXPECT_EQ(h.host.callCount("checkin_param"), 1);
    EXPECT_TRUE(h.host.leaks().empty());
}

// Shapes too sparse for any affordable count take random sites on the shape, at once; a shape
// the search can still serve keeps its grid.
TEST(PlacementHostGrid, SparseShapesFallBackToRandomSitesOnTheShape) {
    for (PositionMode mode : {PositionMode::Grid, PositionMode::Radial}) {
        fixture::HostedEngine h(fixture::collageProject(1500));
        h.engine.positionModes[0] = mode;
        fixture::setImage(h.engine, 1920, 1080, [](int x, int y) { return x == 900 && y == 500; });
        h.engine.getPoints(seconds(0), 0);
        ASSERT_EQ(h.engine.sites.size(), 1500u) << int(mode);
        for (const MySitePoint& s : h.engine.sites) {  // random points about the pixel
            ASSERT_NEAR(s.position.x, 900.5f, 0.61f) << int(mode);
            ASSERT_NEAR(s.position.y, 500.5f, 0.61f) << int(mode);
        }
        EXPECT_TRUE(h.host.leaks().empty());
    }
    fixture::HostedEngine h(fixture::collageProject(50));
    h.engine.positionModes[0] = PositionMode::Grid;
    fixture::setImage(h.engine, 400, 300, [](int x, int y) {
        return (x == 100 && y == 100) || (x == 250 && y == 200);
    });
    h.engine.getPoints(seconds(0), 0);
    ASSERT_EQ(h.engine.sites.size(), 50u);
    for (const MySitePoint& s : h.engine.sites) {
        // Cell centres: only the pixel left of and above the last ones holds any.
        EXPECT_EQ(int(s.position.x), 100);
        EXPECT_EQ(int(s.position.y), 100);
    }
}
