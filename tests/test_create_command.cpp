#include "create_fixture.h"

namespace {

using namespace create_fixture;

constexpr double kFrame = 0.04;  // seconds at 25 fps

// One Create press; checks what every press must leave behind: no new host object, at most one
// undo group, and an undo that restores the project exactly (the run's result is then put back
// so the test can inspect it).
PF_Err create(sim::Host& host) {
    const std::string before = fingerprint(host.project());
    const size_t groups = host.records().undoGroups.size();
    const auto held = host.leaks();  // the global record lives until Global Setdown
    const PF_Err err = host.userChangedParam(PARAM_CREATE);
    EXPECT_EQ(host.leaks(), held);
    EXPECT_LE(host.records().undoGroups.size(), groups + 1);
    if (host.records().undoGroups.size() == groups + 1) {
        const sim::Project after = host.project();
        EXPECT_TRUE(host.undo());
        EXPECT_EQ(fingerprint(host.project()), before);
        host.project() = after;
    }
    return err;
}

std::vector<double> frames(std::initializer_list<int> numbers) {
    std::vector<double> seconds;
    for (int f : numbers) seconds.push_back(f * kFrame);
    return seconds;
}

void expectKeysNear(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << i;
}

TEST(CreateCommand, CurrentFrameRoundsTheCurrentTimeToTheNearestFrame) {
    for (auto [timeValue, frame] : {std::pair<int, int>{149, 1}, {150, 2}}) {
        sim::Project p = project(2);
        p.comp.currentTime = {timeValue, 2500};  // 1.49 and 1.5 frames
        auto host = applied(p);
        scaleOnly(*host);
        host->setParam(PARAM_FORCE_KEYFRAMING, 1);
        ASSERT_EQ(create(*host), PF_Err_NONE);
        expectKeysNear(keyTimes(host->project().comp.layers[1].scale), frames({frame}));
    }
}

TEST(CreateCommand, EveryXFramesWithinTheWorkArea) {
    sim::Project p = project(2);
    p.comp.workAreaStart = {20, 25};
    p.comp.workAreaDuration = {10, 25};
    auto host = applied(p);
    scaleOnly(*host);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 3);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    expectKeysNear(keyTimes(host->project().comp.layers[2].scale), frames({20, 23, 26, 29}));
    EXPECT_EQ(host->records().undoGroups, std::vector<std::string>({"Tessaron (Pro)"}));
}

TEST(CreateCommand, FromLayerMarkersEvaluatesExactlyTheMarkedFrames) {
    sim::Project p = project(2);
    p.comp.layers[0].markers = {{5, 25}, {12, 25}, {40, 25}};
    auto host = applied(p);
    scaleOnly(*host);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::FromLayerMarkers));
    host->setParam(PARAM_INTERVAL, 7);  // plays no part
    ASSERT_EQ(create(*host), PF_Err_NONE);
    expectKeysNear(keyTimes(host->project().comp.layers[1].scale), frames({5, 12, 40}));
}

TEST(CreateCommand, TwoMarkersOnOneFrameEvaluateItTwice) {
    sim::Project p = project(1);
    p.comp.layers[0].markers = {{7, 25}, {71, 250}};  // 0.28 s and 0.284 s: both frame 7
    auto host = applied(p);
    scaleOnly(*host);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::FromLayerMarkers));
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_EQ(host->records().info,
              std::vector<std::string>({"Evaluating frame 1 of 2", "Evaluating frame 2 of 2"}));
    // The second evaluation's key cannot share the first one's time: it goes one frame later.
    expectKeysNear(keyTimes(host->project().comp.layers[1].scale), frames({7, 8}));
}

TEST(CreateCommand, AnimatedSettingsAreReadAtEachFrame) {
    auto host = applied(project(1, 50));
    scaleOnly(*host);
    host->setParamKeys(PARAM_MIN_SIZE, {{0.0, 10.0}, {1.0, 30.0}});
    host->setParamKeys(PARAM_MAX_SIZE, {{0.0, 10.0}, {1.0, 30.0}});
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 25);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    const sim::Stream& scale = host->project().comp.layers[1].scale;
    ASSERT_EQ(scale.keys.size(), 2u);
    EXPECT_FLOAT_EQ(scale.keys[0].value[0], 10.0 / 20.0 * 100.0);  // 10 px of a 20 px card
    EXPECT_FLOAT_EQ(scale.keys[1].value[0], 30.0 / 20.0 * 100.0);
}

