// Rotation, opacity and scale of the modes that need no host: from the Source image, toward the
// shape's centre, at random, and grown.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "attributes/Angle.h"
#include "attributes/SiteSize.h"
#include "engine/Random.h"
#include "engine_fixture.h"

namespace {

const A_Time kTime = {0, 25};

// An engine of one frame whose Source image has alpha x at column x (256 x 4, luminance 255),
// with one site per layer at the given full-resolution points, each taken by its own layer.
struct AttributeEngine {
    MyTessaron e;

    explicit AttributeEngine(const std::vector<Point2D>& at, bool transparent = false) {
        e.layerCount = int32_t(at.size());
        fixture::setNeutralSettings(e, 1);
        e.init();
        std::vector<PF_Pixel> pixels(256 * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = PF_Pixel{uint8_t(transparent ? 0 : i % 256), 255, 255, 255};
        }
        e.sourcePixelFormat = 0x62677261;
        e.takeImage(fixture::layer8(pixels, 256, 4));
        for (const Point2D& p : at) {
            MySitePoint s;
            s.position = p;
            e.sites.push_back(s);
        }
        std::vector<int32_t> ids(at.size());
        std::iota(ids.begin(), ids.end(), 0);
        e.assignmentIds.push_back(ids);
    }

    // Seeds every site for a layer of w x h px, as getInitialSitesDimensions does.
    void layersOfSize(float w, float h) {
        for (MySitePoint& s : e.sites) {
            seedSite(s, w, h);
        }
    }
};

// Sites on alpha 0, 255 and 128.
const std::vector<Point2D> kAlphas = {Point2D(0, 1), Point2D(255, 1), Point2D(128, 1)};

}  // namespace

TEST(AttributesRotation, FromAlphaMapsTheRangeInItsOwnOrder) {
    AttributeEngine a(kAlphas);
    a.e.rotationModes[0] = RotationMode::FromAlpha;
    a.e.minRotations[0] = -45;
    a.e.maxRotations[0] = 45;
    a.e.getRotations(kTime, 0);
    EXPECT_EQ(a.e.rotations[0][0], -45.0f);
    EXPECT_EQ(a.e.rotations[1][0], 45.0f);
    EXPECT_FLOAT_EQ(a.e.rotations[2][0], 128.0f / 255.0f * 90.0f - 45.0f);
    EXPECT_EQ(a.e.sites[1].rotation, 45.0f);

    a.e.minRotations[0] = 45;
    a.e.maxRotations[0] = -45;
    a.e.getRotations(kTime, 0);
    EXPECT_EQ(a.e.rotations[0][0], 45.0f);
    EXPECT_EQ(a.e.rotations[1][0], -45.0f);
}

TEST(AttributesRotation, OrientTowardsCenterAtTheCompassPoints) {
    const MyTessaron e;
    const Point2D c(100, 100);
    EXPECT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(100, 50)), 0.0f);     // above
    EXPECT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(150, 100)), 90.0f);   // right
    EXPECT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(100, 150)), 180.0f);  // below
    EXPECT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(50, 100)), 270.0f);   // left
    EXPECT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(100, 100)), 90.0f);   // on the centre
    EXPECT_FLOAT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(150, 50)), 45.0f);
    EXPECT_FLOAT_EQ(e.getOrientTowardsCenterRotation(c, Point2D(50, 50)), -45.0f);
}

TEST(AttributesRotation, OrientTowardsCenterUsesTheShapeCentreInFullResolution) {
    // Opaque bounds x 1..255 (column 0 has alpha 0), y 0..3, at half resolution: centre
    // (128, 1.5) in the image, (256, 3) in full-resolution coordinates, where the sites are.
    AttributeEngine a({Point2D(256, -97), Point2D(356, 3), Point2D(156, 3), Point2D(256, 3)});
    a.e.downsampleX = a.e.downsampleY = 0.5f;
    a.e.upsampleX = a.e.upsampleY = 2.0f;
    // A second frame after one that keyed Rotation 0 on every layer, so the angles are the
    // equivalents nearest 0.
    fixture::setNeutralSettings(a.e, 2);
    a.e.assignmentIds.push_back(a.e.assignmentIds[0]);
    a.e.rotationModes = {RotationMode::FromAlpha, RotationMode::OrientTowardsCenter};
    a.e.getRotations(kTime, 1);
    EXPECT_EQ(a.e.rotations[0][1], 0.0f);
    EXPECT_EQ(a.e.rotations[1][1], 90.0f);
    EXPECT_EQ(a.e.rotations[2][1], -90.0f);
    EXPECT_EQ(a.e.rotations[3][1], 90.0f);
}

