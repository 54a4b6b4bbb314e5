#pragma once
// The coarse grid the transports of Follow Shape Changes move the alpha mass on.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/Point2D.h"

// A coarse grid of at most kCells cells a side over a frame's bounds, shared by the transports.
class CellGrid {
  protected:
    static constexpr int kCells = 32;

    CellGrid(double x0, double y0, double x1, double y1) : x0_(x0), y0_(y0) {
        h_ = std::max(1.0, std::max(x1 - x0, y1 - y0) / kCells);
        nx_ = std::max(1, std::min(kCells, int(std::ceil((x1 - x0) / h_))));
        ny_ = std::max(1, std::min(kCells, int(std::ceil((y1 - y0) / h_))));
    }

    size_t cell(double x, double y) const {
        const int cx = std::max(0, std::min(nx_ - 1, int(std::floor((x - x0_) / h_))));
        const int cy = std::max(0, std::min(ny_ - 1, int(std::floor((y - y0_) / h_))));
        return size_t(cy * nx_ + cx);
    }

    // The move at p: the cells' around it, weighted by their mass and the distance.
    Point2D moveAt(const Point2D& p, const std::vector<double>& mass, const std::vector<double>& dx,
                   const std::vector<double>& dy) const {
        const double gx = (p.x - x0_) / h_ - 0.5, gy = (p.y - y0_) / h_ - 0.5;
        const int ix = int(std::floor(gx)), iy = int(std::floor(gy));
        double w = 0, sx = 0, sy = 0;
        for (int cy = iy; cy <= iy + 1; ++cy) {
            for (int cx = ix; cx <= ix + 1; ++cx) {
                if (cx < 0 || cy < 0 || cx >= nx_ || cy >= ny_) {
                    continue;
                }
                const size_t i = size_t(cy * nx_ + cx);
                const double k = (1 - std::abs(gx - cx)) * (1 - std::abs(gy - cy)) * mass[i];
                w += k;
                sx += k * dx[i];
                sy += k * dy[i];
            }
        }
        return w > 0 ? Point2D(float(sx / w), float(sy / w)) : Point2D(0, 0);
    }

    static bool normalise(std::vector<double>& m) {
        double s = 0;
        for (double v : m) {
            s += v;
        }
        if (!(s > 0)) {
            return false;
        }
        for (double& v : m) {
            v /= s;
        }
        return true;
    }

    double x0_, y0_, h_ = 1;
    int nx_ = 1, ny_ = 1;
};
