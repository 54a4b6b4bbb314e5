// The Windows host's core under Wine loads the very .aex a user installs and must answer as the
// Linux host does with the .so: result.json equal for the bundled examples, for scenes covering
// every Position, Scale, Rotation, Opacity and Frames to Render mode, for transformed Sources
// (tests/scenes/source_transforms.json), for layers with times of their own
// (tests/scenes/layer_time.json), for a host the plug-in declines (API 13.0), for hosts without
// a suite the plug-in needs, and for collage layers with parents.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ResultCompare.h"
#include "host/ParamTable.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const std::string kSource = TESSARON_SOURCE_DIR;
const std::string kWindowsDir = TESSARON_WINDOWS_DIR;
const fs::path kRunsDir = fs::path(TESSARON_BINARY_DIR) / "windows-runs";

// The plug-in's keys and values come out bit for bit equal. The simulated host's own per-frame
// summary (overlap depths of rotated rectangles, through sin and cos) differs in the last places
// between the two C libraries: up to about 1e-13 on values near 100.
constexpr double kTolerance = 1e-9;

// The popups whose every item gets a scene of its own.
const char* const kModePopups[] = {"Position", "Scale", "Rotation", "Opacity", "Frames to Render"};

// Items whose runs are not compared yet, as "Popup=Item": none today. A run that draws from a
// platform's own C library generator would go here until it draws from the plug-in's own.
const std::vector<std::string> kNotCompared = {};

struct Case {
    std::string name;
    Json scene;
    bool mustSucceed = true;  // the run writes its collage without a command error
};

Json readJson(const fs::path& path) {
    std::ifstream in(path);
    return Json::parse(in);
}

// A scene read from a folder, so that it can be written elsewhere: its image paths absolute.
Json relocatedFrom(Json scene, const fs::path& dir) {
    for (Json& layer : scene["layers"]) {
        if (layer.contains("image"))
            layer["image"] = fs::weakly_canonical(dir / layer["image"].get<std::string>()).string();
        if (!layer.contains("frames")) continue;
        for (Json& frame : layer["frames"])
            frame["image"] = fs::weakly_canonical(dir / frame["image"].get<std::string>()).string();
    }
    return scene;
}

Json relocated(const fs::path& file) {
    return relocatedFrom(readJson(file), file.parent_path());
}

// tests/scenes/layer_time.json: each case's scene with its layers' time shifts, and without.
void addLayerTimeScenes(std::vector<Case>& all) {
    const fs::path dir = fs::path(kSource) / "tests/scenes";
    const Json table = readJson(dir / "layer_time.json");
    for (const Json& c : table.at("cases")) {
        for (const char* side : {"shifted", "reference"}) {
            Json scene = table.at("base");
            for (const Json& p : c.at(side))
                scene[Json::json_pointer(p.at("at").get<std::string>())] = p.at("value");
            all.push_back({"LayerTime_" + c.at("name").get<std::string>() + "_" + side,
                           relocatedFrom(scene, dir)});
        }
    }
}

Json& effectParams(Json& scene) {
    for (Json& layer : scene["layers"]) {
        if (layer.contains("effects")) return layer["effects"][0]["params"];
    }
    throw std::runtime_error("scene without the effect");
}

std::vector<std::string> popupItems(const std::string& name) {
    for (int i = 1; i < PARAM_COUNT; ++i) {
        const ParamEntry& e = paramEntry(i);
        if (e.kind != PF_Param_POPUP || name != e.name) continue;
        std::vector<std::string> items;
        const std::string text = e.text;
        for (size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
            bar = text.find('|', start);
            const std::string item = text.substr(start, bar - start);
            if (item != "(-") items.push_back(item);
        }
        return items;
    }
    throw std::runtime_error("no popup " + name);
}

// A test name from free text.
std::string caseName(std::string text) {
    for (char& c : text) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return text;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const char* example : {"heart", "ring", "word"}) {
        const fs::path file =
            fs::path(kSource) / "examples" / example / (std::string(example) + ".json");
        all.push_back({std::string("Example_") + example, relocated(file)});
    }
    // Mode scenes: the ring example over every evaluated frame of its work area.
    Json base = relocated(fs::path(kSource) / "examples/ring/ring.json");
    effectParams(base)["Frames to Render"] = "Every X Frames (within work area)";
    effectParams(base)["Interval (frames)"] = 10;
    for (const char* popup : kModePopups) {
        for (const std::string& item : popupItems(popup)) {
            const std::string key = std::string(popup) + "=" + item;
            if (std::find(kNotCompared.begin(), kNotCompared.end(), key) != kNotCompared.end())
                continue;
            Json scene = base;
            effectParams(scene)[popup] = item;
            all.push_back({caseName(key), scene});
        }
    }
    // Sources the composition shows scaled, turned or mirrored (redrawn in composition pixels).
    const Json transforms = readJson(fs::path(kSource) / "tests/scenes/source_transforms.json");
    for (const Json& c : transforms["cases"]) {
        Json scene = transforms["scene"];
        scene["layers"][1]["transform"] = c["transform"];
        if (c.contains("params")) {
            for (const auto& [param, value] : c["params"].items())
                effectParams(scene)[param] = value;
        }
        all.push_back({"SourceTransform_" + c["name"].get<std::string>(), scene});
    }
    // Parented collage layers (tests/scenes/host_parents.json, as its test builds them).
    const Json parents = readJson(fs::path(kSource) / "tests/scenes/host_parents.json");
    for (const Json& c : parents["cases"]) {
        Json scene = parents["base"];
        if (c.contains("params")) scene["layers"][0]["effects"][0]["params"].update(c["params"]);
        for (Json& layer : scene["layers"])
            if (layer["name"].get<std::string>().rfind("Card", 0) == 0)
                layer["parent"] = c["cardsParent"];
        for (const Json& parent : c["parents"]) scene["layers"].push_back(parent);
        all.push_back({"Parents_" + c["name"].get<std::string>(), scene});
    }
    addLayerTimeScenes(all);
    Json refused = base;
    refused["host"]["apiVersion"] = {13, 0};
    all.push_back({"HostApi13_0", refused, false});
    for (const char* suite : {"AEGP Layer Suite", "AEGP Utility Suite"}) {
        Json missing = base;
        missing["host"]["missingSuites"] = {suite};
        all.push_back({caseName(std::string("Without_") + suite), missing, false});
    }
    return all;
}

