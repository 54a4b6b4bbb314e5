// A whole run through the simulated host: every key the run writes gets the temporal
// interpolation of its frame's preset from the ease script, even with time offsets larger than
// the spacing of the evaluated frames.
#include <gtest/gtest.h>

#include <string>

#include "animation/EaseScript.h"
#include "animation/KeyTime.h"
#include "engine_fixture.h"

namespace {

// The value the script reads back for a number it was given as "%g".
double asWritten(float v) {
    return std::stod(formatNumber(v));
}

const sim::Key* keyAt(const sim::Stream& s, const A_Time& t) {
    const int i = s.keyIndexAt(sim::Time{t.value, t.scale});
    return i < 0 ? nullptr : &s.keys[i];
}

struct FullRun : fixture::HostedEngine {
    // Four collage layers, frames 0, 2, 4 and 6, every property at random, keys spread over
    // five frames: a layer's key of one frame can lie after its key of the next.
    FullRun() : HostedEngine(fixture::collageProject(4), 4) {
        MyTessaron& e = engine;
        e.frameList = {0, 2, 4, 6};
        e.framesToRender = 2;
        e.positionModes.assign(4, 4);
        e.scaleModes.assign(4, 4);
        e.rotationModes.assign(4, 4);
        e.opacityModes.assign(4, 3);
        e.opacityModes[2] = 6;  // Opacity ignored at the third frame
        e.minRotations.assign(4, -30.0f);
        e.maxRotations.assign(4, 30.0f);
        e.minOpacities.assign(4, 40.0f);
        e.offsetFrames.assign(4, 5);
        e.offsetMethods.assign(4, 1);
        e.spatialPresets.assign(4, 5);
        e.temporalPresets = {1, 8, 4, 9};
        e.speedsIn = {0, 0, 0, 12.5f};
        e.influencesIn = {0.1f, 0.1f, 33.333328f, 75.0f};
        e.speedsOut = {0, 0, 0, 3.0f};
        e.influencesOut = {0.1f, 0.1f, 33.333328f, 20.0f};
        e.positionActive = e.scaleActive = e.rotationActive = e.opacityActive = true;
        e.randomSeed = false;
        e.seeds = {17, 18, 19, 20};  // a Seed per frame: the same Seed repeats a frame's layout
    }
};

}  // namespace

TEST(AnimationRun, EveryWrittenKeyIsEasedAsItsFramesPresetSays) {
    FullRun run;
    MyTessaron& e = run.engine;
    e.solve();
    ASSERT_EQ(run.host.records().scripts.size(), 1u);
    EXPECT_TRUE(run.host.records().scriptErrors.empty());
    int checked = 0;
    bool laterKeyOfEarlierFrame = false;
    for (int i = 0; i < e.layerCount; ++i) {
        const sim::Layer& layer = run.collageLayer(i);
        const sim::Stream* streams[4] = {&layer.position, &layer.scale, &layer.rotation,
                                         &layer.opacity};
        for (int k = 0; k < 4; ++k) {
            const A_Time t = layerKeyTime(e, i, k);
            if (k > 0 && t.value < layerKeyTime(e, i, k - 1).value) {
                laterKeyOfEarlierFrame = true;
            }
            for (int p = 0; p < 4; ++p) {
                const sim::Key* key = keyAt(*streams[p], t);
                if (p == 3 && k == 2) {
                    EXPECT_EQ(key, nullptr);
                    continue;
                }
                ASSERT_NE(key, nullptr) << "layer " << i << " frame " << k << " property " << p;
                SCOPED_TRACE("layer " + std::to_string(i) + " frame " + std::to_string(k) +
                             " property " + std::to_string(p));
                const uint32_t preset = e.temporalPresets[k];
                if (preset == 1 || preset == 8) {
                    EXPECT_EQ(key->inInterp, sim::Interp::Linear);
                    EXPECT_EQ(key->outInterp,
                              preset == 1 ? sim::Interp::Linear : sim::Interp::Hold);
                } else {
                    EXPECT_EQ(key->inInterp, sim::Interp::Bezier);
                    EXPECT_EQ(key->outInterp, sim::Interp::Bezier);
                    ASSERT_EQ(key->inEase.size(), p == 1 ? 3u : 1u);
                    for (size_t d = 0; d < key->inEase.size(); ++d) {
                        EXPECT_EQ(key->inEase[d].speed, asWritten(e.speedsIn[k]));
                        EXPECT_EQ(key->inEase[d].influence, asWritten(e.influencesIn[k]));
                        EXPECT_EQ(key->outEase[d].speed, asWritten(e.speedsOut[k]));
                        EXPECT_EQ(key->outEase[d].influence, asWritten(e.influencesOut[k]));
                    }
                }
                ++checked;
            }
        }
        EXPECT_EQ(layer.position.keys.size(), 4u);
        EXPECT_EQ(layer.opacity.keys.size(), 3u);
    }
    EXPECT_EQ(checked, 4 * 15);
    EXPECT_TRUE(laterKeyOfEarlierFrame);  // the case the frames' own times would miss
    EXPECT_TRUE(run.host.leaks().empty());
}

