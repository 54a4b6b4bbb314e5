// How calmly a collage follows an animated Source, with Follow Shape Changes off and on: 120
// layers on a 960 x 540 composition, Source footage of 10 frames 0.2 s apart (a growing disk, an
// ellipse sliding at a fractional speed, an "L" of two bars morphing into a "T", the same two
// crossfading, one edge pixel switched off), Every X Frames with Interval 5, Position Organic,
// Scale From Neighborhood, Minimum Assignment, one Seed. Per layer and step between evaluated
// frames it prints the move over the shape's own motion under the layer (median and p95 over
// the moves where the shape moved at least a pixel), the coherent share (the move less the
// shape's is under a quarter of the layer's size; where the morph's bars overlap, the shape moves
// with both, and the shape's motion is the bar's nearest the layer's move, not their average), the
// four nearest neighbours kept, the pairs of paths crossing per step, the size change (p95), the
// largest move in layer sizes and the seconds a frame; also as CSV lines ("csv,...") for
// docs/perf/follow-shape.csv. For the crossfade followed, it also prints the least moves any
// layout needs from its first frame's layer positions to its last's, beside the measured ones,
// and by step its largest move and how many layers move more than their size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "host/Params.h"

namespace {

constexpr int kWidth = 960, kHeight = 540, kFrames = 10, kInterval = 5;
constexpr double kCard = 20.0;  // the cards are 20 x 20 px at 100 %

using Vec = std::array<double, 2>;
struct Rect {
    double x0, y0, x1, y1;
};

double smoothInside(double d) {
    return std::clamp(0.5 - d, 0.0, 1.0);
}

double rectAlpha(const Rect& r, double x, double y) {
    const double d = std::max({r.x0 - x, x - r.x1, r.y0 - y, y - r.y1});
    return smoothInside(d);
}

Rect mix(const Rect& a, const Rect& b, double s) {
    return {a.x0 + (b.x0 - a.x0) * s, a.y0 + (b.y0 - a.y0) * s, a.x1 + (b.x1 - a.x1) * s,
            a.y1 + (b.y1 - a.y1) * s};
}

const Rect kL[2] = {{380, 120, 440, 420}, {380, 360, 620, 420}};
const Rect kT[2] = {{450, 120, 510, 420}, {330, 120, 630, 180}};

// A point's motion with the bars from frame f to f + 1: one candidate for each bar it lies on.
// Where the bars overlap the shape moves two ways at once, and a layer moving with either bar
// moves with the shape; `measure` takes the candidate nearest the layer's own move.
std::vector<Vec> morphMotion(int f, const Vec& p) {
    std::vector<Vec> out;
    for (int i = 0; i < 2; ++i) {
        const Rect a = mix(kL[i], kT[i], f / 9.0), b = mix(kL[i], kT[i], (f + 1) / 9.0);
        if (rectAlpha(a, p[0], p[1]) <= 0) continue;
        const double u = (p[0] - a.x0) / (a.x1 - a.x0), v = (p[1] - a.y0) / (a.y1 - a.y0);
        out.push_back({b.x0 + u * (b.x1 - b.x0) - p[0], b.y0 + v * (b.y1 - b.y0) - p[1]});
    }
    if (out.empty()) out.push_back({0, 0});
    return out;
}

struct Source {
    const char* name;
    std::function<double(int, double, double)> alpha;  // frame, pixel centre
    // The shape's motion under a point (more than one where parts moving apart overlap).
    std::function<std::vector<Vec>(int, const Vec&)> motion;
};

const Source kSources[] = {
    {"disk growing 5 % per frame",
     [](int f, double x, double y) {
         return smoothInside(std::hypot(x - 480, y - 270) - 110 * std::pow(1.05, f));
     },
     [](int, const Vec& p) {
         return std::vector<Vec>{{(p[0] - 480) * 0.05, (p[1] - 270) * 0.05}};
     }},
    {"ellipse sliding 7.3 px per frame",
     [](int f, double x, double y) {
         const double cx = 380 + 7.3 * f;
         return smoothInside((std::hypot((x - cx) / 170, (y - 270) / 100) - 1) * 100);
     },
     [](int, const Vec&) {
         return std::vector<Vec>{{7.3, 0}};
     }},
    {"L morphing into T",
     [](int f, double x, double y) {
         const double s = f / 9.0;
         return std::max(rectAlpha(mix(kL[0], kT[0], s), x, y),
                         rectAlpha(mix(kL[1], kT[1], s), x, y));
     },
     morphMotion},
    {"L crossfading into T",
     [](int f, double x, double y) {
         const double s = f / 9.0;
         const double l = std::max(rectAlpha(kL[0], x, y), rectAlpha(kL[1], x, y));
         const double t = std::max(rectAlpha(kT[0], x, y), rectAlpha(kT[1], x, y));
         return (1 - s) * l + s * t;
     },
     [](int, const Vec&) {
         return std::vector<Vec>{{0, 0}};
     }},
    {"one edge pixel off",
     [](int f, double x, double y) {
         if (f > 0 && int(x) == 480 + 147 && int(y) == 270) return 0.0;  // the rightmost
         return std::hypot(x - 480, y - 270) <= 148.5 ? 1.0 : 0.0;
     },
     [](int, const Vec&) {
         return std::vector<Vec>{{0, 0}};
     }},
};

std::string writeFrame(int source, int f) {
    return bench::alphaPng(
        "follow_" + std::to_string(source) + "_" + std::to_string(f), kWidth, kHeight,
        [&](int x, int y) { return kSources[source].alpha(f, x + 0.5, y + 0.5); });
}

std::vector<std::string> writeFrames(int source) {
    std::vector<std::string> frames;
    for (int f = 0; f < kFrames; ++f) frames.push_back(writeFrame(source, f));
    return frames;
}

struct Track {
    std::vector<Vec> at;  // [frame]
    std::vector<double> size;
};

struct Outcome {
    std::vector<Track> tracks;
    double secondsPerFrame = 0;
    double cpuSecondsPerFrame = 0;  // the process's, all threads
};

Outcome press(const std::vector<std::string>& frames, bool follow, int layers = 120) {
    // One evaluated frame per Source frame given: a press of the first frame alone tells the
    // fresh layout's cost from the followed frames'.
    const int n = int(frames.size());
    sim::Project p = bench::collage(frames.front(), kWidth, kHeight, layers, n * kInterval);
    sim::Layer& src = p.comp.layers[0];
    for (int f = 0; f < n; ++f) src.frames.emplace_back(f * 0.2, frames[size_t(f)]);
    for (size_t i = 1; i < p.comp.layers.size(); ++i) {
        sim::Layer& card = p.comp.layers[i];
        card.width = card.height = int(kCard);
        card.maskedBounds = {0, 0, kCard, kCard};
        card.anchorPoint.value = {kCard / 2, kCard / 2, 0};
    }
    auto host = bench::appliedHost(p);
    host->setParam(PARAM_POSITION, double(PositionMode::Organic));
    host->setParam(PARAM_SCALE, double(ScaleMode::FromNeighborhood));
    host->setParam(PARAM_ROTATION, double(RotationMode::Ignore));
    host->setParam(PARAM_OPACITY, double(OpacityMode::Ignore));
    host->setParam(PARAM_LAYER_ORDER, double(LayerOrder::MinimumAssignment));
    host->setParam(PARAM_FRAMES_TO_RENDER, double(FramesToRender::EveryXFrames));
    host->setParam(PARAM_INTERVAL, kInterval);
    host->setParam(PARAM_SEED, 5);
    host->setParam(PARAM_FOLLOW_SHAPE_CHANGES, follow ? 1 : 0);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    bench::pressCreate(*host);
    Outcome out;
    out.cpuSecondsPerFrame = double(std::clock() - cpuStart) / CLOCKS_PER_SEC / n;
    out.secondsPerFrame =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
    const auto& cards = host->project().comp.layers;
    for (size_t i = 1; i < cards.size(); ++i) {
        Track t;
        for (int f = 0; f < n; ++f) {
            const double s = f * 0.2;
            const auto v = cards[i].position.valueAt(s);
            t.at.push_back({v[0], v[1]});
            t.size.push_back(kCard * cards[i].scale.valueAt(s)[0] / 100.0);
        }
        out.tracks.push_back(t);
    }
    return out;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

double cross(const Vec& o, const Vec& a, const Vec& b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Whether the open segments ab and cd cross (touching ends do not count).
bool crosses(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// The shape's motion under a layer moving from a to b between frames f and f + 1; where the
// shape moves more than one way under it, the way nearest its move.
Vec shapeMotion(int source, int f, const Vec& a, const Vec& b) {
    Vec shape{0, 0};
    double nearest = HUGE_VAL;
    for (const Vec& m : kSources[source].motion(f, a)) {
        const double d = std::hypot(b[0] - a[0] - m[0], b[1] - a[1] - m[1]);
        if (d < nearest) {
            nearest = d;
            shape = m;
        }
    }
    return shape;
}

// The four points nearest point i, by index.
std::vector<size_t> nearestFourOf(const std::vector<Vec>& p, size_t i) {
    std::vector<size_t> o;
    for (size_t j = 0; j < p.size(); ++j)
        if (j != i) o.push_back(j);
    auto d = [&](size_t j) { return std::hypot(p[j][0] - p[i][0], p[j][1] - p[i][1]); };
    std::partial_sort(o.begin(), o.begin() + 4, o.end(),
                      [&](size_t a, size_t b) { return d(a) < d(b); });
    o.resize(4);
    std::sort(o.begin(), o.end());
    return o;
}

std::vector<Vec> positionsAt(const std::vector<Track>& t, int f) {
    std::vector<Vec> p;
    for (const Track& k : t) p.push_back(k.at[size_t(f)]);
    return p;
}

std::vector<size_t> nearestFour(const std::vector<Track>& t, size_t i, int f) {
    return nearestFourOf(positionsAt(t, f), i);
}

// The share of the four nearest neighbours kept if every layer had moved exactly with the shape
// under it (the way nearest its own move, where the shape moves more than one way): what a
// perfectly coherent collage keeps, whatever its overlaps. Parts of a shape that slide through
// each other take their layers past the other part's, so this is below 100 %.
double carriedNeighboursKept(int source, const Outcome& o) {
    int neighbours = 0, kept = 0;
    for (int f = 0; f + 1 < kFrames; ++f) {
        const std::vector<Vec> before = positionsAt(o.tracks, f),
                               after = positionsAt(o.tracks, f + 1);
        std::vector<Vec> carried;
        for (size_t i = 0; i < before.size(); ++i) {
            const Vec &a = before[i], &b = after[i];
            const Vec shape = shapeMotion(source, f, a, b);
            carried.push_back({a[0] + shape[0], a[1] + shape[1]});
        }
        for (size_t i = 0; i < before.size(); ++i) {
            const auto was = nearestFourOf(before, i), is = nearestFourOf(carried, i);
            for (size_t j : was) {
                ++neighbours;
                kept += std::count(is.begin(), is.end(), j) > 0;
            }
        }
    }
    return double(kept) / neighbours;
}

// The widest hole in frame f's collage: the largest distance from a point of the shape (a pixel
// centre of alpha at least a half) to the nearest layer's centre, in the frame's median layer
// size. A layout spread evenly over the shape has about 1.
double widestHole(int source, const std::vector<Track>& t, int f) {
    constexpr int kCell = 8;
    const int nx = kWidth / kCell + 1, ny = kHeight / kCell + 1;
    std::vector<std::vector<Vec>> cells(size_t(nx) * size_t(ny));
    std::vector<double> sizes;
    for (const Track& k : t) {
        const Vec& p = k.at[size_t(f)];
        const int cx = std::clamp(int(p[0] / kCell), 0, nx - 1);
        const int cy = std::clamp(int(p[1] / kCell), 0, ny - 1);
        cells[size_t(cy) * size_t(nx) + size_t(cx)].push_back(p);
        sizes.push_back(k.size[size_t(f)]);
    }
    double widest = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            if (kSources[source].alpha(f, px, py) < 0.5) continue;
            // Rings of cells around the pixel's until a ring lies beyond the nearest found.
            const int cx = x / kCell, cy = y / kCell;
            double nearest = HUGE_VAL;
            for (int r = 0; r < std::max(nx, ny) && (r - 1) * kCell < nearest; ++r) {
                for (int yy = std::max(0, cy - r); yy <= std::min(ny - 1, cy + r); ++yy) {
                    for (int xx = std::max(0, cx - r); xx <= std::min(nx - 1, cx + r); ++xx) {
                        if (std::max(std::abs(xx - cx), std::abs(yy - cy)) != r) continue;
                        for (const Vec& p : cells[size_t(yy) * size_t(nx) + size_t(xx)])
                            nearest = std::min(nearest, std::hypot(p[0] - px, p[1] - py));
                    }
                }
            }
            widest = std::max(widest, nearest);
        }
    }
    return widest / std::max(1e-3, quantile(sizes, 0.5));
}

// The layers under half the median layer size at the last frame: sites crowded onto each other
// leave their layers no room to grow (a layout laid out afresh has none).
int crushedAtEnd(const Outcome& o) {
    std::vector<double> sizes;
    for (const Track& k : o.tracks) sizes.push_back(k.size.back());
    const double half = quantile(sizes, 0.5) / 2;
    return int(std::count_if(sizes.begin(), sizes.end(), [&](double s) { return s < half; }));
}

struct Row {
    double ratioMedian, ratioP95, coherent, kept, crossings, sizeP95, maxMove, seconds;
    double maxOffShape;  // the largest move less the shape's motion, in the layer's sizes
    double medianSize;   // px
    double widestHole;   // over the frames, in median layer sizes
    double lastHole;     // at the last frame, where the change has ended
};

Row measure(int source, const Outcome& o) {
    std::vector<double> ratios, sizeChanges;
    double maxMove = 0, maxOffShape = 0;
    std::vector<double> sizes;
    int moves = 0, coherent = 0, neighbours = 0, kept = 0, crossings = 0;
    const auto& t = o.tracks;
    double widest = 0;
    for (int f = 0; f < kFrames; ++f) widest = std::max(widest, widestHole(source, t, f));
    for (int f = 0; f + 1 < kFrames; ++f) {
        for (size_t i = 0; i < t.size(); ++i) {
            const Vec& a = t[i].at[size_t(f)];
            const Vec& b = t[i].at[size_t(f) + 1];
            const Vec shape = shapeMotion(source, f, a, b);
            const double move = std::hypot(b[0] - a[0], b[1] - a[1]);
            const double shapeMove = std::hypot(shape[0], shape[1]);
            const double size = std::max(1e-3, t[i].size[size_t(f)]);
            if (shapeMove >= 1.0) ratios.push_back(move / shapeMove);
            ++moves;
            const double offShape = std::hypot(b[0] - a[0] - shape[0], b[1] - a[1] - shape[1]);
            coherent += offShape < size / 4;
            maxMove = std::max(maxMove, move / size);
            maxOffShape = std::max(maxOffShape, offShape / size);
            sizes.push_back(size);
            sizeChanges.push_back(std::abs(t[i].size[size_t(f) + 1] / size - 1));
            const auto before = nearestFour(t, i, f), after = nearestFour(t, i, f + 1);
            for (size_t j : before) {
                ++neighbours;
                kept += std::count(after.begin(), after.end(), j) > 0;
            }
            for (size_t j = i + 1; j < t.size(); ++j) {
                crossings += crosses(a, b, t[j].at[size_t(f)], t[j].at[size_t(f) + 1]);
            }
        }
    }
    return {quantile(ratios, 0.5),
            quantile(ratios, 0.95),
            double(coherent) / moves,
            double(kept) / neighbours,
            double(crossings) / (kFrames - 1),
            quantile(sizeChanges, 0.95),
            maxMove,
            o.secondsPerFrame,
            maxOffShape,
            quantile(sizes, 0.5),
            widest,
            widestHole(source, t, kFrames - 1)};
}

// The least total cost of a perfect matching of rows to columns (a plain O(n^3) Hungarian).
double leastMatching(const std::vector<std::vector<double>>& cost) {
    const size_t n = cost.size();
    std::vector<double> u(n + 1, 0), v(n + 1, 0), least(n + 1);
    std::vector<size_t> match(n + 1, 0), way(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        match[0] = i;
        size_t j0 = 0;
        std::fill(least.begin(), least.end(), INFINITY);
        std::vector<bool> used(n + 1, false);
        do {
            used[j0] = true;
            const size_t i0 = match[j0];
            double delta = INFINITY;
            size_t j1 = 0;
            for (size_t j = 1; j <= n; ++j) {
                if (used[j]) continue;
                const double c = cost[i0 - 1][j - 1] - u[i0] - v[j];
                if (c < least[j]) {
                    least[j] = c;
                    way[j] = j0;
                }
                if (least[j] < delta) {
                    delta = least[j];
                    j1 = j;
                }
            }
            for (size_t j = 0; j <= n; ++j) {
                if (used[j]) {
                    u[match[j]] += delta;
                    v[j] -= delta;
                } else {
                    least[j] -= delta;
                }
            }
            j0 = j1;
        } while (match[j0] != 0);
        do {
            const size_t j1 = way[j0];
            match[j0] = match[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    double total = 0;
    for (size_t j = 1; j <= n; ++j) total += cost[match[j] - 1][j - 1];
    return total;
}

// Whether the rows can be matched to the columns through the allowed pairs (Kuhn's augmenting
// paths).
bool perfectMatching(const std::vector<std::vector<bool>>& allowed) {
    const size_t n = allowed.size();
    std::vector<int> rowOf(n, -1);
    for (size_t i = 0; i < n; ++i) {
        std::vector<bool> seen(n, false);
        const std::function<bool(size_t)> augment = [&](size_t r) {
            for (size_t j = 0; j < n; ++j) {
                if (!allowed[r][j] || seen[j]) continue;
                seen[j] = true;
                if (rowOf[j] < 0 || augment(size_t(rowOf[j]))) {
                    rowOf[j] = int(r);
                    return true;
                }
            }
            return false;
        };
        if (!augment(i)) return false;
    }
    return true;
}

// What any layout must move to take the first frame's layer positions onto the last's (the
// crossfade's shapes do not move, so the layers must), with the sizes this run gives the layer
// that ends at each last position: the least mean move a step (a matching of least total
// distance, over the layers and steps, in mean layer sizes); the least largest move in a step (a
// layer that goes d px over steps of sizes s_f moves at least d / sum(s_f) of a size in one of
// them; the matching whose worst such figure is least); and the best coherent share with no
// step over a size (steps under a quarter size, the rest at most a size, the largest sizes
// taken first: the least count of the other steps, summed over the matching that needs fewest).
struct Bound {
    double meanMove, largestMove, measuredMean, bestCoherent;
};

Bound leastMoves(const Outcome& o) {
    const auto& t = o.tracks;
    const size_t n = t.size();
    const int steps = kFrames - 1;
    double sizes = 0, moved = 0;
    for (const Track& k : t) {
        for (int f = 0; f < steps; ++f) {
            sizes += k.size[size_t(f)];
            moved += std::hypot(k.at[size_t(f) + 1][0] - k.at[size_t(f)][0],
                                k.at[size_t(f) + 1][1] - k.at[size_t(f)][1]);
        }
    }
    const double meanSize = sizes / double(n * size_t(steps));
    std::vector<std::vector<double>> distance(n), perSize(n), incoherent(n);
    std::vector<double> all;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            const double d =
                std::hypot(t[j].at.back()[0] - t[i].at[0][0], t[j].at.back()[1] - t[i].at[0][1]);
            std::vector<double> s(t[j].size.begin(), t[j].size.begin() + steps);
            std::sort(s.rbegin(), s.rend());
            double reach = 0;
            for (double v : s) reach += v / 4;
            int k = 0;
            while (k < steps && reach <= d) reach += 0.75 * s[size_t(k++)];
            distance[i].push_back(d);
            perSize[i].push_back(d / std::accumulate(s.begin(), s.end(), 0.0));
            incoherent[i].push_back(k);
            all.push_back(perSize[i].back());
        }
    }
    std::sort(all.begin(), all.end());
    size_t lo = 0, hi = all.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        std::vector<std::vector<bool>> allowed(n, std::vector<bool>(n));
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j) allowed[i][j] = perSize[i][j] <= all[mid];
        if (perfectMatching(allowed)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    const double unit = meanSize * double(n) * steps;
    return {leastMatching(distance) / unit, all[lo], moved / unit,
            1 - leastMatching(incoherent) / (double(n) * steps)};
}

// A cheaper floor under leastMoves' largest move, for many layers: whichever layer ends at a last
// position came from at least as far as the nearest first position, over the same steps.
double nearestStartBound(const Outcome& o) {
    const auto& t = o.tracks;
    double most = 0;
    for (const Track& end : t) {
        double nearest = HUGE_VAL;
        for (const Track& start : t) {
            nearest = std::min(nearest, std::hypot(end.at.back()[0] - start.at[0][0],
                                                   end.at.back()[1] - start.at[0][1]));
        }
        const double sizes = std::accumulate(end.size.begin(), end.size.end() - 1, 0.0);
        most = std::max(most, nearest / std::max(1e-3, sizes));
    }
    return most;
}

// Per step, the largest move in the layer's sizes before it and how many layers move more than
// their size: where in the fade a layout breaks the one-size bound, and how many layers do.
std::string stepMoves(const Outcome& o) {
    std::string largest, over;
    for (int f = 0; f + 1 < kFrames; ++f) {
        double most = 0;
        int count = 0;
        for (const Track& k : o.tracks) {
            const Vec &a = k.at[size_t(f)], &b = k.at[size_t(f) + 1];
            const double m =
                std::hypot(b[0] - a[0], b[1] - a[1]) / std::max(1e-3, k.size[size_t(f)]);
            most = std::max(most, m);
            count += m > 1;
        }
        char v[32];
        std::snprintf(v, sizeof v, " %.2f", most);
        largest += v;
        std::snprintf(v, sizeof v, " %d", count);
        over += v;
    }
    return "largest move" + largest + "; layers moving more than a size" + over;
}

void BM_FollowShape(benchmark::State& state) {
    for (auto _ : state) {
        std::printf(
            "| Source change | Follow | move x shape median / p95 | coherent | neighbours "
            "kept | crossings per step | size change p95 | largest move (sizes) | s a "
            "frame |\n|---|---|---|---|---|---|---|---|---|\n");
        std::vector<std::string> csv;
        Bound bound{};
        Row measured{};
        std::string steps;
        double morphCarried = 0, morphKept = 0;
        for (int s = 0; s < int(std::size(kSources)); ++s) {
            const std::vector<std::string> frames = writeFrames(s);
            for (bool follow : {false, true}) {
                const Outcome o = press(frames, follow);
                const Row r = measure(s, o);
                std::printf(
                    "| %s | %s | %.2f / %.2f | %.0f %% | %.0f %% | %.1f | %.0f %% | %.2f | "
                    "%.3f |\n",
                    kSources[s].name, follow ? "on" : "off", r.ratioMedian, r.ratioP95,
                    100 * r.coherent, 100 * r.kept, r.crossings, 100 * r.sizeP95, r.maxMove,
                    r.seconds);
                char line[256];
                std::snprintf(line, sizeof line,
                              "csv,%s,%s,%.3f,%.3f,%.3f,%.3f,%.2f,%.3f,%.3f,%.4f\n",
                              kSources[s].name, follow ? "on" : "off", r.ratioMedian, r.ratioP95,
                              r.coherent, r.kept, r.crossings, r.sizeP95, r.maxMove, r.seconds);
                csv.push_back(line);
                if (follow && kSources[s].name == std::string("L crossfading into T")) {
                    bound = leastMoves(o);
                    measured = r;
                    steps = stepMoves(o);
                }
                if (follow && kSources[s].name == std::string("L morphing into T")) {
                    morphCarried = carriedNeighboursKept(s, o);
                    morphKept = r.kept;
                }
            }
        }
        std::printf(
            "\nCrossfade, on, per step in layer sizes: least mean move %.2f (measured %.2f), "
            "least largest move %.2f (measured %.2f); best coherent share with no step over a "
            "size %.0f %% (measured %.0f %%)\n",
            bound.meanMove, bound.measuredMean, bound.largestMove, measured.maxMove,
            100 * bound.bestCoherent, 100 * measured.coherent);
        std::printf("Crossfade, on, by step: %s\n", steps.c_str());
        std::printf(
            "Morph, on: neighbours kept %.0f %%; %.0f %% had every layer moved exactly with the "
            "shape under it\n",
            100 * morphKept, 100 * morphCarried);
        bench::printCsv(
            "source,follow,move_x_shape_median,move_x_shape_p95,coherent,"
            "neighbours_kept,crossings_per_step,size_change_p95,largest_move_sizes,"
            "seconds_per_frame",
            csv);
    }
}
BENCHMARK(BM_FollowShape)->Iterations(1)->Unit(benchmark::kSecond);

// The same figures with Follow Shape Changes on for more layers on the same Sources (so smaller
// layers), as the goals are for 60 to 3000 layers. Beside them, the median layer size and the
// largest move less the shape's own motion (a jump, where the shape moves); after them, for the
// crossfade, the least largest move a step that its last positions and sizes need, for the
// morph, the neighbours a perfectly coherent collage keeps, and for each Source, the layers
// crushed by the end.
void BM_FollowShapeScale(benchmark::State& state) {
    for (auto _ : state) {
        std::printf(
            "| Source change | layers | layer size (px) | move x shape median / p95 | coherent | "
            "neighbours kept | crossings per step | size change p95 | largest move (sizes) | "
            "largest move off the shape's (sizes) | widest hole (sizes) | widest hole at the end "
            "(sizes) |\n|---|---|---|---|---|---|---|---|---|---|---|---|\n");
        std::vector<std::string> csv;
        std::string floors, carried, crushed;
        for (int s = 0; s < int(std::size(kSources)); ++s) {
            const std::vector<std::string> frames = writeFrames(s);
            crushed += std::string(s > 0 ? "; " : "") + kSources[s].name + ":";
            for (int layers : {60, 120, 500, 1000, 3000}) {
                const Outcome o = press(frames, true, layers);
                const Row r = measure(s, o);
                char v[64];
                std::snprintf(v, sizeof v, " %d", crushedAtEnd(o));
                crushed += v;
                if (kSources[s].name == std::string("L crossfading into T")) {
                    std::snprintf(v, sizeof v, "%s%.2f at %d", floors.empty() ? "" : ", ",
                                  nearestStartBound(o), layers);
                    floors += v;
                }
                if (kSources[s].name == std::string("L morphing into T")) {
                    std::snprintf(v, sizeof v, "%s%.1f %% at %d", carried.empty() ? "" : ", ",
                                  100 * carriedNeighboursKept(s, o), layers);
                    carried += v;
                }
                std::printf(
                    "| %s | %d | %.1f | %.2f / %.2f | %.0f %% | %.0f %% | %.2f | %.0f %% | %.2f | "
                    "%.2f | %.2f | %.2f |\n",
                    kSources[s].name, layers, r.medianSize, r.ratioMedian, r.ratioP95,
                    100 * r.coherent, 100 * r.kept, r.crossings, 100 * r.sizeP95, r.maxMove,
                    r.maxOffShape, r.widestHole, r.lastHole);
                char line[256];
                std::snprintf(line, sizeof line,
                              "csv,%s,%d,%.2f,%.3f,%.3f,%.3f,%.3f,%.2f,%.3f,%.3f,%.3f,%.2f,%.2f\n",
                              kSources[s].name, layers, r.medianSize, r.ratioMedian, r.ratioP95,
                              r.coherent, r.kept, r.crossings, r.sizeP95, r.maxMove, r.maxOffShape,
                              r.widestHole, r.lastHole);
                csv.push_back(line);
            }
        }
        bench::printCsv(
            "source,layers,median_layer_size_px,move_x_shape_median,move_x_shape_p95,coherent,"
            "neighbours_kept,crossings_per_step,size_change_p95,largest_move_sizes,"
            "largest_move_off_shape_sizes,widest_hole_sizes,widest_hole_at_end_sizes",
            csv);
        std::printf(
            "\nCrossfade, on: least largest move a step (sizes) for these last positions and "
            "sizes, by layers: %s\n",
            floors.c_str());
        std::printf(
            "Morph, on: neighbours kept had every layer moved exactly with the shape under it, by "
            "layers: %s\n",
            carried.c_str());
        std::printf(
            "On: layers under half the median layer size at the last frame, at 60, 120, 500, 1000 "
            "and 3000 layers: %s\n",
            crushed.c_str());
    }
}
BENCHMARK(BM_FollowShapeScale)->Iterations(1)->Unit(benchmark::kSecond);

// The cost alone at 3000 layers: the whole Create per evaluated frame, off and on, for the growing
// disk, the sliding ellipse, the morph and the crossfade, in wall and CPU seconds (the process's,
// all threads); then the first frame alone and the followed frames alone.
void BM_FollowShapeCost(benchmark::State& state) {
    for (auto _ : state) {
        for (int s : {0, 1, 2, 3}) {
            const std::vector<std::string> frames = writeFrames(s);
            const Outcome off = press(frames, false, int(state.range(0)));
            const Outcome on = press(frames, true, int(state.range(0)));
            // The "on" press lays its first frame out afresh; what the followed frames cost
            // alone is the press less a press of that first frame.
            const Outcome first = press({frames.front()}, true, int(state.range(0)));
            const double followed =
                (on.secondsPerFrame * kFrames - first.secondsPerFrame) / (kFrames - 1);
            const double followedCpu =
                (on.cpuSecondsPerFrame * kFrames - first.cpuSecondsPerFrame) / (kFrames - 1);
            std::printf(
                "csv,cost,%s,%d,off %.3f,on %.3f,cpu off %.3f,cpu on %.3f,first %.3f,"
                "followed %.3f,cpu first %.3f,cpu followed %.3f\n",
                kSources[s].name, int(state.range(0)), off.secondsPerFrame, on.secondsPerFrame,
                off.cpuSecondsPerFrame, on.cpuSecondsPerFrame, first.secondsPerFrame, followed,
                first.cpuSecondsPerFrame, followedCpu);
        }
    }
}
BENCHMARK(BM_FollowShapeCost)->Arg(3000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
