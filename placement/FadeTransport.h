#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "engine/Point2D.h"
#include "placement/CellGrid.h"
#include "placement/Following.h"
#include "placement/Sinkhorn.h"

// How wide a pour's fronts are, as shares of the fade: a cell starts draining that share of the
// fade before it is empty, and filling that share before it is full. The filling front is the
// wider, so that a part that appears far from the layers has some of its mass half way through.
constexpr double kDrainFront = 0.4;
constexpr double kFillFront = 0.6;

// A fade's transport along the shape, as a pour: the alpha the fade began with runs out of what
// fades, farthest from what stays first, and into what appears, nearest to what was there first,
// each front crossing its part at an even pace over the fade, so that a layer's neighbourhood
// thins or fills a little each frame instead of all at once. Each frame sends the pour's mass at
// the frame before onto its mass now, with distances measured inside the union of both frames'
// shapes (cells joined to their eight neighbours), so that mass goes round, not across, a gap;
// each cell moves as its mass does, less what its mass does when sent onto itself (the blur's
// pull). The rounds stop before the plan holds: the plan then keeps mass nearer where it was than
// the pour asks, so that no step sends layers across the shape, and a crossfade ends denser next
// to where its layers were (rounds to convergence measured in docs/performance.md).
class FadeTransport : CellGrid {
  public:
    static constexpr int kIterations = 100;
    static constexpr double kBlur = 1.5;  // in squared cells

    FadeTransport(double x0, double y0, double x1, double y1, FollowState::FadePaths& paths)
        : CellGrid(x0, y0, x1, y1),
          paths_(paths),
          kernel_(paths.kernel),
          part_(paths.parts),
          dist_(paths.distances) {
        before_.assign(size_t(nx_ * ny_), 0.0);
        end_.assign(size_t(nx_ * ny_), 0.0);
        now_.assign(size_t(nx_ * ny_), 0.0);
        inside_.assign(size_t(nx_ * ny_), false);
    }
    void addBefore(double x, double y, double m) {
        before_[cell(x, y)] += m;
        inside_[cell(x, y)] = true;
    }
    void addEnd(double x, double y, double m) {
        end_[cell(x, y)] += m;
        inside_[cell(x, y)] = true;
    }
    // This frame's alpha (inside the cells the two above mark).
    void addNow(double x, double y, double m) { now_[cell(x, y)] += m; }

    // Solves the pour's step for a share q of what was left of the fade, and each cell's move;
    // false when either side has no mass or the rounds did not stay finite. A fade that goes on
    // (its last frame was the frame before, its end is the same) keeps the alpha it began with.
    bool solve(double q) {
        std::vector<int>& index = index_;
        index.assign(inside_.size(), -1);
        for (size_t i = 0; i < inside_.size(); ++i) {
            if (inside_[i]) {
                index[i] = int(cells_.size());
                cells_.push_back(int(i));
            }
        }
        const size_t n = cells_.size();
        // The shortest paths and the kernel are the frame before's while the grid and its cells
        // inside are.
        const double grid[5] = {x0_, y0_, h_, double(nx_), double(ny_)};
        const bool kept = paths_.cells == cells_ && std::equal(grid, grid + 5, paths_.grid);
        if (!kept) {
            paths_.cells.clear();
            distances(index);
            kernel_.resize(n * n);
            for (size_t k = 0; k < n * n; ++k) {
                kernel_[k] =
                    std::isfinite(dist_[k]) ? std::exp(-double(dist_[k]) * dist_[k] / kBlur) : 0.0;
            }
            paths_.cells = cells_;
            std::copy(grid, grid + 5, paths_.grid);
        }
        FollowState::FadePaths& f = paths_;
        const bool goesOn =
            kept && f.progress < 1 && f.nowMass == before_ && sameMass(f.endMass, end_);
        if (!goesOn) {
            f.startMass = before_;
        }
        const double from = goesOn ? f.progress : 0.0;
        const double to = goesOn ? 1 - (1 - f.progress) * (1 - q) : q;
        std::vector<double> a, b, toX, toY, selfX, selfY;
        const PourKeys keys = pourKeys();
        pour(keys, from, a);
        pour(keys, to, b);
        if (!normalise(a) || !normalise(b) || !moves(a, b, toX, toY) ||
            !moves(a, a, selfX, selfY)) {
            f.progress = 1;
            return false;
        }
        f.progress = to;
        f.nowMass = now_;
        f.endMass = end_;
        dx_.assign(before_.size(), 0.0);
        dy_.assign(before_.size(), 0.0);
        mass_.assign(before_.size(), 0.0);
        poured_.assign(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            const size_t c = size_t(cells_[i]);
            dx_[c] = toX[i] - selfX[i];
            dy_[c] = toY[i] - selfY[i];
            mass_[c] = a[i];
            poured_[i] = b[i];
        }
        return true;
    }

    Point2D displacement(const Point2D& p) const { return moveAt(p, mass_, dx_, dy_); }

