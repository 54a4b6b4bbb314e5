// result.json: numbers read back bit-exact, every layer's streams and keys are written in the
// scene format (so a result's keys load back as scene keys unchanged), and the file appears
// whole or not at all.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "sim/core/Host.h"
#include "sim/result/Result.h"
#include "sim/scene/Scene.h"
#include "test_sim_scene_fixture.h"

namespace {

using Json = nlohmann::ordered_json;
using scenetest::TempDir;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Doubles whose shortest text is long, tiny, huge or signed.
const double kAwkward[] = {0.1 + 0.2,
                           1.0 / 3.0,
                           -0.0,
                           5e-324,
                           1e-300,
                           1.7976931348623157e308,
                           123456789.123456789,
                           33.33333206176758,
                           -2.5e-7,
                           100.03333333333333};

sim::Project awkwardProject() {
    sim::Project p;
    p.comp.currentTime = {12, 25};
    p.comp.layers.resize(2);
    sim::Layer& a = p.comp.layers[0];
    a.name = "A";
    a.motionBlur = true;
    a.rotation.value = {kAwkward[0], 0, 0};
    int32_t t = 0;
    for (double v : kAwkward) {
        const size_t i = size_t(a.position.addKey({t, 100000}, {v, -v, 0}));
        sim::KeyStyle k = a.position.keys.style(i);
        k.inTangent = {v, 1, 0};
        k.outTangent = {-v, 2, 0};
        k.inEase = {{v, 33.333328}};
        k.outEase = {{1.0 / 7.0, 0.1 + std::fabs(std::fmod(v, 99.0))}};  // a valid influence
        k.outInterp = sim::Interp::Hold;
        a.position.keys.setStyle(i, k);
        t += 48000;
    }
    a.opacity.addKey({0, 100000}, {kAwkward[1], 0, 0});
    p.comp.layers[1].name = "B";
    return p;
}

Json readBack(const std::string& path) {
    std::ifstream in(path);
    return Json::parse(in);
}

// A key as result.json writes it: [time, value, style(, inTangent, outTangent)].
TEST(SceneResult, NumbersReadBackBitExact) {
    TempDir dir;
    const sim::Project p = awkwardProject();
    const sim::Records records;
    sim::writeResult(dir.path().string(), sim::resultJson({p, records, {}, {}}));
    const Json r = readBack(dir.file("result.json"));
    const Json& position = r["layers"][0]["position"];
    const Json& keys = position["keys"];
    ASSERT_EQ(keys.size(), std::size(kAwkward));
    EXPECT_EQ(position["timeScale"], 100000);
    for (size_t i = 0; i < keys.size(); ++i) {
        const sim::Key& k = p.comp.layers[0].position.keys[i];
        ASSERT_EQ(keys[i].size(), 5u) << keys[i];
        EXPECT_EQ(keys[i][0], k.time.value);
        EXPECT_TRUE(sameBits(keys[i][1][0].get<double>(), k.value[0])) << keys[i][1][0];
        EXPECT_TRUE(sameBits(keys[i][1][1].get<double>(), k.value[1]));
        EXPECT_TRUE(sameBits(keys[i][3][0].get<double>(), k.style().inTangent[0]));
        EXPECT_TRUE(sameBits(keys[i][4][0].get<double>(), k.style().outTangent[0]));
        const Json& style = position["styles"][keys[i][2].get<size_t>()];
        EXPECT_TRUE(
            sameBits(style["ease"]["in"][0]["speed"].get<double>(), k.style().inEase[0].speed));
        EXPECT_TRUE(sameBits(style["ease"]["out"][0]["influence"].get<double>(),
                             k.style().outEase[0].influence));
    }
    EXPECT_TRUE(sameBits(r["layers"][0]["rotation"]["value"].get<double>(), kAwkward[0]));
}

// Keys alike share one style; styles differing only in a zero's sign stay apart; a key on
// another time scale carries its own; zero tangents are left out.
TEST(SceneResult, KeysShareTheirStylesAndKeepTheirOwnTimeScale) {
    sim::Stream s = sim::Layer().position;
    for (int32_t f = 0; f < 4; ++f) s.addKey({f * 4000, 100000}, {1.0 * f, 2, 0});
    s.keys[2].edit().inEase[0].speed = -0.0;
    s.addKey({5, 25}, {9, 9, 0});  // 0.2 s, after the others
    const Json j = sim::streamJson(s, 0);
    ASSERT_EQ(j["styles"].size(), 2u);
    EXPECT_EQ(j["keys"][0], Json::parse("[0, [0.0, 2.0, 0.0], 0]"));
    EXPECT_EQ(j["keys"][1][2], 0);
    EXPECT_EQ(j["keys"][2][2], 1);
    EXPECT_EQ(j["keys"][3][2], 0);
    EXPECT_TRUE(std::signbit(j["styles"][1]["ease"]["in"][0]["speed"].get<double>()));
    EXPECT_EQ(j["keys"][4], Json::parse("[[5, 25], [9.0, 9.0, 0.0], 0]"));
    EXPECT_EQ(sim::streamJson(sim::Layer().opacity, 0),
              Json::parse(R"({"value": 100.0, "keys": []})"));
}

TEST(SceneResult, LayersStreamsAndRecordsAreWritten) {
    const sim::Project p = awkwardProject();
    sim::Records records;
    records.messages = {"done"};
    records.info = {"Evaluating frame 1 of 1"};
    records.undoGroups = {"Tessaron (Pro)"};
    records.scriptErrors = {"Error: x"};
    records.commands.push_back({PF_Cmd_GLOBAL_SETUP, PF_Err_NONE, 0, 0, ""});
    records.commands.push_back({PF_Cmd_USER_CHANGED_PARAM, PF_Err_OUT_OF_MEMORY, 0, 0, ""});
    const Json r = sim::resultJson(
        {p, records, {{"stream", 2}}, {{"AEGP_DisposeStream", "stream", "released twice"}}});
    EXPECT_EQ(r["messages"], Json({"done"}));
    EXPECT_EQ(r["info"], Json({"Evaluating frame 1 of 1"}));
    EXPECT_EQ(r["undoGroups"], Json({"Tessaron (Pro)"}));
    EXPECT_EQ(r["scriptErrors"], Json({"Error: x"}));
    EXPECT_EQ(r["leaks"], Json({{"stream", 2}}));
    EXPECT_EQ(r["misuse"], Json::parse(R"([{"call": "AEGP_DisposeStream", "kind": "stream",
                                             "problem": "released twice"}])"));
    EXPECT_EQ(r["commandErrors"],
              Json::parse(R"([{"command": "PF_Cmd_USER_CHANGED_PARAM", "code": 4}])"));

