// The first press from where a designer's layers actually are: one evaluated frame (Current
// Frame) of n layers on a 1920 x 1080 ellipse Source (or a thin ring), Position Organic, Scale
// From Neighborhood, Rotation Random, Layer Order Minimum Assignment, the layers starting at the
// composition's centre, scattered, on a grid, in a corner, in a column at the left edge, and on
// the adversarial layouts. Each case presses the fast path three times (the median is kept) and
// the reference once, side by side, and prints the whole Create, the assignment stage, whether
// the two collages are equal and the CPU seconds of the whole Create, also as a CSV line
// ("csv,...") for docs/perf/.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/SearchPath.h"
#include "engine/StageTimes.h"
#include "host/Params.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFastPresses = 3;

enum Layout { Centre, Scattered, Grid, Corner, LeftColumn, TwoClusters, Line, RingSites, OnSites };
const char* const kLayoutNames[] = {"centre",       "scattered",   "grid",
                                    "corner",       "left column", "two far clusters",
                                    "line through", "ring sites",  "on the sites"};

std::string ellipseSource() {
    return bench::sourcePng("ellipse", kWidth, kHeight, [](int x, int y) {
        const double dx = (x - kWidth / 2.0) / (kWidth / 2.0);
        const double dy = (y - kHeight / 2.0) / (kHeight / 2.0);
        return dx * dx + dy * dy <= 1.0;
    });
}

// A ring 8 px wide of radius 500 around the composition's centre.
std::string ringSource() {
    return bench::sourcePng("ring", kWidth, kHeight, [](int x, int y) {
        const double r = std::hypot(x - kWidth / 2.0, y - kHeight / 2.0);
        return r >= 496.0 && r <= 504.0;
    });
}

// Where layer i of n starts (the centre for the layouts placed otherwise).
sim::Vec3 start(Layout layout, int i, int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int columns = int(std::ceil(std::sqrt(n * double(kWidth) / kHeight)));
    const int rows = (n + columns - 1) / columns;
    const double t = (i + 0.5) / n;
    switch (layout) {
        case Scattered:
        case RingSites:
            return {kWidth * u(rng), kHeight * u(rng), 0};
        case Grid:
            return {(i % columns + 0.5) * kWidth / columns, (i / columns + 0.5) * kHeight / rows,
                    0};
        case Corner:
            return {200 * u(rng), 200 * u(rng), 0};
        case LeftColumn:
            return {20, t * kHeight, 0};
        case TwoClusters:
            return {(i % 2 ? -1500.0 : 3400.0) + 100 * u(rng), 500 + 100 * u(rng), 0};
        case Line:
            return {t * kWidth, t * kHeight, 0};
        default:
            return {kWidth / 2.0, kHeight / 2.0, 0};
    }
}

struct Press {
    double total = 0.0;       // seconds, the whole Create of one frame
    double assignment = 0.0;  // seconds in the assignment stage
    double cpu = 0.0;         // CPU seconds of the whole Create, every thread
    sim::Project result;
};

// CPU seconds of every thread of the process: under load they move far less than wall seconds.
double processSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

Press press(const sim::Project& project, SearchPath path) {
    auto host = bench::appliedHost(project);
    host->setParam(PARAM_POSITION, double(PositionMode::Organic));
    host->setParam(PARAM_SCALE, double(ScaleMode::FromNeighborhood));
    host->setParam(PARAM_ROTATION, double(RotationMode::Random));
    host->setParam(PARAM_LAYER_ORDER, double(LayerOrder::MinimumAssignment));
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::CurrentFrame));
    setSearchPath(path);
    resetStageTimes();
    const auto begin = std::chrono::steady_clock::now();
    const double cpuBegin = processSeconds();
    bench::pressCreate(*host);
    const double cpu = processSeconds() - cpuBegin;
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    setSearchPath(SearchPath::Fast);
    return {spent.count(), stageSeconds(Stage::Assignment), cpu, host->project()};
}

bool samePositions(const sim::Project& a, const sim::Project& b) {
    for (size_t i = 0; i < a.comp.layers.size(); ++i) {
        const sim::Stream &x = a.comp.layers[i].position, &y = b.comp.layers[i].position;
        if (x.keys.size() != y.keys.size() || x.value != y.value) {
            return false;
        }
        for (size_t k = 0; k < x.keys.size(); ++k) {
            if (x.keys[k].value != y.keys[k].value) {
                return false;
            }
        }
    }
    return true;
}

void BM_FirstPress(benchmark::State& state) {
    const int layers = static_cast<int>(state.range(0));
    const auto layout = static_cast<Layout>(state.range(1));
    const bool ring = layout == RingSites;
    sim::Project project =
        bench::collage(ring ? ringSource() : ellipseSource(), kWidth, kHeight, layers, 1);
    std::mt19937 rng{uint32_t(layers)};
    for (int i = 0; i < layers; ++i) {
        project.comp.layers[size_t(i) + 1].position.value = start(layout, i, layers, rng);
    }
    if (layout == OnSites) {  // a second press, from the first one's collage
        const sim::Project placed = press(project, SearchPath::Fast).result;
        for (int i = 1; i <= layers; ++i) {
            const sim::Stream& p = placed.comp.layers[size_t(i)].position;
            project.comp.layers[size_t(i)].position.value =
                p.keys.empty() ? p.value : p.keys[0].value;
        }
    }
    // TESSARON_BENCH_FAST_ONLY=1 skips the reference (minutes a press at 3000 layers).
    const char* fastOnly = std::getenv("TESSARON_BENCH_FAST_ONLY");
    const bool withReference = !(fastOnly && std::string(fastOnly) == "1");
    std::vector<Press> fast;
    Press reference;
    for (auto _ : state) {
        fast.clear();
        for (int k = 0; k < kFastPresses; ++k) {
            fast.push_back(press(project, SearchPath::Fast));
        }
        if (withReference) reference = press(project, SearchPath::Reference);
    }
    std::sort(fast.begin(), fast.end(),
              [](const Press& a, const Press& b) { return a.total < b.total; });
    const Press& median = fast[kFastPresses / 2];
    std::vector<double> assignments;
    for (const Press& p : fast) {
        assignments.push_back(p.assignment);
    }
    std::sort(assignments.begin(), assignments.end());
    const bool same = withReference && samePositions(median.result, reference.result);
    std::printf("csv,%d,%s,%.3f,%.3f,%.3f,%.3f,%s,%.3f,%.3f\n", layers, kLayoutNames[layout],
                median.total, assignments[kFastPresses / 2], reference.total, reference.assignment,
                !withReference ? "not compared"
                : same         ? "yes"
                               : "no",
                median.cpu, reference.cpu);
    std::fflush(stdout);
    state.counters["fast_s"] = median.total;
    state.counters["fast_assignment_s"] = assignments[kFastPresses / 2];
    state.counters["reference_s"] = reference.total;
    state.counters["reference_assignment_s"] = reference.assignment;
    state.counters["fast_cpu_s"] = median.cpu;
    state.counters["reference_cpu_s"] = reference.cpu;
    state.counters["same_collage"] = same ? 1 : 0;
}

}  // namespace

// Arguments: layers, starting layout.
BENCHMARK(BM_FirstPress)
    ->ArgsProduct({{1000, 2000, 3000},
                   {Centre, Scattered, Grid, Corner, LeftColumn, TwoClusters, Line, RingSites,
                    OnSites}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
