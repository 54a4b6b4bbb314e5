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

// A solid carrying the effect with these settings, and a card.
Json sceneWith(const Json& params, const Json& actions = Json()) {
    Json doc = changed(sceneData("params_scene.json"), {{"/layers/0/effects/0/params", params}});
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

// tests/scenes/params_bad.json: settings the stand-in refuses, and the line naming each.
TEST_F(SceneParams, BadSettingsNameTheFieldAndWhatIsWrong) {
    const std::string at = "scene.json: layers[0].effects[0].params.";
    const Json cases = sceneData("params_bad.json")["cases"];
    ASSERT_GE(cases.size(), 12u);
    for (const Json& c : cases) {
        const std::string message = failure(c["params"]);
        if (c.contains("messageStart"))
            EXPECT_EQ(message.find(at + c["messageStart"].get<std::string>()), 0u) << message;
        else
            EXPECT_EQ(message, at + c["message"].get<std::string>());
    }
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
