#pragma once
// The broad phase of the overlap-free growth: the sites' centres, which never move while the
// rectangles grow, bucketed in a uniform grid, so that a growing site is tested only against
// sites close enough to touch it.
#include <cstdint>
#include <vector>

#include "placement/MySitePoint.h"

class SiteGrid {
  public:
    // Buckets the members (indices into sites); about one cell per member over their bounds.
    // slack: how far (pixels) two members' centres may have moved towards each other since.
    SiteGrid(const std::vector<MySitePoint>& sites, const std::vector<int32_t>& members,
             double slack = 0.0);

    // Calls f(k) for every member k other than s whose rectangle may touch site s's current
    // one (by the members' radii noted so far), until f returns false. Members whose centre is
    // not a finite point are always called.
    template <typename F>
    void forEachNear(const std::vector<MySitePoint>& sites, int32_t s, F&& f) const;

    // Notes member s's current radius; radii noted only ever rise.
    void noteRadius(int32_t s, float radius);

  private:
    struct Range {
        int x0, x1, y0, y1;
    };
    Range cellsWithin(double x, double y, double reach) const;
    // Distance from (x, y) to cell (cx, cy), 0 inside it.
    double distanceToCell(double x, double y, int cx, int cy) const;

    double left_ = 0.0, top_ = 0.0, cell_ = 1.0, slack_ = 0.0;
    int columns_ = 1, rows_ = 1;
    std::vector<int32_t> start_;     // members of cell c: items_[start_[c] .. start_[c + 1])
    std::vector<int32_t> items_;     // member site indices by cell
    std::vector<float> cellRadius_;  // largest radius noted in each cell
    std::vector<int32_t> cellOf_;    // cell of each site index, -1 for strays and non-members
    std::vector<int32_t> strays_;    // members without a finite centre
    float maxRadius_ = 0.0f;
};

// Rounding of the single-precision overlap test is far below this (pixels): pairs further apart
// than their radii plus this margin never touch.
constexpr double kSiteGridMargin = 1.0;

template <typename F>
void SiteGrid::forEachNear(const std::vector<MySitePoint>& sites, int32_t s, F&& f) const {
    for (int32_t k : strays_) {
        if (k != s && !f(k)) {
            return;
        }
    }
    const MySitePoint& site = sites[s];
    const double x = site.position.x, y = site.position.y;
    const bool anywhere = cellOf_[s] < 0;  // a stray may touch anything
    const double reach = double(site.radius) + double(maxRadius_) + kSiteGridMargin + slack_;
    const Range r = anywhere ? Range{0, columns_ - 1, 0, rows_ - 1} : cellsWithin(x, y, reach);
    for (int cy = r.y0; cy <= r.y1; ++cy) {
        for (int cx = r.x0; cx <= r.x1; ++cx) {
            const int c = cy * columns_ + cx;
            const double cellReach =
                double(site.radius) + double(cellRadius_[c]) + kSiteGridMargin + slack_;
            if (!anywhere && distanceToCell(x, y, cx, cy) > cellReach) {
                continue;
            }
            for (int32_t i = start_[c]; i < start_[c + 1]; ++i) {
                if (items_[i] != s && !f(items_[i])) {
                    return;
                }
            }
        }
    }
}
