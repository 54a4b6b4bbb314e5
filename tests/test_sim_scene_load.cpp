// Scene files: a complete scene lands in the project as written, defaults fill the rest, frame
// rates and times become exact host times, and every kind of bad scene fails with one line
// naming the file and the field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/model/ImageFile.h"
#include "sim/scene/Scene.h"
#include "sim/scene/SceneReader.h"
#include "test_sim_scene_fixture.h"
#include "sim/model/CompTime.h"

namespace {

using scenetest::TempDir;
using Json = nlohmann::ordered_json;

// A complete scene: a footage Source carrying the effect and one card.
Json example() {
    return scenetest::sceneData("load_example.json");
}

class SceneLoad : public ::testing::Test {
  protected:
    void SetUp() override { scenetest::writePng(dir.file("shape.png"), 100, 100); }

    sim::Scene load(const Json& doc) {
        scenetest::writeText(dir.file("scene.json"), doc.dump());
        return sim::loadScene(dir.file("scene.json"));
    }

    // The one-line message of a failed load.
    std::string failure(const Json& doc) {
        try {
            load(doc);
        } catch (const sim::SceneError& e) {
            return e.what();
        } catch (const std::exception& e) {
            return std::string("(not a scene error: ") + e.what() + ")";
        }
        return "(no error)";
    }

