// Grid and Radial on sparse and thin shapes, one evaluated frame each: the shapes where the
// search for a cell or ring count used to run for minutes.
#include <benchmark/benchmark.h>

#include <random>
#include <set>
#include <utility>

#include "bench/bench_support.h"
#include "host/Params.h"

namespace {

using Shape = std::function<bool(int, int)>;

Shape scattered(int count, int width, int height) {
    std::mt19937 rng(7);
    auto pixels = std::make_shared<std::set<std::pair<int, int>>>();
    while (static_cast<int>(pixels->size()) < count) {
        pixels->emplace(int(rng() % width), int(rng() % height));
    }
    return [pixels](int x, int y) { return pixels->count({x, y}) > 0; };
}

void runSparse(benchmark::State& state, const std::string& name, int width, int height,
               const Shape& shape, PositionMode mode) {
    const int layers = static_cast<int>(state.range(0));
    const std::string image = bench::sourcePng(name, width, height, shape);
    const sim::Project project = bench::collage(image, width, height, layers, 1);
    for (auto _ : state) {
        auto host = bench::appliedHost(project);
        host->setParam(PARAM_POSITION, double(mode));
        host->setParam(PARAM_SCALE, double(ScaleMode::Ignore));
        host->setParam(PARAM_ROTATION, double(RotationMode::Ignore));
        bench::pressCreate(*host);
    }
    state.counters["layers"] = layers;
}

void BM_GridScattered(benchmark::State& state) {
    runSparse(state, "scattered", 400, 300, scattered(20, 400, 300), PositionMode::Grid);
}
void BM_RadialScattered(benchmark::State& state) {
    runSparse(state, "scattered", 400, 300, scattered(20, 400, 300), PositionMode::Radial);
}
void BM_GridTwoPixels(benchmark::State& state) {
    runSparse(state, "two", 400, 300, scattered(2, 400, 300), PositionMode::Grid);
}
void BM_RadialTwoPixels(benchmark::State& state) {
    runSparse(state, "two", 400, 300, scattered(2, 400, 300), PositionMode::Radial);
}
void BM_GridSinglePixel(benchmark::State& state) {
    runSparse(
        state, "single", 1920, 1080, [](int x, int y) { return x == 900 && y == 500; },
        PositionMode::Grid);
}
void BM_RadialSinglePixel(benchmark::State& state) {
    runSparse(
        state, "single", 1920, 1080, [](int x, int y) { return x == 900 && y == 500; },
        PositionMode::Radial);
}
void BM_GridThinDiagonal(benchmark::State& state) {
    runSparse(
        state, "diagonal", 1920, 1080, [](int x, int y) { return x == y + 400; },
        PositionMode::Grid);
}
void BM_RadialThinDiagonal(benchmark::State& state) {
    runSparse(
        state, "diagonal", 1920, 1080, [](int x, int y) { return x == y + 400; },
        PositionMode::Radial);
}

}  // namespace

BENCHMARK(BM_GridScattered)->Arg(500)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialScattered)->Arg(500)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridTwoPixels)->Arg(50)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialTwoPixels)->Arg(50)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridSinglePixel)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialSinglePixel)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridThinDiagonal)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialThinDiagonal)->Arg(3000)->Unit(benchmark::kMillisecond);
