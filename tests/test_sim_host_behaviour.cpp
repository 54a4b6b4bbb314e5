// The simulated host behaves as the host does where a plug-in could tell the difference: when
// the controls are refreshed, marker order, which messages the user sees, parameter keys,
// slider ranges, shape and text layers as Sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/Params.h"
#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "sim/cli/SceneRun.h"
#include "test_sim_scene_fixture.h"
#include "sim/cli/SceneParams.h"
#include "sim/result/FrameSummary.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace scenetest;

const char* const kPlugin = TESSARON_BINARY_DIR "/Tessaron_Pro.so";

// A solid carrying the effect, and these actions.
Json fakeScene(const Json& actions) {
    return changed(sceneData("host_fake.json"), {{"/actions", actions}});
}

// Sets one parameter, as an action.
Json setting(const std::string& name, const Json& value) {
    return Json::array({{{"set", {{name, value}}}}});
}

int updatesAfterApplying(PF_FilterProc entry, const Json& actions) {
    const sim::Scene scene = sim::parseScene(fakeScene(actions), "scene.json", ".");
    sim::Host host(scene.project);
    host.setEffectLayer(scene.effectLayer, scene.effectSlot);
    attachFake(host);
    host.attach(entry);
    EXPECT_TRUE(sim::performScene(host, scene));
    return fakeLog().updates - 2;  // applying, and opening with the scene's values
}

PF_Err askingForUpdates(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                        PF_LayerDef* output, void* extra) {
    const PF_Err err = fakeEntry(cmd, in, out, params, output, extra);
    if (cmd == PF_Cmd_GLOBAL_SETUP) out->out_flags |= PF_OutFlag_SEND_UPDATE_PARAMS_UI;
    return err;
}

TEST(SimHostMoments, ControlsAreRefreshedOnlyWhenTheHostWould) {
    // Flag is not supervised: the host does not refresh the controls for it alone.
    EXPECT_EQ(updatesAfterApplying(fakeEntry, setting("Flag", true)), 0);
    EXPECT_EQ(updatesAfterApplying(fakeEntry, setting("Mode", "Grid")), 1);
    // Unless the plug-in asked for every change.
    EXPECT_EQ(updatesAfterApplying(askingForUpdates, setting("Flag", true)), 1);
}

// The Tessaron scene: an opaque 400 x 300 Source (or another Source layer), and cards.
Json collageScene(const Json& params, const Json& actions, const Json& source = Json(),
                  int cards = 6) {
    Json doc = changed(sceneData("host_collage.json"),
                       {{"/layers/0/effects/0/params", params}, {"/actions", actions}});
    if (!source.is_null()) doc["layers"][1] = source;
    for (int i = 0; i < cards; ++i) {
        doc["layers"].push_back({{"name", "Card " + std::to_string(i + 1)},
                                 {"type", "solid"},
                                 {"size", {10, 10}},
                                 {"transform", {{"position", {5 + 10 * i, 5}}}}});
    }
    return doc;
}

struct Ran {
    sim::Scene scene;
    std::unique_ptr<sim::Host> host;
};

Ran run(const Json& doc) {
    Ran r;
    r.scene = sim::parseScene(doc, "scene.json", ".");
    r.host = std::make_unique<sim::Host>(r.scene.project);
    r.host->setEffectLayer(r.scene.effectLayer, r.scene.effectSlot);
    if (r.scene.apiVersion)
        r.host->setApiVersion(r.scene.apiVersion->first, r.scene.apiVersion->second);
    r.host->loadPlugin(kPlugin);
    sim::performScene(*r.host, r.scene);
    return r;
}

TEST(SimHostMoments, RaisingTheOffsetEnablesOffsetMethod) {
    Ran r = run(collageScene({{"Source Layer", "Source"}}, setting("Offset (frames)", 3)));
    EXPECT_FALSE(r.host->paramDisabled(PARAM_OFFSET_METHOD));
    Ran lowered = run(collageScene({{"Source Layer", "Source"}, {"Offset (frames)", 3}},
                                   setting("Offset (frames)", 0)));
    EXPECT_TRUE(lowered.host->paramDisabled(PARAM_OFFSET_METHOD));
}

std::vector<double> positionKeyTimes(sim::Host& host, int layer) {
    std::vector<double> times;
    for (const sim::Key& k : host.project().comp.layers[size_t(layer)].position.keys)
        times.push_back(k.time.seconds());
    return times;
}

