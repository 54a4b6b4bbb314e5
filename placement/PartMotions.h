#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/Point2D.h"

// The transport's moves read as a few parts of the shape each moving as one (an affine map
// each). A transport's map cannot shear: where one part slides along another (a bar sliding
// through a stem) it blends their motions over a band about as wide as the slide. The maps are
// fitted to the cells whose moves change slowly, and a site takes the motion of the part whose
// move at it is nearest the transport's (where parts overlap, the one its neighbours take); a
// part fitted to that band (all but a few of its cells) is the blend, and no site takes it (else
// the sites there move with neither part). A shape whose moves one map explains keeps the
// transport's moves as they are.
class PartMotions {
  public:
    static constexpr int kMostParts = 3;
    static constexpr int kRounds = 12;
    // A part with fewer than this share of its cells where the moves change slowly is a blend.
    static constexpr double kBlendFirm = 0.1;

    void add(double x, double y, double m, double dx, double dy) {
        cells_.push_back({x, y, m, dx, dy});
    }

    size_t count() const { return maps_.size(); }
    // The part cell i (in the order added) was given, after solve.
    int partOf(size_t i) const { return i < part_.size() ? part_[i] : -1; }
    // Part k's map as (t0, t1, a00, a01, a10, a11) about its centre c: the move at p is
    // t + a (p - c).
    void map(size_t k, double theta[6], double c[2]) const {
        const Map& m = maps_[k];
        const double v[6] = {m.t[0], m.t[1], m.a[0][0], m.a[0][1], m.a[1][0], m.a[1][1]};
        std::copy(v, v + 6, theta);
        c[0] = m.cx;
        c[1] = m.cy;
    }
    // A part fitted (all but under kBlendFirm of its cells) to cells where the transport's moves
    // change steeply (`firm`: per cell added, whether it is not such a cell) is the transport's
    // blend of the parts beside it, not a part of the shape: no site takes its motion. It stays a
    // part for the fit, which found it.
    void dropBlends(const std::vector<bool>& firm) {
        std::vector<size_t> cells(maps_.size(), 0), firmCells(maps_.size(), 0);
        for (size_t i = 0; i < part_.size() && i < firm.size(); ++i) {
            if (part_[i] >= 0) {
                ++cells[size_t(part_[i])];
                firmCells[size_t(part_[i])] += firm[i] ? 1 : 0;
            }
        }
        blends_.assign(maps_.size(), false);
        for (size_t k = 0; k < maps_.size(); ++k) {
            blends_[k] = firmCells[k] == 0 || double(firmCells[k]) < kBlendFirm * double(cells[k]);
        }
        // At least one part stays (a transport whose cells are all steep keeps its parts).
        if (std::find(blends_.begin(), blends_.end(), false) == blends_.end()) {
            blends_.clear();
        }
    }
    void setMap(size_t k, const double theta[6]) {
        Map& m = maps_[k];
        m.t[0] = theta[0];
        m.t[1] = theta[1];
        m.a[0][0] = theta[2];
        m.a[0][1] = theta[3];
        m.a[1][0] = theta[4];
        m.a[1][1] = theta[5];
    }

    // Finds the parts; false when one map explains the moves within `tolerance` (RMS, px). A
    // cell's move `spread` px off its part's map counts half in the part's next fit.
    bool solve(double tolerance, double spread) {
        if (cells_.size() < 6) {
            return false;
        }
        spread_ = spread;
        std::vector<int> part(cells_.size(), 0);
        maps_.assign(1, fit(part, 0));
        if (!(error(part) > tolerance)) {
            return false;
        }
        while (int(maps_.size()) < kMostParts) {
            // A new part from the cell the maps explain worst (by mass), then rounds of each
            // cell to its nearest map and each map refitted to its cells.
            size_t worst = 0;
            double most = -1;
            for (size_t i = 0; i < cells_.size(); ++i) {
                const double r = cells_[i].m * residual(maps_[size_t(part[i])], cells_[i]);
                if (r > most) {
                    most = r;
                    worst = i;
                }
            }
            Map seed{};
            seed.t[0] = cells_[worst].dx;
            seed.t[1] = cells_[worst].dy;
            maps_.push_back(seed);
            for (int round = 0; round < kRounds; ++round) {
                nearest(part);
                for (size_t k = 0; k < maps_.size(); ++k) {
                    const Map was = maps_[k];
                    maps_[k] = fit(part, int(k), round > 0 ? &was : nullptr);
                }
            }
            nearest(part);
            if (!(error(part) > tolerance)) {
                break;
            }
        }
        part_ = part;
        return maps_.size() > 1;
    }

