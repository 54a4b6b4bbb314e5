// Layers whose sites are their own Positions (Use Previous Value, Ignore, a frame without shape)
// keep their own places under every Layer Order, over several frames.
#include <gtest/gtest.h>

#include <random>

#include "engine_fixture.h"
#include "host/Params.h"

namespace {

constexpr int kLayers = 7;
constexpr int kFrames = 3;

// Layers keyed at 0 s and 1 s to random places, crossing one another; two share a place.
sim::Project crossingLayers(std::mt19937& gen, bool transparentSource) {
    sim::Project p = fixture::collageProject(kLayers, 200, 100);
    if (transparentSource) {
        p.comp.layers[1].fill = {0, 0, 0, 0};
    }
    std::uniform_real_distribution<double> x(0.0, 400.0), y(0.0, 300.0);
    for (int i = 0; i < kLayers; ++i) {
        sim::Stream& position = p.comp.layers[2 + i].position;
        position.addKey(sim::Time{0, 25}, {x(gen), y(gen), 0});
        position.addKey(sim::Time{25, 25}, {x(gen), y(gen), 0});
    }
    p.comp.layers[3].position.keys = p.comp.layers[2].position.keys;
    return p;
}

}  // namespace

TEST(PlacementOwnPlaces, EveryLayerOrderKeepsEachLayerAtItsOwnPosition) {
    std::mt19937 gen(2024);
    const PositionMode modes[] = {PositionMode::UsePreviousValue, PositionMode::Ignore,
                                  PositionMode::Random};
    const LayerOrder orders[] = {LayerOrder::ByX,
                                 LayerOrder::ByY,
                                 LayerOrder::ByNorm,
                                 LayerOrder::ByInverseNorm,
                                 LayerOrder::ByDistanceFromCompCenter,
                                 LayerOrder::ByDistanceFromImageCenter,
                                 LayerOrder::MinimumAssignment,
                                 LayerOrder::Random};
    for (PositionMode mode : modes) {
        const bool transparent = mode == PositionMode::Random;
        for (LayerOrder order : orders) {
            fixture::HostedEngine h(crossingLayers(gen, transparent), kFrames);
            MyTessaron& e = h.engine;
            e.frameList = {0, 13, 30};
            e.positionModes.assign(kFrames, mode);
            e.layerOrders.assign(kFrames, order);
            for (int f = 0; f < kFrames; ++f) {
                const A_Time t = {e.frameList[f], 25};
                e.getImageDataAtTime(e.frameList[f]);
                e.getPoints(t, f);
                e.getAssignmentIdsAndPositions(t, f);
                const bool carried = f > 0 && mode == PositionMode::UsePreviousValue;
                for (int j = 0; j < kLayers; ++j) {
                    Point2D own = e.positions[j][0];
                    if (!carried) {
                        AEGP_StreamRefH stream = h.positionStream(j);
                        own = e.getPreviousPosKeyValue(stream, t);
                        h.disposeStream(stream);
                    }
                    ASSERT_EQ(e.positions[j][f].x, own.x)
                        << "mode " << int(mode) << " order " << int(order) << " frame " << f
                        << " layer " << j;
                    ASSERT_EQ(e.positions[j][f].y, own.y);
                }
            }
            EXPECT_TRUE(h.host.leaks().empty());
        }
    }
}
