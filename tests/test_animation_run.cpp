// A whole run through the simulated host: every key the run writes gets the temporal
// interpolation of its frame's preset from the ease script, even with time offsets larger than
// the spacing of the evaluated frames.
#include <gtest/gtest.h>

#include <optional>

#include <random>
#include <string>

#include "animation/EaseScript.h"
#include "animation/KeyTime.h"
#include "animation/Properties.h"
#include "engine_fixture.h"
#include "streams/HostTime.h"

namespace {

// The value the script reads back for a number it was given as "%g".
double asWritten(float v) {
    return std::stod(formatNumber(v));
}

std::optional<sim::Key> keyAt(const sim::Stream& s, const A_Time& t) {
    const int i = s.keyIndexAt(sim::Time{t.value, t.scale});
    return i < 0 ? std::nullopt : std::optional<sim::Key>(s.keys[size_t(i)]);
}

struct FullRun : fixture::HostedEngine {
    // Four collage layers, frames 0, 2, 4 and 6, every property at random, keys spread over
    // five frames: a layer's key of one frame can lie after its key of the next.
    FullRun() : HostedEngine(fixture::collageProject(4), 4) {
        MyTessaron& e = engine;
        e.frameList = {0, 2, 4, 6};
        e.framesToRender = FramesToRender::EveryXFrames;
        e.positionModes.assign(4, PositionMode::Random);
        e.scaleModes.assign(4, ScaleMode::Random);
        e.rotationModes.assign(4, RotationMode::Random);
        e.opacityModes.assign(4, OpacityMode::Random);
        e.opacityModes[2] = OpacityMode::Ignore;  // at the third frame
        e.minRotations.assign(4, -30.0f);
        e.maxRotations.assign(4, 30.0f);
        e.minOpacities.assign(4, 40.0f);
        e.offsetFrames.assign(4, 5);
        e.offsetMethods.assign(4, OffsetMethod::FromLeftToRight);
        e.spatialPresets.assign(4, SpatialPreset::Random);
        e.temporalPresets = {TemporalPreset::Linear, TemporalPreset::Hold,
                             TemporalPreset::EaseInAndOut, TemporalPreset::Custom};
        e.speedsIn = {0, 0, 0, 12.5f};
        e.influencesIn = {0.1f, 0.1f, 33.333328f, 75.0f};
        e.speedsOut = {0, 0, 0, 3.0f};
        e.influencesOut = {0.1f, 0.1f, 33.333328f, 20.0f};
        e.positionActive = e.scaleActive = e.rotationActive = e.opacityActive = true;
        e.randomSeed = false;
        e.seeds = {17, 18, 19, 20};  // a Seed per frame: the same Seed repeats a frame's layout
    }
};

// Every key the run wrote has the interpolation of its frame's preset; returns the number of
// keys checked.
int expectEasedAsPresets(fixture::HostedEngine& run) {
    const MyTessaron& e = run.engine;
    EXPECT_EQ(run.host.records().scripts.size(), 1u);
    EXPECT_TRUE(run.host.records().scriptErrors.empty());
    int checked = 0;
    for (int i = 0; i < e.layerCount; ++i) {
        const sim::Layer& layer = run.collageLayer(i);
        const sim::Stream* streams[4] = {&layer.position, &layer.scale, &layer.rotation,
                                         &layer.opacity};
        const std::vector<A_Time> times = layerKeyTimes(e, i);
        for (int k = 0; k < e.evaluatedFrameCount(); ++k) {
            for (int p = 0; p < 4; ++p) {
                if (!propertyActive(e, p) || propertyIgnoredAt(e, p, k)) {
                    continue;
                }
                const std::optional<sim::Key> key = keyAt(*streams[p], times[k]);
                SCOPED_TRACE("layer " + std::to_string(i) + " frame " + std::to_string(k) +
                             " property " + std::to_string(p));
                if (!key) {
                    ADD_FAILURE() << "no key";
                    continue;
                }
                const TemporalPreset preset = e.temporalPresets[k];
                if (preset == TemporalPreset::Linear || preset == TemporalPreset::Hold) {
                    EXPECT_EQ(key->style().inInterp, sim::Interp::Linear);
                    EXPECT_EQ(key->style().outInterp, preset == TemporalPreset::Linear
                                                          ? sim::Interp::Linear
                                                          : sim::Interp::Hold);
                } else {
                    EXPECT_EQ(key->style().inInterp, sim::Interp::Bezier);
                    EXPECT_EQ(key->style().outInterp, sim::Interp::Bezier);
                    EXPECT_EQ(key->style().inEase.size(), p == 1 ? 3u : 1u);
                    for (size_t d = 0;
                         d < key->style().inEase.size() && d < key->style().outEase.size(); ++d) {
                        EXPECT_EQ(key->style().inEase[d].speed, asWritten(e.speedsIn[k]));
                        EXPECT_EQ(key->style().inEase[d].influence, asWritten(e.influencesIn[k]));
                        EXPECT_EQ(key->style().outEase[d].speed, asWritten(e.speedsOut[k]));
                        EXPECT_EQ(key->style().outEase[d].influence, asWritten(e.influencesOut[k]));
                    }
                }
                ++checked;
            }
        }
    }
    EXPECT_TRUE(run.host.leaks().empty());
    return checked;
}

}  // namespace

