// Removing the collage layers' transform keys before a run.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace {

// Three collage layers, each with three keys on Position, Scale, Rotation and Opacity and two on
// its Anchor Point.
struct Removal : fixture::HostedEngine {
    Removal() : HostedEngine(fixture::collageProject(3)) {
        engine.removeKeysFirst = true;
        for (int i = 0; i < 3; ++i) {
            sim::Layer& l = collageLayer(i);
            for (sim::Stream* s : {&l.position, &l.scale, &l.rotation, &l.opacity}) {
                for (int k = 0; k < 3; ++k) {
                    s->addKey(sim::Time{k, 25}, {double(k), 0, 0});
                }
            }
            l.anchorPoint.addKey(sim::Time{0, 25}, {1, 1, 0});
            l.anchorPoint.addKey(sim::Time{5, 25}, {2, 2, 0});
        }
    }
};

}  // namespace

TEST(AnimationRemoval, RemovesEveryTransformKeyLastToFirstAndNothingElse) {
    Removal r;
    r.host.project().comp.layers[1].rotation.addKey(sim::Time{0, 25}, {3, 0, 0});  // the Source
    r.engine.removeKeys();
    for (int i = 0; i < 3; ++i) {
        const sim::Layer& l = r.collageLayer(i);
        EXPECT_TRUE(l.position.keys.empty());
        EXPECT_TRUE(l.scale.keys.empty());
        EXPECT_TRUE(l.rotation.keys.empty());
        EXPECT_TRUE(l.opacity.keys.empty());
        EXPECT_EQ(l.anchorPoint.keys.size(), 2u);
    }
    EXPECT_EQ(r.sourceLayer().rotation.keys.size(), 1u);  // not a collage layer
    EXPECT_EQ(r.host.callCount("AEGP_DeleteKeyframe"), 36);
    EXPECT_EQ(r.host.callCount("AEGP_StartAddKeyframes"), 12);
    EXPECT_EQ(r.host.callCount("AEGP_EndAddKeyframes"), 12);
    EXPECT_EQ(r.host.records().info,
              (std::vector<std::string>{"Removing keyframes of layer 1 / 3",
                                        "Removing keyframes of layer 2 / 3",
                                        "Removing keyframes of layer 3 / 3"}));
    EXPECT_TRUE(r.host.leaks().empty());
}

TEST(AnimationRemoval, StreamWithoutKeysStillOpensAndEndsABatch) {
    Removal r;
    r.engine.layerCount = 1;
    r.collageLayer(0).opacity.keys.clear();
    r.engine.removeKeys();
    EXPECT_EQ(r.host.callCount("AEGP_StartAddKeyframes"), 4);
    EXPECT_EQ(r.host.callCount("AEGP_EndAddKeyframes"), 4);
    EXPECT_EQ(r.host.callCount("AEGP_DeleteKeyframe"), 9);
    EXPECT_TRUE(r.collageLayer(1).position.keys.size() == 3u);
}

TEST(AnimationRemoval, NothingWithoutTheOption) {
    Removal r;
    r.engine.removeKeysFirst = false;
    r.engine.removeKeys();
    EXPECT_EQ(r.collageLayer(0).position.keys.size(), 3u);
    EXPECT_TRUE(r.host.records().info.empty());
}

TEST(AnimationRemoval, FirstFailureEndsTheRemovalWithTheBatchClosed) {
    Removal r;
    r.host.injectFault("AEGP_DeleteKeyframe", 5, A_Err_GENERIC);  // the Scale stream's 2nd delete
    r.engine.removeKeys();
    const sim::Layer& first = r.collageLayer(0);
    EXPECT_TRUE(first.position.keys.empty());
    ASSERT_EQ(first.scale.keys.size(), 2u);  // one deleted before the failure
    // Deleted from the last key: the first two are left.
    EXPECT_EQ(first.scale.keys[0].value[0], 0.0);
    EXPECT_EQ(first.scale.keys[1].value[0], 1.0);
    EXPECT_EQ(first.rotation.keys.size(), 3u);
    EXPECT_EQ(r.collageLayer(1).position.keys.size(), 3u);
    EXPECT_EQ(r.host.records().info.size(), 1u);
    EXPECT_EQ(r.host.callCount("AEGP_EndAddKeyframes"), 2);
    EXPECT_TRUE(r.host.leaks().empty());
}

TEST(AnimationRemoval, RemoveStreamKeysClearsOneStream) {
    Removal r;
    AEGP_StreamRefH stream = r.positionStream(1);
    r.engine.removeStreamKeys(stream);
    r.disposeStream(stream);
    EXPECT_TRUE(r.collageLayer(1).position.keys.empty());
    EXPECT_EQ(r.collageLayer(1).scale.keys.size(), 3u);
    EXPECT_TRUE(r.host.leaks().empty());
}
