// What Fill Gaps does to a collage, off and on: three Sources (a soft-edged figure with five thin
// limbs and a faint drop shadow, the bold word "TESSARON", a ring), 80 and 300 layers of aspect
// 1:2 to 21:9, Organic, Scale From Neighborhood, turns of up to 15 degrees either way, Minimum
// Assignment, one Seed; without the Shape controls and with Alpha Threshold 32, Keep Inside
// Shape and Overhang 10 %. Per collage it prints the share of the Source's non-transparent
// pixels covered and of those of alpha 32 and more (the figure's faint shadow left out), the
// spill (share of the layers' area off them), pairs overlapping by more than
// 1 px, the smallest layer over the median, the layers under a quarter of the median, and the
// CPU seconds of the whole Create; also as CSV lines ("csv,...") for docs/perf/fill-gaps.csv. The
// motion benchmark keys the Seed over three evaluated frames and prints the mean move per layer
// between them, in layer sizes; the cost benchmark times 3000 layers; the seeds benchmark gives
// the coverage with Fill Gaps on for Seeds 1 to 4.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "host/Params.h"
#include "sim/model/ImageFile.h"
#include "sim/result/FrameSummary.h"
#include "tests/figure_shape.h"

namespace {

struct Shape {
    const char* name;
    int width, height;
    std::function<double(double, double)> alpha;  // 0 to 1 at a pixel centre
};

double smoothInside(double d, double soft) {
    return std::clamp(0.5 - d / soft, 0.0, 1.0);
}

// The shape-fit tests' figure at twice their size, on a 960 x 720 picture.
double figureDistance(double x, double y) {
    return figure_shape::figureDistance(x, y, 2.0);
}

// The word drawn once with cairo's bold sans face, its alpha read back.
std::vector<uint8_t> wordAlpha(int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 210);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "TESSARON", &e);
    cairo_move_to(cr, (w - e.width) / 2 - e.x_bearing, (h - e.height) / 2 - e.y_bearing);
    cairo_show_text(cr, "TESSARON");
    cairo_destroy(cr);
    cairo_surface_flush(s);
    std::vector<uint8_t> alpha(size_t(w) * h);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        std::copy(data + size_t(y) * stride, data + size_t(y) * stride + w,
                  alpha.begin() + ptrdiff_t(y) * w);
    }
    cairo_surface_destroy(s);
    return alpha;
}

const std::vector<uint8_t>& theWord() {
    static const std::vector<uint8_t> alpha = wordAlpha(1280, 400);
    return alpha;
}

const Shape kShapes[] = {
    {"figure with thin limbs", 960, 720,
     [](double x, double y) {
         const double core = smoothInside(figureDistance(x, y), 8.0);
         const double shadow = std::clamp(1.0 - figureDistance(x - 6, y - 6) / 8.0, 0.0, 1.0);
         return std::max(core, shadow * 24.0 / 255.0);
     }},
    {"bold word", 1280, 400,
     [](double x, double y) { return theWord()[size_t(y) * 1280 + size_t(x)] / 255.0; }},
    {"ring", 960, 720,
     [](double x, double y) {
         const double r = std::hypot(x - 480, y - 360);
         return smoothInside(std::max(r - 330, 170 - r), 3.0);
     }},
};

// The Source picture (premultiplied white of the shape's alpha), written once per shape.
std::string sourcePicture(const Shape& shape) {
    return bench::alphaPng("fill_" + std::to_string(shape.width) + "_" +
                               std::to_string(std::hash<std::string>()(shape.name)),
                           shape.width, shape.height,
                           [&](int x, int y) { return shape.alpha(x + 0.5, y + 0.5); });
}

struct Setup {
    int layers = 80;
    bool keepInside = false;
    bool fill = false;
    int frames = 1;  // evaluated frames, the Seed keyed over them
    int seed = 1;
};