    TempDir dir;
};

TEST_F(SceneLoad, ExampleSceneLandsInTheProject) {
    const sim::Scene s = load(example());
    const sim::Comp& c = s.project.comp;
    EXPECT_EQ(c.width, 100);
    EXPECT_EQ(c.frameDuration.value, 1);
    EXPECT_EQ(c.frameDuration.scale, 25u);
    EXPECT_EQ(c.duration.value, 100);
    EXPECT_EQ(c.workAreaStart.value, 0);
    EXPECT_EQ(c.workAreaDuration.value, 100);
    EXPECT_EQ(c.downsample, 1);
    EXPECT_EQ(c.bitDepth, 8);
    ASSERT_EQ(c.layers.size(), 2u);

    const sim::Layer& shape = c.layers[0];
    EXPECT_EQ(shape.id, 1);
    EXPECT_EQ(shape.type, sim::LayerType::Footage);
    EXPECT_EQ(shape.imagePath, "shape.png");
    EXPECT_EQ(shape.width, 100);
    ASSERT_EQ(shape.position.keys.size(), 1u);
    EXPECT_EQ(shape.position.keys[0].time.value, 25);
    EXPECT_EQ(shape.position.keys[0].time.scale, 25u);
    EXPECT_EQ(shape.position.keys[0].value, (sim::Vec3{10, 20, 0}));
    EXPECT_EQ(shape.scale.value, (sim::Vec3{100, 100, 100}));
    ASSERT_EQ(shape.markers.size(), 2u);
    EXPECT_EQ(shape.markers[0].value, 5);
    EXPECT_EQ(shape.markers[1].value, 12);
    EXPECT_EQ(s.project.baseDir, dir.path().string());

    const sim::Layer& card = c.layers[1];
    EXPECT_EQ(card.id, 2);
    EXPECT_EQ(card.type, sim::LayerType::Solid);
    EXPECT_EQ(card.fill, (std::array<uint8_t, 4>{255, 136, 0, 255}));
    EXPECT_EQ(card.width, 40);
    EXPECT_EQ(card.height, 20);

    EXPECT_EQ(s.effectLayer, 0);
    ASSERT_EQ(shape.effects.size(), 1u);
    EXPECT_EQ(shape.effects[0].name, "Tessaron (Pro)");
    ASSERT_EQ(s.params.size(), 5u);  // in the file's order
    EXPECT_EQ(s.params[0].name, "Source Layer");
    EXPECT_EQ(s.params[2].name, "Min Size (px)");
    EXPECT_EQ(s.params[4].field, "layers[0].effects[0].params.\"Seed\"");
    ASSERT_EQ(s.actions.size(), 1u);
    EXPECT_EQ(s.actions[0].kind, sim::Action::Kind::Create);
    EXPECT_FALSE(s.apiVersion);
}

TEST_F(SceneLoad, DefaultsFillWhatTheSceneLeavesOut) {
    const sim::Scene s = load(scenetest::sceneData("load_defaults.json"));
    const sim::Comp& c = s.project.comp;
    EXPECT_EQ(c.workAreaDuration.value, 60);
    EXPECT_EQ(c.currentTime.value, 0);
    const sim::Layer& a = c.layers[0];
    EXPECT_EQ(a.name, "Layer 1");
    EXPECT_EQ(a.anchorPoint.value, (sim::Vec3{20, 10, 0}));  // the layer's centre
    EXPECT_EQ(a.position.value, (sim::Vec3{100, 50, 0}));    // the composition's centre
    EXPECT_EQ(a.opacity.value[0], 100);
    EXPECT_EQ(a.fill, (std::array<uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_TRUE(c.layers[1].null);
    EXPECT_EQ(c.layers[1].width, 100);
    EXPECT_EQ(c.layers[2].width, 0);  // a camera has no pixels
    EXPECT_EQ(c.layers[3].width, 200);
    EXPECT_EQ(c.layers[3].height, 100);
    ASSERT_EQ(s.actions.size(), 1u);  // pressing Create is the default
    EXPECT_EQ(s.actions[0].kind, sim::Action::Kind::Create);
    ASSERT_TRUE(s.apiVersion);
    EXPECT_EQ(s.apiVersion->first, 13);
    EXPECT_EQ(s.apiVersion->second, 0);
}

TEST_F(SceneLoad, ActionsAndKeyDetailsAreRead) {
    const sim::Scene s = load(
        scenetest::changed(example(), scenetest::sceneData("load_example_actions.json")["set"]));
    ASSERT_EQ(s.actions.size(), 4u);
    EXPECT_EQ(s.actions[1].kind, sim::Action::Kind::Time);
    EXPECT_EQ(s.actions[1].time.value, 50);
    EXPECT_EQ(s.actions[2].kind, sim::Action::Kind::Set);
    ASSERT_EQ(s.actions[2].params.size(), 2u);
    EXPECT_EQ(s.actions[2].params[1].name, "Position");
    EXPECT_EQ(s.actions[3].kind, sim::Action::Kind::Undo);
    const sim::Key& k = s.project.comp.layers[1].scale.keys.at(0);
    EXPECT_EQ(k.value, (sim::Vec3{50, 60, 100}));
    EXPECT_EQ(k.style().inInterp, sim::Interp::Hold);
    EXPECT_EQ(k.style().outInterp, sim::Interp::Bezier);
    ASSERT_EQ(k.style().inEase.size(), 3u);
    EXPECT_EQ(k.style().inEase[2].speed, 3);
    EXPECT_EQ(k.style().inEase[2].influence, 40);
}

TEST(SceneTimes, FrameRatesBecomeExactFrameDurations) {
    auto expect = [](double fps, int32_t value, uint32_t scale) {
        sim::Time d = sim::frameDurationOf(fps);
        EXPECT_EQ(d.value, value) << fps;
        EXPECT_EQ(d.scale, scale) << fps;
    };
    expect(25, 1, 25);
    expect(30, 1, 30);
    expect(29.97, 1001, 30000);
    expect(23.976, 1001, 24000);
    expect(59.94, 1001, 60000);
    expect(12.5, 2, 25);
    expect(7.5, 2, 15);
}

TEST(SceneTimes, SecondsSnapToTheNearestFrame) {
    sim::Comp comp;
    comp.frameDuration = {1, 25};
    EXPECT_EQ(sim::frameTime(comp, 0.48).value, 12);
    EXPECT_EQ(sim::frameTime(comp, 0.49).value, 12);
    EXPECT_EQ(sim::frameTime(comp, 0.5).value, 13);
    comp.frameDuration = {1001, 30000};
    const sim::Time t = sim::frameTime(comp, 1.0);  // frame 30
    EXPECT_EQ(t.value, 30030);
    EXPECT_EQ(t.scale, 30000u);
}

// ---------------------------------------------------------------- bad scenes

// tests/scenes/load_bad.json: the example with one field replaced, and the start of the line.
TEST_F(SceneLoad, EachBadSceneFailsWithOneLineNamingFileAndField) {
    const Json cases = scenetest::sceneData("load_bad.json")["cases"];
    ASSERT_GE(cases.size(), 36u);
    for (const Json& c : cases) {
        const std::string message =
            failure(scenetest::changed(example(), {{c["at"].get<std::string>(), c["value"]}}));
        const std::string expected =
            dir.file("scene.json") + ": " + c["message"].get<std::string>();
        EXPECT_EQ(message.substr(0, expected.size()), expected) << c["at"];
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

// At 59.94 fps a time value counts 1/60000 s: 35791 s is the last time that fits, and a key at
// 40000 s is refused rather than wrapped to a negative time.
TEST_F(SceneLoad, TimesAreCheckedAtTheCompositionsTimeScale) {
    Json doc = example();
    doc["comp"]["frameRate"] = 59.94;
    doc["layers"][0]["keys"]["position"][0]["time"] = 35790;
    EXPECT_EQ(load(doc).project.comp.layers[0].position.keys[0].time.value, 2145255 * 1001);
    doc["layers"][0]["keys"]["position"][0]["time"] = 40000;
    EXPECT_EQ(failure(doc).rfind(dir.file("scene.json") +
                                     ": layers[0].keys.position[0].time: number 40000 s is beyond "
                                     "the times the host can hold at this frame rate (35791.4 s",
                                 0),
              0u)
        << failure(doc);
}

// Text no document can hold (load_bad.json's texts): numbers beyond a double, malformed JSON,
// and nesting that would exhaust the stack of anything walking it recursively.
TEST_F(SceneLoad, NumbersTooBigAndNestingTooDeepNameTheField) {
    const std::string file = dir.file("scene.json");
    auto failureOf = [&](const std::string& text) -> std::string {
        scenetest::writeText(file, text);
        try {
            sim::loadScene(file);
        } catch (const sim::SceneError& e) {
            return e.what();
        } catch (const std::exception& e) {
            return std::string("(not a scene error: ") + e.what() + ")";
        }
        return "(no error)";
    };
    const Json texts = scenetest::sceneData("load_bad.json")["texts"];
    ASSERT_GE(texts.size(), 4u);
    for (const Json& c : texts) {
        const std::string message = failureOf(c["text"]);
        if (c.contains("messageStart"))
            EXPECT_EQ(message.rfind(file + ": " + c["messageStart"].get<std::string>(), 0), 0u)
                << message;
        else
            EXPECT_EQ(message, file + ": " + c["message"].get<std::string>());
    }
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    std::string path = "comp.x";
    for (int i = 0; i < sim::scene::kMaxDepth - 2; ++i) path += "[0]";
    EXPECT_EQ(failureOf(R"({"comp": {"x": )" + deep + "}}"),
              file + ": " + path + ": nested deeper than 64 levels");
}

// An image larger than any layer the host makes is refused from its header, before decoding.
TEST_F(SceneLoad, ImagesLargerThanTheHostsLayersAreRefused) {
    const unsigned char header[24] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                                      'I',  'H', 'D', 'R', 0,    0,    0x9c, 0x40, 0, 0, 0, 10};
    scenetest::writeText(dir.file("huge.png"), std::string(header, header + sizeof header));
    Json doc = example();
    doc["layers"][0]["image"] = "huge.png";
    doc["layers"][0].erase("size");
    EXPECT_EQ(failure(doc), dir.file("scene.json") +
                                ": layers[0].image: 40000 x 10 pixels, larger than the host's "
                                "30000 x 30000: " +
                                dir.file("huge.png"));
}

// A JPEG is footage too, shown upright: the eight EXIF orientations of one picture (32 x 16, top
// left red, top right green, bottom left blue, bottom right white) all load as that picture, and
// the layer takes its size as shown.
TEST_F(SceneLoad, JpegFootageIsShownUpright) {
    struct Corner {
        int x, y;
        int rgb[3];
    };
    const Corner corners[] = {
        {4, 4, {255, 0, 0}}, {27, 4, {0, 255, 0}}, {4, 11, {0, 0, 255}}, {27, 11, {255, 255, 255}}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string file = std::string(TESSARON_SOURCE_DIR) + "/tests/scenes/jpeg/orient" +
                                 std::to_string(orientation) + ".jpg";
        sim::ImageHeader header;
        ASSERT_TRUE(sim::readImageHeader(file, header));
        EXPECT_EQ(header.kind, sim::ImageKind::Jpeg);
        EXPECT_EQ(header.orientation, orientation);
        const sim::Image image = sim::loadImage(file);
        ASSERT_EQ(image.width, 32);
        ASSERT_EQ(image.height, 16);
        for (const Corner& c : corners) {
            const uint8_t* p = &image.rgba[size_t(c.y * 32 + c.x) * 4];
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.rgb[i], 8) << c.x << ", " << c.y;
            EXPECT_EQ(p[3], 255);
        }
        Json doc = example();
        doc["layers"][0]["image"] = file;
        doc["layers"][0].erase("size");
        const sim::Scene s = load(doc);
        EXPECT_EQ(s.project.comp.layers[0].width, 32);
        EXPECT_EQ(s.project.comp.layers[0].height, 16);
    }
    // An EXIF block that points past its end says nothing: the picture shows as stored.
    sim::ImageHeader header;
    ASSERT_TRUE(sim::readImageHeader(
        std::string(TESSARON_SOURCE_DIR) + "/tests/scenes/jpeg/bad-exif.jpg", header));
    EXPECT_EQ(header.orientation, 1);
    EXPECT_EQ(header.width, 32);
}

// EXIF blocks as a camera or a hostile file writes them: the orientation when the block is whole
// and says 1 to 8, else 1, never reading past the block (each payload is allocated to its size,
// so the sanitizer build sees any read beyond it).
TEST(ExifOrientation, ReadsWholeBlocksAndNothingPastThem) {
    const std::string head = std::string("Exif\0\0", 6);
    const std::string be = head + std::string("MM\0\x2a\0\0\0\x08", 8);
    const std::string le = head + std::string("II\x2a\0\x08\0\0\0", 8);
    const struct {
        std::string payload;
        int orientation;
    } cases[] = {
        {be + std::string("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 14), 6},
        {le + std::string("\x01\0\x12\x01\x03\0\x01\0\0\0\x03\0\0\0", 14), 3},
        {be + std::string("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x09\0\0", 14), 1},  // 9
        {be + std::string("\0\x01\x01\x12\0\x04\0\0\0\x01\0\x06\0\0", 14), 1},  // LONG
        {be + std::string("\0\x01\x01\x12\0\x03\0\0\0\x01\0", 11), 1},          // cut in the entry
        {be + std::string("\0\x01", 2), 1},                       // cut after the count
        {be + std::string("\xff\xff", 2), 1},                     // 65535 entries
        {head + std::string("MM\0\x2a\x7f\0\0\0\0\x01", 10), 1},  // IFD far beyond
        {head + std::string("XX\0\x2a\0\0\0\x08\0\0", 10), 1},    // no byte order
        {std::string("Exif"), 1},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes(c.payload.begin(), c.payload.end());
        EXPECT_EQ(sim::exifOrientation(bytes.data(), bytes.size()), c.orientation)
            << testing::PrintToString(c.payload);
    }
}

TEST_F(SceneLoad, MissingFilesAndFieldsFail) {
    EXPECT_THROW(sim::loadScene(dir.file("none.json")), sim::SceneError);
    EXPECT_THROW(sim::loadScene(dir.path().string()), sim::SceneError);  // a folder
    Json doc = example();
    doc.erase("comp");
    EXPECT_EQ(failure(doc), dir.file("scene.json") + ": comp: missing");
}

}  // namespace
