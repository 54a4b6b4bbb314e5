// The overlap-free growth of 500 to 3000 sites on a 1920 x 1080 shape: the uniform-grid broad
// phase against the all-pairs reference, on the same sites; and with Keep Inside Shape, sites
// on a star with thin arms kept within 10 % of it, and Fill Gaps after that growth.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "attributes/FillGaps.h"
#include "attributes/Growth.h"
#include "attributes/SiteSize.h"

namespace {

std::vector<MySitePoint> seededSites(int n) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> x(0.0f, 1920.0f), y(0.0f, 1080.0f), turn(0.0f, 360.0f);
    const std::pair<float, float> sizes[] = {{200, 100}, {100, 200}, {150, 150}, {400, 40}};
    std::vector<MySitePoint> sites(n);
    for (int i = 0; i < n; ++i) {
        sites[i].position = Point2D(x(gen), y(gen));
        sites[i].rotation = turn(gen);
        seedSite(sites[i], sizes[i % 4].first, sizes[i % 4].second);
    }
    return sites;
}

template <int (*Grow)(std::vector<MySitePoint>&, const std::vector<int32_t>&, int,
                      const ShapeLimit*)>
void BM_Growth(benchmark::State& state) {
    const std::vector<MySitePoint> seeds = seededSites(int(state.range(0)));
    std::vector<int32_t> order(seeds.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int32_t(i);
    }
    for (auto _ : state) {
        std::vector<MySitePoint> sites = seeds;
        benchmark::DoNotOptimize(Grow(sites, order, MaxGrowthRounds, nullptr));
    }
}

// A 1920 x 1080 star of seven arms, thin towards their tips, with a hole in the middle.
OpaqueIndex starShape() {
    OpaqueIndex shape;
    shape.reset(1920, 1080);
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; ++x) {
            const double dx = x + 0.5 - 960.0, dy = y + 0.5 - 540.0;
            const double r = std::hypot(dx, dy), a = std::atan2(dy, dx);
            const double reach = 150.0 + 370.0 * std::pow(std::fabs(std::cos(3.5 * a)), 6.0);
            if (r < reach && r > 60.0) shape.set(x, y);
        }
    }
    shape.finish();
    shape.countWords();
    return shape;
}

// With fill: after the growth, Fill Gaps within the same limit (timed together).
template <bool Fill>
void BM_GrowthInsideShape(benchmark::State& state) {
    const OpaqueIndex shape = starShape();
    const int n = int(state.range(0));
    std::mt19937 gen(2);
    std::uniform_real_distribution<float> x(0.0f, 1920.0f), y(0.0f, 1080.0f), turn(0.0f, 360.0f);
    const std::pair<float, float> sizes[] = {{200, 100}, {100, 200}, {150, 150}, {210, 90}};
    std::vector<MySitePoint> seeds(n);
    for (int i = 0; i < n; ++i) {
        Point2D p;
        do {
            p = Point2D(x(gen), y(gen));
        } while (!shape.opaque(int(p.x), int(p.y)));
        seeds[i].position = p;
        seeds[i].rotation = i % 2 ? turn(gen) : 0.0f;
        seedSite(seeds[i], sizes[i % 4].first, sizes[i % 4].second);
    }
    std::vector<int32_t> order(seeds.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int32_t(i);
    }
    for (auto _ : state) {
        std::vector<MySitePoint> sites = seeds;
        ShapeLimit limit(shape, 1.0f, 1.0f, 0.1f, sites.size());
        benchmark::DoNotOptimize(growSites(sites, order, MaxGrowthRounds, &limit));
        if (Fill) {
            FillLimits fill;
            fill.shape = &limit;
            benchmark::DoNotOptimize(fillGaps(sites, order, fill));
        }
    }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Growth, growSites)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Growth, growSitesAllPairs)
    ->Arg(500)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_GrowthInsideShape, false)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_GrowthInsideShape, true)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);