// The collage of aspect 1:2 to 21:9 cards on the shape, pressed once.
std::unique_ptr<sim::Host> press(const Shape& shape, const std::string& png, const Setup& s,
                                 double* seconds) {
    const int frameCount = s.frames > 1 ? 10 * (s.frames - 1) + 1 : 1;
    sim::Project p = bench::collage(png, shape.width, shape.height, s.layers, frameCount);
    const std::pair<int, int> sizes[] = {{50, 100}, {100, 100}, {120, 90},
                                         {160, 90}, {210, 90},  {90, 120}};
    for (int i = 0; i < s.layers; ++i) {
        sim::Layer& card = p.comp.layers[size_t(i) + 1];
        const auto [w, h] = sizes[i % 6];
        card.width = w;
        card.height = h;
        card.maskedBounds = {0, 0, double(w), double(h)};
        card.anchorPoint.value = {w / 2.0, h / 2.0, 0};
    }
    auto host = bench::appliedHost(p);
    host->setParam(PARAM_POSITION, double(PositionMode::Organic));
    host->setParam(PARAM_SCALE, double(ScaleMode::FromNeighborhood));
    host->setParam(PARAM_ROTATION, double(RotationMode::Random));
    host->setParam(PARAM_MIN_ROTATION, -15);
    host->setParam(PARAM_MAX_ROTATION, 15);
    host->setParam(PARAM_OPACITY, double(OpacityMode::Ignore));
    host->setParam(PARAM_LAYER_ORDER, double(LayerOrder::MinimumAssignment));
    if (s.frames > 1) {
        host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
        host->setParam(PARAM_INTERVAL, 10);
        std::vector<std::pair<double, double>> keys;
        for (int f = 0; f < s.frames; ++f) keys.push_back({f * 10 / 25.0, 1.0 + f});
        host->setParamKeys(PARAM_SEED, keys);
    } else {
        host->setParam(PARAM_SEED, s.seed);
    }
    if (s.keepInside) {
        host->setParam(PARAM_ALPHA_THRESHOLD, 32);
        host->setParam(PARAM_KEEP_INSIDE_SHAPE, 1);
        host->setParam(PARAM_OVERHANG, 10);
    }
    host->setParam(PARAM_FILL_GAPS, s.fill ? 1 : 0);
    // CPU seconds of every thread: on a machine shared with other work, wall seconds measure the
    // load more than the press.
    const std::clock_t start = std::clock();
    bench::pressCreate(*host);
    *seconds = double(std::clock() - start) / CLOCKS_PER_SEC / s.frames;
    return host;
}

struct Row {
    double covered, coveredAbove, spill, smallestOverMedian, seconds;
    int deep, belowQuarter;
};

// The share of the picture's pixels of alpha 32 and more (what Alpha Threshold 32 keeps as
// shape) whose centre a visible layer covers; the Source spans the composition pixel for pixel.
double coveredAboveThreshold(const sim::Comp& comp, const std::vector<int>& placed,
                             const sim::Image& picture) {
    std::vector<char> covered(size_t(picture.width) * picture.height, 0);
    for (int i : placed) {
        const sim::Layer& l = comp.layers[size_t(i)];
        if (l.opacity.valueAt(0)[0] <= 0) continue;
        const sim::Quad q = sim::visibleQuad(l, comp, 0);
        double x0 = q[0][0], x1 = x0, y0 = q[0][1], y1 = y0;
        for (const auto& c : q) {
            x0 = std::min(x0, c[0]);
            x1 = std::max(x1, c[0]);
            y0 = std::min(y0, c[1]);
            y1 = std::max(y1, c[1]);
        }
        for (int y = std::max(0, int(y0)); y < std::min(picture.height, int(y1) + 1); ++y) {
            for (int x = std::max(0, int(x0)); x < std::min(picture.width, int(x1) + 1); ++x) {
                if (sim::contains(q, x + 0.5, y + 0.5)) covered[size_t(y) * picture.width + x] = 1;
            }
        }
    }
    size_t shape = 0, under = 0;
    for (size_t p = 0; p < covered.size(); ++p) {
        if (picture.rgba[p * 4 + 3] >= 32) {
            ++shape;
            under += covered[p];
        }
    }
    return shape ? double(under) / double(shape) : 0.0;
}

