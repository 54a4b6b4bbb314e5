// A scene's parameter settings reach the effect by the names the plug-in registered, checked
// against each parameter's kind; actions drive the plug-in as a user would.
#include <gtest/gtest.h>

#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "sim/cli/SceneRun.h"
#include "test_sim_scene_fixture.h"
#include "sim/cli/SceneParams.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace scenetest;

Json sceneWith(const Json& params, const Json& actions = Json()) {
    Json doc = {{"comp", {{"width", 100}, {"height", 100}, {"frameRate", 25}, {"duration", 4}}},
                {"layers",
                 {{{"name", "Shape"},
                   {"type", "solid"},
                   {"effects", {{{"name", "Tessaron (Pro)"}, {"params", params}}}}},
                  {{"name", "Card"}, {"type", "solid"}, {"size", {10, 10}}}}}};
    if (!actions.is_null()) doc["actions"] = actions;
    return doc;
}

class SceneParams : public ::testing::Test {
  protected:
    // Loads the scene into a fresh host with the stand-in plug-in applied.
    sim::Host& applied(const Json& doc) {
        scene = sim::parseScene(doc, "scene.json", ".");
        host = std::make_unique<sim::Host>(scene.project);
        host->setEffectLayer(scene.effectLayer, scene.effectSlot);
        attachFake(*host);
        EXPECT_EQ(host->apply(), PF_Err_NONE);
        return *host;
    }

    double value(int index) { return host->effect().params.at(index).value; }

    std::string failure(const Json& params) {
        applied(sceneWith(params));
        try {
            sim::applyParams(*host, scene, scene.params);
        } catch (const sim::SceneError& e) {
            return e.what();
        }
        return "(no error)";
    }

    sim::Scene scene;
    std::unique_ptr<sim::Host> host;
};

TEST_F(SceneParams, ValuesAreSetByNameAndKind) {
    sim::Host& h = applied(sceneWith({{"Mode", "Ignore"},
                                      {"Size", 42.5},
                                      {"Turn", 30},
                                      {"Flag", true},
                                      {"Source Layer", "Card"},
                                      {"Fixed", false}}));
    sim::applyParams(h, scene, scene.params);
    EXPECT_EQ(value(kMode), 4);  // the separator keeps its number
    EXPECT_EQ(value(kSize), 42.5);
    EXPECT_EQ(value(kAngle), 30);
    EXPECT_EQ(value(kFlag), 1);
    EXPECT_EQ(value(kFixed), 0);
    EXPECT_EQ(value(kSource), 2);  // the layer's id

    sim::applyParams(h, scene, {{"Source Layer", "f", "None"}, {"Mode", "f", "Grid"}});
    EXPECT_EQ(value(kSource), 0);
    EXPECT_EQ(value(kMode), 1);
    EXPECT_TRUE(h.leaks().empty());
}

TEST_F(SceneParams, KeyListsMakeParametersVary) {
    sim::Host& h = applied(sceneWith(
        {{"Size", Json::parse(R"([{"time": 0, "value": 10}, {"time": 1.01, "value": 30}])")},
         {"Mode", Json::parse(R"([{"time": 0.49, "value": "Grid"}])")}}));
    sim::applyParams(h, scene, scene.params);
    using Keys = std::vector<std::pair<double, double>>;
    EXPECT_EQ(h.effect().params.at(kSize).keys, (Keys{{0, 10}, {1, 30}}));  // on frames
    EXPECT_EQ(h.effect().params.at(kMode).keys, (Keys{{0.48, 1}}));
}