    // The factor per cell on this frame's alpha that the rounds weigh their samples by until the
    // fade ends: the pour's mass now over this frame's alpha (each as a share of its whole), so
    // that the rounds weigh a sample by the pour, not the alpha: a part that fades gives its
    // sites up as the pour leaves it, and what appears draws them as the pour reaches it. False
    // once the fade ends (its pour is then this frame's alpha).
    bool weights(std::vector<float>& factor) const {
        if (!(paths_.progress < 1) || poured_.size() != cells_.size()) {
            return false;
        }
        double now = 0;
        for (int c : cells_) {
            now += now_[size_t(c)];
        }
        factor.assign(before_.size(), 1.0f);
        for (size_t i = 0; i < cells_.size(); ++i) {
            const size_t c = size_t(cells_[i]);
            if (now_[c] > 0) {
                factor[c] = float(poured_[i] / (now_[c] / now));
            }
        }
        return true;
    }

  private:
    struct PourKeys {
        std::vector<double> start, end, key, partStart, partEnd;
    };
    // The pour's alpha at its start and end per cell inside, each part's totals, and each cell's
    // key: its distance over the farthest of its kind (draining or filling) in its part, 1 where
    // no such distance is known.
    PourKeys pourKeys() const {
        const size_t n = cells_.size();
        PourKeys k{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n, 0.0),
                   std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
        const std::vector<double>&s = k.start, &e = k.end;
        for (size_t i = 0; i < n; ++i) {
            k.start[i] = paths_.startMass[size_t(cells_[i])];
            k.end[i] = end_[size_t(cells_[i])];
            k.partStart[size_t(part_[i])] += s[i];
            k.partEnd[size_t(part_[i])] += e[i];
        }
        const auto nearest = [&](size_t i, const std::vector<double>& to) {
            double best = HUGE_VAL;
            for (size_t j = 0; j < n; ++j) {
                if (to[j] > 0) {
                    best = std::min(best, double(dist_[i * n + j]));
                }
            }
            return best;
        };
        // Per part, the farthest a draining and a filling cell lie.
        std::vector<double> distance(n, 0.0), drains(n, 0.0), fills(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            if (s[i] != e[i]) {
                distance[i] = nearest(i, s[i] > e[i] ? e : s);
                double& farthest = (s[i] > e[i] ? drains : fills)[size_t(part_[i])];
                if (std::isfinite(distance[i])) {
                    farthest = std::max(farthest, distance[i]);
                }
            }
        }
        for (size_t i = 0; i < n; ++i) {
            const double farthest = (s[i] > e[i] ? drains : fills)[size_t(part_[i])];
            k.key[i] = farthest > 0 && std::isfinite(distance[i]) ? distance[i] / farthest : 1.0;
        }
        return k;
    }
    // The pour's mass per cell inside at a share p of the fade. Of the alpha the fade began with,
    // what the end keeps stays; what the end does not keep drains, the cells farthest from any the
    // end keeps first; what the end adds fills, the cells nearest any that held alpha first. A
    // cell's key k is its distance over the farthest such in its part, and its front runs from
    // k (1 - w) of the fade to w after that (w: kDrainFront or kFillFront; a draining cell's k is
    // taken from the far end). Mass stays in its part of the shape: a part that fades out whole
    // (apart from the rest) keeps its alpha, one that appears apart takes none, and each part keeps
    // its share of the alpha the fade began with.
    void pour(const PourKeys& keys, double p, std::vector<double>& out) const {
        const size_t n = cells_.size();
        const std::vector<double>&s = keys.start, &e = keys.end;
        // How far a cell's front has gone at p, from its key k (0 first, 1 last) and its width w.
        const auto share = [&](double k, double w) {
            return std::max(0.0, std::min(1.0, (p - k * (1 - w)) / w));
        };
        out.assign(n, 0.0);
        std::vector<double> partOut(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            const size_t part = size_t(part_[i]);
            if (!(keys.partStart[part] > 0)) {
                continue;
            }
            if (!(keys.partEnd[part] > 0)) {
                out[i] = s[i];
            } else {
                const double k = keys.key[i], kept = std::min(s[i], e[i]);
                out[i] = s[i] > e[i] ? kept + (s[i] - kept) * (1 - share(1 - k, kDrainFront))
                                     : kept + (e[i] - kept) * share(k, kFillFront);
            }
            partOut[part] += out[i];
        }
        for (size_t i = 0; i < n; ++i) {
            const size_t part = size_t(part_[i]);
            out[i] = partOut[part] > 0 ? out[i] / partOut[part] * keys.partStart[part] : 0.0;
        }
    }
    // Whether two masses per cell agree within a thousandth of their total.
    static bool sameMass(const std::vector<double>& a, const std::vector<double>& b) {
        if (a.size() != b.size()) {
            return false;
        }
        double diff = 0, total = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            diff += std::abs(a[i] - b[i]);
            total += a[i];
        }
        return diff <= 1e-3 * total;
    }
    // The shortest paths between the cells inside, in cells (Dijkstra from each).
    void distances(const std::vector<int>& index) {
        const size_t n = cells_.size();
        dist_.assign(n * n, INFINITY);
        std::vector<std::pair<float, int>> heap;
        for (size_t s = 0; s < n; ++s) {
            float* d = &dist_[s * n];
            d[s] = 0;
            heap.assign(1, {0.0f, int(s)});
            while (!heap.empty()) {
                std::pop_heap(heap.begin(), heap.end(), std::greater<>());
                // Copies, not a structured binding: the lambda below reads du.
                const float du = heap.back().first;
                const int u = heap.back().second;
                heap.pop_back();
                if (du > d[u]) {
                    continue;
                }
                forEachNeighbour(cells_[size_t(u)], index, [&](int v, bool diagonal) {
                    const float dv = du + (diagonal ? 1.41421356f : 1.0f);
                    if (dv < d[v]) {
                        d[v] = dv;
                        heap.push_back({dv, v});
                        std::push_heap(heap.begin(), heap.end(), std::greater<>());
                    }
                });
            }
        }
        // The parts of the shape that paths join, each named by its first cell.
        part_.assign(n, 0);
        for (size_t s = 0; s < n; ++s) {
            const float* d = &dist_[s * n];
            part_[s] = int(std::find_if(d, d + n, [](float v) { return std::isfinite(v); }) - d);
        }
    }
    // Each of grid cell c's eight neighbours that lies inside (its index among the cells inside),
    // and whether it is a diagonal one.
    template <class F>
    void forEachNeighbour(int c, const std::vector<int>& index, F&& f) const {
        const int cx = c % nx_, cy = c / nx_;
        for (int oy = -1; oy <= 1; ++oy) {
            for (int ox = -1; ox <= 1; ++ox) {
                const int x = cx + ox, y = cy + oy;
                if ((ox == 0 && oy == 0) || x < 0 || y < 0 || x >= nx_ || y >= ny_) {
                    continue;
                }
                const int v = index[size_t(y * nx_ + x)];
                if (v >= 0) {
                    f(v, ox != 0 && oy != 0);
                }
            }
        }
    }
    Point2D centre(int c) const {
        return Point2D(float((c % nx_ + 0.5) * h_), float((c / nx_ + 0.5) * h_));
    }
    // Each cell's mean move in the transport a -> b: the mean of the cells its mass goes to, less
    // its own centre. The rounds run over the kernel's block between the two masses' cells only
    // (the other terms are zero).
    bool moves(const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& mx,
               std::vector<double>& my) const {
        const size_t n = cells_.size();
        std::vector<size_t> from, to;
        for (size_t i = 0; i < n; ++i) {
            if (a[i] > 0) {
                from.push_back(i);
            }
            if (b[i] > 0) {
                to.push_back(i);
            }
        }
        const size_t na = from.size(), nb = to.size();
        // The kernel from the cells of a to those of b (in the room of the frame before's).
        std::vector<double>& ab = paths_.block;
        ab.resize(na * nb);
        for (size_t r = 0; r < na; ++r) {
            const double* k = &kernel_[from[r] * n];
            for (size_t c = 0; c < nb; ++c) {
                ab[r * nb + c] = k[to[c]];
            }
        }
        // The first round starts from v = 1 on every cell, u from the whole kernel's rows.
        std::vector<double> u(na), v(nb), am(na), bm(nb), ones(n, 1.0);
        for (size_t r = 0; r < na; ++r) {
            am[r] = a[from[r]];
            u[r] = am[r] / sinkhorn::dot(&kernel_[from[r] * n], ones.data(), n);
        }
        for (size_t c = 0; c < nb; ++c) {
            bm[c] = b[to[c]];
        }
        sinkhorn::rounds(ab.data(), na, nb, am.data(), bm.data(), kIterations, u.data(), v.data());
        mx.assign(n, 0.0);
        my.assign(n, 0.0);
        for (size_t r = 0; r < na; ++r) {
            const size_t i = from[r];
            const double* k = &ab[r * nb];
            double total = 0, most = 0;
            for (size_t c = 0; c < nb; ++c) {
                most = std::max(most, k[c] * v[c]);
            }
            double sx = 0, sy = 0;
            for (size_t c = 0; c < nb; ++c) {
                const double w = k[c] * v[c];
                if (!(w > most * 1e-4)) {
                    continue;
                }
                const Point2D t = centre(cells_[to[c]]), o = centre(cells_[i]);
                const Point2D d(t.x - o.x, t.y - o.y);
                total += w;
                sx += w * d.x;
                sy += w * d.y;
            }
            if (!(total > 0) || !std::isfinite(sx / total) || !std::isfinite(sy / total)) {
                return false;
            }
            mx[i] = sx / total;
            my[i] = sy / total;
        }
        return true;
    }

    FollowState::FadePaths& paths_;
    std::vector<double> before_, end_, now_, dx_, dy_, mass_;
    std::vector<double> poured_;  // the pour's mass now, per cell inside
    std::vector<int> index_;
    std::vector<double>& kernel_;
    std::vector<bool> inside_;
    std::vector<int> cells_;
    std::vector<int>& part_;
    std::vector<float>& dist_;
};
