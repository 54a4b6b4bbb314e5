// Organic relaxation and Minimum Assignment for the largest collage (3000 layers) on a
// 1920 x 1080 shape: the two placement steps whose cost grows fastest with the layer count.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
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

void BM_OrganicAndMinimumAssignment(benchmark::State& state) {
    MyTessaron engine;
    engine.layerCount = kLayers;
    takeEllipse(engine);
    seedRandomSources(1);
    std::vector<Point2D> previous;
    for (int i = 0; i < kLayers; ++i) {
        previous.push_back(engine.generatePointInsideShape());
    }
    for (auto _ : state) {
        engine.sites.clear();
        engine.getOrganicPoints();
        std::vector<Point2D> targets;
        for (const MySitePoint& s : engine.sites) {
            targets.push_back(s.position);
        }
        auto ids = minimumDistanceAssignment(previous, targets, std::vector<bool>(kLayers, true));
        benchmark::DoNotOptimize(ids.data());
    }
    state.counters["layers"] = kLayers;
}

}  // namespace

// One frame per iteration; the time reported is the time per evaluated frame.
BENCHMARK(BM_OrganicAndMinimumAssignment)->Iterations(1)->Unit(benchmark::kSecond);

// The bench binary's only main (the target links benchmark without its main library).
BENCHMARK_MAIN();
