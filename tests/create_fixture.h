#pragma once
// A small composition with a Source layer carrying the effect and a few collage cards, driven
// through the built plug-in's EntryPointFunc by the simulated host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Params.h"
#include "sim/core/Host.h"
#include "sim/model/Model.h"
#include "sim/result/Result.h"

namespace create_fixture {

inline sim::Layer solidLayer(int32_t id, const std::string& name, int w, int h, double x,
                             double y) {
    sim::Layer layer;
    layer.id = id;
    layer.name = name;
    layer.type = sim::LayerType::Solid;
    layer.width = w;
    layer.height = h;
    layer.maskedBounds = {0, 0, double(w), double(h)};
    layer.anchorPoint.value = {w / 2.0, h / 2.0, 0};
    layer.position.value = {x, y, 0};
    return layer;
}

// Layer 1 "Shape" (100 x 100, opaque, carries the effect), then cards "Card 1" ... "Card n".
inline sim::Project project(int cards, int frames = 100) {
    sim::Project p;
    p.comp.width = 100;
    p.comp.height = 100;
    p.comp.frameDuration = {1, 25};
    p.comp.currentTime = {0, 25};
    p.comp.workAreaStart = {0, 25};
    p.comp.workAreaDuration = {frames, 25};
    p.comp.duration = {frames, 25};
    sim::Layer shape = solidLayer(1, "Shape", 100, 100, 50, 50);
    shape.effects.push_back(sim::EffectInstance{"Tessaron (Pro)", {}});
    p.comp.layers.push_back(shape);
    for (int i = 0; i < cards; ++i) {
        p.comp.layers.push_back(solidLayer(i + 2, "Card " + std::to_string(i + 1), 20, 10, 10, 10));
    }
    return p;
}

// A host with the plug-in applied to layer 1, Source Layer = layer 1, Random Seed off. The
// built shared library, or a linked-in entry point (which sees the switches a test pins).
inline std::unique_ptr<sim::Host> applied(sim::Project p, PF_FilterProc linked = nullptr) {
    auto host = std::make_unique<sim::Host>(std::move(p));
    host->setEffectLayer(0);
    if (linked)
        host->attach(linked);
    else
        host->loadPlugin(TESSARON_BINARY_DIR "/Tessaron_Pro.so");
    EXPECT_EQ(host->apply(), PF_Err_NONE);
    host->setParam(PARAM_SOURCE_LAYER, 1);
    host->setParam(PARAM_RANDOM_SEED, 0);
    return host;
}

// Only Scale varies, as a random size between equal bounds, so keys show which frames ran.
inline void scaleOnly(sim::Host& host) {
    host.setParam(PARAM_POSITION, double(PositionMode::Ignore));
    host.setParam(PARAM_SCALE, double(ScaleMode::Random));
    host.setParam(PARAM_ROTATION, double(RotationMode::Ignore));
    host.setParam(PARAM_OPACITY, double(OpacityMode::Ignore));
    host.setParam(PARAM_PREVENT_OVERLAP, 0);
    host.setParam(PARAM_MIN_SIZE, 10);
    host.setParam(PARAM_MAX_SIZE, 10);
}

inline std::vector<double> keyTimes(const sim::Stream& stream) {
    std::vector<double> times;
    for (const sim::Key& key : stream.keys) {
        times.push_back(key.time.seconds());
    }
    return times;
}

// Every transform value, key and flag of every layer, for comparing projects.
inline std::string fingerprint(const sim::Project& p) {
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const sim::Layer& layer : p.comp.layers) {
        all.push_back({layer.name, layer.flags(), sim::streamJson(layer.position, 0),
                       sim::streamJson(layer.scale, 0), sim::streamJson(layer.rotation, 0),
                       sim::streamJson(layer.opacity, 0), sim::streamJson(layer.anchorPoint, 0)});
    }
    return all.dump();
}

// Organic sites, grown sizes, random turns and fades, Minimum Assignment, every interval-th
// frame of the work area with offsets.
inline void everyModeActive(sim::Host& host, int interval, int offsetFrames) {
    host.setParam(PARAM_POSITION, double(PositionMode::Organic));
    host.setParam(PARAM_SCALE, double(ScaleMode::FromNeighborhood));
    host.setParam(PARAM_ROTATION, double(RotationMode::Random));
    host.setParam(PARAM_OPACITY, double(OpacityMode::Random));
    host.setParam(PARAM_LAYER_ORDER, double(LayerOrder::MinimumAssignment));
    host.setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host.setParam(PARAM_INTERVAL, interval);
    host.setParam(PARAM_OFFSET_FRAMES, offsetFrames);
}

}  // namespace create_fixture
