// The heart example's animation as `tessaron run --video` makes it, at the composition's own
// 960 x 540: frames rendered per second (one thread: CPU time), and whole MP4 and GIF files
// (render and encode; the encoders run threads of their own, so those count wall time).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "sim/cli/SceneRun.h"
#include "sim/picture/Video.h"

namespace {

// The heart example after its Create run.
struct Heart {
    sim::Scene scene =
        sim::loadScene(std::string(TESSARON_SOURCE_DIR) + "/examples/heart/heart.json");
    sim::Host host{scene.project};
    int source = 0;
    Heart() {
        host.setEffectLayer(scene.effectLayer, scene.effectSlot);
        host.setRecordCalls(false);
        host.loadPlugin(TESSARON_DEFAULT_PLUGIN);
        sim::performScene(host, scene);
        source = sim::sourceLayerId(host);
    }
    sim::VideoPlan plan(const std::string& file) {
        sim::VideoArgs args;
        args.file = file;
        return *sim::planVideo(args, host.project().comp);
    }
};

void BM_HeartVideoFrames(benchmark::State& state) {
    Heart heart;
    const sim::VideoPlan plan =
        heart.plan((std::filesystem::temp_directory_path() / "tessaron_frames.mp4").string());
    sim::FrameRenderer renderer(heart.host.project(), sim::RenderOptions(), heart.source);
    int frame = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sim::videoFrame(renderer, plan, frame).pixels.data());
        frame = (frame + 1) % plan.frames;
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["width"] = plan.width;
    state.counters["height"] = plan.height;
}

void writeFile(benchmark::State& state, const char* extension) {
    Heart heart;
    const std::string file =
        (std::filesystem::temp_directory_path() / (std::string("tessaron_bench") + extension))
            .string();
    const sim::VideoPlan plan = heart.plan(file);
    for (auto _ : state)
        sim::writeVideo(heart.host.project(), plan, sim::RenderOptions(), heart.source, nullptr);
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()) * plan.frames, benchmark::Counter::kIsRate);
    state.counters["bytes"] = double(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}

void BM_HeartVideoMp4(benchmark::State& state) {
    writeFile(state, ".mp4");
}
void BM_HeartVideoGif(benchmark::State& state) {
    writeFile(state, ".gif");
}

BENCHMARK(BM_HeartVideoFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeartVideoMp4)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_HeartVideoGif)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
