#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "engine/Point2D.h"
#include "placement/CellGrid.h"

// The alpha mass's motion between two frames on a coarse grid: an entropic optimal transport
// (Sinkhorn, a fixed count of rounds in doubles) from the frame before's mass to this frame's,
// read as each cell's mean destination less the one its mass has when sent onto itself, so that
// an unchanged shape moves nothing and the blur does not pull the edges inwards.
class MassTransport : CellGrid {
  public:
    static constexpr int kIterations = 100;
    static constexpr double kBlur = 5.0;  // in squared cells

    MassTransport(double x0, double y0, double x1, double y1) : CellGrid(x0, y0, x1, y1) {
        before_.assign(size_t(nx_ * ny_), 0.0);
        now_.assign(size_t(nx_ * ny_), 0.0);
    }
    void addBefore(double x, double y, double m) { before_[cell(x, y)] += m; }
    void addNow(double x, double y, double m) { now_[cell(x, y)] += m; }

    // Solves the transport; false when either frame has no mass or the rounds did not stay finite.
    bool solve() {
        if (!normalise(before_) || !normalise(now_)) {
            return false;
        }
        kernel(nx_, kx_);
        kernel(ny_, ky_);
        std::vector<double> toNowX, toNowY, selfX, selfY;
        if (!destinations(now_, toNowX, toNowY) || !destinations(before_, selfX, selfY)) {
            return false;
        }
        dx_.assign(before_.size(), 0.0);
        dy_.assign(before_.size(), 0.0);
        for (size_t i = 0; i < before_.size(); ++i) {
            if (before_[i] > 0) {
                dx_[i] = (toNowX[i] - selfX[i]) * h_;
                dy_[i] = (toNowY[i] - selfY[i]) * h_;
            }
        }
        return true;
    }

    Point2D displacement(const Point2D& p) const { return moveAt(p, before_, dx_, dy_); }
    size_t cellOf(double x, double y) const { return cell(x, y); }
    size_t cellCount() const { return before_.size(); }
    double cellSide() const { return h_; }

    // Each cell with mass before: its centre, its mass, its move and how steeply the move
    // changes to the cells beside it (the largest difference over the distance).
    template <class F>
    void forEachCell(F&& f) const {
        for (size_t i = 0; i < before_.size(); ++i) {
            if (!(before_[i] > 0)) {
                continue;
            }
            const int cx = int(i % size_t(nx_)), cy = int(i / size_t(nx_));
            double steep = 0;
            for (const auto& [ox, oy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int x = cx + ox, y = cy + oy;
                if (x < 0 || y < 0 || x >= nx_ || y >= ny_) {
                    continue;
                }
                const size_t k = size_t(y * nx_ + x);
                if (before_[k] > 0) {
                    steep = std::max(steep, std::hypot(dx_[k] - dx_[i], dy_[k] - dy_[i]) / h_);
                }
            }
            f(x0_ + (cx + 0.5) * h_, y0_ + (cy + 0.5) * h_, before_[i], dx_[i], dy_[i], steep);
        }
    }

  private:
    static void kernel(int n, std::vector<double>& k) {
        k.resize(size_t(n * n));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                k[size_t(i * n + j)] = std::exp(-double((i - j) * (i - j)) / kBlur);
            }
        }
    }
    // out = K in, the kernel being separable (rows, then columns).
    void apply(const std::vector<double>& in, std::vector<double>& out) const {
        tmp_.assign(in.size(), 0.0);
        for (int y = 0; y < ny_; ++y) {
            const double* row = &in[size_t(y * nx_)];
            for (int x = 0; x < nx_; ++x) {
                const double* k = &kx_[size_t(x * nx_)];
                double s = 0;
                for (int j = 0; j < nx_; ++j) {
                    s += k[j] * row[j];
                }
                tmp_[size_t(y * nx_ + x)] = s;
            }
        }
        out.assign(in.size(), 0.0);
        for (int y = 0; y < ny_; ++y) {
            const double* k = &ky_[size_t(y * ny_)];
            for (int j = 0; j < ny_; ++j) {
                if (k[j] == 0) {
                    continue;
                }
                const double* row = &tmp_[size_t(j * nx_)];
                double* o = &out[size_t(y * nx_)];
                for (int x = 0; x < nx_; ++x) {
                    o[x] += k[j] * row[x];
                }
            }
        }
    }
    // Each cell of the mass before: the mean cell its mass goes to in the transport onto `to`.
    bool destinations(const std::vector<double>& to, std::vector<double>& mx,
                      std::vector<double>& my) const {
        const size_t n = before_.size();
        std::vector<double> u(n, 0.0), v(n, 1.0), kv, ku;
        for (int it = 0; it < kIterations; ++it) {
            apply(v, kv);
            for (size_t i = 0; i < n; ++i) {
                u[i] = before_[i] > 0 ? before_[i] / kv[i] : 0.0;
            }
            apply(u, ku);
            for (size_t i = 0; i < n; ++i) {
                v[i] = to[i] > 0 ? to[i] / ku[i] : 0.0;
            }
        }
        std::vector<double> vx(n), vy(n), kx, ky;
        for (size_t i = 0; i < n; ++i) {
            vx[i] = v[i] * (double(i % size_t(nx_)) + 0.5);
            vy[i] = v[i] * (double(i / size_t(nx_)) + 0.5);
        }
        apply(v, kv);
        apply(vx, kx);
        apply(vy, ky);
        mx.assign(n, 0.0);
        my.assign(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            if (before_[i] <= 0) {
                continue;
            }
            if (!(kv[i] > 0) || !std::isfinite(kx[i] / kv[i]) || !std::isfinite(ky[i] / kv[i])) {
                return false;
            }
            mx[i] = kx[i] / kv[i];
            my[i] = ky[i] / kv[i];
        }
        return true;
    }

    std::vector<double> before_, now_, kx_, ky_, dx_, dy_;
    mutable std::vector<double> tmp_;
};
