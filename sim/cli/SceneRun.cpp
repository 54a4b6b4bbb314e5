#include "sim/cli/SceneRun.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <set>

#include "sim/core/Host.h"
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
        if (registered) applyParams(host, scene, scene.params);
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
    writeResult(options.outDir, {host.project(), host.records(), host.leaks(), host.misuse()},
                paramStateJson(host), summary);
    if (options.printSummary) std::fprintf(stderr, "%s\n", summary.line.c_str());
    RenderOptions look;
    look.paths = options.paths;
    if (options.previews)
        renderPreviews(host.project(),
                       previewTimes(scene.project, host.project(), options.previewFrames),
                       options.outDir, look, sourceLayerId(host));
    if (options.video)
        writeVideo(host.project(), *options.video, look, sourceLayerId(host), &std::cerr);
    return ok;
}

}  // namespace sim