// Frames 0 and 25 evaluated; only Scale is written.
std::unique_ptr<sim::Host> framesZeroAndTwentyFive(sim::Project p) {
    auto host = applied(std::move(p));
    scaleOnly(*host);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 25);
    return host;
}

TEST(CreateCommand, SingleValuesTakeTheLastEvaluatedFrame) {
    for (bool last : {false, true}) {
        sim::Project p = project(1, 50);
        sim::Key old;
        old.time = {40, 25};
        old.value = {70, 70, 100};
        p.comp.layers[1].scale.keys.push_back(old);
        auto host = framesZeroAndTwentyFive(p);
        host->setParamKeys(PARAM_MOTION_BLUR, {{0.0, double(!last)}, {1.0, double(last)}});
        host->setParamKeys(PARAM_REMOVE_EXISTING_KEYS, {{0.0, double(!last)}, {1.0, double(last)}});
        ASSERT_EQ(create(*host), PF_Err_NONE);
        const sim::Layer& card = host->project().comp.layers[1];
        EXPECT_EQ(card.motionBlur, last);
        expectKeysNear(keyTimes(card.scale), last ? frames({0, 25}) : frames({0, 25, 40}));
    }
}

TEST(CreateCommand, ForceKeyframingIsReadAtTheEvaluatedFrame) {
    sim::Project p = project(1, 50);
    p.comp.currentTime = {30, 25};
    auto host = applied(p);
    scaleOnly(*host);
    host->setParamKeys(PARAM_FORCE_KEYFRAMING, {{0.0, 0.0}, {1.0, 1.0}});
    ASSERT_EQ(create(*host), PF_Err_NONE);
    expectKeysNear(keyTimes(host->project().comp.layers[1].scale), frames({30}));
}

TEST(CreateCommand, ModesActiveAtAnyFrameAreWrittenAndOthersUntouched) {
    auto host = applied(project(2, 50));
    scaleOnly(*host);
    host->setParamKeys(PARAM_SCALE,
                       {{0.0, double(ScaleMode::Ignore)}, {1.0, double(ScaleMode::Random)}});
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 25);
    const sim::Stream positionBefore = host->project().comp.layers[1].position;
    ASSERT_EQ(create(*host), PF_Err_NONE);
    const sim::Layer& card = host->project().comp.layers[1];
    EXPECT_TRUE(card.position.keys.empty());
    EXPECT_EQ(card.position.value, positionBefore.value);
    expectKeysNear(keyTimes(card.scale), frames({25}));  // Ignore at frame 0 writes no key
}

TEST(CreateCommand, NoEligibleLayerEndsSilentlyWithoutAnUndoGroup) {
    sim::Project p = project(0);
    sim::Layer camera = solidLayer(2, "Camera", 0, 0, 0, 0);
    camera.type = sim::LayerType::Camera;
    sim::Layer locked = solidLayer(3, "Locked", 20, 20, 0, 0);
    locked.locked = true;
    sim::Layer null = solidLayer(4, "Null", 20, 20, 0, 0);
    null.type = sim::LayerType::Null;
    null.null = true;
    p.comp.layers.insert(p.comp.layers.end(), {camera, locked, null});
    auto host = applied(p);
    const std::string before = fingerprint(host->project());
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_TRUE(host->records().messages.empty());
    EXPECT_TRUE(host->records().undoGroups.empty());
    EXPECT_EQ(fingerprint(host->project()), before);
}

TEST(CreateCommand, OnlyVisibleTwoDLayersOfEveryDrawingKindTakePart) {
    sim::Project p = project(0);
    auto add = [&](const std::string& name, auto tweak) {
        sim::Layer layer = solidLayer(int32_t(p.comp.layers.size() + 1), name, 20, 10, 10, 10);
        tweak(layer);
        p.comp.layers.push_back(layer);
    };
    add("3D", [](sim::Layer& l) { l.threeD = true; });
    add("Guide", [](sim::Layer& l) { l.guide = true; });
    add("Audio", [](sim::Layer& l) {
        l.video = false;
        l.audioOnly = true;
    });
    add("Text", [](sim::Layer& l) { l.type = sim::LayerType::Text; });
    add("Shape layer", [](sim::Layer& l) { l.type = sim::LayerType::Shape; });
    add("Card", [](sim::Layer&) {});
    auto host = applied(p);
    scaleOnly(*host);
    host->setParam(PARAM_FORCE_KEYFRAMING, 1);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    std::vector<std::string> keyed;
    for (const sim::Layer& layer : host->project().comp.layers) {
        if (!layer.scale.keys.empty()) keyed.push_back(layer.name);
    }
    EXPECT_EQ(keyed, std::vector<std::string>({"Text", "Shape layer", "Card"}));
}

