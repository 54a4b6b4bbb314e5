// The run loop against the simulated host: undo group, progress texts, seeding, frame bounds.
#include <gtest/gtest.h>

#include <algorithm>

#include "SPBasic.h"
#include "engine/Random.h"
#include "engine_fixture.h"
#include "host/HostFailures.h"

namespace {

// Random positions on a one-pixel Source: the pick is always that pixel, so the sites depend on
// the value generator's draws alone.
struct OnePixelRun : fixture::HostedEngine {
    explicit OnePixelRun(int frames) : HostedEngine(fixture::collageProject(3, 1, 1), frames) {
        engine.positionModes.assign(frames, PositionMode::Random);
        engine.positionActive = true;
        engine.forceKeyframing = true;  // one Position key per frame
    }
};

std::vector<float> xsAt(const MyTessaron& e, int frame) {
    std::vector<float> xs;
    for (int j = 0; j < e.layerCount; ++j) {
        xs.push_back(e.positions[j][frame].x);
    }
    return xs;
}

// The suite acquisitions of one undisturbed run.
long acquisitionsOf(int frames) {
    OnePixelRun h(frames);
    const long before = h.host.callCount("AcquireSuite");
    h.engine.solve();
    return h.host.callCount("AcquireSuite") - before;
}

long count(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

}  // namespace

TEST(EngineInit, SizesOnlyTheCollageLayersRows) {
    MyTessaron e;
    e.layerCount = 2;
    e.init();
    ASSERT_EQ(e.positions.size(), size_t(MyTessaron::MaxLayers));
    EXPECT_EQ(e.positions[1].size(), size_t(MyTessaron::MaxFrames));
    EXPECT_EQ(e.offsets[1][999], 0);
    EXPECT_TRUE(e.positions[2].empty());
    EXPECT_TRUE(e.scales[2999].empty());
    e.layerCount = MyTessaron::MaxLayers + 5;  // never beyond the tables
    e.init();
    EXPECT_EQ(e.layerCount, MyTessaron::MaxLayers);
}

TEST(EngineInit, EvaluatedFramesStayWithinTheSettingsAndCapacity) {
    MyTessaron e;
    fixture::setNeutralSettings(e, 3);
    EXPECT_EQ(e.evaluatedFrameCount(), 3);
    e.seeds.resize(2);
    EXPECT_EQ(e.evaluatedFrameCount(), 3);  // seeds matter only without Random Seed
    e.randomSeed = false;
    EXPECT_EQ(e.evaluatedFrameCount(), 2);
    fixture::setNeutralSettings(e, MyTessaron::MaxFrames + 1);
    EXPECT_EQ(e.evaluatedFrameCount(), MyTessaron::MaxFrames);
}

TEST(EngineSolve, AllIgnoreWithoutKeyRemovalMakesNoHostCall) {
    fixture::HostedEngine h(fixture::collageProject(2));
    h.host.records().calls.clear();
    h.engine.solve();
    EXPECT_TRUE(h.host.records().calls.empty());
    EXPECT_TRUE(h.host.records().undoGroups.empty());
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(EngineSolve, ProgressTextPerFrameInsideOneUndoGroup) {
    OnePixelRun h(3);
    h.engine.solve();
    std::vector<std::string> progress;
    for (const std::string& line : h.host.records().info) {
        if (line.rfind("Evaluating frame", 0) == 0) {
            progress.push_back(line);
        }
    }
    EXPECT_EQ(progress,
              (std::vector<std::string>{"Evaluating frame 1 of 3", "Evaluating frame 2 of 3",
                                        "Evaluating frame 3 of 3"}));
    EXPECT_EQ(h.host.records().undoGroups, std::vector<std::string>{"Tessaron (Pro)"});
    EXPECT_EQ(h.host.callCount("AEGP_EndUndoGroup"), 1);
    EXPECT_TRUE(h.engine.positions[3].empty());  // rows past the collage layers stay untouched
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(EngineSolve, AllIgnoreWithKeyRemovalRemovesKeysAndSkipsTheFrames) {
    fixture::HostedEngine h(fixture::collageProject(2));
    h.collageLayer(0).position.addKey(sim::Time{0, 25}, {1, 2, 0});
    h.collageLayer(0).position.addKey(sim::Time{5, 25}, {3, 4, 0});
    h.engine.removeKeysFirst = true;
    h.engine.randomSeed = true;
    init_genrand64(77);
    const uint64_t unseeded = genrand64_int64();
    init_genrand64(77);
    h.engine.solve();
    EXPECT_NE(genrand64_int64(), unseeded);  // seeded from the clock
    EXPECT_TRUE(h.collageLayer(0).position.keys.empty());
    EXPECT_EQ(h.host.records().undoGroups, std::vector<std::string>{"Tessaron (Pro)"});
    EXPECT_EQ(h.host.callCount("AEGP_EndUndoGroup"), 1);
    EXPECT_EQ(count(h.host.records().info, "Evaluating frame"), 0);
    EXPECT_TRUE(h.engine.hasImage.empty());
    EXPECT_TRUE(h.host.records().scripts.empty());
    EXPECT_TRUE(h.host.leaks().empty());
}

// Without its undo group a run could not be taken back in one step: it changes nothing.
TEST(EngineSolve, FailedUndoGroupChangesNothing) {
    OnePixelRun h(2);
    HostFailures failures;
    HostFailureScope scope(failures);
    h.host.injectFault("AEGP_StartUndoGroup", 1, A_Err_GENERIC);
    h.engine.solve();
    EXPECT_EQ(count(h.host.records().info, "Evaluating frame"), 0);
    EXPECT_EQ(h.host.callCount("AEGP_EndUndoGroup"), 0);
    for (int j = 0; j < 3; ++j) {
        EXPECT_TRUE(h.collageLayer(j).position.keys.empty()) << j;
    }
    EXPECT_TRUE(h.host.records().scripts.empty());
    EXPECT_TRUE(h.host.leaks().empty());
    const std::string told = failures.message();
    EXPECT_NE(told.find("opening the undo group"), std::string::npos) << told;
    EXPECT_NE(told.find("Nothing was changed."), std::string::npos) << told;
}

// A progress text that cannot be shown stops the texts, not the run, and the group still closes.
TEST(EngineSolve, FailedProgressTextStopsFurtherTextsButTheGroupCloses) {
    OnePixelRun h(3);
    HostFailures failures;
    HostFailureScope scope(failures);
    h.host.injectFault("PF_InfoDrawText", 1, A_Err_GENERIC);
    h.engine.solve();
    EXPECT_EQ(h.host.callCount("PF_InfoDrawText"), 1);
    EXPECT_EQ(h.host.callCount("AEGP_EndUndoGroup"), 1);
    EXPECT_EQ(h.host.openUndoGroups(), 0);
    EXPECT_EQ(h.engine.hasImage.size(), 3u);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(h.collageLayer(j).position.keys.size(), 3u) << j;
    }
    EXPECT_EQ(h.host.records().scripts.size(), 1u);
    EXPECT_TRUE(h.host.leaks().empty());
    const std::string told = failures.message();
    EXPECT_NE(told.find("The collage is complete."), std::string::npos) << told;
    EXPECT_NE(told.find("Progress text not shown."), std::string::npos) << told;
}

// A missing suite ends the run half-way; the group is closed on the way out and one undo takes
// back what was written.
TEST(EngineSolve, MissingSuiteEndsTheRunWithTheGroupClosed) {
    const long acquisitions = acquisitionsOf(2);
    OnePixelRun h(2);
    HostFailures failures;
    HostFailureScope scope(failures);
    // The ease script's suite is acquired last, after every key is written.
    h.host.injectFault("AcquireSuite", int(acquisitions), kSPSuiteNotFoundError);
    EXPECT_THROW(h.engine.solve(), A_long);
    EXPECT_EQ(h.host.openUndoGroups(), 0);
    EXPECT_TRUE(h.host.leaks().empty());
    EXPECT_TRUE(h.host.records().scripts.empty());
    EXPECT_EQ(h.collageLayer(0).position.keys.size(), 2u);
    ASSERT_TRUE(h.host.undo());
    for (int j = 0; j < 3; ++j) {
        EXPECT_TRUE(h.collageLayer(j).position.keys.empty()) << j;
    }
}

// A Position value outside the popup still gives every layer a site: the later stages run on and
// the layers keep their places.
TEST(EngineSolve, PositionValueOutsideThePopupKeepsTheLayersInPlace) {
    OnePixelRun h(2);
    h.engine.positionModes.assign(2, PositionMode::Separator);
    h.engine.rotationModes.assign(2, RotationMode::Random);
    h.engine.rotationActive = true;
    h.engine.solve();
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(h.engine.positions[j][1].x, 100.0f + 10 * j) << j;
    }
    EXPECT_TRUE(h.host.leaks().empty());
}

TEST(EngineSolve, FixedSeedRepeatsEachFramesDraws) {
    OnePixelRun a(2);
    a.engine.seeds = {5, 5};
    a.engine.solve();
    EXPECT_EQ(xsAt(a.engine, 0), xsAt(a.engine, 1));  // same seed, same draws at each frame

    genrand64_int64();  // draws in between do not matter
    OnePixelRun b(2);
    b.engine.seeds = {6, 5};
    b.engine.solve();
    EXPECT_EQ(xsAt(b.engine, 1), xsAt(a.engine, 1));
    EXPECT_NE(xsAt(b.engine, 0), xsAt(a.engine, 0));
}

TEST(EngineSolve, NegativeSeedIsSignWidened) {
    OnePixelRun a(1);
    a.engine.seeds = {-3};
    a.engine.solve();
    init_genrand64(uint64_t(int64_t(-3)));
    const float jitter = static_cast<float>(0.5 + (0.2 * static_cast<float>(uniform53()) - 0.1));
    // The first site of the first frame: pixel 0 plus the first jitter, upsampled by 1.
    bool found = false;
    for (float x : xsAt(a.engine, 0)) {
        found = found || x == jitter;
    }
    EXPECT_TRUE(found);
}

TEST(EngineSolve, ClockSeedRunsOnThroughTheFrames) {
    OnePixelRun h(2);
    h.engine.randomSeed = true;
    h.engine.seeds.clear();
    h.engine.solve();
    EXPECT_NE(xsAt(h.engine, 0), xsAt(h.engine, 1));
}
