#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "engine/Parallel.h"
#include "placement/NearestSite.h"
#include "placement/PointCells.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Keeps a site from being skipped when rounding puts it in the neighbouring cell.
constexpr double kGapMargin = 1e-6;
// A candidate counts as farther than another from a box of samples when it is by this share of
// their squared distances' sum, far above the rounding of a squared distance (a few ulps).
constexpr double kFartherMargin = 1e-9;
// Each query cell lists its candidates once a round and its samples compare themselves with all
// of them side by side: two cells a site balance the listing against the comparisons.
constexpr double kQueryCellsPerSite = 2.0;

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

bool NearestSiteGrid::anyWithin(double x, double y, double radius) const {
    if (ids_.empty()) {
        return false;
    }
    const int left = cellX(x - radius), right = cellX(x + radius);
    const int top = cellY(y - radius), bottom = cellY(y + radius);
    for (int cy = top; cy <= bottom; ++cy) {
        for (int cx = left; cx <= right; ++cx) {
            const int c = cellIndex(cx, cy);
            for (int32_t k = cellStart_[c]; k < cellStart_[c + 1]; ++k) {
                if (squaredDistance(x, y, xs_[k], ys_[k]) <= radius * radius) {
                    return true;
                }
            }
        }
    }
    return false;
}

namespace {

// Square query cells, about two per site, over the samples' bounds, into g (its room kept);
// cellOf and buckets are the grouping's work.
void groupSamples(const OrderedSamples& samples, size_t sites, SampleCells& g,
                  std::vector<int32_t>& cellOf, CellBuckets& buckets) {
    const PointBounds bounds = boundsOf(samples.points);
    g.sites = sites;
    g.x0 = bounds.x0;
    g.y0 = bounds.y0;
    const double w = bounds.width, h = bounds.height, cells = kQueryCellsPerSite * double(sites);
    g.cell = std::max({std::sqrt(w * h / cells), std::max(w, h) / cells, 1e-6});
    g.inverseCell = 1.0 / g.cell;
    g.columns = int(w / g.cell) + 1;
    g.rows = int(h / g.cell) + 1;
    cellOf.resize(samples.points.size());
    for (size_t k = 0; k < cellOf.size(); ++k) {
        const Point2D& p = samples.points[k];
        const int cx = std::min(std::max(int((p.x - g.x0) * g.inverseCell), 0), g.columns - 1);
        const int cy = std::min(std::max(int((p.y - g.y0) * g.inverseCell), 0), g.rows - 1);
        cellOf[k] = cy * g.columns + cx;
    }
    bucketByCell(cellOf, size_t(g.columns) * size_t(g.rows), buckets);
    g.start.swap(buckets.start);
    g.xs.resize(cellOf.size());
    g.ys.resize(cellOf.size());
    g.sample.resize(cellOf.size());
    for (size_t k = 0; k < cellOf.size(); ++k) {
        const auto at = size_t(buckets.order[k]);
        g.xs[k] = samples.points[at].x;
        g.ys[k] = samples.points[at].y;
        g.sample[k] = samples.order[at];
    }
}

SampleCells groupSamples(const OrderedSamples& samples, size_t sites) {
    SampleCells g;
    std::vector<int32_t> cellOf;
    CellBuckets buckets;
    groupSamples(samples, sites, g, cellOf, buckets);
    return g;
}

void cellCentre(const SampleCells& g, size_t c, double& x, double& y) {
    x = g.x0 + (double(c % size_t(g.columns)) + 0.5) * g.cell;
    y = g.y0 + (double(c / size_t(g.columns)) + 0.5) * g.cell;
}

// Appends the sites that can be nearest to some point of cell c, lowest index first: those
// within the distance from the cell's centre to a site plus the cell's diagonal (that radius in
// `radius`). The site is `near` (any site bounds the distance to the nearest; one that was
// nearest before moved little) or, without one, the nearest. Returns the centre's nearest among
// the candidates.
int32_t candidates(const SampleCells& g, const NearestSiteGrid& grid,
                   const std::vector<Point2D>& sites, size_t c, int32_t near,
                   std::vector<int32_t>& out, double* radius = nullptr) {
    double x, y;
    cellCentre(g, c, x, y);
    const bool known = near >= 0 && size_t(near) < sites.size();
    const Point2D& s = sites[size_t(known ? near : grid.nearest(x, y))];
    const double reach = std::sqrt(squaredDistance(x, y, s.x, s.y));
    // A point of the cell (or one rounding put there) is within the half diagonal of the
    // centre, so a site nearer to it than the centre's nearest lies within two of them.
    const double margin = kGapMargin * (1.0 + g.cell + reach);
    const double r = reach + std::sqrt(2.0) * g.cell + margin;
    if (radius) {
        *radius = r;
    }
    grid.sitesWithin(x, y, r, out);
    std::sort(out.begin(), out.end());
    double best = kInfinity;
    int32_t bestId = -1;
    for (const int32_t id : out) {
        const double d = squaredDistance(x, y, sites[size_t(id)].x, sites[size_t(id)].y);
        if (d < best) {
            best = d;
            bestId = id;
        }
    }
    return bestId;
}

// One query cell's search: every sample of the cell against each candidate in turn, the
// candidates in ascending order and only a strictly nearer one replacing the best, so that the
// lowest index wins among equally near sites. Returns the cell centre's nearest site (-1 for a
// cell without samples, which is not searched).
struct CellSearch {
    std::vector<int32_t> found;
    std::vector<double> toCorners;     // per candidate, its squared distances to the box's corners
    std::vector<double> best, bestId;  // the ids as doubles: both vectors in the same lanes

