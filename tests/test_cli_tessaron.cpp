// The tessaron command line, run as a user runs it: help, the parameter list of the built
// plug-in, a run writing result.json, and bad input failing with exit code 2 and no result.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/model/ImageFile.h"
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

// Runs tessaron with the arguments (shell words) in dir; with named = false, args is the whole
// command.
Outcome tessaron(const TempDir& dir, const std::string& args, bool named = true) {
    const std::string cmd = "cd '" + dir.path().string() + "' && " +
                            (named ? TESSARON_BINARY_DIR "/tessaron " : "") + args +
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

    for (const char* bad :
         {"", "dance", "run", "run a.json --frobnicate", "params extra",
          "run a.json --preview-frames lots", "run a.json --out", "run a.json --preview-scale 0",
          "run a.json --preview-scale 1.5", "run a.json --preview-scale half"}) {
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
    ASSERT_EQ(all.size(), 50u);
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
    EXPECT_EQ(all[45],
              "46  \"Cell Shape\"              popup         flags 0    3 items, default 1: "
              "First Layer|Typical Layer|Square");
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
    EXPECT_NE(o.err.find("tessaron: 1 frame evaluated: 1 layer placed, "), std::string::npos)
        << o.err;
    const Json r = Json::parse(slurp(dir.file("result/result.json")));
    ASSERT_EQ(r["frames"].size(), 1u);
    EXPECT_EQ(r["frames"][0]["layersPlaced"], 1);
    EXPECT_EQ(r["frames"][0]["outsideShape"], 0);
    EXPECT_GT(r["frames"][0]["shapeCovered"].get<double>(), 0.0);
    EXPECT_NE(o.err.find(" of the shape covered, "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(" of the layers' area off it, "), std::string::npos) << o.err;
    for (const char* field : {"spill", "mostlyOffShape", "deepOverlaps", "touchingPairs"})
        EXPECT_TRUE(r["frames"][0][field].is_number()) << field;
    EXPECT_EQ(r["frames"][0]["largestLayer"]["name"], "Card");
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

// ---------------------------------------------------------------- hostile inputs

const char* const kHostileInputs = TESSARON_SOURCE_DIR "/tests/scenes/hostile-inputs.json";

const Json& hostileTable() {
    static const Json table = Json::parse(slurp(kHostileInputs));
    return table;
}

// A string of the table: as written, or {"$repeat": s, "times": n, "then": t}.
std::string textOf(const Json& v) {
    if (v.is_string()) return v.get<std::string>();
    std::string text;
    const std::string piece = v["$repeat"].get<std::string>();
    for (int i = 0; i < v["times"].get<int>(); ++i) text += piece;
    return text + v.value("then", "");
}

std::vector<std::string> entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class HostileInput : public ::testing::TestWithParam<size_t> {};

// Every hostile input of the table gets its one bounded line and exit code within seconds, and
// a refused one leaves the output folder as it was.
TEST_P(HostileInput, GetsOneBoundedLineAndWritesNothing) {
    const Json& c = hostileTable()["cases"][GetParam()];
    SCOPED_TRACE(c["input"].get<std::string>());
    TempDir dir;
    scenetest::writePng(dir.file("dots.png"), 8, 8);
    if (c.contains("text")) {
        std::string text;
        for (const Json& piece : c["text"]) text += textOf(piece);
        scenetest::writeText(dir.file("scene.json"), text);
    } else {
        Json scene = hostileTable()["scene"];
        const Json set = c.value("set", Json::object());
        for (const auto& [pointer, value] : set.items())
            scene[Json::json_pointer(pointer)] =
                value.is_object() && value.contains("$repeat") ? Json(textOf(value)) : value;
        scenetest::writeText(dir.file("scene.json"), scene.dump());
    }
    const Json make = c.value("make", Json::object());
    for (const auto& [name, kind] : make.items()) {
        const std::filesystem::path path = dir.path() / name;
        std::filesystem::create_directories(path.parent_path());
        const std::string k = kind.get<std::string>();
        if (k == "fifo")
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        else if (k == "folder")
            std::filesystem::create_directories(path);
        else if (k.rfind("copy:", 0) == 0)
            std::filesystem::copy_file(TESSARON_SOURCE_DIR "/tests/scenes/" + k.substr(5), path);
        else
            std::filesystem::create_symlink(k.substr(5), path);
    }
    const std::string args =
        c.contains("args") ? textOf(c["args"]) : "run scene.json --out out --no-preview";
    const std::string out = c.value("out", "out");
    const std::vector<std::string> before = entries(dir.path() / out);
    const Outcome o =
        tessaron(dir, "timeout -s KILL 20 " TESSARON_BINARY_DIR "/tessaron " + args, false);
    const int code = c.value("exit", 2);
    EXPECT_EQ(o.code, code) << o.err.substr(0, 2000);
    if (code != 0) {
        EXPECT_EQ(o.err.rfind(c["message"].get<std::string>(), 0), 0u) << o.err.substr(0, 2000);
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err.substr(0, 2000);
        EXPECT_LE(o.err.size(), 1001u);
        EXPECT_EQ(entries(dir.path() / out), before);
    } else {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / out / "result.json")) << o.err;
    }
}

std::vector<size_t> hostileCases() {
    std::vector<size_t> all(hostileTable()["cases"].size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    return all;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInput, ::testing::ValuesIn(hostileCases()));

// ---------------------------------------------------------------- output safety

// A PNG written whole: the signature, and the IEND chunk at the very end.
bool completePng(const std::filesystem::path& file) {
    const std::string bytes = slurp(file.string());
    return bytes.size() > 20 && bytes.compare(0, 4, "\x89PNG") == 0 &&
           bytes.compare(bytes.size() - 8, 4, "IEND") == 0;
}

bool isTemporary(const std::string& name) {
    return name.rfind(".tessaron-", 0) == 0 || name == ".result.json.tmp";
}

// The rules a folder meets whatever happened to the run writing it: every picture under its
// final name is whole; when there is a result.json it is whole and names exactly the pictures
// in the folder (and a video that is there); temporaries only when allowed (a SIGKILL).
void expectConsistentOutputs(const std::filesystem::path& out, bool temporariesAllowed,
                             const std::string& when) {
    SCOPED_TRACE(when);
    std::vector<std::string> pictures;
    for (const std::string& name : entries(out)) {
        if (isTemporary(name)) {
            EXPECT_TRUE(temporariesAllowed) << name;
        } else if (name != "result.json") {
            EXPECT_TRUE(completePng(out / name)) << name;
            pictures.push_back(name);
        }
    }
    if (!std::filesystem::exists(out / "result.json")) return;
    const Json r = Json::parse(slurp((out / "result.json").string()));  // throws when cut
    std::vector<std::string> listed = r["outputs"]["pictures"];
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, pictures);
    if (!r["outputs"]["video"].is_null()) {
        const std::string video =
            slurp((out.parent_path() / r["outputs"]["video"].get<std::string>()).string());
        EXPECT_EQ(video.substr(0, 6), "GIF89a");
        EXPECT_EQ(video.back(), ';');  // the GIF trailer: written whole
    }
}

Json longScene() {
    Json scene =
        smallScene({{"Position", "Random"}, {"Force Keyframing", true}}, Json::array({"create"}));
    scene["comp"]["width"] = 320;
    scene["comp"]["height"] = 240;
    scene["comp"]["duration"] = 20;
    for (int i = 0; i < 30; ++i)
        scene["layers"].push_back(
            {{"name", "Card " + std::to_string(i)}, {"type", "solid"}, {"size", {12, 12}}});
    return scene;
}

// Links planted under the names a run writes are replaced, never followed; pictures and
// temporaries of an earlier run go; result.json names what the run wrote.
TEST(CliOutputs, PlantedLinksAreReplacedAndStaleFilesRemoved) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"),
                         smallScene(Json::object(), Json::array({"create"})).dump());
    std::filesystem::create_directories(dir.file("o"));
    for (const char* name : {"victim1", "victim2", "victim3", "victim4", "victim5"})
        scenetest::writeText(dir.file(name), "mine");
    std::filesystem::create_symlink("victim5", dir.file("anim.gif"));
    std::filesystem::create_symlink("../victim1", dir.file("o/frame_0000.png"));
    std::filesystem::create_symlink("../victim2", dir.file("o/preview.png"));
    std::filesystem::create_symlink("../victim3", dir.file("o/result.json"));
    std::filesystem::create_symlink("../victim4", dir.file("o/frame_0049.png"));  // stale
    scenetest::writeText(dir.file("o/frame_0031.png"), "an earlier run's");
    scenetest::writeText(dir.file("o/.tessaron-4194303-7.tmp"), "a killed run's");
    scenetest::writeText(dir.file("o/.result.json.tmp"), "an old run's");
    scenetest::writeText(dir.file("o/notes.txt"), "the user's");
    const Outcome o = tessaron(dir, "run scene.json --out o --video anim.gif --scale 0.25");
    ASSERT_EQ(o.code, 0) << o.err;
    for (const char* name : {"victim1", "victim2", "victim3", "victim4", "victim5"})
        EXPECT_EQ(slurp(dir.file(name)), "mine") << name;
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("anim.gif")));
    for (const char* name : {"frame_0000.png", "preview.png", "result.json"})
        EXPECT_FALSE(std::filesystem::is_symlink(dir.file(std::string("o/") + name))) << name;
    EXPECT_EQ(slurp(dir.file("o/notes.txt")), "the user's");
    std::filesystem::remove(dir.file("o/notes.txt"));
    EXPECT_EQ(entries(dir.path() / "o"),
              (std::vector<std::string>{"frame_0000.png", "preview.png", "result.json"}));
    expectConsistentOutputs(dir.path() / "o", false, "after the run");
    const Json r = Json::parse(slurp(dir.file("o/result.json")));
    EXPECT_EQ(r["outputs"]["video"], "anim.gif");
}

