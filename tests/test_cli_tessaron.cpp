// The tessaron command line, run as a user runs it: help, the parameter list of the built
// plug-in, a run writing result.json, and bad input failing with exit code 2 and no result.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "test_sim_scene_fixture.h"

namespace {

using Json = nlohmann::ordered_json;
using scenetest::TempDir;

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs tessaron with the arguments (shell words) in dir.
Outcome tessaron(const TempDir& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir.path().string() +
                            "' && " TESSARON_BINARY_DIR "/tessaron " + args +
                            " >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = slurp(dir.file("stdout.txt"));
    o.err = slurp(dir.file("stderr.txt"));
    return o;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
}

// A solid carrying the effect with these settings, a card, and these actions.
Json smallScene(const Json& params, const Json& actions) {
    return scenetest::changed(scenetest::sceneData("cli_scene.json"),
                              {{"/layers/0/effects/0/params", params}, {"/actions", actions}});
}

TEST(Cli, HelpAndUsageErrors) {
    TempDir dir;
    const Outcome help = tessaron(dir, "--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out.rfind("usage:\n  tessaron run SCENE.json [--out DIR] [--plugin PATH]", 0),
              0u)
        << help.out;
    EXPECT_NE(help.out.find("tessaron params [--plugin PATH]"), std::string::npos);
    EXPECT_NE(help.out.find("tessaron about [--plugin PATH] [--png FILE]"), std::string::npos);

    for (const char* bad : {"", "dance", "run", "run a.json --frobnicate", "params extra",
                            "run a.json --preview-frames lots", "run a.json --out"}) {
        const Outcome o = tessaron(dir, bad);
        EXPECT_EQ(o.code, 2) << bad;
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
        EXPECT_NE(o.err.find("(see tessaron --help)"), std::string::npos) << o.err;
    }
}

TEST(Cli, ParamsListsWhatThePluginRegisters) {
    TempDir dir;
    const Outcome o = tessaron(dir, "params");
    ASSERT_EQ(o.code, 0) << o.err;
    const std::vector<std::string> all = lines(o.out);
    ASSERT_EQ(all.size(), 41u);
    EXPECT_EQ(all[0].substr(0, 40), " 1  \"About\"                   checkbox  ");
    EXPECT_EQ(all[3],
              " 4  \"Position\"                popup         flags 64   7 items, default 2: "
              "Grid|Organic|Radial|Random|Use Previous Value|(-|Ignore");
    EXPECT_EQ(all[8],
              " 9  \"Min Size (px)\"           float slider  flags 32   valid [0, 10000]  slider "
              "[0, 100]  default 0  precision 0");
    EXPECT_EQ(all[12],
              "13  \"Min Rotation\"            angle         flags 32   default -45 degrees");
    EXPECT_EQ(all[39], "40  \"\"                        button        flags 64   label \"Create\"");
    EXPECT_EQ(all[40].substr(0, 40), "41  \"Remove Existing Keys\"    checkbox  ");
}

TEST(Cli, RunWritesTheResult) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"), smallScene({{"Seed", 3}}, Json::array()).dump());
    const Outcome o = tessaron(dir, "run scene.json --out result --no-preview");
    ASSERT_EQ(o.code, 0) << o.err;
    const Json r = Json::parse(slurp(dir.file("result/result.json")));
    EXPECT_EQ(r["leaks"], Json::object());
    EXPECT_EQ(r["misuse"], Json::array());
    EXPECT_EQ(r["commandErrors"], Json::array());
    ASSERT_EQ(r["layers"].size(), 2u);
    EXPECT_EQ(r["layers"][1]["name"], "Card");
}

// What the user would see: a one-line summary on stderr, the controls' state and each keyed
// frame in result.json.
TEST(Cli, RunSummarisesWhatTheUserSees) {
    TempDir dir;
    const Json params = {{"Position", "Grid"},
                         {"Scale", "Ignore"},
                         {"Random Seed", false},
                         {"Force Keyframing", true}};
    scenetest::writeText(dir.file("scene.json"),
                         smallScene(params, Json::array({"create"})).dump());
    const Outcome o = tessaron(dir, "run scene.json --out result --no-preview");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(
        o.err.find("tessaron: 1 frame evaluated: 1 layer placed, 0 overlapping pairs, 0 layers "
                   "outside the shape, "),
        std::string::npos)
        << o.err;
    const Json r = Json::parse(slurp(dir.file("result/result.json")));
    ASSERT_EQ(r["frames"].size(), 1u);
    EXPECT_EQ(r["frames"][0]["layersPlaced"], 1);
    EXPECT_EQ(r["frames"][0]["outsideShape"], 0);
    EXPECT_GT(r["frames"][0]["shapeCovered"].get<double>(), 0.0);
    std::map<std::string, Json> byName;
    for (const Json& p : r["params"]) byName[p["name"].get<std::string>()] = p;
    EXPECT_EQ(byName["Position"]["value"], "Grid");
    EXPECT_EQ(byName["Min Size (px)"]["disabled"], true);  // Scale Ignore
    EXPECT_EQ(byName["Offset Method"]["disabled"], true);  // Offset 0
    EXPECT_EQ(byName["Seed"]["disabled"], false);          // Random Seed off
    EXPECT_EQ(byName["Source Layer"]["value"], "Shape");
    EXPECT_EQ(byName["Create"]["hidden"], false);
    EXPECT_FALSE(byName["Create"].contains("value"));
}

