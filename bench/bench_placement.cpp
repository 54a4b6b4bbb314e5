// Organic relaxation and Minimum Assignment for the largest collage (3000 layers) on a
// 1920 x 1080 shape, fast and reference: the two placement steps whose cost grows fastest with
// the layer count.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "engine/MyTessaron.h"
#include "engine/Random.h"
#include "engine/SearchPath.h"
#include "engine/StageTimes.h"
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

// Where the layers start before a first press, over the 1920 x 1080 composition (as in
// BM_FirstPress, plus one point outside the shape).
enum StartLayout {
    Scattered,
    Grid,
    Corner,
    LeftColumn,
    TwoClusters,
    Line,
    OnePointOutside,
    RingSites,
    OnTheSites
};
const char* const kStartNames[] = {
    "scattered",         "grid",       "corner",      "left column", "two far clusters", "line",
    "one point outside", "ring sites", "on the sites"};

std::vector<Point2D> starts(StartLayout layout, int n) {
    std::mt19937 rng{uint32_t(n)};
    std::uniform_real_distribution<float> u(0, 1);
    const int columns = int(std::ceil(std::sqrt(n * double(kWidth) / kHeight)));
    const int rows = (n + columns - 1) / columns;
    std::vector<Point2D> from;
    for (int i = 0; i < n; ++i) {
        const float t = (float(i) + 0.5f) / float(n);
        switch (layout) {
            case Scattered:
                from.emplace_back(kWidth * u(rng), kHeight * u(rng));
                break;
            case Grid:
                from.emplace_back((float(i % columns) + 0.5f) * kWidth / float(columns),
                                  (float(i / columns) + 0.5f) * kHeight / float(rows));
                break;
            case Corner:
                from.emplace_back(200 * u(rng), 200 * u(rng));
                break;
            case LeftColumn:
                from.emplace_back(20.0f, t * kHeight);
                break;
            case TwoClusters:
                from.emplace_back((i % 2 ? -1500.0f : 3400.0f) + 100 * u(rng), 500 + 100 * u(rng));
                break;
            case Line:
                from.emplace_back(t * kWidth, t * kHeight);
                break;
            case OnePointOutside:
                from.emplace_back(-400.0f, 1300.0f);
                break;
            case RingSites:  // scattered starts; the sites are on a ring
                from.emplace_back(kWidth * u(rng), kHeight * u(rng));
                break;
            case OnTheSites:  // the sites below, taken in another order
                break;
        }
    }
    return from;
}

// CPU seconds of every thread of the process: wall times swing with the machine's load.
double processSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// The first frame's assignment alone, from each starting layout to the Organic sites of the
// ellipse (or to a thin ring of sites; 3000 layers): the fast solver from cold, CPU seconds of
// three solves (both threads), with the solver that served. Argument 1 adds the reference (the
// Hungarian method; minutes under load): filter on /0 for the fast side alone.
void BM_FirstAssignment(benchmark::State& state) {
    const auto layout = static_cast<StartLayout>(state.range(0));
    MyTessaron engine;
    engine.layerCount = kLayers;
    takeEllipse(engine);
    seedRandomSources(1);
    engine.getOrganicPoints();
    std::vector<Point2D> to;
    for (const auto& site : engine.sites) {
        to.push_back(site.position);
    }
    to.resize(kLayers);
    if (layout == RingSites) {
        // A ring 4 px wide around the composition's centre.
        std::mt19937 rng{7};
        std::uniform_real_distribution<float> u(0, 1);
        for (Point2D& p : to) {
            const float a = 6.2831853f * u(rng), r = 500.0f + 4.0f * u(rng);
            p = Point2D(kWidth / 2.0f + r * std::cos(a), kHeight / 2.0f + r * std::sin(a));
        }
    }
    std::vector<Point2D> from = starts(layout, kLayers);
    if (layout == OnTheSites) {
        for (int i = 0; i < kLayers; ++i) {
            from.push_back(to[size_t((i * 7 + 3) % kLayers)]);
        }
    }
    const std::vector<bool> known(kLayers, true);
    std::vector<double> seconds;
    std::vector<int32_t> fast;
    for (auto _ : state) {
        for (int k = 0; k < 3; ++k) {
            AssignmentWarmStart cold;
            resetStageTimes();
            const double begin = processSeconds();
            fast = shortestPathAssignment(from, to, known, cold);
            seconds.push_back(processSeconds() - begin);
        }
    }
    std::sort(seconds.begin(), seconds.end());
    const char* served = assignmentsServed(AssignmentSolver::NearPairs) ? "near pairs"
                         : assignmentsServed(AssignmentSolver::Auction) ? "auction"
                         : assignmentsServed(AssignmentSolver::Dense)   ? "dense"
                                                                        : "starts alike";
    double reference = 0.0;
    bool same = true;
    if (state.range(1)) {
        const double begin = processSeconds();
        same = referenceAssignment(from, to, known) == fast;
        reference = processSeconds() - begin;
    }
    std::printf("csv,%d,%s,%.3f,%.3f,%.3f,%s,%.3f,%s\n", kLayers, kStartNames[layout], seconds[0],
                seconds[1], seconds[2], served, reference, same ? "yes" : "no");
    std::fflush(stdout);
    state.counters["fast_s"] = seconds[1];
}

}  // namespace

// One relaxation or assignment of the largest collage per iteration.
BENCHMARK(BM_OrganicRelaxation)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_MinimumAssignment)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_FirstAssignment)
    ->ArgsProduct({{Scattered, Grid, Corner, LeftColumn, TwoClusters, Line, OnePointOutside,
                    RingSites, OnTheSites},
                   {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The bench binary's only main (the target links benchmark without its main library).
BENCHMARK_MAIN();