// A single-frame run into a folder that held an animated run leaves only its own pictures; files
// the program would never write (other names, however close) stay.
TEST(CliOutputs, ARunReplacesTheEarlierRunsPicturesOnly) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"),
                         smallScene(Json::object(), Json::array({"create"})).dump());
    ASSERT_EQ(tessaron(dir, "run scene.json --out o --preview-frames 5").code, 0);
    EXPECT_GE(entries(dir.path() / "o").size(), 6u);
    const std::vector<std::string> theirs = {
        "Frame_0002.png", "frame_00001.png",    "frame_12.png", "frame_-.png",
        "frame_0003.jpg", "frame_0004.png.bak", "notes.txt",    "preview.png~"};
    for (const std::string& name : theirs) scenetest::writeText(dir.file("o/" + name), "mine");
    const Outcome o = tessaron(dir, "run scene.json --out o --preview-scale 0.25");
    ASSERT_EQ(o.code, 0) << o.err;
    int width = 0, height = 0;  // of the composition (64 x 64), scaled
    ASSERT_TRUE(sim::pngHeaderSize(dir.file("o/frame_0000.png"), width, height));
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    std::vector<std::string> expected = theirs;
    for (const char* name : {"frame_0000.png", "preview.png", "result.json"})
        expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(dir.path() / "o"), expected);
    for (const std::string& name : theirs) EXPECT_EQ(slurp(dir.file("o/" + name)), "mine");
}

