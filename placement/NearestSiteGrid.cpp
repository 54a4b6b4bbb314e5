#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "engine/Parallel.h"
#include "placement/NearestSite.h"
#include "placement/PointCells.h"

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
    const PointBounds bounds = boundsOf(sites);
    cell_ = cellSide(bounds, n);
    x0_ = bounds.x0;
    y0_ = bounds.y0;
    inverseCell_ = 1.0 / cell_;
    columns_ = static_cast<int>(std::floor(bounds.width / cell_)) + 1;
    rows_ = static_cast<int>(std::floor(bounds.height / cell_)) + 1;
    std::vector<int32_t> cellOf(n);
    for (int i = 0; i < n; ++i) {
        cellOf[i] = cellIndex(cellX(sites[i].x), cellY(sites[i].y));
    }
    CellBuckets buckets = bucketByCell(cellOf, size_t(columns_) * rows_);
    cellStart_ = std::move(buckets.start);
    ids_ = std::move(buckets.order);
    xs_.resize(n);
    ys_.resize(n);
    for (int k = 0; k < n; ++k) {
        xs_[k] = sites[size_t(ids_[k])].x;
        ys_[k] = sites[size_t(ids_[k])].y;
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

int NearestSiteGrid::cellIndex(int cx, int cy) const {
    // Cells are clamped and rings clipped to the grid: a cell beyond it would read another
    // cell's sites or memory past the end.
    if (cx < 0 || cx >= columns_ || cy < 0 || cy >= rows_) {
        throw std::logic_error("nearest-site grid: a cell outside the grid");
    }
    return cy * columns_ + cx;
}

void NearestSiteGrid::visitCell(int cx, int cy, double x, double y, double& best,
                                int32_t& bestId) const {
    const int c = cellIndex(cx, cy);
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
    if (points.empty()) {
        return {};
    }
    const PointBounds bounds = boundsOf(points);
    const double side = cellSide(bounds, cells);
    const auto columns = static_cast<int32_t>(bounds.width / side) + 1;
    const auto rows = static_cast<int32_t>(bounds.height / side) + 1;
    std::vector<int32_t> cellOf(points.size());
    for (size_t k = 0; k < points.size(); ++k) {
        const auto cx =
            std::min(static_cast<int32_t>((points[k].x - bounds.x0) / side), columns - 1);
        const auto cy = std::min(static_cast<int32_t>((points[k].y - bounds.y0) / side), rows - 1);
        cellOf[k] = cy * columns + cx;
    }
    const CellBuckets buckets = bucketByCell(cellOf, size_t(columns) * size_t(rows));
    return std::vector<uint32_t>(buckets.order.begin(), buckets.order.end());
}

void NearestSiteGrid::sitesWithin(double x, double y, double radius,
                                  std::vector<int32_t>& out) const {
    if (ids_.empty()) {
        return;
    }
    const int left = cellX(x - radius), right = cellX(x + radius);
    const int top = cellY(y - radius), bottom = cellY(y + radius);
    for (int cy = top; cy <= bottom; ++cy) {
        for (int cx = left; cx <= right; ++cx) {
            const int c = cellIndex(cx, cy);
            for (int32_t k = cellStart_[c]; k < cellStart_[c + 1]; ++k) {
                if (squaredDistance(x, y, xs_[k], ys_[k]) <= radius * radius) {
                    out.push_back(ids_[k]);
                }
            }
        }
    }
}

namespace {

// Square query cells, about four per site, over the samples' bounds, each with the sites that
// can be nearest to some point of it: within the distance from the cell's centre to its nearest
// site plus the cell's diagonal. A sample then compares itself with a handful of sites, listed
// with their coordinates side by side.
class QueryCells {
  public:
    QueryCells(const NearestSiteGrid& grid, const std::vector<Point2D>& sites,
               const std::vector<Point2D>& samples) {
        const PointBounds bounds = boundsOf(samples);
        x0_ = bounds.x0;
        y0_ = bounds.y0;
        const double w = bounds.width, h = bounds.height, cells = 4.0 * double(sites.size());
        cell_ = std::max({std::sqrt(w * h / cells), std::max(w, h) / cells, 1e-6});
        inverseCell_ = 1.0 / cell_;
        columns_ = int(w / cell_) + 1;
        rows_ = int(h / cell_) + 1;
        std::vector<char> used(size_t(columns_) * rows_, 0);
        for (const Point2D& p : samples) {
            used[cellOf(p.x, p.y)] = 1;
        }
        list(grid, sites, used);
    }

    int32_t nearest(double x, double y) const {
        const size_t c = cellOf(x, y);
        double best = kInfinity;
        int32_t bestId = -1;
        for (int32_t k = start_[c]; k < start_[c + 1]; ++k) {
            const double d = squaredDistance(x, y, xs_[k], ys_[k]);
            if (d < best || (d == best && ids_[k] < bestId)) {
                best = d;
                bestId = ids_[k];
            }
        }
        return bestId;
    }

  private:
    size_t cellOf(double x, double y) const {
        const int cx = std::min(std::max(int((x - x0_) * inverseCell_), 0), columns_ - 1);
        const int cy = std::min(std::max(int((y - y0_) * inverseCell_), 0), rows_ - 1);
        return size_t(cy) * columns_ + cx;
    }

    // Appends the sites of cell c to out.
    void candidates(const NearestSiteGrid& grid, const std::vector<Point2D>& sites, size_t c,
                    std::vector<int32_t>& out) const {
        const double x = x0_ + (double(c % columns_) + 0.5) * cell_;
        const double y = y0_ + (double(c / columns_) + 0.5) * cell_;
        const Point2D& s = sites[grid.nearest(x, y)];
        const double reach = std::sqrt(squaredDistance(x, y, s.x, s.y));
        // A point of the cell (or one rounding put there) is within the half diagonal of the
        // centre, so a site nearer to it than the centre's nearest lies within two of them.
        const double margin = kGapMargin * (1.0 + cell_ + reach);
        grid.sitesWithin(x, y, reach + std::sqrt(2.0) * cell_ + margin, out);
    }

    // Each thread lists its range of the used cells on its own; the ranges are then joined in
    // cell order.
    void list(const NearestSiteGrid& grid, const std::vector<Point2D>& sites,
              const std::vector<char>& used) {
        start_.assign(used.size() + 1, 0);
        std::mutex joining;
        std::vector<std::pair<size_t, std::vector<int32_t>>> ranges;
        parallelFor(used.size(), [&](size_t begin, size_t end) {
            std::vector<int32_t> found;
            for (size_t c = begin; c < end; ++c) {
                const size_t before = found.size();
                if (used[c]) candidates(grid, sites, c, found);
                start_[c + 1] = int32_t(found.size() - before);
            }
            const std::lock_guard<std::mutex> lock(joining);
            ranges.emplace_back(begin, std::move(found));
        });
        std::sort(ranges.begin(), ranges.end());
        for (size_t c = 0; c < used.size(); ++c) {
            start_[c + 1] += start_[c];
        }
        ids_.clear();
        for (const auto& range : ranges) {
            ids_.insert(ids_.end(), range.second.begin(), range.second.end());
        }
        xs_.resize(ids_.size());
        ys_.resize(ids_.size());
        for (size_t k = 0; k < ids_.size(); ++k) {
            xs_[k] = sites[size_t(ids_[k])].x;
            ys_[k] = sites[size_t(ids_[k])].y;
        }
    }

    double x0_ = 0, y0_ = 0, cell_ = 1, inverseCell_ = 1;
    int columns_ = 1, rows_ = 1;
    std::vector<int32_t> start_, ids_;
    std::vector<double> xs_, ys_;
};

}  // namespace

OrderedSamples orderSamples(const std::vector<Point2D>& samples, std::vector<uint32_t> order) {
    OrderedSamples ordered;
    ordered.points.reserve(order.size());
    for (const uint32_t s : order) {
        ordered.points.push_back(samples[s]);
    }
    ordered.order = std::move(order);
    return ordered;
}

std::vector<int32_t> nearestSitesGrid(const std::vector<Point2D>& sites,
                                      const OrderedSamples& samples) {
    std::vector<int32_t> nearest(samples.points.size(), -1);
    if (sites.empty() || samples.points.empty()) {
        return nearest;
    }
    const NearestSiteGrid grid(sites);
    const QueryCells cells(grid, sites, samples.points);
    parallelFor(samples.points.size(), [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
            const Point2D& p = samples.points[k];
            nearest[samples.order[k]] = cells.nearest(p.x, p.y);
        }
    });
    return nearest;
}