TEST(AttributesRotation, EquivalentAngleNearestAReference) {
    EXPECT_EQ(nearestEquivalentAngle(-83.0f, 263.0f), 277.0f);
    EXPECT_EQ(nearestEquivalentAngle(263.0f, -83.0f), -97.0f);
    EXPECT_EQ(nearestEquivalentAngle(270.0f, 0.0f), -90.0f);
    EXPECT_EQ(nearestEquivalentAngle(45.0f, 45.0f), 45.0f);
    EXPECT_EQ(nearestEquivalentAngle(10.0f, 1090.0f), 1090.0f);
    EXPECT_EQ(nearestEquivalentAngle(10.0f, -1000.0f), -1070.0f);
    EXPECT_EQ(nearestEquivalentAngle(0.0f, 180.0f), 360.0f);  // half a turn: the larger angle
    for (float reference : {-725.5f, -180.0f, -1.0f, 0.0f, 179.0f, 359.9f, 4000.0f}) {
        for (float angle = -90.0f; angle <= 270.0f; angle += 7.5f) {
            const float a = nearestEquivalentAngle(angle, reference);
            EXPECT_LE(std::fabs(a - reference), 180.0f) << angle << " near " << reference;
            EXPECT_NEAR(std::remainder(a - angle, 360.0f), 0.0f, 1e-3f);
        }
    }
}

TEST(AttributesRotation, RandomDrawsOncePerLayerInLayerOrder) {
    AttributeEngine a(kAlphas);
    a.e.rotationModes[0] = RotationMode::Random;
    a.e.minRotations[0] = -10;
    a.e.maxRotations[0] = 30;
    init_genrand64(99);
    a.e.getRotations(kTime, 0);
    init_genrand64(99);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(a.e.rotations[j][0], -10.0f + 40.0f * float(uniform53()));
    }
}

TEST(AttributesRotation, IgnoreWithoutGrowthWritesNothing) {
    AttributeEngine a(kAlphas);
    a.e.sites[0].rotation = 12.0f;
    a.e.getRotations(kTime, 0);  // Rotation and Scale Ignore, no Prevent Overlap: no host call
    EXPECT_EQ(a.e.rotations[0][0], 0.0f);
    EXPECT_EQ(a.e.sites[0].rotation, 12.0f);
}

TEST(AttributesOpacity, RandomOfAnEmptyRangeStillDrawsOncePerLayer) {
    AttributeEngine a(kAlphas);
    a.e.opacityModes[0] = OpacityMode::Random;
    a.e.minOpacities[0] = 20;
    a.e.maxOpacities[0] = 20;
    init_genrand64(5);
    a.e.getOpacities(kTime, 0);
    const uint64_t next = genrand64_int64();
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(a.e.opacities[j][0], 20.0f);
        EXPECT_EQ(a.e.sites[j].opacity, 20.0f);
    }
    init_genrand64(5);
    for (int j = 0; j < 3; ++j) {
        genrand64_int64();
    }
    EXPECT_EQ(next, genrand64_int64());
}

TEST(AttributesOpacity, FromAlphaAndLuminanceAndIgnore) {
    AttributeEngine a(kAlphas);
    a.e.opacityModes[0] = OpacityMode::FromAlpha;
    a.e.minOpacities[0] = 0;
    a.e.maxOpacities[0] = 100;
    a.e.getOpacities(kTime, 0);
    EXPECT_EQ(a.e.opacities[0][0], 0.0f);
    EXPECT_EQ(a.e.opacities[1][0], 100.0f);
    a.e.opacityModes[0] = OpacityMode::FromLuminance;  // white everywhere: luminance 255
    a.e.getOpacities(kTime, 0);
    EXPECT_EQ(a.e.opacities[0][0], 100.0f);
    a.e.opacityModes[0] = OpacityMode::Ignore;
    a.e.minOpacities[0] = a.e.maxOpacities[0] = 50;
    a.e.getOpacities(kTime, 0);
    EXPECT_EQ(a.e.opacities[0][0], 100.0f);  // Ignore leaves the table
}