int exitCode(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the scene through one host's CLI and plug-in into out; returns its exit code.
int run(const std::string& cli, const std::string& plugin, const fs::path& scene,
        const fs::path& out) {
    fs::remove_all(out);
    return exitCode(cli + " run '" + scene.string() + "' --out '" + out.string() +
                    "' --no-preview --plugin '" + plugin + "' >'" + out.string() + ".out' 2>'" +
                    out.string() + ".err'");
}

const std::string kLinuxCli = std::string(TESSARON_BINARY_DIR) + "/tessaron";
// A prefix in the build tree, no display, no debug output, and no add-on installer dialogs.
const std::string kWindowsCli = "WINEPREFIX='" + kWindowsDir + "/wine' WINEDEBUG=-all " +
                                "WINEDLLOVERRIDES='mscoree,mshtml=' " TESSARON_WINE " '" +
                                kWindowsDir + "/tessaron.exe'";

// Test names say which scene; the scene itself is in windows-runs/NAME/scene.json.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class WindowsRun : public testing::TestWithParam<Case> {};

TEST_P(WindowsRun, ResultEqualsTheLinuxRun) {
    const Case& c = GetParam();
    const fs::path dir = kRunsDir / c.name;
    fs::create_directories(dir);
    const fs::path scene = dir / "scene.json";
    std::ofstream(scene) << c.scene.dump(1);

    const int linuxCode = run(kLinuxCli, TESSARON_LINUX_PLUGIN, scene, dir / "linux");
    int windowsCode = run(kWindowsCli, kWindowsDir + "/Tessaron_Pro.aex", scene, dir / "windows");
    // Wine now and then fails to start a program while others start (exit 1, nothing written,
    // not even the first progress line); a failure of the program itself repeats on a second run.
    if (windowsCode != linuxCode && fs::file_size(dir / "windows.err") == 0) {
        windowsCode = run(kWindowsCli, kWindowsDir + "/Tessaron_Pro.aex", scene, dir / "windows");
    }
    EXPECT_EQ(windowsCode, linuxCode);
    if (c.mustSucceed) {
        EXPECT_EQ(linuxCode, 0);
    }
    ASSERT_TRUE(fs::exists(dir / "linux/result.json"));
    ASSERT_TRUE(fs::exists(dir / "windows/result.json"));
    const Json linuxResult = readJson(dir / "linux/result.json");
    const Comparison cmp =
        compareResults(linuxResult, readJson(dir / "windows/result.json"), kTolerance);
    for (const std::string& m : cmp.mismatches) ADD_FAILURE() << m;
    if (cmp.roundedNumbers)
        std::cout << c.name << ": " << cmp.roundedNumbers << " numbers rounded apart, largest "
                  << cmp.largestGap << " at " << cmp.largestGapAt << "\n";
    // A run that wrote nothing proves nothing: mode scenes must have placed the collage.
    if (c.mustSucceed) {
        EXPECT_FALSE(linuxResult["undoGroups"].empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, WindowsRun, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(ResultCompare, FindsEveryKindOfDifferenceAndToleratesRounding) {
    const Json a = Json::parse(R"({"v": [1.0, 2.0], "s": "x", "o": {"k": 1}})");
    EXPECT_TRUE(compareResults(a, a, 0).mismatches.empty());
    const Json b = Json::parse(R"({"v": [1.0, 2.0000000000001], "s": "x", "o": {"k": 1}})");
    const Comparison near = compareResults(a, b, 1e-9);
    EXPECT_TRUE(near.mismatches.empty());
    EXPECT_EQ(near.roundedNumbers, 1);
    EXPECT_EQ(near.largestGapAt, ".v[1]");
    EXPECT_EQ(compareResults(a, b, 0).mismatches.size(), 1u);
    const Json c = Json::parse(R"({"v": [1.0], "s": "y", "o": {"j": 1}})");
    EXPECT_EQ(compareResults(a, c, 1).mismatches.size(), 3u);
}

}  // namespace