    int32_t run(const SampleCells& g, const NearestSiteGrid& grid,
                const std::vector<Point2D>& sites, size_t c, int32_t near,
                std::vector<int32_t>& nearest, double* radius = nullptr) {
        const auto first = size_t(g.start[c]), last = size_t(g.start[c + 1]);
        if (first == last) {
            return near;
        }
        found.clear();
        const int32_t centre = candidates(g, grid, sites, c, near, found, radius);
        const size_t m = last - first;
        best.assign(m, kInfinity);
        bestId.assign(m, -1.0);
        const double* __restrict xs = g.xs.data() + first;
        const double* __restrict ys = g.ys.data() + first;
        dropFarther(xs, ys, m, sites, centre);
        double* __restrict b = best.data();
        double* __restrict ids = bestId.data();
        for (const int32_t id : found) {
            const double sx = sites[size_t(id)].x, sy = sites[size_t(id)].y, at = id;
            for (size_t k = 0; k < m; ++k) {
                const double d = squaredDistance(xs[k], ys[k], sx, sy);
                const double nearer = d < b[k] ? 1.0 : 0.0;
                ids[k] = ids[k] + (at - ids[k]) * nearer;  // whole numbers: exact
                b[k] = std::min(b[k], d);
            }
        }
        for (size_t k = 0; k < m; ++k) {
            nearest[g.sample[first + k]] = int32_t(ids[k]);
        }
        return centre;
    }