TEST(CreateCommand, RunsOfAThousandFramesGoAheadAndLongerOnesAreRefused) {
    auto host = applied(project(1, 1001));
    scaleOnly(*host);
    host->setRecordCalls(false);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 1);
    const std::string before = fingerprint(host->project());
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_EQ(host->records().messages,
              std::vector<std::string>({"The number of frames to render is too high. The maximum "
                                        "allowed is 1000 (the actual number is 1001)."}));
    EXPECT_TRUE(host->records().undoGroups.empty());
    EXPECT_EQ(fingerprint(host->project()), before);

    host->project().comp.workAreaDuration = {1000, 25};
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_EQ(host->project().comp.layers[1].scale.keys.size(), 1000u);
    EXPECT_EQ(host->records().undoGroups.size(), 1u);
}

// 3002 layers besides the Shape, one locked: exactly the 3000 eligible layers the tables hold
// run; one more is refused with a message that counts eligible layers, not all layers.
TEST(CreateCommand, LayersBeyondTheTablesAreRefusedBeforeAnythingIsTouched) {
    sim::Project p = project(3002, 10);
    p.comp.layers[5].locked = true;
    p.comp.layers[6].locked = true;
    auto host = applied(p);
    scaleOnly(*host);
    host->setParam(PARAM_LAYER_ORDER, double(LayerOrder::Random));
    host->setRecordCalls(false);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_TRUE(host->records().messages.empty());
    EXPECT_EQ(host->records().undoGroups.size(), 1u);
    EXPECT_EQ(host->project().comp.layers[3002].scale.value[0], 50.0);  // the last card, sized
    EXPECT_EQ(host->project().comp.layers[5].scale.value[0], 100.0);    // locked: untouched

    host->project().comp.layers[6].locked = false;
    const std::string before = fingerprint(host->project());
    ASSERT_EQ(create(*host), PF_Err_NONE);
    ASSERT_EQ(host->records().messages.size(), 1u);
    const std::string& message = host->records().messages[0];
    EXPECT_EQ(message.rfind("Too many layers for a collage. The maximum allowed is 3000 eligible "
                            "layers (the composition has 3001:",
                            0),
              0u)
        << message;
    EXPECT_NE(message.find("other than the Source"), std::string::npos) << message;
    EXPECT_EQ(host->records().undoGroups.size(), 1u);
    EXPECT_EQ(fingerprint(host->project()), before);
}

// Position keyed Grid, Ignore, Radial, Ignore, Grid over frames 0, 5, 10, 15 and 20, Spatial
// Interpolation Zig Zag until frame 10 and Linear from there: Position keys at frames 0, 10 and
// 20 only; the pair from frame 10 takes frame 10's Linear.
TEST(CreateCommand, PositionIgnoredAtSomeFramesIsKeyedOnlyAtTheOthers) {
    auto host = applied(project(4, 25));
    scaleOnly(*host);
    host->setParamKeys(PARAM_POSITION, {{0.0, double(PositionMode::Grid)},
                                        {5 * kFrame, double(PositionMode::Ignore)},
                                        {10 * kFrame, double(PositionMode::Radial)},
                                        {15 * kFrame, double(PositionMode::Ignore)},
                                        {20 * kFrame, double(PositionMode::Grid)}});
    host->setParamKeys(PARAM_SPATIAL_INTERPOLATION, {{0.0, double(SpatialPreset::ZigZag)},
                                                     {10 * kFrame, double(SpatialPreset::Linear)}});
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 5);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    bool moved = false;
    for (int card = 1; card <= 4; ++card) {
        const sim::Layer& layer = host->project().comp.layers[card];
        SCOPED_TRACE(layer.name);
        expectKeysNear(keyTimes(layer.position), frames({0, 10, 20}));
        expectKeysNear(keyTimes(layer.scale), frames({0, 5, 10, 15, 20}));
        const sim::KeyList& keys = layer.position.keys;
        ASSERT_EQ(keys.size(), 3u);
        EXPECT_EQ(keys[1].style().outTangent, (sim::Vec3{0, 0, 0}));
        EXPECT_EQ(keys[2].style().inTangent, (sim::Vec3{0, 0, 0}));
        moved |= keys[1].value != keys[2].value;
    }
    EXPECT_TRUE(moved);  // a pair with a chord, which Zig Zag would have bent
}

