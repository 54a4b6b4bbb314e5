// Layers with times of their own (start time, stretch, reversed, in and out points) and masked
// bounds: the simulated host hands the effect its layer's time and converts wherever the host
// does, and the plug-in's collage is the one it makes without the time shift.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AEGP_SuiteHandler.h"
#include "sim/cli/SceneRun.h"
#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "test_sim_scene_fixture.h"

namespace {

using Json = nlohmann::ordered_json;
using scenetest::sceneData;

// The base scene with each {"at": pointer, "value": v} of the list applied in order.
Json patched(Json scene, const Json& patches) {
    for (const Json& p : patches)
        scene[Json::json_pointer(p.at("at").get<std::string>())] = p.at("value");
    return scene;
}

// The composition after pressing Create in the scene with the real plug-in.
sim::Comp collageOf(const Json& doc) {
    const sim::Scene scene =
        sim::parseScene(doc, "layer_time.json", std::string(TESSARON_SOURCE_DIR) + "/tests/scenes");
    sim::Host host(scene.project);
    host.setEffectLayer(scene.effectLayer, scene.effectSlot);
    host.setRecordCalls(false);
    host.loadPlugin(TESSARON_DEFAULT_PLUGIN);
    EXPECT_TRUE(sim::performScene(host, scene));
    EXPECT_TRUE(host.misuse().empty());
    EXPECT_TRUE(host.leaks().empty());
    return host.project().comp;
}

void expectSameKeys(const sim::Stream& shifted, const sim::Stream& reference, double tolerance,
                    bool relative, const std::string& what) {
    ASSERT_EQ(shifted.keys.size(), reference.keys.size()) << what;
    ASSERT_FALSE(reference.keys.empty()) << what;
    for (size_t k = 0; k < reference.keys.size(); ++k) {
        const sim::Key& a = shifted.keys[k];
        const sim::Key& b = reference.keys[k];
        EXPECT_NEAR(a.time.seconds(), b.time.seconds(), 1e-6) << what << " key " << k;
        for (int d = 0; d < 2; ++d) {
            const double allowed = relative ? tolerance * std::fabs(b.value[d]) : tolerance;
            EXPECT_NEAR(a.value[d], b.value[d], allowed) << what << " key " << k << " dim " << d;
        }
    }
}

// tests/scenes/layer_time.json: the same collage with and without the layers' time shifts.
TEST(SimLayerTime, CollageIsTheOneMadeWithoutTheTimeShift) {
    const Json table = sceneData("layer_time.json");
    for (const Json& c : table.at("cases")) {
        const std::string name = c.at("name").get<std::string>();
        SCOPED_TRACE(name);
        const sim::Comp shifted = collageOf(patched(table.at("base"), c.at("shifted")));
        const sim::Comp reference = collageOf(patched(table.at("base"), c.at("reference")));
        ASSERT_EQ(shifted.layers.size(), reference.layers.size());
        for (size_t i = 2; i < reference.layers.size(); ++i) {
            const std::string layer = name + " " + reference.layers[i].name;
            expectSameKeys(shifted.layers[i].position, reference.layers[i].position, 1.0, false,
                           layer + " position");
            expectSameKeys(shifted.layers[i].scale, reference.layers[i].scale, 0.01, true,
                           layer + " scale");
        }
    }
}

// A host with the scene's project, the effect on layer 1, and its suites.
struct HostAt {
    explicit HostAt(const Json& doc)
        : scene(sim::parseScene(doc, "scene.json",
                                std::string(TESSARON_SOURCE_DIR) + "/tests/scenes")),
          host(scene.project) {
        host.setEffectLayer(scene.effectLayer, scene.effectSlot);
        in = host.inData();
        suites = std::make_unique<AEGP_SuiteHandler>(in->pica_basicP);
    }
    AEGP_LayerH layer(int index) {
        AEGP_LayerH own = nullptr, l = nullptr;
        AEGP_CompH comp = nullptr;
        EXPECT_EQ(suites->PFInterfaceSuite1()->AEGP_GetEffectLayer(in->effect_ref, &own), 0);
        EXPECT_EQ(suites->LayerSuite7()->AEGP_GetLayerParentComp(own, &comp), 0);
        EXPECT_EQ(suites->LayerSuite7()->AEGP_GetCompLayerByIndex(comp, index, &l), 0);
        return l;
    }
    sim::Scene scene;
    sim::Host host;
    PF_InData* in = nullptr;
    std::unique_ptr<AEGP_SuiteHandler> suites;
};

Json timedScene(const Json& carrier) {
    Json layer = {{"name", "Carrier"}, {"type", "solid"}, {"size", {100, 100}}};
    layer.update(carrier);
    layer["effects"] = Json::array({{{"name", "Tessaron (Pro)"}}});
    return {{"comp",
             {{"width", 100}, {"height", 100}, {"frameRate", 25}, {"duration", 4}, {"time", 2}}},
            {"layers", Json::array({layer})}};
}

double seconds(const A_Time& t) {
    return double(t.value) / double(t.scale);
}

// The effect's times are its layer's own; converting back gives composition time.
TEST(SimLayerTime, EffectTimesAreTheEffectLayersOwn) {
    struct Row {
        Json carrier;
        double current, step, total;  // seconds of current_time, time_step, total_time
    };
    const Row rows[] = {
        {Json::object(), 2.0, 0.04, 4.0},
        {{{"startTime", 1}}, 1.0, 0.04, 3.0},
        {{{"startTime", 1}, {"stretch", 200}}, 0.5, 0.02, 1.5},
        {{{"startTime", -1}, {"stretch", 50}, {"inPoint", 0}, {"outPoint", 3}}, 6.0, 0.08, 6.0},
        {{{"startTime", 3}, {"stretch", -100}}, 1.0, -0.04, 4.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.carrier.dump());
        HostAt h(timedScene(row.carrier));
        EXPECT_NEAR(double(h.in->current_time) / h.in->time_scale, row.current, 1e-12);
        EXPECT_NEAR(double(h.in->time_step) / h.in->time_scale, row.step, 1e-12);
        EXPECT_NEAR(double(h.in->total_time) / h.in->time_scale, row.total, 1e-12);
        A_Time comp = {0, 1};
        ASSERT_EQ(h.suites->PFInterfaceSuite1()->AEGP_ConvertEffectToCompTime(
                      h.in->effect_ref, h.in->current_time, h.in->time_scale, &comp),
                  0);
        EXPECT_EQ(seconds(comp), 2.0);
        // And through the layer suite, both ways.
        A_Time local = {0, 1}, back = {0, 1};
        const A_Time at = {50, 25};
        ASSERT_EQ(h.suites->LayerSuite7()->AEGP_ConvertCompToLayerTime(h.layer(0), &at, &local), 0);
        EXPECT_NEAR(seconds(local), row.current, 1e-12);
        ASSERT_EQ(h.suites->LayerSuite7()->AEGP_ConvertLayerToCompTime(h.layer(0), &local, &back),
                  0);
        EXPECT_EQ(seconds(back), 2.0);
    }
}

// Stream values, keys and markers read and written in layer time land at the composition time
// the layer's time stands for.
TEST(SimLayerTime, LayerTimeModesConvertStreamsAndKeys) {
    Json scene = timedScene({{"startTime", 1}, {"stretch", 200}, {"inPoint", 0}});
    scene["layers"][0]["keys"] = {
        {"rotation", {{{"time", 1}, {"value", 0}}, {{"time", 3}, {"value", 200}}}}};
    scene["layers"][0]["markers"] = {2.6};
    HostAt h(scene);
    AEGP_SuiteHandler& s = *h.suites;
    const AEGP_LayerH layer = h.layer(0);
    AEGP_StreamVal2 value{};
    const A_Time half = {1, 2};  // layer time 0.5 s = composition time 2 s
    ASSERT_EQ(s.StreamSuite4()->AEGP_GetLayerStreamValue(layer, AEGP_LayerStream_ROTATION,
                                                         AEGP_LTimeMode_LayerTime, &half, true,
                                                         &value, nullptr),
              0);
    EXPECT_NEAR(value.one_d, 100.0, 1e-9);
    ASSERT_EQ(s.StreamSuite4()->AEGP_GetLayerStreamValue(layer, AEGP_LayerStream_ROTATION,
                                                         AEGP_LTimeMode_CompTime, &half, true,
                                                         &value, nullptr),
              0);
    EXPECT_NEAR(value.one_d, 0.0, 1e-9);
    AEGP_StreamRefH markers = nullptr;
    ASSERT_EQ(s.StreamSuite4()->AEGP_GetNewLayerStream(0, layer, AEGP_LayerStream_MARKER, &markers),
              0);
    A_Time t = {0, 1};
    ASSERT_EQ(s.KeyframeSuite4()->AEGP_GetKeyframeTime(markers, 0, AEGP_LTimeMode_LayerTime, &t),
              0);
    EXPECT_NEAR(seconds(t), 0.8, 1e-12);
    ASSERT_EQ(s.KeyframeSuite4()->AEGP_GetKeyframeTime(markers, 0, AEGP_LTimeMode_CompTime, &t), 0);
    EXPECT_NEAR(seconds(t), 2.6, 1e-12);
    ASSERT_EQ(s.StreamSuite4()->AEGP_DisposeStream(markers), 0);
    AEGP_StreamRefH position = nullptr;
    ASSERT_EQ(
        s.StreamSuite4()->AEGP_GetNewLayerStream(0, layer, AEGP_LayerStream_POSITION, &position),
        0);
    AEGP_KeyframeIndex index = -1;
    const A_Time quarter = {1, 4};
    ASSERT_EQ(s.KeyframeSuite4()->AEGP_InsertKeyframe(position, AEGP_LTimeMode_LayerTime, &quarter,
                                                      &index),
              0);
    ASSERT_EQ(s.StreamSuite4()->AEGP_DisposeStream(position), 0);
    ASSERT_EQ(h.host.project().comp.layers[0].position.keys.size(), 1u);
    EXPECT_EQ(h.host.project().comp.layers[0].position.keys[0].time.seconds(), 1.5);
}

// Masked bounds: what the layer draws at the time (footage frames of their own sizes) within
// its mask, whichever time mode asks.
TEST(SimLayerTime, MaskedBoundsFollowFramesAndMask) {
    Json scene = timedScene({{"startTime", 1}, {"inPoint", 0}});
    scene["layers"].push_back({{"name", "Cards"},
                               {"type", "footage"},
                               {"startTime", 1},
                               {"inPoint", 0},
                               {"frames",
                                {{{"time", 0}, {"image", "../../examples/cards/dots.png"}},
                                 {{"time", 1}, {"image", "../../examples/cards/checker.png"}}}},
                               {"mask", {10, -5, 110, 150}}});
    HostAt h(scene);
    struct Row {
        A_Time time;
        AEGP_LTimeMode mode;
        A_FloatRect bounds;
    };
    const Row rows[] = {
        {{25, 25}, AEGP_LTimeMode_CompTime, {10, 0, 110, 120}},   // dots, 120 x 120
        {{0, 25}, AEGP_LTimeMode_LayerTime, {10, 0, 110, 120}},   // the same moment
        {{50, 25}, AEGP_LTimeMode_CompTime, {10, 0, 100, 150}},   // checker, 100 x 160
        {{25, 25}, AEGP_LTimeMode_LayerTime, {10, 0, 100, 150}},  // the same moment
    };
    const AEGP_LayerH cards = h.layer(1);
    for (const Row& row : rows) {
        A_FloatRect b = {0, 0, 0, 0};
        ASSERT_EQ(
            h.suites->LayerSuite7()->AEGP_GetLayerMaskedBounds(cards, row.mode, &row.time, &b), 0);
        EXPECT_EQ(b.left, row.bounds.left);
        EXPECT_EQ(b.top, row.bounds.top);
        EXPECT_EQ(b.right, row.bounds.right);
        EXPECT_EQ(b.bottom, row.bounds.bottom);
    }
    // The item keeps the first frame's size.
    EXPECT_EQ(h.host.project().comp.layers[1].width, 120);
}

}  // namespace
