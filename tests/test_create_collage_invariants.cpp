// Whole Create presses on random collages: grown layers never overlap by more than the growth
// step, whatever their aspect, rotation and anchor point; a Seed reproduces the collage.
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>

#include "collage_geometry.h"
#include "create_fixture.h"

namespace {

using namespace create_fixture;
using namespace collage_geometry;

constexpr double kGrowthStep = 1.0;
constexpr int kSourceWidth = 400;
constexpr int kSourceHeight = 300;

// A 400 x 300 opaque Source mapped onto the composition unchanged, and n solids of random
// proportions (long bars either way and squares) with random anchor points.
sim::Project randomCollage(std::mt19937& gen, int n) {
    sim::Project p = project(0);
    p.comp.width = kSourceWidth;
    p.comp.height = kSourceHeight;
    sim::Layer& source = p.comp.layers[0];
    source.width = kSourceWidth;
    source.height = kSourceHeight;
    source.maskedBounds = {0, 0, double(kSourceWidth), double(kSourceHeight)};
    source.anchorPoint.value = {kSourceWidth / 2.0, kSourceHeight / 2.0, 0};
    source.position.value = source.anchorPoint.value;
    const std::pair<int, int> sizes[] = {{2, 2000}, {2000, 2}, {50, 50}, {100, 60}, {7, 300}};
    std::uniform_int_distribution<int> pick(0, 4);
    std::uniform_real_distribution<double> unit(-0.5, 1.5);
    for (int i = 0; i < n; ++i) {
        const auto [w, h] = sizes[pick(gen)];
        sim::Layer l = solidLayer(i + 2, "Card " + std::to_string(i + 1), w, h, 10, 10);
        if (i % 3 != 0) {
            l.anchorPoint.value = {w * unit(gen), h * unit(gen), 0};
        }
        p.comp.layers.push_back(l);
    }
    return p;
}

// Presses Create with growing sizes (From Neighborhood, or Random under Prevent Overlap), any
// rotation between -180 and 180 degrees, opacities left alone, and the given Seed.
PF_Err createGrowing(sim::Host& host, bool preventOverlap, int seed) {
    host.setParam(PARAM_MIN_ROTATION, -180);
    host.setParam(PARAM_MAX_ROTATION, 180);
    host.setParam(PARAM_OPACITY, double(OpacityMode::Ignore));
    host.setParam(PARAM_SCALE,
                  double(preventOverlap ? ScaleMode::Random : ScaleMode::FromNeighborhood));
    host.setParam(PARAM_PREVENT_OVERLAP, preventOverlap ? 1 : 0);
    host.setParam(PARAM_MIN_SIZE, 5);
    host.setParam(PARAM_MAX_SIZE, 400);
    host.setParam(PARAM_SEED, seed);
    return host.userChangedParam(PARAM_CREATE);
}

}  // namespace

// Random aspects, rotations and anchors, under From Neighborhood and under Prevent Overlap,
// with the layers' rotations set by the run or kept from their keys (read at the frame).
TEST(CreateCollageInvariants, GrownLayersOverlapByNoMoreThanTheGrowthStep) {
    std::mt19937 gen(77);
    for (int trial = 0; trial < 6; ++trial) {
        sim::Project p = randomCollage(gen, 60);
        const bool keptRotation = trial % 2 == 1;
        std::uniform_real_distribution<double> angle(-180.0, 180.0);
        if (keptRotation) {
            for (size_t i = 1; i < p.comp.layers.size(); ++i) {
                p.comp.layers[i].rotation.addKey(sim::Time{0, 25}, {angle(gen), 0, 0});
                p.comp.layers[i].rotation.addKey(sim::Time{10, 25}, {angle(gen), 0, 0});
            }
            p.comp.currentTime = {10, 25};
        }
        auto host = applied(std::move(p));
        const PositionMode positions[] = {PositionMode::Random, PositionMode::Organic,
                                          PositionMode::Grid};
        host->setParam(PARAM_POSITION, double(positions[trial % 3]));
        host->setParam(PARAM_ROTATION,
                       double(keptRotation ? RotationMode::Ignore : RotationMode::Random));
        ASSERT_EQ(createGrowing(*host, trial >= 4, trial), PF_Err_NONE);

        const double t = host->project().comp.currentTime.seconds();
        const Worst worst = worstOverlap(host->project(), t);
        EXPECT_LE(worst.depth, kGrowthStep)
            << "trial " << trial << ": cards " << worst.a + 1 << " and " << worst.b + 1;
        // Each visible rectangle is centred on its site, on the Source.
        for (size_t i = 1; i < host->project().comp.layers.size(); ++i) {
            const Corners c = visibleRectangle(host->project().comp.layers[i], t);
            const double cx = 0.5 * (c[0][0] + c[2][0]), cy = 0.5 * (c[0][1] + c[2][1]);
            EXPECT_TRUE(cx >= 0 && cx <= kSourceWidth && cy >= 0 && cy <= kSourceHeight)
                << "trial " << trial << " card " << i << " at " << cx << ", " << cy;
        }
    }
}