TEST(SimHostMarkers, UnsortedMarkersEvaluateEveryFrame) {
    Json doc = collageScene({{"Source Layer", "Source"},
                             {"Frames to Render", "From Layer Markers"},
                             {"Position", "Random"},
                             {"Random Seed", false}},
                            Json::array({"create"}));
    doc["layers"][1]["markers"] = {1.6, 0.2, 0.48, 0.2};
    Ran r = run(doc);
    const auto& markers = r.host->project().comp.layers[1].markers;
    ASSERT_EQ(markers.size(), 4u);
    EXPECT_EQ(markers[0].seconds(), 0.2);
    EXPECT_EQ(markers[3].seconds(), 1.6);
    // The second evaluation of frame 5 keeps its key, one frame after the first.
    EXPECT_EQ(positionKeyTimes(*r.host, 2), (std::vector<double>{0.2, 0.24, 0.48, 1.6}));
}

TEST(SimHostMessages, OnlyShownMessagesAreMarkedShown) {
    // A host too old for the plug-in: the message is written but no flag asks to show it.
    Json old = collageScene({{"Source Layer", "Source"}}, Json::array());
    old["host"] = {{"apiVersion", {13, 0}}};
    Ran declined = run(old);
    const sim::Records& quiet = declined.host->records();
    ASSERT_FALSE(quiet.messages.empty());
    EXPECT_EQ(quiet.messageShown, std::vector<bool>(quiet.messages.size(), false));
    // No Source layer: the plug-in asks for its message to be shown.
    Ran missing = run(collageScene({{"Source Layer", "None"}}, Json::array({"create"})));
    EXPECT_EQ(missing.host->records().messages,
              std::vector<std::string>{"You must choose a Source layer first."});
    EXPECT_EQ(missing.host->records().messageShown, std::vector<bool>{true});
    EXPECT_EQ(missing.host->about(), PF_Err_NONE);
    EXPECT_EQ(missing.host->records().messageShown.back(), true);
}

// A project of one layer, to carry the effect.
sim::Project oneLayer() {
    sim::Project p;
    p.comp.layers.emplace_back();
    p.comp.layers.back().id = 1;
    return p;
}

TEST(SimHostParams, SlidersAndAnglesMoveBetweenKeysOthersHold) {
    sim::Host host(oneLayer());
    attachFake(host);
    ASSERT_EQ(host.apply(), PF_Err_NONE);
    host.setParamKeys(kSize, {{0.0, 10.0}, {1.0, 30.0}});
    host.setParamKeys(kAngle, {{0.0, -90.0}, {2.0, 90.0}});
    host.setParamKeys(kMode, {{0.0, 1.0}, {1.0, 4.0}});
    host.setParamKeys(kFlag, {{0.0, 0.0}, {1.0, 1.0}});
    const auto& params = host.effect().params;
    EXPECT_DOUBLE_EQ(params.at(kSize).at(0.25), 15.0);
    EXPECT_DOUBLE_EQ(params.at(kSize).at(5.0), 30.0);
    EXPECT_DOUBLE_EQ(params.at(kAngle).at(1.5), 45.0);
    EXPECT_EQ(params.at(kMode).at(0.9), 1.0);
    EXPECT_EQ(params.at(kFlag).at(0.9), 0.0);
    EXPECT_EQ(params.at(kFlag).at(1.0), 1.0);
}

TEST(SimHostParams, KeyedMinSizeReachesThePluginInterpolated) {
    Json doc = collageScene({{"Source Layer", "Source"}}, Json::array());
    doc["layers"][0]["effects"][0]["params"]["Min Size (px)"] =
        Json::parse(R"([{"time": 0, "value": 10}, {"time": 2, "value": 30}])");
    doc["comp"]["time"] = 1.0;
    Ran r = run(doc);
    auto& params = r.host->effect().params;
    EXPECT_DOUBLE_EQ(params.at(PARAM_MIN_SIZE).at(1.0), 20.0);
}

TEST(SimHostParams, EveryValueTheRangeAdmitsIsAccepted) {
    sim::Host host(oneLayer());
    host.loadPlugin(kPlugin);
    ASSERT_EQ(host.apply(), PF_Err_NONE);
    sim::Scene scene;
    scene.file = "scene.json";
    const auto set = [&](const Json& value) {
        sim::applyParams(host, scene, {{"Influence In", "Influence In", value}});
        return host.effect().params.at(PARAM_INFLUENCE_IN).value;
    };
    EXPECT_EQ(set(0.1), 0.1);
    EXPECT_EQ(set(100), 100.0);
    EXPECT_THROW(set(0.0999), sim::SceneError);
    EXPECT_THROW(set(100.01), sim::SceneError);
    host.globalSetdown();
}

