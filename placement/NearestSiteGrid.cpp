#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Parallel.h"
#include "placement/NearestSite.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Keeps a site from being skipped when rounding puts it in the neighbouring cell.
constexpr double kGapMargin = 1e-6;

double squaredDistance(double x, double y, double sx, double sy) {
    double t = x - sx;
    double d = t * t;
    t = y - sy;
    return d + t * t;
}

}  // namespace

NearestSiteGrid::NearestSiteGrid(const std::vector<Point2D>& sites) {
    const int n = static_cast<int>(sites.size());
    if (n == 0) {
        cellStart_.assign(2, 0);
        return;
    }
    double minX = sites[0].x, maxX = minX, minY = sites[0].y, maxY = minY;
    for (const Point2D& s : sites) {
        minX = std::min(minX, double(s.x));
        maxX = std::max(maxX, double(s.x));
        minY = std::min(minY, double(s.y));
        maxY = std::max(maxY, double(s.y));
    }
    const double w = maxX - minX, h = maxY - minY;
    cell_ = w * h > 0.0 ? std::sqrt(w * h / n) : std::max(w, h) / n;
    if (!(cell_ > 0.0) || !std::isfinite(cell_)) {
        cell_ = 1.0;  // every site on one point
    }
    // Thin spreads give long rows of cells; the cap keeps the grid near one cell per site.
    const double cap = 4.0 * n + 16.0;
    while ((std::floor(w / cell_) + 1.0) * (std::floor(h / cell_) + 1.0) > cap) {
        cell_ *= 1.5;
    }
    x0_ = minX;
    y0_ = minY;
    inverseCell_ = 1.0 / cell_;
    columns_ = static_cast<int>(std::floor(w / cell_)) + 1;
    rows_ = static_cast<int>(std::floor(h / cell_)) + 1;
    std::vector<int32_t> cellOf(n);
    cellStart_.assign(size_t(columns_) * rows_ + 1, 0);
    for (int i = 0; i < n; ++i) {
        cellOf[i] = cellY(sites[i].y) * columns_ + cellX(sites[i].x);
        ++cellStart_[cellOf[i] + 1];
    }
    for (size_t c = 1; c < cellStart_.size(); ++c) {
        cellStart_[c] += cellStart_[c - 1];
    }
    std::vector<int32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    ids_.resize(n);
    xs_.resize(n);
    ys_.resize(n);
    for (int i = 0; i < n; ++i) {
        const int32_t at = fill[cellOf[i]]++;
        ids_[at] = i;
        xs_[at] = sites[i].x;
        ys_[at] = sites[i].y;
    }
}

int NearestSiteGrid::cellX(double x) const {
    const double c = std::floor((x - x0_) * inverseCell_);
    return c < 0.0 ? 0 : (c >= columns_ ? columns_ - 1 : static_cast<int>(c));
}

int NearestSiteGrid::cellY(double y) const {
    const double c = std::floor((y - y0_) * inverseCell_);
    return c < 0.0 ? 0 : (c >= rows_ ? rows_ - 1 : static_cast<int>(c));
}

void NearestSiteGrid::visitCell(int cx, int cy, double x, double y, double& best,
                                int32_t& bestId) const {
    const int c = cy * columns_ + cx;
    for (int32_t k = cellStart_[c]; k < cellStart_[c + 1]; ++k) {
        const double d = squaredDistance(x, y, xs_[k], ys_[k]);
        if (d < best || (d == best && ids_[k] < bestId)) {
            best = d;
            bestId = ids_[k];
        }
    }
}

double NearestSiteGrid::gapBeyondRing(int cx, int cy, int r, double x, double y) const {
    double gap = kInfinity;
    if (cx - r > 0) {
        gap = std::min(gap, x - (x0_ + (cx - r) * cell_));
    }
    if (cx + r < columns_ - 1) {
        gap = std::min(gap, x0_ + (cx + r + 1) * cell_ - x);
    }
    if (cy - r > 0) {
        gap = std::min(gap, y - (y0_ + (cy - r) * cell_));
    }
    if (cy + r < rows_ - 1) {
        gap = std::min(gap, y0_ + (cy + r + 1) * cell_ - y);
    }
    return gap == kInfinity ? -1.0 : gap;
}

int32_t NearestSiteGrid::nearest(double x, double y) const {
    if (ids_.empty()) {
        return -1;
    }
    const int cx = cellX(x), cy = cellY(y);
    double best = kInfinity;
    int32_t bestId = -1;
    for (int r = 0;; ++r) {
        // Ring r: the cells at Chebyshev distance r from (cx, cy), clipped to the grid.
        const int left = std::max(cx - r, 0), right = std::min(cx + r, columns_ - 1);
        if (cy - r >= 0) {
            for (int i = left; i <= right; ++i) visitCell(i, cy - r, x, y, best, bestId);
        }
        if (r > 0 && cy + r < rows_) {
            for (int i = left; i <= right; ++i) visitCell(i, cy + r, x, y, best, bestId);
        }
        const int top = std::max(cy - r + 1, 0), bottom = std::min(cy + r - 1, rows_ - 1);
        for (int j = top; r > 0 && j <= bottom; ++j) {
            if (cx - r >= 0) visitCell(cx - r, j, x, y, best, bestId);
            if (cx + r < columns_) visitCell(cx + r, j, x, y, best, bestId);
        }
        const double gap = gapBeyondRing(cx, cy, r, x, y);
        if (gap < 0.0) {
            return bestId;  // every cell visited
        }
        // Strictly nearer than anything beyond the ring: a site there could not even tie.
        const double clear = gap - kGapMargin * (1.0 + cell_);
        if (bestId >= 0 && clear > 0.0 && best < clear * clear) {
            return bestId;
        }
    }
}

std::vector<uint32_t> cellOrder(const std::vector<Point2D>& points, int cells) {
    std::vector<uint32_t> order(points.size());
    if (points.empty()) {
        return order;
    }
    float minX = points[0].x, minY = points[0].y, maxX = minX, maxY = minY;
    for (const Point2D& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const double area = (double(maxX) - minX) * (double(maxY) - minY);
    const double fit = std::sqrt(area / std::max(cells, 1));
    const double size = fit > 0.0 && std::isfinite(fit) ? fit : 1.0;
    const uint64_t columns = static_cast<uint64_t>((double(maxX) - minX) / size) + 1;
    std::vector<std::pair<uint64_t, uint32_t>> keyed(points.size());
    for (size_t k = 0; k < points.size(); ++k) {
        const auto cx = static_cast<uint64_t>((double(points[k].x) - minX) / size);
        const auto cy = static_cast<uint64_t>((double(points[k].y) - minY) / size);
        keyed[k] = {cy * columns + cx, static_cast<uint32_t>(k)};
    }
    std::sort(keyed.begin(), keyed.end());
    for (size_t k = 0; k < keyed.size(); ++k) {
        order[k] = keyed[k].second;
    }
    return order;
}

std::vector<int32_t> nearestSitesGrid(const std::vector<Point2D>& sites,
                                      const std::vector<Point2D>& samples,
                                      const std::vector<uint32_t>& order) {
    const NearestSiteGrid grid(sites);
    std::vector<int32_t> nearest(samples.size(), -1);
    parallelFor(order.size(), [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
            const Point2D& p = samples[order[k]];
            nearest[order[k]] = grid.nearest(p.x, p.y);
        }
    });
    return nearest;
}