TEST(AttributesScale, FromAlphaSizesTheLongerSide) {
    AttributeEngine a(kAlphas);
    a.layersOfSize(200, 100);
    a.e.scaleModes[0] = ScaleMode::FromAlpha;
    a.e.minSizes[0] = 20;
    a.e.maxSizes[0] = 120;
    a.e.rescaleFactors[0] = 1.0f;
    a.e.getScales(kTime, 0);
    EXPECT_EQ(a.e.sites[0].width, 20.0f);
    EXPECT_EQ(a.e.sites[1].width, 120.0f);
    EXPECT_NEAR(a.e.sites[2].width, 70.2f, 0.01f);
    EXPECT_EQ(a.e.sites[1].height, 60.0f);
    EXPECT_FLOAT_EQ(a.e.scales[0][0], 10.0f);  // size / 200 x 100
    EXPECT_FLOAT_EQ(a.e.scales[1][0], 60.0f);
    EXPECT_FLOAT_EQ(a.e.scales[2][0], (20.0f + 128.0f / 255.0f * 100.0f) / 2.0f);

    a.e.rescaleFactors[0] = 0.5f;
    a.e.getScales(kTime, 0);
    EXPECT_FLOAT_EQ(a.e.scales[1][0], 30.0f);
}

TEST(AttributesScale, MinSizeAboveMaxSizeIsBroughtDownToIt) {
    AttributeEngine a(kAlphas);
    a.layersOfSize(200, 100);
    a.e.scaleModes[0] = ScaleMode::FromAlpha;
    a.e.minSizes[0] = 150;
    a.e.maxSizes[0] = 100;
    a.e.getScales(kTime, 0);
    EXPECT_EQ(a.e.sites[0].width, 100.0f);
    EXPECT_EQ(a.e.sites[1].width, 100.0f);
    EXPECT_FLOAT_EQ(a.e.scales[0][0], 50.0f);
}

TEST(AttributesScale, PortraitLayerTakesTheSizeOnItsHeight) {
    AttributeEngine a({Point2D(255, 0)});
    a.layersOfSize(100, 200);
    a.e.scaleModes[0] = ScaleMode::FromLuminance;  // white gives Max Size
    a.e.minSizes[0] = 20;
    a.e.maxSizes[0] = 120;
    a.e.getScales(kTime, 0);
    EXPECT_EQ(a.e.sites[0].height, 120.0f);
    EXPECT_EQ(a.e.sites[0].width, 60.0f);
    EXPECT_FLOAT_EQ(a.e.scales[0][0], 60.0f);
}

TEST(AttributesScale, FullyTransparentFrameWritesZero) {
    AttributeEngine a(kAlphas, true);
    ASSERT_FALSE(a.e.hasImage[0]);
    a.layersOfSize(200, 100);
    a.e.scales[1][0] = 42.0f;
    a.e.scaleModes[0] = ScaleMode::Random;
    a.e.getScales(kTime, 0);
    EXPECT_EQ(a.e.scales[1][0], 0.0f);
    a.e.scaleModes[0] = ScaleMode::Ignore;  // writes nothing at all
    a.e.scales[1][0] = 42.0f;
    a.e.getScales(kTime, 0);
    EXPECT_EQ(a.e.scales[1][0], 42.0f);
}

TEST(AttributesScale, FromNeighborhoodGrowsTheSites) {
    AttributeEngine a({Point2D(150, 2), Point2D(100, 2)});
    a.layersOfSize(100, 100);
    a.e.assignmentIds[0] = {1, 0};  // layer 0 takes the left site and grows first
    a.e.scaleModes[0] = ScaleMode::FromNeighborhood;
    a.e.getScales(kTime, 0);
    EXPECT_FLOAT_EQ(a.e.scales[0][0], 50.5f);
    EXPECT_FLOAT_EQ(a.e.scales[1][0], 49.5f);
}

