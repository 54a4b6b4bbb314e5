#include "attributes/SiteGrid.h"

#include <algorithm>
#include <cmath>

namespace {

bool finiteCentre(const MySitePoint& s) {
    return std::isfinite(s.position.x) && std::isfinite(s.position.y);
}

int clampedCell(double v, int count) {
    if (!(v > 0.0)) {
        return 0;
    }
    return v >= count - 1 ? count - 1 : static_cast<int>(v);
}

}  // namespace

SiteGrid::SiteGrid(const std::vector<MySitePoint>& sites, const std::vector<int32_t>& members,
                   double slack)
    : slack_(slack), cellOf_(sites.size(), -1) {
    double right = 0.0, bottom = 0.0;
    bool first = true;
    size_t placed = 0;
    for (int32_t s : members) {
        const MySitePoint& site = sites[s];
        maxRadius_ = std::max(maxRadius_, site.radius);
        if (!finiteCentre(site)) {
            strays_.push_back(s);
            continue;
        }
        const double x = site.position.x, y = site.position.y;
        left_ = first ? x : std::min(left_, x);
        top_ = first ? y : std::min(top_, y);
        right = first ? x : std::max(right, x);
        bottom = first ? y : std::max(bottom, y);
        first = false;
        ++placed;
    }
    // About one member per cell: square cells of the mean area a member has, or on a line of
    // sites, its length shared out. Never finer than a pixel.
    const double w = right - left_, h = bottom - top_, n = double(std::max<size_t>(placed, 1));
    cell_ = std::max({std::sqrt(w * h / n), std::max(w, h) / n, 1.0});
    columns_ = static_cast<int>(w / cell_) + 1;
    rows_ = static_cast<int>(h / cell_) + 1;
    const size_t cells = size_t(columns_) * size_t(rows_);
    std::vector<int32_t> count(cells + 1, 0);
    for (int32_t s : members) {
        if (finiteCentre(sites[s])) {
            const int cx = clampedCell((sites[s].position.x - left_) / cell_, columns_);
            const int cy = clampedCell((sites[s].position.y - top_) / cell_, rows_);
            cellOf_[s] = cy * columns_ + cx;
            ++count[cellOf_[s] + 1];
        }
    }
    start_.assign(cells + 1, 0);
    for (size_t c = 0; c < cells; ++c) {
        start_[c + 1] = start_[c] + count[c + 1];
    }
    items_.assign(placed, 0);
    std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
    cellRadius_.assign(cells, 0.0f);
    for (int32_t s : members) {
        if (cellOf_[s] >= 0) {
            items_[fill[cellOf_[s]]++] = s;
            cellRadius_[cellOf_[s]] = std::max(cellRadius_[cellOf_[s]], sites[s].radius);
        }
    }
}

void SiteGrid::noteRadius(int32_t s, float radius) {
    maxRadius_ = std::max(maxRadius_, radius);
    if (cellOf_[s] >= 0) {
        cellRadius_[cellOf_[s]] = std::max(cellRadius_[cellOf_[s]], radius);
    }
}

SiteGrid::Range SiteGrid::cellsWithin(double x, double y, double reach) const {
    return {clampedCell((x - reach - left_) / cell_, columns_),
            clampedCell((x + reach - left_) / cell_, columns_),
            clampedCell((y - reach - top_) / cell_, rows_),
            clampedCell((y + reach - top_) / cell_, rows_)};
}

double SiteGrid::distanceToCell(double x, double y, int cx, int cy) const {
    // The outer columns and rows hold everything beyond the bounds (cells are clamped).
    const double x0 = cx == 0 ? -HUGE_VAL : left_ + cx * cell_;
    const double y0 = cy == 0 ? -HUGE_VAL : top_ + cy * cell_;
    const double x1 = cx == columns_ - 1 ? HUGE_VAL : left_ + (cx + 1) * cell_;
    const double y1 = cy == rows_ - 1 ? HUGE_VAL : top_ + (cy + 1) * cell_;
    const double dx = x < x0 ? x0 - x : (x > x1 ? x - x1 : 0.0);
    const double dy = y < y0 ? y0 - y : (y > y1 ? y - y1 : 0.0);
    return std::sqrt(dx * dx + dy * dy);
}
