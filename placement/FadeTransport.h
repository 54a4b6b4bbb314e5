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

// At most how many times its alpha a sample weighs where the fade's mass arrives, and at least
// how many times where it has left.
constexpr double kFadeBoost = 2.0;
constexpr double kFadeFloor = 0.5;

// A fade's transport along the shape: the frame before's alpha sent onto the alpha the fade ends
// with (fading pixels gone, appearing ones whole), with distances measured inside the union of
// both frames' shapes (cells joined to their eight neighbours), so that mass leaving a part that
// fades goes round, not across, a gap. Each cell moves a share of the way along the shortest
// paths its mass takes, less what its mass does when sent onto itself (the blur's pull).
// The rounds stop well before the plan holds (after 100, its rows miss the mass before by about
// half of it): the plan then keeps mass nearer where it was than the end's alpha asks, so a
// crossfade ends denser next to where its layers were, but no step sends layers across the shape
// (rounds to convergence measured in docs/performance.md).
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

    // Solves the transport and each cell's move for a share q of the way; false when either
    // side has no mass or the rounds did not stay finite. A fade that goes on (its last frame was
    // the frame before, its end is the same) keeps its plan; a new one takes this transport's.
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
        std::vector<double> a(n), b(n);
        for (size_t i = 0; i < n; ++i) {
            a[i] = before_[size_t(cells_[i])];
            b[i] = end_[size_t(cells_[i])];
        }
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
        // Mass stays in its part of the shape: a part that fades out whole, apart from the rest
        // (a crossfade between shapes that do not touch), keeps its sites, and one that appears
        // apart takes none; each part sends its share of the mass before onto its mass at the end.
        std::vector<double> partA(n, 0.0), partB(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            partA[size_t(part_[i])] += a[i];
            partB[size_t(part_[i])] += b[i];
        }
        for (size_t i = 0; i < n; ++i) {
            const size_t p = size_t(part_[i]);
            const bool both = partA[p] > 0 && partB[p] > 0;
            b[i] = both ? b[i] / partB[p] * partA[p] : 0.0;
            a[i] = both ? a[i] : 0.0;
        }
        if (!normalise(a) || !normalise(b)) {
            return false;
        }
        FollowState::FadePaths& f = paths_;
        const bool goesOn =
            kept && f.progress < 1 && f.nowMass == before_ && sameMass(f.endMass, end_);
        std::vector<double> toEndX, toEndY, selfX, selfY;
        if (!moves(a, b, q, index, toEndX, toEndY, goesOn ? nullptr : &f.plan) ||
            !moves(a, a, q, index, selfX, selfY, nullptr)) {
            f.progress = 1;
            return false;
        }
        f.progress = goesOn ? 1 - (1 - f.progress) * (1 - q) : q;
        f.nowMass = now_;
        f.endMass = end_;
        dx_.assign(before_.size(), 0.0);
        dy_.assign(before_.size(), 0.0);
        mass_.assign(before_.size(), 0.0);
        for (size_t i = 0; i < n; ++i) {
            const size_t c = size_t(cells_[i]);
            dx_[c] = toEndX[i] - selfX[i];
            dy_[c] = toEndY[i] - selfY[i];
            mass_[c] = a[i];
        }
        return true;
    }

    Point2D displacement(const Point2D& p) const { return moveAt(p, mass_, dx_, dy_); }

    // The factor per cell on this frame's alpha that the rounds weigh their samples by until
    // the fade ends: the plan's mass, moved as far along its paths as the fade has gone
    // (shared among the four cells around each point), over this frame's alpha in its part of
    // the shape, bounded to kFadeFloor to kFadeBoost. A part that fades evenly then gives its
    // sites up as its mass leaves, not only once its alpha is gone: the rounds no longer pull
    // the sites back into where the mass has left as strongly as its alpha would; the floor
    // keeps them from crowding where it goes. False once the fade ends (its mass is then this
    // frame's alpha).
    bool weights(std::vector<float>& factor) const {
        const FollowState::FadePaths& f = paths_;
        if (!(f.progress < 1) || f.plan.empty()) {
            return false;
        }
        const size_t n = cells_.size();
        std::vector<double> moved(n, 0.0);
        for (const FollowState::FadePaths::Move& m : f.plan) {
            const Point2D c = centre(cells_[size_t(m.from)]);
            const Point2D d = along(size_t(m.from), size_t(m.to), f.progress, index_);
            spread(c.x + d.x, c.y + d.y, m.mass, moved);
        }
        // Part by part: a part out of the plan keeps its alpha.
        std::vector<double> partMoved(n, 0.0), partNow(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            partMoved[size_t(part_[i])] += moved[i];
            partNow[size_t(part_[i])] += now_[size_t(cells_[i])];
        }
        factor.assign(before_.size(), 1.0f);
        for (size_t i = 0; i < n; ++i) {
            const size_t p = size_t(part_[i]), c = size_t(cells_[i]);
            if (partMoved[p] > 0 && now_[c] > 0) {
                const double r = moved[i] / partMoved[p] * partNow[p] / now_[c];
                factor[c] = float(std::min(kFadeBoost, std::max(kFadeFloor, r)));
            }
        }
        return true;
    }

  private:
    // Adds mass m at (x, y) (from the grid's origin) to the cells inside around it, bilinearly,
    // the shares of the cells outside going to those inside.
    void spread(double x, double y, double m, std::vector<double>& to) const {
        const double gx = x / h_ - 0.5, gy = y / h_ - 0.5;
        const int ix = int(std::floor(gx)), iy = int(std::floor(gy));
        int at[4];
        double w[4], total = 0;
        for (int k = 0; k < 4; ++k) {
            const int cx = ix + (k & 1), cy = iy + (k >> 1);
            at[k] = cx < 0 || cy < 0 || cx >= nx_ || cy >= ny_ ? -1 : index_[size_t(cy * nx_ + cx)];
            w[k] = at[k] < 0 ? 0.0 : (1 - std::abs(gx - cx)) * (1 - std::abs(gy - cy));
            total += w[k];
        }
        for (int k = 0; k < 4 && total > 0; ++k) {
            if (at[k] >= 0) {
                to[size_t(at[k])] += m * w[k] / total;
            }
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
    // The point a share q of the way along a shortest path from cell i to cell j, from i's centre.
    Point2D along(size_t i, size_t j, double q, const std::vector<int>& index) const {
        const size_t n = cells_.size();
        const float* toJ = &dist_[j * n];
        const double target = q * toJ[i];
        size_t at = i;
        double walked = 0;
        while (walked < target && at != j) {
            size_t next = at;
            double nextStep = 0, best = toJ[at];
            forEachNeighbour(cells_[at], index, [&](int v, bool diagonal) {
                const double step = diagonal ? 1.41421356 : 1.0;
                if (toJ[v] + step < best + 1e-4 && toJ[v] < toJ[at]) {
                    best = toJ[v] + step;
                    next = size_t(v);
                    nextStep = step;
                }
            });
            if (next == at) {
                break;
            }
            if (walked + nextStep >= target) {
                const double s = (target - walked) / nextStep;
                const Point2D p = centre(cells_[at]), r = centre(cells_[next]);
                const Point2D o = centre(cells_[i]);
                return Point2D(float(p.x + (r.x - p.x) * s - o.x),
                               float(p.y + (r.y - p.y) * s - o.y));
            }
            walked += nextStep;
            at = next;
        }
        const Point2D p = centre(cells_[at]), o = centre(cells_[i]);
        return Point2D(p.x - o.x, p.y - o.y);
    }
    // Each cell's mean move a share q of the way along its mass's paths in the transport a -> b,
    // and its plan when asked (the shares each cell's move averages, as masses). The rounds run
    // over the kernel's block between the two masses' cells only (the other terms are zero).
    bool moves(const std::vector<double>& a, const std::vector<double>& b, double q,
               const std::vector<int>& index, std::vector<double>& mx, std::vector<double>& my,
               std::vector<FollowState::FadePaths::Move>* plan) const {
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
        if (plan) {
            plan->clear();
        }
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
                const Point2D d = along(i, to[c], q, index);
                total += w;
                sx += w * d.x;
                sy += w * d.y;
            }
            if (!(total > 0) || !std::isfinite(sx / total) || !std::isfinite(sy / total)) {
                return false;
            }
            mx[i] = sx / total;
            my[i] = sy / total;
            for (size_t c = 0; plan && c < nb; ++c) {
                const double w = k[c] * v[c];
                if (w > most * 1e-4) {
                    plan->push_back({int32_t(i), int32_t(to[c]), a[i] * w / total});
                }
            }
        }
        return true;
    }

    FollowState::FadePaths& paths_;
    std::vector<double> before_, end_, now_, dx_, dy_, mass_;
    std::vector<int> index_;
    std::vector<double>& kernel_;
    std::vector<bool> inside_;
    std::vector<int> cells_;
    std::vector<int>& part_;
    std::vector<float>& dist_;
};
