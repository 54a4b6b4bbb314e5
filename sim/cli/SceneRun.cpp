#include "sim/cli/SceneRun.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <set>

#include "sim/core/Host.h"
#include "sim/model/OutputFile.h"
#include "sim/picture/Render.h"
#include "sim/result/ResultExtras.h"
#include "sim/picture/Video.h"
#include "sim/model/CompTime.h"
#include "sim/cli/SceneParams.h"

namespace sim {

namespace {

// Performs a scene's actions the way a user would.
class Driver {
  public:
    Driver(Host& host, const Scene& scene) : host_(host), scene_(scene) {}

    void perform(const Action& action) {
        switch (action.kind) {
            case Action::Kind::Create:
                host_.userChangedParam(createButtonIndex(host_, scene_.file));
                break;
            case Action::Kind::Undo:
                host_.undo();
                break;
            case Action::Kind::Time:
                host_.project().comp.currentTime = action.time;
                break;
            case Action::Kind::Set:
                set(action.params);
                break;
        }
    }

    // As when the user edits the values: supervised parameters tell the plug-in of the change,
    // and then the host asks it to refresh the controls. A change of unsupervised parameters
    // alone refreshes them only when the plug-in asked for every change.
    void set(const std::vector<ParamSetting>& params) {
        applyParams(host_, scene_, params);
        bool supervised = false;
        for (const ParamSetting& p : params) {
            int index = host_.paramIndex(p.name);
            if (host_.paramDefs()[size_t(index)].flags & PF_ParamFlag_SUPERVISE) {
                host_.userChangedParam(index);
                supervised = true;
            }
        }
        if (supervised || host_.wantsParamsUIUpdates()) host_.updateParamsUI();
    }