TEST(AnimationRun, EveryWrittenKeyIsEasedAsItsFramesPresetSays) {
    FullRun run;
    MyTessaron& e = run.engine;
    e.solve();
    EXPECT_EQ(expectEasedAsPresets(run), 4 * 15);
    bool pastTheNextFrame = false;
    for (int i = 0; i < e.layerCount; ++i) {
        EXPECT_EQ(run.collageLayer(i).position.keys.size(), 4u);
        EXPECT_EQ(run.collageLayer(i).opacity.keys.size(), 3u);
        const std::vector<A_Time> times = layerKeyTimes(e, i);
        for (int k = 0; k + 1 < 4; ++k) {
            pastTheNextFrame |= timeSeconds(times[k]) > e.frameList[k + 1] * e.frameSeconds;
        }
    }
    EXPECT_TRUE(pastTheNextFrame);  // the case the frames' own times would miss
}

// Key times from 10000 s on, one frame (0.04 s) apart: six significant digits would send two
// frames to one key.
TEST(AnimationRun, KeysAtLateTimesAreFoundByTheirExactTimes) {
    FullRun run;
    MyTessaron& e = run.engine;
    e.frameList = {250000, 250001, 250002, 250003};
    e.offsetFrames.assign(4, 0);
    e.temporalPresets = {TemporalPreset::Linear, TemporalPreset::Hold, TemporalPreset::Linear,
                         TemporalPreset::Hold};
    e.solve();
    EXPECT_EQ(expectEasedAsPresets(run), 4 * 15);
}

// The script finds the composition by the id the run read, whatever item the user made active
// meanwhile.
TEST(AnimationRun, ScriptEasesTheRunsCompositionWhenAnotherItemIsActive) {
    FullRun run;
    run.host.project().comp.itemId = 31;
    run.engine.compItemId = 31;
    run.host.project().compActive = false;
    run.engine.solve();
    EXPECT_EQ(expectEasedAsPresets(run), 4 * 15);
    EXPECT_NE(run.host.records().scripts.at(0).find("(function(){var compId=31;"),
              std::string::npos);
}