// Every Position the run writes lies on the pixels the preview draws for the Source
// (tests/scenes/host_sources.json: shape and text layers and where they draw).
TEST(SimHostSources, ShapeAndTextSourcesGetCollagesOnTheirDrawnPixels) {
    const Json cases = sceneData("host_sources.json")["cases"];
    ASSERT_GE(cases.size(), 3u);
    for (const Json& c : cases) {
        const double left = c["bounds"][0], top = c["bounds"][1], right = c["bounds"][2],
                     bottom = c["bounds"][3];
        Ran r = run(collageScene({{"Source Layer", "Source"},
                                  {"Position", "Random"},
                                  {"Random Seed", false},
                                  {"Force Keyframing", true},
                                  {"Scale", "Ignore"}},
                                 Json::array({"create"}), c["source"], 12));
        const auto& layers = r.host->project().comp.layers;
        for (size_t i = 2; i < layers.size(); ++i) {
            ASSERT_EQ(layers[i].position.keys.size(), 1u) << layers[i].name;
            const sim::Vec3 p = layers[i].position.keys[0].value;
            EXPECT_TRUE(p[0] >= left && p[0] <= right && p[1] >= top && p[1] <= bottom)
                << c["source"] << ": " << layers[i].name << " at " << p[0] << ", " << p[1];
        }
    }
}

// A card's anchor in the composition and the edges of its rectangle there, through its parents.
struct Placed {
    double x, y;           // the anchor point
    double width, height;  // lengths of the width and height edges, per layer pixel
    double angle;          // the width edge's, degrees
};

Placed placedAt(const sim::Comp& comp, const sim::Layer& l, double t) {
    const auto m = sim::layerToWorld(comp, l, t);
    const sim::Vec3 a = l.anchorPoint.valueAt(t);
    return {a[0] * m[0][0] + a[1] * m[1][0] + m[3][0], a[0] * m[0][1] + a[1] * m[1][1] + m[3][1],
            std::hypot(m[0][0], m[0][1]), std::hypot(m[1][0], m[1][1]),
            std::atan2(m[0][1], m[0][0]) * 180.0 / M_PI};
}

// The cards' deepest overlap at t, through their parents.
double deepestOverlap(const sim::Comp& comp, double t) {
    std::vector<sim::Quad> quads;
    for (const sim::Layer& l : comp.layers)
        if (l.name.rfind("Card", 0) == 0) quads.push_back(sim::visibleQuad(l, comp, t));
    double deepest = 0.0;
    for (size_t i = 0; i < quads.size(); ++i)
        for (size_t j = i + 1; j < quads.size(); ++j)
            deepest = std::max(deepest, sim::overlapDepth(quads[i], quads[j]));
    return deepest;
}