TEST(AttributesScale, PreventOverlapCapsSampledAndRandomSizes) {
    AttributeEngine a({Point2D(255, 2), Point2D(305, 2)});
    a.layersOfSize(100, 100);
    a.e.scaleModes[0] = ScaleMode::FromAlpha;
    a.e.preventOverlaps[0] = true;
    a.e.minSizes[0] = 10;
    a.e.maxSizes[0] = 120;
    a.e.getScales(kTime, 0);
    EXPECT_FLOAT_EQ(a.e.sites[0].width, 50.5f);  // alpha 255 asks for 120
    EXPECT_FLOAT_EQ(a.e.sites[1].width, 10.0f);  // outside the image: alpha 0

    AttributeEngine r({Point2D(255, 2), Point2D(305, 2)});
    r.layersOfSize(100, 100);
    r.e.scaleModes[0] = ScaleMode::Random;
    r.e.preventOverlaps[0] = true;
    r.e.minSizes[0] = 60;
    r.e.maxSizes[0] = 80;
    init_genrand64(3);
    r.e.getScales(kTime, 0);
    EXPECT_EQ(r.e.sites[0].width, 50.5f);  // both ends brought down to the grown 50.5
    EXPECT_EQ(r.e.sites[1].width, 49.5f);
}

TEST(AttributesScale, RandomDrawsOncePerLayer) {
    AttributeEngine a(kAlphas);
    a.layersOfSize(200, 100);
    a.e.scaleModes[0] = ScaleMode::Random;
    a.e.minSizes[0] = 20;
    a.e.maxSizes[0] = 120;
    init_genrand64(11);
    a.e.getScales(kTime, 0);
    init_genrand64(11);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(a.e.sites[j].width, 20.0f + 100.0f * float(uniform53()));
    }
}

TEST(AttributesScale, ZeroSizeLayerKeepsItsOwnSizeWithoutNaN) {
    AttributeEngine a({Point2D(100, 2), Point2D(150, 2), Point2D(125, 2)});
    a.layersOfSize(100, 100);
    seedSite(a.e.sites[2], 0, 100);
    a.e.scaleModes[0] = ScaleMode::FromNeighborhood;
    a.e.rescaleFactors[0] = 0.9f;
    a.e.getScales(kTime, 0);
    EXPECT_FLOAT_EQ(a.e.scales[0][0], 0.9f * 50.5f);
    EXPECT_FLOAT_EQ(a.e.scales[2][0], 90.0f);
    a.e.scaleModes[0] = ScaleMode::FromAlpha;
    a.e.getScales(kTime, 0);
    EXPECT_FLOAT_EQ(a.e.scales[2][0], 90.0f);
}

TEST(AnimationOffsets, EngineOrdersSitesByDistanceFromTheFullResolutionCentres) {
    // Image 256 x 4 at half resolution: image centre (128, 2) is (256, 4) in full resolution.
    AttributeEngine a({Point2D(0, 4), Point2D(250, 4), Point2D(400, 4)});
    a.e.downsampleX = a.e.downsampleY = 0.5f;
    a.e.upsampleX = a.e.upsampleY = 2.0f;
    a.e.offsetMethods[0] = OffsetMethod::DistanceFromCompCenter;
    a.e.getOffsets(kTime, 0);
    EXPECT_EQ(a.e.offsets[0][0], 2);
    EXPECT_EQ(a.e.offsets[1][0], 0);
    EXPECT_EQ(a.e.offsets[2][0], 1);
    a.e.offsetMethods[0] = OffsetMethod::FromRightToLeft;
    a.e.getOffsets(kTime, 0);
    EXPECT_EQ(a.e.offsets[0][0], 2);
    EXPECT_EQ(a.e.offsets[2][0], 0);
}

TEST(AnimationOffsets, SingleLayerTakesPlaceZero) {
    AttributeEngine a({Point2D(3, 3)});
    a.e.offsets[0][0] = 5;
    a.e.offsetMethods[0] = OffsetMethod::Random;
    a.e.getOffsets(kTime, 0);
    EXPECT_EQ(a.e.offsets[0][0], 0);
}