TEST_F(SceneParams, BadSettingsNameTheFieldAndWhatIsWrong) {
    const std::string at = "scene.json: layers[0].effects[0].params.";
    EXPECT_EQ(failure({{"Sise", 1}}), at + "\"Sise\": unknown parameter (see \"tessaron params\")");
    EXPECT_EQ(failure({{"Mode", "Random"}}), at + "\"Mode\": unknown item \"Random\" (expected one "
                                                  "of \"Grid\", \"Organic\", \"Ignore\")");
    EXPECT_EQ(failure({{"Mode", "(-"}}).find(at + "\"Mode\": unknown item \"(-\""), 0u);
    EXPECT_EQ(failure({{"Mode", 2}}), at + "\"Mode\": expected a string, got number 2");
    EXPECT_EQ(failure({{"Flag", 1}}), at + "\"Flag\": expected true or false, got number 1");
    EXPECT_EQ(failure({{"Size", 101}}), at + "\"Size\": number 101 out of range [0, 100]");
    EXPECT_EQ(failure({{"Source Layer", "Cards"}}),
              at + "\"Source Layer\": no layer named \"Cards\" (or \"None\")");
    EXPECT_EQ(failure({{"Fixed", Json::parse(R"([{"time": 0, "value": true}])")}}),
              at + "\"Fixed\": this parameter cannot vary over time");
    EXPECT_EQ(failure({{"Source Layer", Json::parse(R"([{"time": 0, "value": "Card"}])")}}),
              at + "\"Source Layer\": this parameter cannot vary over time");
    EXPECT_EQ(
        failure({{"Size", Json::parse(R"([{"time": 1, "value": 1}, {"time": 0, "value": 2}])")}}),
        at + "\"Size\"[1].time: keys must be in time order, one per frame");
    EXPECT_EQ(failure({{"", 1}}), at + "\"\": unknown parameter (see \"tessaron params\")");
    EXPECT_EQ(failure({{"Options", 1}}), at + "\"Options\": this parameter cannot be set");
}

TEST_F(SceneParams, ActionsDriveThePluginAsAUserWould) {
    const Json actions = Json::parse(R"(["create", {"set": {"Mode": "Grid", "Flag": true}},
                                         {"time": 2.0}, "undo", "create"])");
    scene = sim::parseScene(sceneWith({{"Size", 20}}, actions), "scene.json", ".");
    sim::Host fresh(scene.project);
    fresh.setEffectLayer(scene.effectLayer, scene.effectSlot);
    attachFake(fresh);
    EXPECT_TRUE(sim::performScene(fresh, scene));
    // Create, the supervised Mode (Flag is not supervised), Create again.
    EXPECT_EQ(fakeLog().changed, (std::vector<int>{kCreate, kMode, kCreate}));
    EXPECT_EQ(fakeLog().updates, 3);  // applying, after the scene's values, after the set
    EXPECT_EQ(fresh.effect().params.at(kSize).value, 20);
    EXPECT_EQ(fresh.effect().params.at(kFlag).value, 1);
    EXPECT_EQ(fresh.project().comp.currentTime.value, 50);
    EXPECT_TRUE(fresh.leaks().empty());
}

TEST(SceneRun, PreviewTimesAreTheKeyedFramesOrTheCurrentOne) {
    sim::Project before;
    before.comp.currentTime = {10, 25};
    before.comp.layers.resize(2);
    before.comp.layers[1].position.addKey({25, 25}, {0, 0, 0});  // in the scene already
    EXPECT_EQ(sim::previewTimes(before, before, 0), std::vector<double>{0.4});
    sim::Project after = before;
    after.comp.layers[0].opacity.addKey({48000, 100000}, {1, 0, 0});
    after.comp.layers[1].scale.addKey({48000, 100000}, {1, 1, 1});
    after.comp.layers[1].rotation.addKey({1, 25}, {1, 0, 0});
    EXPECT_EQ(sim::previewTimes(before, after, 0), (std::vector<double>{0.04, 0.48}));
    for (int f = 2; f < 40; ++f) after.comp.layers[0].rotation.addKey({f, 25}, {1, 0, 0});
    EXPECT_EQ(sim::previewTimes(before, after, 0).size(), 39u);  // every keyed frame, 1 to 39
}

}  // namespace