// Cards parented to nulls (scaled, turned, mirrored, in chains, animated) show the collage the
// same cards make without parents (tests/scenes/host_parents.json): at every key, anchors within
// 1 px, edges within 1 %, angles within 0.1 degree, no overlap beyond the growth step. Where an
// unevenly scaled parent turns a card, the press says which layers show sheared.
TEST(SimHostParents, ParentedCardsShowTheCollageOfUnparentedOnes) {
    const Json table = sceneData("host_parents.json");
    for (const Json& c : table["cases"]) {
        const std::string name = c["name"];
        Json doc = table["base"];
        if (c.contains("params")) doc["layers"][0]["effects"][0]["params"].update(c["params"]);
        Ran unparented = run(doc);
        const sim::Comp& want = unparented.host->project().comp;
        ASSERT_TRUE(unparented.host->records().messages.empty()) << name;
        std::vector<std::string> cards;
        for (Json& layer : doc["layers"]) {
            if (layer["name"].get<std::string>().rfind("Card", 0) != 0) continue;
            layer["parent"] = c["cardsParent"];
            cards.push_back(layer["name"]);
        }
        for (const Json& parent : c["parents"]) doc["layers"].push_back(parent);
        Ran r = run(doc);
        const sim::Comp& got = r.host->project().comp;
        const bool skewed = c.value("skewed", false);
        const auto& messages = r.host->records().messages;
        if (skewed) {
            ASSERT_EQ(messages.size(), 1u) << name;
            EXPECT_NE(messages[0].find("Layers 3, 4, 5, 6, 7, 8, 9 and 10 show sheared"),
                      std::string::npos)
                << name << ": " << messages[0];
        } else {
            EXPECT_TRUE(messages.empty()) << name << ": " << messages.front();
        }
        EXPECT_TRUE(r.host->leaks().empty()) << name;
        for (size_t i = 2; i < 2 + cards.size(); ++i) {
            const sim::Layer& w = want.layers[i];
            const sim::Layer& g = got.layers[i];
            ASSERT_EQ(got.layers[size_t(g.parent - 1)].name, c["cardsParent"]) << name;
            ASSERT_EQ(w.position.keys.size(), 3u) << name << " " << w.name;
            if (c.value("keeps", false)) {
                // What each card shows, read through its parent, is written back as it was.
                const sim::Layer& before = r.scene.project.comp.layers[i];
                const std::pair<const sim::Stream*, const sim::Stream*> streams[] = {
                    {&g.position, &before.position},
                    {&g.scale, &before.scale},
                    {&g.rotation, &before.rotation}};
                for (const auto& [now, was] : streams) {
                    EXPECT_EQ(now->keys.size(), 3u) << name << " " << g.name << " " << now->name;
                    for (const sim::Key& k : now->keys)
                        for (size_t d = 0; d < 2; ++d)
                            EXPECT_NEAR(k.value[d], was->value[d], 1e-3)
                                << name << " " << g.name << " " << now->name;
                }
            }
            if (!c.value("compare", true) || c.value("keeps", false)) continue;
            for (const sim::Key& k : w.position.keys) {
                const double t = k.time.seconds();
                const Placed a = placedAt(want, w, t), b = placedAt(got, g, t);
                const std::string at = name + " " + w.name + " at " + std::to_string(t);
                EXPECT_NEAR(b.x, a.x, 1.0) << at;
                EXPECT_NEAR(b.y, a.y, 1.0) << at;
                EXPECT_NEAR(b.width / a.width, 1.0, 0.01) << at;
                EXPECT_NEAR(b.height / a.height, 1.0, 0.01) << at;
                EXPECT_NEAR(std::remainder(b.angle - a.angle, 360.0), 0.0, 0.1) << at;
            }
        }
        for (const sim::Key& k : want.layers[2].position.keys) {
            if (c.value("keeps", false)) break;  // the cards stay where they were, stacked
            const double t = k.time.seconds();
            EXPECT_LE(deepestOverlap(want, t), 1.0) << name << " without parents at " << t;
            if (!skewed) {
                EXPECT_LE(deepestOverlap(got, t), 1.0) << name << " at " << t;
            }
        }
    }
}

// Each collage key's temporal interpolation, in layer, property and key order.
std::string keyTimings(const sim::Project& project, size_t firstCard, size_t& unEased) {
    std::ostringstream out;
    unEased = 0;
    const auto& layers = project.comp.layers;
    for (size_t i = firstCard; i < layers.size(); ++i) {
        for (const sim::Stream* s :
             {&layers[i].position, &layers[i].scale, &layers[i].rotation, &layers[i].opacity}) {
            for (const sim::Key& k : s->keys) {
                const sim::KeyStyle& style = k.style();
                // The script makes an eased key Bezier; a new key is linear.
                unEased += style.inInterp != sim::Interp::Bezier ? 1 : 0;
                out << int(style.inInterp) << int(style.outInterp);
                for (const auto* eases : {&style.inEase, &style.outEase})
                    for (const sim::Ease& e : *eases) out << ' ' << e.speed << '/' << e.influence;
                out << ';';
            }
        }
    }
    return out.str();
}

// A press in the oldest host the plug-in accepts (API 13.1, whose scripting has no
// app.project.itemByID) sets every ease, the very eases the newest host gets.
TEST(SimHostScripts, APressAtEveryApiVersionSetsEveryEase) {
    std::ifstream file(TESSARON_SOURCE_DIR "/tests/scenes/ease_api_13_1.json");
    const Json doc = Json::parse(file);
    std::string newest;
    for (const auto& version : {std::pair{13, 28}, {13, 7}, {13, 6}, {13, 1}}) {
        Json at = doc;
        at["host"]["apiVersion"] = {version.first, version.second};
        const std::string name =
            std::to_string(version.first) + "." + std::to_string(version.second);
        Ran r = run(at);
        const sim::Records& records = r.host->records();
        EXPECT_EQ(records.scripts.size(), 1u) << name;
        EXPECT_TRUE(records.scriptErrors.empty()) << name << ": " << records.scriptErrors.front();
        EXPECT_TRUE(records.messages.empty()) << name << ": " << records.messages.front();
        EXPECT_TRUE(r.host->leaks().empty()) << name;
        size_t unEased = 0;
        const std::string timings = keyTimings(r.host->project(), 2, unEased);
        EXPECT_EQ(unEased, 0u) << name;
        EXPECT_GT(timings.size(), 100u) << name;
        if (newest.empty()) newest = timings;
        EXPECT_EQ(timings, newest) << name;
    }
}