    ASSERT_EQ(r["layers"].size(), 2u);
    const Json& a = r["layers"][0];
    EXPECT_EQ(a["index"], 1);
    EXPECT_EQ(a["name"], "A");
    EXPECT_EQ(a["motionBlur"], true);
    EXPECT_EQ(r["layers"][1]["index"], 2);
    EXPECT_EQ(r["layers"][1]["motionBlur"], false);
    EXPECT_EQ(r["layers"][1]["scale"]["value"], Json({100.0, 100.0, 100.0}));
    EXPECT_EQ(r["layers"][1]["opacity"]["keys"], Json::array());

    const Json& k = a["position"]["keys"][1];  // 0.48 s
    EXPECT_EQ(k[0], 48000);
    const Json& style = a["position"]["styles"][k[2].get<size_t>()];
    EXPECT_EQ(style["interpolation"], Json({{"in", "linear"}, {"out", "hold"}}));
    EXPECT_EQ(style["ease"]["in"][0]["influence"], 33.333328);
    const Json& o = a["opacity"]["keys"][0];
    EXPECT_EQ(o.size(), 3u);  // spatial tangents belong to Position only
    EXPECT_TRUE(o[1].is_number());
    // The value at the current time (0.48 s) is the key's value there.
    EXPECT_EQ(a["position"]["value"][0], p.comp.layers[0].position.keys[1].value[0]);
}

TEST(SceneResult, TheFileAppearsWholeAndReplacesAnOldOne) {
    TempDir dir;
    const std::string out = (dir.path() / "deep" / "out").string();
    const sim::Records records;
    const sim::Project p = awkwardProject();
    sim::writeResult(out, Json{{"old", true}});
    sim::writeResult(out, sim::resultJson({p, records, {}, {}}));
    EXPECT_FALSE(readBack(out + "/result.json").contains("old"));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "result.json");  // no temporary file left behind
    }
    EXPECT_EQ(files, 1u);
}

// A property written to result.json loads back as a scene's keys, bit for bit (the keys lie on
// frames of 25 fps, to which scene times snap).
TEST(SceneResult, ResultKeysLoadBackAsSceneKeys) {
    const sim::Project p = awkwardProject();
    const sim::Records records;
    const Json r = sim::resultJson({p, records, {}, {}});
    const Json scene = scenetest::changed(
        scenetest::sceneData("result_reload.json"),
        {{"/layers/0/keys",
          {{"position", r["layers"][0]["position"]}, {"opacity", r["layers"][0]["opacity"]}}}});
    const sim::Scene s = sim::parseScene(scene, "scene.json", ".");
    const sim::Stream& back = s.project.comp.layers[0].position;
    const sim::Stream& orig = p.comp.layers[0].position;
    ASSERT_EQ(back.keys.size(), orig.keys.size());
    for (size_t i = 0; i < orig.keys.size(); ++i) {
        const sim::Key &a = orig.keys[i], &b = back.keys[i];
        for (size_t d = 0; d < 3; ++d) {
            EXPECT_TRUE(sameBits(a.value[d], b.value[d]));
            EXPECT_TRUE(sameBits(a.style().inTangent[d], b.style().inTangent[d]));
            EXPECT_TRUE(sameBits(a.style().outTangent[d], b.style().outTangent[d]));
        }
        EXPECT_EQ(a.style().outInterp, b.style().outInterp);
        ASSERT_EQ(b.style().inEase.size(), 1u);
        EXPECT_TRUE(sameBits(a.style().inEase[0].speed, b.style().inEase[0].speed));
        EXPECT_TRUE(sameBits(a.style().outEase[0].influence, b.style().outEase[0].influence));
    }
    EXPECT_TRUE(sameBits(s.project.comp.layers[0].opacity.keys[0].value[0], kAwkward[1]));
}

}  // namespace