// The scene's API version reaches the plug-in, which declines it for every command; that is
// the run's outcome, not a bad scene.
TEST(Cli, AnOldHostVersionRecordsThePluginsRefusal) {
    TempDir dir;
    Json scene = smallScene({{"Seed", 3}}, Json::parse(R"(["create", {"set": {"Seed": 4}}])"));
    scene["host"] = {{"apiVersion", {13, 0}}};
    scenetest::writeText(dir.file("scene.json"), scene.dump());
    const Outcome o = tessaron(dir, "run scene.json --out result --no-preview");
    ASSERT_EQ(o.code, 0) << o.err;
    const Json r = Json::parse(slurp(dir.file("result/result.json")));
    ASSERT_FALSE(r["messages"].empty());
    for (const Json& m : r["messages"])
        EXPECT_EQ(m, "Tessaron plug-in requires AE CS5.5 or later.");
    EXPECT_EQ(r["messagesShown"], Json(std::vector<bool>(r["messages"].size(), false)));
    EXPECT_EQ(o.err.find("requires"), std::string::npos) << o.err;  // not shown
    EXPECT_EQ(r["undoGroups"], Json::array());
    EXPECT_EQ(r["leaks"], Json::object());
}

TEST(Cli, AMissingPluginFailsWithCode1) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"), smallScene(Json::object(), Json::array()).dump());
    const Outcome o = tessaron(dir, "run scene.json --out result --plugin ./missing.so");
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err.rfind("tessaron: cannot load plug-in: ./missing.so", 0), 0u) << o.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("result")));
    EXPECT_EQ(tessaron(dir, "params --plugin ./missing.so").code, 1);
}

// A bad scene (tests/scenes/cli_bad.json), found before or after the plug-in registered its
// parameters, stops the run with one line naming the file and the field, exit code 2 and no
// result.
TEST(Cli, BadScenesExitWithCode2AndWriteNothing) {
    TempDir dir;
    Json cases = scenetest::sceneData("cli_bad.json")["cases"];
    ASSERT_GE(cases.size(), 5u);
    cases.push_back({{"text", std::string(100000, '[') + std::string(100000, ']')},
                     {"message",
                      "scene.json: [0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]"
                      "[0][0][0]"}});
    for (const Json& c : cases) {
        const std::string message = c["message"];
        scenetest::writeText(
            dir.file("scene.json"),
            c.contains("text")
                ? c["text"].get<std::string>()
                : scenetest::changed(smallScene(Json::object(), Json::array()), c["set"]).dump());
        const Outcome o = tessaron(dir, "run scene.json --out result");
        EXPECT_EQ(o.code, 2) << o.err;
        EXPECT_EQ(o.err.rfind(message, 0), 0u) << o.err;
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("result"))) << message;
    }
}

// --out and --png are checked before the run: a file of that name, a folder inside a file or a
// missing folder is refused with one line and exit 2, and the file is left as it was.
TEST(Cli, AnOutFolderThatCannotBeMadeIsRefusedBeforeTheRun) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"),
                         smallScene(Json::object(), Json::array({"create"})).dump());
    scenetest::writeText(dir.file("taken"), "mine");
    const std::pair<const char*, const char*> cases[] = {
        {"taken", "tessaron: --out taken: a file of that name exists; expected a folder"},
        {"taken/inside", "tessaron: --out taken/inside: cannot make a folder inside the file "}};
    for (const auto& [out, message] : cases) {
        const Outcome o = tessaron(dir, std::string("run scene.json --no-preview --out ") + out);
        EXPECT_EQ(o.code, 2) << out;
        EXPECT_EQ(o.err.rfind(message, 0), 0u) << o.err;
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    }
    EXPECT_EQ(slurp(dir.file("taken")), "mine");
    const Outcome png = tessaron(dir, "about --png no/such/banner.png");
    EXPECT_EQ(png.code, 2);
    EXPECT_EQ(png.err.rfind("tessaron: --png no/such/banner.png: no folder ", 0), 0u) << png.err;
    EXPECT_EQ(tessaron(dir, "run scene.json --no-preview --out new/folder").code, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("new/folder/result.json")));
}

TEST(Cli, RunWritesTheAnimationAsAVideo) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"), smallScene(Json::object(), Json::array()).dump());
    const Outcome o = tessaron(dir, "run scene.json --out result --video anim.gif --scale 0.5");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(slurp(dir.file("anim.gif")).substr(0, 6), "GIF89a");
    EXPECT_TRUE(std::filesystem::exists(dir.file("result/result.json")));
    EXPECT_NE(o.err.find("video: frame 50 of 50"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("video: wrote anim.gif (50 frames, 32x32, 25 fps)"), std::string::npos)
        << o.err;
}

// Checked before the run: nothing is written, not even result.json.
TEST(Cli, BadVideoOptionsExitWithCode2AndLeaveNothing) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"), smallScene(Json::object(), Json::array()).dump());
    const std::pair<std::string, std::string> cases[] = {
        {"--video v.mp4 --range 1,3",
         "tessaron: --range 1,3: outside the composition, which runs from 0 to 2 s"},
        {"--video scene.json/v.mp4",
         "tessaron: scene.json/v.mp4: cannot be written: scene.json is not a folder"},
        {"--video v.avi", "tessaron: v.avi: unknown video type \".avi\" (expected .mp4 or .gif)"},
        {"--video v.mp4 --fps many", "tessaron: --fps many: not a number"},
        {"--range 0,1", "tessaron: --range needs --video FILE"},
    };
    for (const auto& [options, message] : cases) {
        const Outcome o = tessaron(dir, "run scene.json --out result " + options);
        EXPECT_EQ(o.code, 2) << options;
        EXPECT_EQ(o.err, message + "\n") << options;
        size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            files += name != "scene.json" && name != "stdout.txt" && name != "stderr.txt";
        }
        EXPECT_EQ(files, 0u) << options;
    }
}

}  // namespace