Row measure(sim::Host& host, const std::string& png, double seconds) {
    const sim::Comp& comp = host.project().comp;
    std::vector<int> placed;
    for (int i = 1; i < int(comp.layers.size()); ++i) placed.push_back(i);
    const sim::Image picture = sim::loadImage(png);
    const sim::FrameSummary f = sim::summariseFrame(comp, placed, {&comp.layers[0], &picture}, 0);
    std::vector<double> sizes;
    for (int i : placed) {
        const sim::Layer& l = comp.layers[size_t(i)];
        sizes.push_back(l.scale.valueAt(0)[0] / 100.0 * std::max(l.width, l.height));
    }
    std::sort(sizes.begin(), sizes.end());
    const double median = sizes[sizes.size() / 2];
    const int below =
        int(std::count_if(sizes.begin(), sizes.end(), [&](double v) { return v < median / 4; }));
    return {f.covered, coveredAboveThreshold(comp, placed, picture),
            f.spill,   sizes.front() / median,
            seconds,   f.deepOverlaps,
            below};
}

void BM_FillGaps(benchmark::State& state) {
    for (auto _ : state) {
        std::printf(
            "| Source | layers | Shape controls | Fill Gaps | covered | covered, alpha 32+ | spill "
            "| overlaps > 1 px | smallest / median | under a quarter | CPU s a frame |\n"
            "|---|---:|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
        std::vector<std::string> csv;
        for (const Shape& shape : kShapes) {
            const std::string png = sourcePicture(shape);
            for (int layers : {80, 300}) {
                for (bool keepInside : {false, true}) {
                    for (bool fill : {false, true}) {
                        double seconds = 0;
                        Setup s;
                        s.layers = layers;
                        s.keepInside = keepInside;
                        s.fill = fill;
                        const auto host = press(shape, png, s, &seconds);
                        const Row r = measure(*host, png, seconds);
                        std::printf(
                            "| %s | %d | %s | %s | %.3f | %.3f | %.3f | %d | %.2f | %d | %.3f |\n",
                            shape.name, layers, keepInside ? "on" : "off", fill ? "on" : "off",
                            r.covered, r.coveredAbove, r.spill, r.deep, r.smallestOverMedian,
                            r.belowQuarter, r.seconds);
                        char line[256];
                        std::snprintf(line, sizeof line,
                                      "csv,%s,%d,%s,%s,%.4f,%.4f,%.4f,%d,%.3f,%d,%.4f\n",
                                      shape.name, layers, keepInside ? "on" : "off",
                                      fill ? "on" : "off", r.covered, r.coveredAbove, r.spill,
                                      r.deep, r.smallestOverMedian, r.belowQuarter, r.seconds);
                        csv.push_back(line);
                    }
                }
            }
        }
        bench::printCsv(
            "source,layers,shape_controls,fill_gaps,covered,covered_alpha_32,spill,"
            "overlaps_over_1px,"
            "smallest_over_median,under_quarter_median,cpu_seconds_per_frame",
            csv);
    }
}
BENCHMARK(BM_FillGaps)->Iterations(1)->Unit(benchmark::kSecond);

// Fill Gaps on with Seeds 1 to 4: covered and covered, alpha 32+ per Seed, the least of each, the
// slowest, the smallest layer over the median, and the overlaps and small layers of all four.
void BM_FillGapsSeeds(benchmark::State& state) {
    for (auto _ : state) {
        for (const Shape& shape : kShapes) {
            const std::string png = sourcePicture(shape);
            for (int layers : {80, 300}) {
                for (bool keepInside : {false, true}) {
                    std::string line = "csv,seeds," + std::string(shape.name) + "," +
                                       std::to_string(layers) + (keepInside ? ",on" : ",off");
                    double least = 1.0, leastAbove = 1.0, seconds = 0, most = 0, smallest = 1.0;
                    int faults = 0;  // overlaps over 1 px and layers under a quarter, all Seeds
                    for (int seed = 1; seed <= 4; ++seed) {
                        Setup s;
                        s.layers = layers;
                        s.keepInside = keepInside;
                        s.fill = true;
                        s.seed = seed;
                        const auto host = press(shape, png, s, &seconds);
                        const Row r = measure(*host, png, seconds);
                        char cell[64];
                        std::snprintf(cell, sizeof cell, ",%.3f/%.3f", r.covered, r.coveredAbove);
                        line += cell;
                        least = std::min(least, r.covered);
                        leastAbove = std::min(leastAbove, r.coveredAbove);
                        most = std::max(most, seconds);
                        smallest = std::min(smallest, r.smallestOverMedian);
                        faults += r.deep + r.belowQuarter;
                    }
                    std::printf("%s,least %.3f/%.3f,slowest %.3f,smallest %.2f,faults %d\n",
                                line.c_str(), least, leastAbove, most, smallest, faults);
                }
            }
        }
    }
}
BENCHMARK(BM_FillGapsSeeds)->Iterations(1)->Unit(benchmark::kSecond);

// Mean move per layer between evaluated frames, in the layer's size, with the Seed keyed over
// three frames (a deliberate reshuffle that Minimum Assignment keeps short), off and on, without
// and with the Shape controls.
void BM_FillGapsMotion(benchmark::State& state) {
    for (auto _ : state) {
        for (const Shape& shape : kShapes) {
            const std::string png = sourcePicture(shape);
            for (int run = 0; run < 4; ++run) {
                const bool fill = run % 2 == 1, keepInside = run >= 2;
                double seconds = 0;
                Setup s;
                s.layers = 80;
                s.fill = fill;
                s.keepInside = keepInside;
                s.frames = 3;
                const auto host = press(shape, png, s, &seconds);
                const auto& layers = host->project().comp.layers;
                double sum = 0;
                int moves = 0;
                for (size_t i = 1; i < layers.size(); ++i) {
                    const sim::Layer& l = layers[i];
                    for (int f = 0; f + 1 < s.frames; ++f) {
                        const double t0 = f * 10 / 25.0, t1 = (f + 1) * 10 / 25.0;
                        const auto a = l.position.valueAt(t0), b = l.position.valueAt(t1);
                        const double size = std::max(
                            1e-3, l.scale.valueAt(t0)[0] / 100.0 * std::max(l.width, l.height));
                        sum += std::hypot(b[0] - a[0], b[1] - a[1]) / size;
                        ++moves;
                    }
                }
                std::printf("csv,motion,%s,%s,%s,%.3f\n", shape.name, keepInside ? "on" : "off",
                            fill ? "on" : "off", sum / moves);
            }
        }
    }
}
BENCHMARK(BM_FillGapsMotion)->Iterations(1)->Unit(benchmark::kSecond);

// The whole Create of 3000 layers on the figure, a frame, off and on, without and with the Shape
// controls.
void BM_FillGapsCost(benchmark::State& state) {
    for (auto _ : state) {
        const std::string png = sourcePicture(kShapes[0]);
        for (int run = 0; run < 4; ++run) {
            const bool fill = run % 2 == 1, keepInside = run >= 2;
            double seconds = 0;
            Setup s;
            s.layers = int(state.range(0));
            s.fill = fill;
            s.keepInside = keepInside;
            const auto host = press(kShapes[0], png, s, &seconds);
            const Row r = measure(*host, png, seconds);
            std::printf("csv,cost,%d,%s,%s,%.3f,covered %.3f,covered alpha 32+ %.3f\n", s.layers,
                        keepInside ? "on" : "off", fill ? "on" : "off", seconds, r.covered,
                        r.coveredAbove);
        }
    }
}
BENCHMARK(BM_FillGapsCost)->Arg(3000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