// ---------------------------------------------------------------- transformed Sources

// The quadrilateral's pixels (centre on it) in a picture covering its whole-pixel box, written
// as a PNG; left and top get the box's corner in the composition.
void drawQuadrilateral(const Json& corners, const std::string& path, int& left, int& top) {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const Json& c : corners) {
        x0 = std::min(x0, c[0].get<double>()), x1 = std::max(x1, c[0].get<double>());
        y0 = std::min(y0, c[1].get<double>()), y1 = std::max(y1, c[1].get<double>());
    }
    left = int(std::floor(x0)), top = int(std::floor(y0));
    const int w = int(std::ceil(x1)) - left, h = int(std::ceil(y1)) - top;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int v = 0; v < h; ++v) {
        for (int u = 0; u < w; ++u) {
            const double px = left + u + 0.5, py = top + v + 0.5;
            int sides = 0, behind = 0;
            for (size_t i = 0; i < 4; ++i) {
                const Json &a = corners[i], &b = corners[(i + 1) % 4];
                const double ax = a[0], ay = a[1], bx = b[0], by = b[1];
                const double cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
                sides += cross >= 0 ? 1 : 0;
                behind += cross <= 0 ? 1 : 0;
            }
            const uint32_t pixel = (sides == 4 || behind == 4) ? 0xffffffffu : 0u;
            std::memcpy(data + v * stride + u * 4, &pixel, 4);
        }
    }
    cairo_surface_mark_dirty(s);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
}

struct CardValues {
    sim::Vec3 position, scale;
    double rotation = 0.0;
};

std::vector<CardValues> cardValues(const sim::Project& project, size_t firstCard) {
    std::vector<CardValues> cards;
    const auto& layers = project.comp.layers;
    for (size_t i = firstCard; i < layers.size(); ++i) {
        cards.push_back({layers[i].position.valueAt(0), layers[i].scale.valueAt(0),
                         layers[i].rotation.valueAt(0)[0]});
    }
    return cards;
}

// tests/scenes/source_transforms.json: each transformed Source against the same picture drawn
// transformed and shown as it is.
TEST(SimHostSources, ATransformedSourceGivesTheCollageOfItsDrawnPicture) {
    const Json table = sceneData("source_transforms.json");
    TempDir dir;
    ASSERT_GE(table["cases"].size(), 6u);
    for (const Json& c : table["cases"]) {
        const std::string name = c["name"];
        Json transformed = table["scene"];
        transformed["layers"][1]["transform"] = c["transform"];
        if (c.contains("params")) {
            for (const auto& [param, value] : c["params"].items())
                transformed["layers"][0]["effects"][0]["params"][param] = value;
        }
        Json drawn = transformed;
        int left = 0, top = 0;
        const std::string png = dir.file(name + ".png");
        drawQuadrilateral(c["drawn"], png, left, top);
        drawn["layers"][1] = {{"name", "Source"},
                              {"type", "footage"},
                              {"image", png},
                              {"transform", {{"anchorPoint", {0, 0}}, {"position", {left, top}}}}};
        Ran a = run(transformed), b = run(drawn);
        EXPECT_TRUE(a.host->misuse().empty()) << name;
        EXPECT_TRUE(a.host->records().messages.empty()) << name;
        const auto got = cardValues(a.host->project(), 2);
        const auto want = cardValues(b.host->project(), 2);
        ASSERT_EQ(got.size(), 6u);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].position[0], want[i].position[0], 1.0) << name << " card " << i;
            EXPECT_NEAR(got[i].position[1], want[i].position[1], 1.0) << name << " card " << i;
            EXPECT_NEAR(got[i].scale[0], want[i].scale[0], 0.01 * want[i].scale[0])
                << name << " card " << i;
            EXPECT_NEAR(got[i].rotation, want[i].rotation, 0.1) << name << " card " << i;
        }
        // Grown cards touch but never overlap by more than the growth step (1 px).
        const sim::Comp& comp = a.host->project().comp;
        for (size_t i = 2; i < comp.layers.size(); ++i) {
            for (size_t k = i + 1; k < comp.layers.size(); ++k) {
                const double depth = sim::overlapDepth(sim::visibleQuad(comp.layers[i], comp, 0),
                                                       sim::visibleQuad(comp.layers[k], comp, 0));
                EXPECT_LE(depth, 1.0)
                    << name << ": " << comp.layers[i].name << " and " << comp.layers[k].name;
            }
        }
    }
}

}  // namespace