    // The cell's update when some sites moved but none of its samples' nearest sites did, nor
    // its centre's: each sample's nearest is its own or one of the moved sites (at `arrived`,
    // site `arrivedIds`) now nearer, lowest index first among equally near. A moved site nearer
    // to a sample than its nearest is nearer than the centre's, so within the centre's distance
    // to it and the cell's diagonal. False, and nothing changed, when a full search is needed.
    bool update(const SampleCells& g, const NearestSiteGrid& arrived,
                const std::vector<int32_t>& arrivedIds, const std::vector<uint8_t>& moved,
                const std::vector<Point2D>& sites, size_t c, int32_t& centre,
                std::vector<int32_t>& nearest, double& radius) {
        const auto first = size_t(g.start[c]), last = size_t(g.start[c + 1]);
        if (moved[size_t(centre)]) {
            return false;
        }
        for (size_t k = first; k < last; ++k) {
            if (moved[size_t(nearest[g.sample[k]])]) {
                return false;
            }
        }
        double x, y;
        cellCentre(g, c, x, y);
        const Point2D& s = sites[size_t(centre)];
        const double reach = std::sqrt(squaredDistance(x, y, s.x, s.y));
        const double margin = kGapMargin * (1.0 + g.cell + reach);
        radius = reach + std::sqrt(2.0) * g.cell + margin;
        found.clear();
        arrived.sitesWithin(x, y, radius, found);
        if (found.empty()) {
            return true;
        }
        for (int32_t& id : found) {
            id = arrivedIds[size_t(id)];
        }
        for (size_t k = first; k < last; ++k) {
            int32_t& n = nearest[g.sample[k]];
            double b = squaredDistance(g.xs[k], g.ys[k], sites[size_t(n)].x, sites[size_t(n)].y);
            for (const int32_t id : found) {
                const double d =
                    squaredDistance(g.xs[k], g.ys[k], sites[size_t(id)].x, sites[size_t(id)].y);
                if (d < b || (d == b && id < n)) {
                    b = d;
                    n = id;
                }
            }
        }
        double b = squaredDistance(x, y, s.x, s.y);
        for (const int32_t id : found) {
            const double d = squaredDistance(x, y, sites[size_t(id)].x, sites[size_t(id)].y);
            if (d < b || (d == b && id < centre)) {
                b = d;
                centre = id;
            }
        }
        return true;
    }