// Fill Gaps slides layers and grows them again: on random collages they still overlap by no more
// than the step, keep their proportions, stay centred on the Source, and none ends smaller than
// without it (From Neighborhood, and Random sizes capped by a larger room); the same Seed gives
// the same collage.
TEST(CreateCollageInvariants, FilledLayersKeepTheGrowthInvariants) {
    std::mt19937 gen(123);
    for (int trial = 0; trial < 6; ++trial) {
        const sim::Project p = randomCollage(gen, 60);
        std::string prints[2];
        std::vector<double> scales[2];
        for (int pass = 0; pass < 3; ++pass) {
            const bool fill = pass > 0;
            auto host = applied(p);
            const PositionMode positions[] = {PositionMode::Random, PositionMode::Organic,
                                              PositionMode::Grid};
            host->setParam(PARAM_POSITION, double(positions[trial % 3]));
            host->setParam(PARAM_ROTATION, double(RotationMode::Random));
            host->setParam(PARAM_FILL_GAPS, fill ? 1 : 0);
            ASSERT_EQ(createGrowing(*host, trial >= 4, trial), PF_Err_NONE);
            const auto& layers = host->project().comp.layers;
            if (pass == 2) {
                prints[1] = fingerprint(host->project());
                break;
            }
            for (size_t i = 1; i < layers.size(); ++i) {
                const auto scale = layers[i].scale.valueAt(0.0);
                scales[pass].push_back(scale[0]);
                EXPECT_EQ(scale[0], scale[1]) << "trial " << trial << " card " << i;
            }
            if (!fill) continue;
            prints[0] = fingerprint(host->project());
            const Worst worst = worstOverlap(host->project(), 0.0);
            EXPECT_LE(worst.depth, kGrowthStep)
                << "trial " << trial << ": cards " << worst.a + 1 << " and " << worst.b + 1;
            for (size_t i = 1; i < layers.size(); ++i) {
                const Corners c = visibleRectangle(layers[i], 0.0);
                const double cx = 0.5 * (c[0][0] + c[2][0]), cy = 0.5 * (c[0][1] + c[2][1]);
                EXPECT_TRUE(cx >= 0 && cx <= kSourceWidth && cy >= 0 && cy <= kSourceHeight)
                    << "trial " << trial << " card " << i << " at " << cx << ", " << cy;
                EXPECT_GE(scales[1][i - 1], scales[0][i - 1] * (1 - 1e-6))
                    << "trial " << trial << " card " << i;
            }
        }
        EXPECT_EQ(prints[0], prints[1]) << "trial " << trial;
        // And the room left between grown layers is filled: layers do end larger.
        EXPECT_GT(std::accumulate(scales[1].begin(), scales[1].end(), 0.0),
                  1.05 * std::accumulate(scales[0].begin(), scales[0].end(), 0.0))
            << "trial " << trial;
    }
}

// Layers that keep their own Positions (Ignore, Use Previous Value) show their rectangles around
// their anchor points: grown there, re-anchored layers overlap by no more than the step either.
TEST(CreateCollageInvariants, LayersKeepingTheirPositionsGrowAroundTheirAnchors) {
    std::mt19937 gen(91);
    for (int trial = 0; trial < 4; ++trial) {
        sim::Project p = randomCollage(gen, 40);
        std::uniform_real_distribution<double> x(0.0, kSourceWidth), y(0.0, kSourceHeight);
        for (size_t i = 1; i < p.comp.layers.size(); ++i) {
            p.comp.layers[i].position.value = {x(gen), y(gen), 0};
        }
        auto host = applied(std::move(p));
        host->setParam(PARAM_POSITION,
                       double(trial % 2 ? PositionMode::UsePreviousValue : PositionMode::Ignore));
        host->setParam(PARAM_ROTATION, double(RotationMode::Random));
        ASSERT_EQ(createGrowing(*host, trial >= 2, trial), PF_Err_NONE);
        const Worst worst =
            worstOverlap(host->project(), host->project().comp.currentTime.seconds());
        EXPECT_LE(worst.depth, kGrowthStep)
            << "trial " << trial << ": cards " << worst.a + 1 << " and " << worst.b + 1;
    }
}

