// Organic relaxation and Minimum Assignment for the largest collage (3000 layers) on a
// 1920 x 1080 shape, fast and reference: the two placement steps whose cost grows fastest with
// the layer count.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "engine/SearchPath.h"
#include "placement/MinimumAssignment.h"

namespace {

constexpr int kLayers = MyTessaron::MaxLayers;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// An opaque ellipse filling the frame.
void takeEllipse(MyTessaron& engine) {
    std::vector<PF_Pixel> pixels(size_t(kWidth) * kHeight, PF_Pixel{0, 0, 0, 0});
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = (x - kWidth / 2.0) / (kWidth / 2.0);
            const double dy = (y - kHeight / 2.0) / (kHeight / 2.0);
            if (dx * dx + dy * dy <= 1.0) {
                pixels[size_t(y) * kWidth + x] = PF_Pixel{255, 200, 100, 50};
            }
        }
    }
    PF_LayerDef layer;
    std::memset(&layer, 0, sizeof(layer));
    layer.data = reinterpret_cast<decltype(layer.data)>(pixels.data());
    layer.rowbytes = kWidth * 4;
    layer.width = kWidth;
    layer.height = kHeight;
    engine.sourcePixelFormat = 0x62677261;
    engine.takeImage(layer);
}

std::vector<Point2D> randomPoints(const MyTessaron& engine) {
    std::vector<Point2D> points;
    for (int i = 0; i < kLayers; ++i) {
        points.push_back(engine.generatePointInsideShape());
    }
    return points;
}

// Argument 0: the fast search; 1: the reference (kd-tree rebuilt every round).
void BM_OrganicRelaxation(benchmark::State& state) {
    MyTessaron engine;
    engine.layerCount = kLayers;
    takeEllipse(engine);
    setSearchPath(state.range(0) ? SearchPath::Reference : SearchPath::Fast);
    for (auto _ : state) {
        seedRandomSources(1);
        engine.sites.clear();
        engine.getOrganicPoints();
        benchmark::DoNotOptimize(engine.sites.data());
    }
    setSearchPath(SearchPath::Fast);
}

// Argument 0: shortest paths from cold; 1: warm from the same sites' last solve (a frame whose
// sites stayed); 2: the Hungarian reference.
void BM_MinimumAssignment(benchmark::State& state) {
    MyTessaron engine;
    engine.layerCount = kLayers;
    takeEllipse(engine);
    seedRandomSources(1);
    const std::vector<Point2D> from = randomPoints(engine), to = randomPoints(engine);
    const std::vector<bool> known(kLayers, true);
    AssignmentWarmStart warm;
    std::vector<Point2D> again(kLayers);
    if (state.range(0) == 1) {
        shortestPathAssignment(from, to, known, warm);
        for (int i = 0; i < kLayers; ++i) {
            again[i] = to[warm.columns[i]];
        }
    }
    for (auto _ : state) {
        std::vector<int32_t> ids;
        if (state.range(0) == 0) {
            AssignmentWarmStart cold;
            ids = shortestPathAssignment(from, to, known, cold);
        } else if (state.range(0) == 1) {
            AssignmentWarmStart start = warm;
            ids = shortestPathAssignment(again, to, known, start);
        } else {
            ids = minimumDistanceAssignment(from, to, known);
        }
        benchmark::DoNotOptimize(ids.data());
    }
}

}  // namespace

// One relaxation or assignment of the largest collage per iteration.
BENCHMARK(BM_OrganicRelaxation)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_MinimumAssignment)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

// The bench binary's only main (the target links benchmark without its main library).
BENCHMARK_MAIN();