// A run killed at several moments (SIGINT, SIGTERM, SIGKILL) leaves a folder that tells the
// truth: no truncated file under a final name, no result.json beside pictures it does not name,
// no temporaries after a signal the run could handle; the next run clears what a SIGKILL left.
TEST(CliOutputs, AKilledRunLeavesNothingThatLooksComplete) {
    TempDir dir;
    scenetest::writeText(dir.file("scene.json"), longScene().dump());
    const std::string args = "scene.json --out o --preview-frames 120 --video anim.gif --scale 0.2";
    auto start = [&]() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.path().c_str()) != 0 || !std::freopen("/dev/null", "w", stderr))
                ::_exit(126);
            ::execl(TESSARON_BINARY_DIR "/tessaron", "tessaron", "run", "scene.json", "--out", "o",
                    "--preview-frames", "120", "--video", "anim.gif", "--scale", "0.2",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    };
    const auto t0 = std::chrono::steady_clock::now();
    const Outcome whole = tessaron(dir, "run " + args);
    ASSERT_EQ(whole.code, 0) << whole.err;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    expectConsistentOutputs(dir.path() / "o", false, "a whole run");
    const std::pair<int, double> kills[] = {{SIGINT, 0.1},  {SIGKILL, 0.3}, {SIGTERM, 0.5},
                                            {SIGKILL, 0.7}, {SIGINT, 0.8},  {SIGKILL, 0.9},
                                            {SIGINT, 0.95}};
    int whileWriting = 0;       // kills that came after the earlier run's outputs were removed
    bool killedBefore = false;  // what a SIGKILL left stays until a later run gets to clear it
    for (const auto& [sig, at] : kills) {
        const pid_t pid = start();
        ASSERT_GT(pid, 0);
        ::usleep(useconds_t(seconds * at * 1e6));
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::string when = "signal " + std::to_string(sig) + " at " + std::to_string(at);
        expectConsistentOutputs(dir.path() / "o", sig == SIGKILL || killedBefore, when);
        whileWriting += !std::filesystem::exists(dir.file("o/result.json"));
        // A run that could handle its signal leaves none of its own temporaries anywhere.
        const std::string own = ".tessaron-" + std::to_string(pid) + "-";
        for (const std::filesystem::path& folder : {dir.path(), dir.path() / "o"})
            for (const std::string& name : entries(folder)) {
                EXPECT_TRUE(!isTemporary(name) || sig == SIGKILL || killedBefore)
                    << when << ": " << name;
                EXPECT_TRUE(name.rfind(own, 0) != 0 || sig == SIGKILL) << when << ": " << name;
            }
        killedBefore = killedBefore || sig == SIGKILL;
    }
    EXPECT_GE(whileWriting, 1);
    const Outcome again = tessaron(dir, "run " + args);
    ASSERT_EQ(again.code, 0) << again.err;
    expectConsistentOutputs(dir.path() / "o", false, "the next run");
    for (const std::string& name : entries(dir.path())) EXPECT_FALSE(isTemporary(name)) << name;
}

// On a full disk (a small tmpfs, when this user may mount one) the run fails with one line,
// leaves no truncated picture, no temporary and no result.json.
TEST(CliOutputs, AFullDiskLeavesNoTruncatedFile) {
    TempDir dir;
    const std::filesystem::path disk = dir.path() / "disk";
    std::filesystem::create_directories(disk);
    const std::string mount = "mount -t tmpfs -o size=96k tessaron-test '" + disk.string() + "'";
    if (std::system((mount + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() {
            if (std::system(("umount '" + path + "'").c_str()) != 0) ADD_FAILURE() << "umount";
        }
    } unmount{disk.string()};
    scenetest::writeText(dir.file("scene.json"), longScene().dump());
    const Outcome o = tessaron(dir, "run scene.json --out disk/o --preview-frames 40");
    EXPECT_EQ(o.code, 1);
    const std::vector<std::string> all = lines(o.err);
    ASSERT_FALSE(all.empty());
    EXPECT_NE(all.back().find("No space left on device"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(disk / "o" / "result.json"));
    expectConsistentOutputs(disk / "o", false, "a full disk");
}

}  // namespace