TEST(CreateCommand, MissingSourceLayerAndMissingMarkersAreExplained) {
    auto host = applied(project(2));
    host->setParam(PARAM_SOURCE_LAYER, 0);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_STREQ(host->outData().return_msg, "You must choose a Source layer first.");
    EXPECT_TRUE(host->outData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    host->setParam(PARAM_SOURCE_LAYER, 99);  // a layer that no longer exists
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_STREQ(host->outData().return_msg, "You must choose a Source layer first.");

    host->setParam(PARAM_SOURCE_LAYER, 1);
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::FromLayerMarkers));
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_EQ(host->records().messages.back(), "Layer markers not found.");
    EXPECT_TRUE(host->records().undoGroups.empty());
}

TEST(CreateCommand, ChangingAnotherParameterOnlyRefreshesTheUi) {
    auto host = applied(project(2));
    const std::string before = fingerprint(host->project());
    ASSERT_EQ(host->userChangedParam(PARAM_SCALE), PF_Err_NONE);
    EXPECT_EQ(fingerprint(host->project()), before);
    EXPECT_TRUE(host->records().undoGroups.empty());
    EXPECT_EQ(host->globalSetdown(), PF_Err_NONE);
    EXPECT_TRUE(host->leaks().empty());
}

TEST(CreateCommand, EveryModeActiveRunIsOneUndoGroupThatUndoRestoresExactly) {
    sim::Project p = project(6, 50);
    sim::Key oldKey;
    oldKey.time = {0, 25};
    oldKey.value = {30, 40, 0};
    p.comp.layers[3].position.keys.push_back(oldKey);
    auto host = applied(p);
    everyModeActive(*host, 10, 4);
    host->setParam(PARAM_SPATIAL_INTERPOLATION, double(SpatialPreset::ZigZag));
    host->setParam(PARAM_MOTION_BLUR, 1);
    host->setParam(PARAM_REMOVE_EXISTING_KEYS, 1);
    const std::string before = fingerprint(host->project());
    ASSERT_EQ(create(*host), PF_Err_NONE);
    EXPECT_EQ(host->records().undoGroups, std::vector<std::string>({"Tessaron (Pro)"}));
    EXPECT_TRUE(host->records().scriptErrors.empty());
    const sim::Layer& card = host->project().comp.layers[1];
    EXPECT_EQ(card.position.keys.size(), 5u);
    EXPECT_TRUE(card.motionBlur);
    EXPECT_NE(fingerprint(host->project()), before);  // create() has checked the undo
}

TEST(CreateCommand, CustomEaseTakesTheFourSlidersAsSet) {
    auto host = applied(project(2, 50));
    host->setParam(PARAM_POSITION, double(PositionMode::Random));
    host->setParam(PARAM_SCALE, double(ScaleMode::Ignore));
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, 25);
    host->setParam(PARAM_TEMPORAL_INTERPOLATION, double(TemporalPreset::Custom));
    host->setParam(PARAM_SPEED_IN, 5);
    host->setParam(PARAM_INFLUENCE_IN, 40);
    host->setParam(PARAM_SPEED_OUT, 7);
    host->setParam(PARAM_INFLUENCE_OUT, 60);
    ASSERT_EQ(create(*host), PF_Err_NONE);
    const sim::Stream& position = host->project().comp.layers[2].position;
    ASSERT_EQ(position.keys.size(), 2u);
    for (const sim::Key& key : position.keys) {
        ASSERT_EQ(key.style().inEase.size(), 1u);
        ASSERT_EQ(key.style().outEase.size(), 1u);
        EXPECT_DOUBLE_EQ(key.style().inEase[0].speed, 5);
        EXPECT_DOUBLE_EQ(key.style().inEase[0].influence, 40);
        EXPECT_DOUBLE_EQ(key.style().outEase[0].speed, 7);
        EXPECT_DOUBLE_EQ(key.style().outEase[0].influence, 60);
        EXPECT_EQ(key.style().inInterp, sim::Interp::Bezier);
    }
}

}  // namespace
