// Whole Create runs of the bundled example scenes through the simulated host and the built
// plug-in: what a user waits for after pressing "Create".
#include <benchmark/benchmark.h>

#include <string>

#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "sim/cli/SceneRun.h"

namespace {

void runExample(benchmark::State& state, const std::string& name) {
    const std::string path =
        std::string(TESSARON_SOURCE_DIR) + "/examples/" + name + "/" + name + ".json";
    const sim::Scene scene = sim::loadScene(path);
    for (auto _ : state) {
        sim::Host host(scene.project);
        host.setEffectLayer(scene.effectLayer, scene.effectSlot);
        host.setRecordCalls(false);
        host.loadPlugin(TESSARON_DEFAULT_PLUGIN);
        benchmark::DoNotOptimize(sim::performScene(host, scene));
    }
    state.counters["layers"] = double(scene.project.comp.layers.size());
}

void BM_HeartGrid(benchmark::State& state) {
    runExample(state, "heart");
}
void BM_WordOrganic(benchmark::State& state) {
    runExample(state, "word");
}
void BM_RingRadial(benchmark::State& state) {
    runExample(state, "ring");
}

BENCHMARK(BM_HeartGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordOrganic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RingRadial)->Unit(benchmark::kMillisecond);

}  // namespace