  private:
    Host& host_;
    const Scene& scene_;
};

bool allSucceeded(const Records& records) {
    for (const Records::Command& c : records.commands) {
        if (c.result != PF_Err_NONE) return false;
    }
    return true;
}

// The streams a run animates: Position, Scale, Rotation, Opacity.
std::array<const Stream*, 4> animated(const Layer& l) {
    return {&l.position, &l.scale, &l.rotation, &l.opacity};
}

void addKeyTimes(const Stream* before, const Stream& after, std::set<int64_t>& frames,
                 const Comp& comp) {
    for (const Key& k : after.keys) {
        if (before && before->keyIndexAt(k.time) >= 0) continue;
        frames.insert(frameTime(comp, k.time.seconds()).value);
    }
}

}  // namespace

int sourceLayerId(Host& host) {
    const auto& defs = host.paramDefs();
    for (size_t i = 1; i < defs.size(); ++i) {
        if (defs[i].param_type != PF_Param_LAYER) continue;
        auto it = host.effect().params.find(int(i));
        int id = it == host.effect().params.end() ? 0 : int(it->second.value);
        return id == PF_LayerDefault_MYSELF ? host.effectLayer().id : id;
    }
    return 0;
}

std::vector<double> previewTimes(const Project& before, const Project& after, int extra) {
    const Comp& comp = after.comp;
    std::set<int64_t> frames;
    for (size_t i = 0; i < comp.layers.size(); ++i) {
        const Layer* old = i < before.comp.layers.size() ? &before.comp.layers[i] : nullptr;
        for (int s = 0; s < 4; ++s)
            addKeyTimes(old ? animated(*old)[s] : nullptr, *animated(comp.layers[i])[s], frames,
                        comp);
    }
    std::vector<double> keyed;
    for (int64_t v : frames) keyed.push_back(Time{int32_t(v), comp.frameDuration.scale}.seconds());
    std::vector<double> times = keyed;
    if (times.empty()) times.push_back(comp.currentTime.seconds());
    if (extra > 0) {
        std::vector<double> more = workAreaTimes(comp, extra);
        times.insert(times.end(), more.begin(), more.end());
    }
    std::sort(times.begin(), times.end());
    return times;
}

bool performScene(Host& host, const Scene& scene) {
    if (host.apply() == PF_Err_NONE) {
        // A plug-in that declined to set up (a host version it does not serve) registers no
        // parameters: the run then records what it said rather than failing on the scene's
        // parameter names, and presses and settings, which need its parameters, are skipped.
        const bool registered = host.paramDefs().size() > 1;
        // The stored values are in place before the controls are refreshed, as when a project
        // opens.
        if (registered) {
            applyParams(host, scene, scene.params);
            // Every later setting and press is checked before the first action runs, so that
            // a bad scene stops before anything has happened.
            for (const Action& action : scene.actions) {
                if (action.kind == Action::Kind::Set) checkParams(host, scene, action.params);
                if (action.kind == Action::Kind::Create) createButtonIndex(host, scene.file);
            }
        }
        host.updateParamsUI();
        Driver driver(host, scene);
        for (const Action& action : scene.actions) {
            const bool needsParams =
                action.kind == Action::Kind::Create || action.kind == Action::Kind::Set;
            if (registered || !needsParams) driver.perform(action);
        }
        host.globalSetdown();
    }
    return allSucceeded(host.records());
}

bool isPictureName(const std::string& name) {
    if (name == "preview.png") return true;
    // Exactly as a run names a frame: what reads back to the same name.
    const std::string head = "frame_", tail = ".png";
    if (name.size() <= head.size() + tail.size() || name.size() > 40 ||
        name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (number.find_first_not_of("0123456789-") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    const long frame = std::strtol(number.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    return name == frameFileName(frame);
}

namespace {

// What an earlier run left in the output folder: its temporaries, then its result.json (from here
// until the new one is written the folder holds no result), then its pictures. Other files stay.
void clearOutputFolder(const std::string& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    removeStaleTemporaries(dir);
    const fs::path result = fs::path(dir) / "result.json";
    std::error_code ec;
    fs::remove(result, ec);
    if (ec) throw std::runtime_error("cannot remove " + result.string() + ": " + ec.message());
    std::vector<fs::path> pictures;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        if (isPictureName(it->path().filename().string()) &&
            !fs::is_directory(fs::symlink_status(it->path(), ignored)))
            pictures.push_back(it->path());
    }
    for (const fs::path& p : pictures) fs::remove(p, ec);
}

}  // namespace

bool runScene(const Scene& scene, const RunOptions& options) {
    Host host(scene.project);
    host.setEffectLayer(scene.effectLayer, scene.effectSlot);
    if (scene.apiVersion) host.setApiVersion(scene.apiVersion->first, scene.apiVersion->second);
    for (const std::string& suite : scene.missingSuites) host.withholdSuite(suite);
    host.setEchoInfo(options.echoInfo);
    host.setRecordCalls(false);
    host.loadPlugin(options.plugin);
    const bool ok = performScene(host, scene);
    const RunSummary summary =
        summariseRun(scene.project, host.project(), sourceLayerId(host), host.records().info);
    // The outputs: the earlier run's go first, then the pictures and the video, each whole
    // under its name or absent, and result.json last, naming them: a folder with a result.json
    // holds a finished run.
    clearOutputFolder(options.outDir);
    RenderOptions look;
    look.paths = options.paths;
    look.scale = options.previewScale;
    nlohmann::ordered_json outputs = {{"pictures", nlohmann::ordered_json::array()},
                                      {"video", nullptr}};
    if (options.previews)
        outputs["pictures"] = renderPreviews(
            host.project(), previewTimes(scene.project, host.project(), options.previewFrames),
            options.outDir, look, sourceLayerId(host));
    if (options.video) {
        const std::filesystem::path folder =
            std::filesystem::path(options.video->file).parent_path();
        removeStaleTemporaries(folder.empty() ? std::filesystem::path(".") : folder);
        writeVideo(host.project(), *options.video, look, sourceLayerId(host), &std::cerr);
        outputs["video"] = options.video->file;
    }
    writeResult(options.outDir, {host.project(), host.records(), host.leaks(), host.misuse()},
                paramStateJson(host), summary, outputs);
    if (options.printSummary) std::fprintf(stderr, "%s\n", summary.line.c_str());
    return ok;
}

}  // namespace sim