// Six 100 x 60 solids anchored at their top-left corner on a Grid: each visible rectangle lies
// around its cell, inside the composition, and no two overlap.
TEST(CreateCollageInvariants, ReanchoredLayersAreCentredOnTheirSites) {
    sim::Project p = project(6);
    p.comp.width = 300;
    p.comp.height = 200;
    sim::Layer& source = p.comp.layers[0];
    source.width = 300;
    source.height = 200;
    source.maskedBounds = {0, 0, 300, 200};
    source.anchorPoint.value = {150, 100, 0};
    source.position.value = {150, 100, 0};
    for (size_t i = 1; i < p.comp.layers.size(); ++i) {
        p.comp.layers[i] = solidLayer(int32_t(i + 1), "Card " + std::to_string(i), 100, 60, 0, 0);
        p.comp.layers[i].anchorPoint.value = {0, 0, 0};
    }
    auto host = applied(std::move(p));
    host->setParam(PARAM_POSITION, double(PositionMode::Grid));
    host->setParam(PARAM_SCALE, double(ScaleMode::FromNeighborhood));
    host->setParam(PARAM_ROTATION, double(RotationMode::Ignore));
    host->setParam(PARAM_OPACITY, double(OpacityMode::Ignore));
    ASSERT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    EXPECT_LE(worstOverlap(host->project(), 0.0).depth, kGrowthStep);
    for (size_t i = 1; i < host->project().comp.layers.size(); ++i) {
        const Corners c = visibleRectangle(host->project().comp.layers[i], 0.0);
        for (const auto& corner : c) {  // the growth may pass the edge by less than a step
            EXPECT_GE(corner[0], -kGrowthStep) << i;
            EXPECT_LE(corner[0], 300.0 + kGrowthStep) << i;
            EXPECT_GE(corner[1], -kGrowthStep) << i;
            EXPECT_LE(corner[1], 200.0 + kGrowthStep) << i;
        }
    }
}

namespace {

// Random sites, Grid picks, sizes, turns and fades, the offset shuffle and random tangents,
// over several frames.
void randomEverything(sim::Host& host, bool randomSeed) {
    everyModeActive(host, 10, 3);
    host.setParam(PARAM_POSITION, double(PositionMode::Random));
    host.setParam(PARAM_SCALE, double(ScaleMode::Random));
    host.setParam(PARAM_LAYER_ORDER, double(LayerOrder::Random));
    host.setParam(PARAM_OFFSET_METHOD, double(OffsetMethod::Random));
    host.setParam(PARAM_SPATIAL_INTERPOLATION, double(SpatialPreset::RandomInnerAndOuter));
    host.setParam(PARAM_RANDOM_SEED, randomSeed ? 1 : 0);
    host.setParam(PARAM_SEED, 42);
}

// Create, undo, Create: the same layout as one Create, or a new one with Random Seed on.
std::pair<std::string, std::string> pressTwice(bool randomSeed, PositionMode mode) {
    auto host = applied(project(9, 40));
    randomEverything(*host, randomSeed);
    host->setParam(PARAM_POSITION, double(mode));
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    const std::string first = fingerprint(host->project());
    EXPECT_TRUE(host->undo());
    EXPECT_EQ(host->userChangedParam(PARAM_CREATE), PF_Err_NONE);
    return {first, fingerprint(host->project())};
}

}  // namespace

TEST(CreateCollageInvariants, SameSeedGivesTheSameCollageOnEveryPress) {
    for (PositionMode mode :
         {PositionMode::Random, PositionMode::Grid, PositionMode::Radial, PositionMode::Organic}) {
        const auto [first, second] = pressTwice(false, mode);
        EXPECT_EQ(first, second) << int(mode);
        // Another host, as in another session, gives it too.
        EXPECT_EQ(pressTwice(false, mode).first, first) << int(mode);
        const auto [once, again] = pressTwice(true, mode);
        EXPECT_NE(once, again) << int(mode);
    }
}
