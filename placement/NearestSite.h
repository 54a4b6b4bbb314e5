#pragma once
// Nearest-site searches of the Organic relaxation. Distances are squared, over x and y in double
// ((qx - sx)^2 then + (qy - sy)^2); among equally near sites the lowest index wins, so both
// searches return the same index for every sample.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/Point2D.h"
#include "placement/PointCells.h"

// Uniform grid of sites, about one site per cell; queries are exact and read-only, so threads
// may share one grid.
class NearestSiteGrid {
  public:
    explicit NearestSiteGrid(const std::vector<Point2D>& sites);
    // Index of the site nearest to (x, y); -1 without sites.
    int32_t nearest(double x, double y) const;
    // Appends the index of every site within radius of (x, y).
    void sitesWithin(double x, double y, double radius, std::vector<int32_t>& out) const;
    // Whether any site is within radius of (x, y), as sitesWithin would find it.
    bool anyWithin(double x, double y, double radius) const;

  private:
    int cellX(double x) const;
    int cellY(double y) const;
    int cellIndex(int cx, int cy) const;  // throws for a cell outside the grid
    void visitCell(int cx, int cy, double x, double y, double& best, int32_t& bestId) const;
    // Distance from (x, y) to the nearest side of the block of cells within ring r of (cx, cy)
    // that has cells beyond it; a negative value when the block covers the whole grid.
    double gapBeyondRing(int cx, int cy, int r, double x, double y) const;

    double x0_ = 0.0, y0_ = 0.0, cell_ = 1.0, inverseCell_ = 1.0;
    int columns_ = 1, rows_ = 1;
    std::vector<int32_t> cellStart_;  // sites of cell c: entries cellStart_[c] .. [c + 1] - 1
    std::vector<int32_t> ids_;        // site indices, by cell, ascending within a cell
    std::vector<double> xs_, ys_;     // their coordinates, in the same order
};

// Visiting order of points by about `cells` square cells over their bounds (rows of cells top to
// bottom), so that consecutive queries touch the same sites.
std::vector<uint32_t> cellOrder(const std::vector<Point2D>& points, int cells);

// Samples grouped by the square query cells of a search over `sites` sites, about two cells per
// site over the samples' bounds; the cells depend only on the samples' bounds and the count of
// sites, so one grouping serves every round over the same samples.
struct SampleCells {
    size_t sites = 0;  // 0: not grouped
    double x0 = 0.0, y0 = 0.0, cell = 1.0, inverseCell = 1.0;
    int columns = 1, rows = 1;
    std::vector<int32_t> start;    // samples of cell c: entries start[c] .. start[c + 1] - 1
    std::vector<double> xs, ys;    // their coordinates, by cell
    std::vector<uint32_t> sample;  // their indices as the samples were before ordering
};

// Samples laid out in their visiting order, once for every search over them: `points`[k] is
// sample `order`[k], so a search reads them front to back. With a count of sites, also grouped
// for searches over that many sites (others group them on every search).
struct OrderedSamples {
    std::vector<Point2D> points;
    std::vector<uint32_t> order;
    SampleCells cells;
    // The grouping's own work, kept with the samples so that a regrouping reuses its room.
    std::vector<int32_t> cellOf;
    CellBuckets buckets;
};
OrderedSamples orderSamples(const std::vector<Point2D>& samples, std::vector<uint32_t> order,
                            size_t sites = 0);
// Groups samples already in their visiting order (`points` and `order` filled) for searches
// over `sites` sites, in the room of an earlier grouping: for samples drawn anew every frame.
void regroupSamples(OrderedSamples& ordered, size_t sites);

// The nearest site of every sample (indexed as the samples were before ordering), through a
// NearestSiteGrid, the samples split over the worker threads. With centreSites, each query
// cell's centre's nearest site of the search before (any index, or -1) spares this search that
// cell's own search for it, and is replaced by this search's: for rounds whose sites move little.
std::vector<int32_t> nearestSitesGrid(const std::vector<Point2D>& sites,
                                      const OrderedSamples& samples,
                                      std::vector<int32_t>* centreSites = nullptr);

// Rounds of nearest-site searches over the same samples whose sites move little: a round
// searches again only the query cells that a site moved since the round before could reach,
// where it was or where it is; the other cells keep their samples' nearest sites, which are the
// same as a new search would find (the same candidates at the same places).
class NearestSiteRounds {
  public:
    // Groups the samples for searches over `sites` sites, unless they are grouped so.
    NearestSiteRounds(const OrderedSamples& samples, size_t sites);
    // The same, its results written into `room` (an earlier search's, from release).
    NearestSiteRounds(const OrderedSamples& samples, size_t sites, std::vector<int32_t> room)
        : NearestSiteRounds(samples, sites) {
        nearest_ = std::move(room);
        nearest_.clear();
    }
    // The results' room, for the next rounds; the rounds are done.
    std::vector<int32_t> release() { return std::move(nearest_); }
    // The nearest site of every sample (indexed as the samples were before ordering), as
    // nearestSitesGrid finds it.
    const std::vector<int32_t>& search(const std::vector<Point2D>& sites);

  private:
    const OrderedSamples& samples_;
    SampleCells grouped_;
    const SampleCells* cells_;
    std::vector<Point2D> searched_;     // the sites of the round before
    std::vector<int32_t> centreSites_;  // per query cell, its centre's nearest site
    std::vector<double> reach_;         // per query cell, the radius its candidates came from
    std::vector<uint8_t> movedSites_;   // per site, whether it moved since the round before
    std::vector<int32_t> nearest_;
};

// The same through a kd-tree of the sites (the reference): exact searches for the two nearest,
// and a scan of every site when those two are equally near.
std::vector<int32_t> nearestSitesKdTree(const std::vector<Point2D>& sites,
                                        const std::vector<Point2D>& samples);
