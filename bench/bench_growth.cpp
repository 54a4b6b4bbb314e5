// The overlap-free growth of 500 to 3000 sites on a 1920 x 1080 shape: the uniform-grid broad
// phase against the all-pairs reference, on the same sites.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

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

template <int (*Grow)(std::vector<MySitePoint>&, const std::vector<int32_t>&, int)>
void BM_Growth(benchmark::State& state) {
    const std::vector<MySitePoint> seeds = seededSites(int(state.range(0)));
    std::vector<int32_t> order(seeds.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int32_t(i);
    }
    for (auto _ : state) {
        std::vector<MySitePoint> sites = seeds;
        benchmark::DoNotOptimize(Grow(sites, order, MaxGrowthRounds));
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
