// The bundled examples with their fixed Seeds, run as a user runs them, must write exactly the
// keys stored beside this test: any change of float or double, rounding or draw order anywhere
// in the pipeline shows up here as a changed number.
//
// After an intended change of the collages, rewrite the stored copies with
//   TESSARON_UPDATE_GOLDEN=1 build/unit_tests --gtest_filter='ExampleGolden.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/cli/SceneRun.h"
#include "test_sim_scene_fixture.h"

namespace {

using Json = nlohmann::ordered_json;

const std::string kExamples = std::string(TESSARON_SOURCE_DIR) + "/examples/";
const std::string kGolden = std::string(TESSARON_SOURCE_DIR) + "/tests/golden/";

// What the run wrote on the collage layers: every key's time, value, tangents and ease.
Json writtenLayers(const std::string& example) {
    scenetest::TempDir dir;
    sim::RunOptions options;
    options.plugin = TESSARON_DEFAULT_PLUGIN;
    options.outDir = dir.path().string();
    options.previews = false;
    EXPECT_TRUE(
        sim::runScene(sim::loadScene(kExamples + example + "/" + example + ".json"), options));
    std::ifstream in(dir.file("result.json"));
    const Json result = Json::parse(in);
    EXPECT_EQ(result.at("leaks"), Json::object()) << example;
    EXPECT_EQ(result.at("misuse"), Json::array()) << example;
    return result.at("layers");
}

class ExampleGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleGolden, WritesBitForBitTheStoredKeys) {
    const std::string example = GetParam();
    const Json written = writtenLayers(example);
    const std::string stored = kGolden + example + "_layers.json";
    if (std::getenv("TESSARON_UPDATE_GOLDEN")) {
        std::ofstream out(stored);  // one layer a line keeps the differences readable
        for (size_t i = 0; i < written.size(); ++i) out << (i ? ",\n " : "[") << written[i].dump();
        out << "]\n";
        GTEST_SKIP() << "rewrote " << stored;
    }
    std::ifstream in(stored);
    ASSERT_TRUE(in) << stored << " is missing";
    const Json expected = Json::parse(in);
    ASSERT_EQ(written.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        // Layer by layer, so a difference names the layer; JSON numbers compare as doubles.
        EXPECT_EQ(written[i], expected[i]) << example << ": layer " << expected[i].at("name");
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleGolden,
                         ::testing::Values("heart", "word", "ring", "tree"));

}  // namespace