    // The part whose move at p is nearest `move` (the transport's at p); -1 with no part.
    int partAt(const Point2D& p, const Point2D& move) const {
        double best = HUGE_VAL;
        int out = -1;
        for (size_t k = 0; k < maps_.size(); ++k) {
            if (k < blends_.size() && blends_[k]) {
                continue;
            }
            const Map& m = maps_[k];
            const double d = std::hypot(m.at(p.x, p.y, 0) - move.x, m.at(p.x, p.y, 1) - move.y);
            if (d < best) {
                best = d;
                out = int(k);
            }
        }
        return out;
    }
    // Part k's move at p.
    Point2D moveOf(int k, const Point2D& p) const {
        const Map& m = maps_[size_t(k)];
        return Point2D(float(m.at(p.x, p.y, 0)), float(m.at(p.x, p.y, 1)));
    }

  private:
    struct Cell {
        double x, y, m, dx, dy;
    };
    // The move at (x, y): a[axis] . (x - cx, y - cy) + t[axis].
    struct Map {
        double cx = 0, cy = 0, a[2][2] = {{0, 0}, {0, 0}}, t[2] = {0, 0};
        double at(double x, double y, int axis) const {
            return a[axis][0] * (x - cx) + a[axis][1] * (y - cy) + t[axis];
        }
    };

    static double residual(const Map& m, const Cell& c) {
        return std::hypot(m.at(c.x, c.y, 0) - c.dx, m.at(c.x, c.y, 1) - c.dy);
    }
    void nearest(std::vector<int>& part) const {
        for (size_t i = 0; i < cells_.size(); ++i) {
            double best = HUGE_VAL;
            for (size_t k = 0; k < maps_.size(); ++k) {
                const double r = residual(maps_[k], cells_[i]);
                if (r < best) {
                    best = r;
                    part[i] = int(k);
                }
            }
        }
    }
    // The mass-weighted RMS of the moves less their part's map.
    double error(const std::vector<int>& part) const {
        double s = 0, w = 0;
        for (size_t i = 0; i < cells_.size(); ++i) {
            const double r = residual(maps_[size_t(part[i])], cells_[i]);
            s += cells_[i].m * r * r;
            w += cells_[i].m;
        }
        return w > 0 ? std::sqrt(s / w) : 0.0;
    }
    // The least-squares affine map of the cells in part k (by mass); a shift alone when they are
    // too few or lie on a line.
    Map fit(const std::vector<int>& part, int k, const Map* was = nullptr) const {
        Map m;
        // Cells far off the map they had count less (the blend between parts).
        const auto mass = [&](size_t i) {
            if (!was || !(spread_ > 0)) {
                return cells_[i].m;
            }
            const double r = residual(*was, cells_[i]) / spread_;
            return cells_[i].m / (1 + r * r);
        };
        double w = 0;
        for (size_t i = 0; i < cells_.size(); ++i) {
            if (part[i] == k) {
                const double cm = mass(i);
                w += cm;
                m.cx += cm * cells_[i].x;
                m.cy += cm * cells_[i].y;
            }
        }
        if (!(w > 0)) {
            return m;
        }
        m.cx /= w;
        m.cy /= w;
        double sxx = 0, sxy = 0, syy = 0, sx[2] = {0, 0}, sy[2] = {0, 0};
        for (size_t i = 0; i < cells_.size(); ++i) {
            if (part[i] != k) {
                continue;
            }
            const Cell& c = cells_[i];
            const double cm = mass(i);
            const double x = c.x - m.cx, y = c.y - m.cy;
            sxx += cm * x * x;
            sxy += cm * x * y;
            syy += cm * y * y;
            const double d[2] = {c.dx, c.dy};
            for (int axis = 0; axis < 2; ++axis) {
                m.t[axis] += cm * d[axis];
                sx[axis] += cm * x * d[axis];
                sy[axis] += cm * y * d[axis];
            }
        }
        m.t[0] /= w;
        m.t[1] /= w;
        const double det = sxx * syy - sxy * sxy;
        if (det > 1e-9 * (sxx * syy + 1e-12) && det > 0) {
            for (int axis = 0; axis < 2; ++axis) {
                m.a[axis][0] = (syy * sx[axis] - sxy * sy[axis]) / det;
                m.a[axis][1] = (sxx * sy[axis] - sxy * sx[axis]) / det;
            }
        }
        return m;
    }

    std::vector<Cell> cells_;
    std::vector<Map> maps_;
    std::vector<int> part_;
    std::vector<bool> blends_;  // by part, after dropBlends (empty: none)
    double spread_ = 0;
};