TEST(AnimationRun, ScriptListsEachLayersOwnKeyTimes) {
    FullRun run;
    run.engine.solve();
    const std::string& script = run.host.records().scripts.at(0);
    EXPECT_NE(script.find("var layerIndices=[3,4,5,6];var propIndices=[0,1,2,3];var keyTimes=[["),
              std::string::npos);
    EXPECT_NE(script.find("var interpolationVals=[1,8,4,9];"), std::string::npos);
    EXPECT_NE(script.find("var ignorePropKeyVals=[[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,1,0]];"),
              std::string::npos);
    EXPECT_NE(script.find("var influenceInVals=[0.1,0.1,33.3333,75];"), std::string::npos);
}

TEST(AnimationRun, PlainValuesAreSkippedByTheScript) {
    FullRun run;
    MyTessaron& e = run.engine;
    e.frameList = {3};
    e.framesToRender = 1;
    e.temporalPresets = {4};
    e.solve();
    EXPECT_TRUE(run.host.records().scriptErrors.empty());
    EXPECT_TRUE(run.collageLayer(0).position.keys.empty());
    EXPECT_TRUE(run.collageLayer(0).opacity.keys.empty());
    EXPECT_TRUE(run.host.leaks().empty());
}

// Position and Opacity active, Scale and Rotation not: two property codes and two ignore rows in
// that order; each layer's key times carry its place in the offset order.
TEST(AnimationRun, ScriptListsTheActivePropertiesAndTheShiftedKeyTimes) {
    FullRun run;
    MyTessaron& e = run.engine;
    e.scaleActive = e.rotationActive = false;
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k) {
            e.offsets[i][k] = 3 - i;  // shifts of 5 frames x 3/3, 2/3, 1/3 and 0
        }
    }
    e.setTemporalInterpolationWithScript();
    const std::string& script = run.host.records().scripts.at(0);
    EXPECT_NE(script.find("var propIndices=[0,3];var keyTimes=[[0.2,0.28,0.36,0.44],"
                          "[0.13333,0.21333,0.29333,0.37333],[0.06667,0.14667,0.22667,0.30667],"
                          "[0,0.08,0.16,0.24]];"),
              std::string::npos)
        << script.substr(0, 300);
    EXPECT_NE(script.find("var ignorePropKeyVals=[[0,0,0,0],[0,0,1,0]];"), std::string::npos);
    EXPECT_NE(script.find("var speedInVals=[0,0,0,12.5];"), std::string::npos);
    EXPECT_NE(script.find("var speedOutVals=[0,0,0,3];var influenceOutVals=[0.1,0.1,33.3333,20];"),
              std::string::npos);
    EXPECT_TRUE(run.host.leaks().empty());
}