    // Drops the candidates farther than another from every corner of the box of the cell's
    // samples, by a margin well above rounding: the difference of two squared distances is
    // affine, so such a candidate is farther from every sample and never nearest or tied. The
    // others it is held against, the centre's nearest and each corner's, are kept.
    void dropFarther(const double* xs, const double* ys, size_t m,
                     const std::vector<Point2D>& sites, int32_t centre) {
        if (centre < 0 || found.size() < 2) {
            return;
        }
        double x0 = xs[0], x1 = xs[0], y0 = ys[0], y1 = ys[0];
        for (size_t k = 1; k < m; ++k) {
            x0 = std::min(x0, xs[k]);
            x1 = std::max(x1, xs[k]);
            y0 = std::min(y0, ys[k]);
            y1 = std::max(y1, ys[k]);
        }
        const double corners[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
        const size_t count = found.size();
        toCorners.resize(4 * count);
        size_t held[5] = {0, 0, 0, 0, 0};
        for (size_t i = 0; i < count; ++i) {
            const Point2D& s = sites[size_t(found[i])];
            for (int q = 0; q < 4; ++q) {
                toCorners[4 * i + size_t(q)] =
                    squaredDistance(corners[q][0], corners[q][1], s.x, s.y);
                if (toCorners[4 * i + size_t(q)] < toCorners[4 * held[q] + size_t(q)]) {
                    held[q] = i;
                }
            }
            if (found[i] == centre) {
                held[4] = i;
            }
        }
        // Farther than t from every corner, by the margin.
        auto fartherThan = [&](size_t i, size_t t) {
            const double* d = &toCorners[4 * i];
            const double* e = &toCorners[4 * t];
            double most = 0;
            for (int q = 0; q < 4; ++q) {
                most = std::max(most, d[q] + e[q]);
            }
            for (int q = 0; q < 4; ++q) {
                if (d[q] - e[q] <= kFartherMargin * most) {
                    return false;
                }
            }
            return true;
        };
        const size_t* const heldBegin = held;
        const size_t* const heldEnd = held + 5;
        size_t kept = 0;
        for (size_t i = 0; i < count; ++i) {
            const bool drop =
                std::find(heldBegin, heldEnd, i) == heldEnd &&
                std::any_of(heldBegin, heldEnd, [&](size_t t) { return fartherThan(i, t); });
            if (!drop) {
                found[kept++] = found[i];
            }
        }
        found.resize(kept);
    }
};

}  // namespace

OrderedSamples orderSamples(const std::vector<Point2D>& samples, std::vector<uint32_t> order,
                            size_t sites) {
    OrderedSamples ordered;
    ordered.points.reserve(order.size());
    for (const uint32_t s : order) {
        ordered.points.push_back(samples[s]);
    }
    ordered.order = std::move(order);
    if (sites > 0 && !ordered.points.empty()) {
        ordered.cells = groupSamples(ordered, sites);
    }
    return ordered;
}

void regroupSamples(OrderedSamples& ordered, size_t sites) {
    if (sites > 0 && !ordered.points.empty()) {
        groupSamples(ordered, sites, ordered.cells, ordered.cellOf, ordered.buckets);
    } else {
        ordered.cells.sites = 0;
    }
}

std::vector<int32_t> nearestSitesGrid(const std::vector<Point2D>& sites,
                                      const OrderedSamples& samples,
                                      std::vector<int32_t>* centreSites) {
    std::vector<int32_t> nearest(samples.points.size(), -1);
    if (sites.empty() || samples.points.empty()) {
        return nearest;
    }
    SampleCells grouped;
    if (samples.cells.sites != sites.size()) {
        grouped = groupSamples(samples, sites.size());
    }
    const SampleCells& g = samples.cells.sites == sites.size() ? samples.cells : grouped;
    const NearestSiteGrid grid(sites);
    if (centreSites) {
        centreSites->resize(g.start.size() - 1, -1);
    }
    parallelFor(g.start.size() - 1, [&](size_t begin, size_t end) {
        CellSearch search;
        for (size_t c = begin; c < end; ++c) {
            const int32_t near =
                search.run(g, grid, sites, c, centreSites ? (*centreSites)[c] : -1, nearest);
            if (centreSites) {
                (*centreSites)[c] = near;
            }
        }
    });
    return nearest;
}

NearestSiteRounds::NearestSiteRounds(const OrderedSamples& samples, size_t sites)
    : samples_(samples), cells_(&samples.cells) {
    if (samples.cells.sites != sites && sites > 0 && !samples.points.empty()) {
        grouped_ = groupSamples(samples, sites);
        cells_ = &grouped_;
    }
}

const std::vector<int32_t>& NearestSiteRounds::search(const std::vector<Point2D>& sites) {
    const SampleCells& g = *cells_;
    if (sites.empty() || samples_.points.empty() || g.sites != sites.size()) {
        nearest_ = nearestSitesGrid(sites, samples_);
        searched_.clear();
        return nearest_;
    }
    const size_t cellCount = g.start.size() - 1;
    // The sites moved since the round before, where they were and where they are: a cell none
    // of them is within its candidates' radius of keeps its candidates and its nearest.
    const bool carried =
        searched_.size() == sites.size() && nearest_.size() == samples_.points.size();
    std::vector<Point2D> moved, arrived;
    std::vector<int32_t> arrivedIds;
    movedSites_.assign(sites.size(), 0);
    for (size_t j = 0; carried && j < sites.size(); ++j) {
        if (std::memcmp(&sites[j].x, &searched_[j].x, sizeof(float)) != 0 ||
            std::memcmp(&sites[j].y, &searched_[j].y, sizeof(float)) != 0) {
            moved.push_back(searched_[j]);
            moved.push_back(sites[j]);
            arrived.push_back(sites[j]);
            arrivedIds.push_back(int32_t(j));
            movedSites_[j] = 1;
        }
    }
    if (!carried) {
        nearest_.assign(samples_.points.size(), -1);
        centreSites_.assign(cellCount, -1);
        reach_.assign(cellCount, 0.0);
    }
    const NearestSiteGrid grid(sites), movedGrid(moved), arrivedGrid(arrived);
    parallelFor(cellCount, [&](size_t begin, size_t end) {
        CellSearch search;
        for (size_t c = begin; c < end; ++c) {
            if (carried && centreSites_[c] >= 0) {
                double x, y;
                cellCentre(g, c, x, y);
                if (!movedGrid.anyWithin(x, y, reach_[c])) {
                    continue;
                }
                if (search.update(g, arrivedGrid, arrivedIds, movedSites_, sites, c,
                                  centreSites_[c], nearest_, reach_[c])) {
                    continue;
                }
            }
            centreSites_[c] = search.run(g, grid, sites, c, centreSites_[c], nearest_, &reach_[c]);
        }
    });
    searched_ = sites;
    return nearest_;
}