TEST(AnimationRun, ScriptListsEachLayersOwnKeyTimes) {
    FullRun run;
    run.engine.solve();
    const std::string& script = run.host.records().scripts.at(0);
    EXPECT_NE(
        script.find("var layerIndices=[3,4,5,6];var propIndices=[0,1,2,3];var keyTimeRows=[["),
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
    e.framesToRender = FramesToRender::CurrentFrame;
    e.temporalPresets = {TemporalPreset::EaseInAndOut};
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
    EXPECT_NE(script.find("var propIndices=[0,3];var keyTimeRows=[[0.2,0.28,0.36,0.44],"
                          "[0.13333,0.21333,0.29333,0.37333],[0.06667,0.14667,0.22667,0.30667],"
                          "[0,0.08,0.16,0.24]];var layerKeyRows=[0,1,2,3];"),
              std::string::npos)
        << script.substr(0, 300);
    EXPECT_NE(script.find("var ignorePropKeyVals=[[0,0,0,0],[0,0,1,0]];"), std::string::npos);
    EXPECT_NE(script.find("var speedInVals=[0,0,0,12.5];"), std::string::npos);
    EXPECT_NE(script.find("var speedOutVals=[0,0,0,3];var influenceOutVals=[0.1,0.1,33.3333,20];"),
              std::string::npos);
    EXPECT_TRUE(run.host.leaks().empty());
}

namespace {

// A random collage: 2 to 6 layers over 2 to 8 frames spaced 0 (a marker twice on one frame) to 5
// frames apart, Offset (frames) 0 to 12 and Offset Method changing per frame, each property
// Random or Ignore per frame.
struct RandomRun : fixture::HostedEngine {
    RandomRun(std::mt19937& rng, int layers, int frames)
        : HostedEngine(fixture::collageProject(layers), frames) {
        MyTessaron& e = engine;
        e.framesToRender = FramesToRender::FromLayerMarkers;
        auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
        int frame = pick(20);
        for (int k = 0; k < frames; ++k) {
            e.frameList[k] = frame;
            frame += pick(6);
            e.positionModes[k] = pick(3) ? PositionMode::Random : PositionMode::Ignore;
            e.scaleModes[k] = pick(3) ? ScaleMode::Random : ScaleMode::Ignore;
            e.rotationModes[k] = pick(3) ? RotationMode::Random : RotationMode::Ignore;
            e.opacityModes[k] = pick(3) ? OpacityMode::Random : OpacityMode::Ignore;
            e.offsetFrames[k] = pick(13);
            e.offsetMethods[k] = asMode<OffsetMethod>(1 + pick(7));
            e.temporalPresets[k] = asMode<TemporalPreset>(1 + pick(9));
            e.maxRotations[k] = 360.0f;
            e.minOpacities[k] = 10.0f;
        }
        for (int p = 0; p < 4; ++p) {
            bool active = false;
            for (int k = 0; k < frames; ++k) {
                active |= !propertyIgnoredAt(e, p, k);
            }
            (p == 0   ? e.positionActive
             : p == 1 ? e.scaleActive
             : p == 2 ? e.rotationActive
                      : e.opacityActive) = active;
        }
        e.seeds.assign(size_t(frames), 5);
    }

    // Layer i's result of property p at frame position k, as the key's first component.
    double result(int p, int i, int k) const {
        const MyTessaron& e = engine;
        const float v[4] = {e.positions[i][k].x, e.scales[i][k], e.rotations[i][k],
                            e.opacities[i][k]};
        return double(v[p]);
    }
};

}  // namespace

TEST(AnimationRun, RandomCollagesLoseNoKeyAndKeepEachLayersKeysInFrameOrder) {
    std::mt19937 rng(20261207);
    for (int trial = 0; trial < 16; ++trial) {
        RandomRun run(rng, 2 + int(rng() % 5), 2 + int(rng() % 7));
        MyTessaron& e = run.engine;
        e.solve();
        SCOPED_TRACE("trial " + std::to_string(trial));
        for (int i = 0; i < e.layerCount; ++i) {
            const sim::Layer& layer = run.collageLayer(i);
            const sim::Stream* streams[4] = {&layer.position, &layer.scale, &layer.rotation,
                                             &layer.opacity};
            for (int p = 0; p < 4; ++p) {
                if (!propertyActive(e, p)) {
                    continue;
                }
                // Every keyed frame's key, in the frames' order.
                const std::vector<int> keyed = keyedFrames(e, p);
                ASSERT_EQ(streams[p]->keys.size(), keyed.size()) << "layer " << i << " " << p;
                for (size_t q = 0; q < keyed.size(); ++q) {
                    EXPECT_EQ(streams[p]->keys[q].value[0], run.result(p, i, keyed[q]))
                        << "layer " << i << " property " << p << " key " << q;
                }
            }
            // A key keeps the time its offset gives whenever that is after the key before it.
            const std::vector<A_Time> times = layerKeyTimes(e, i);
            const A_Time* previous = nullptr;
            for (int k = 0; k < e.evaluatedFrameCount(); ++k) {
                if (!anyPropertyKeyedAt(e, k)) {
                    continue;
                }
                const A_Time specified =
                    keyTimeAt(offsetKeySeconds(e.frameList[k], e.frameSeconds, e.offsets[i][k],
                                               e.layerCount, e.offsetFrames[k]));
                if (!previous || laterTime(specified, *previous)) {
                    EXPECT_EQ(times[k].value, specified.value) << "layer " << i << " frame " << k;
                } else {
                    EXPECT_TRUE(laterTime(times[k], *previous));
                }
                previous = &times[k];
            }
        }
        // Every key found by the ease script with its own frame's preset.
        expectEasedAsPresets(run);
    }
}
