#pragma once
// Square cells over a set of points, shared by the searches that bin points into a uniform grid.
#include <cstdint>
#include <vector>

#include "engine/Point2D.h"

// The points' bounding box: its top-left corner and its size.
struct PointBounds {
    double x0 = 0.0, y0 = 0.0, width = 0.0, height = 0.0;
};
PointBounds boundsOf(const std::vector<Point2D>& points);  // points not empty

// Side of square cells for about `cells` cells over the bounds (a line or a point gets cells
// along its length or of side 1), grown until at most 4 * cells + 16 cells cover the bounds:
// thin spreads would otherwise give long rows of empty cells.
double cellSide(const PointBounds& bounds, int cells);

// Items in the order of their cells, a counting sort (within a cell they keep their own order):
// the items of cell c are order[start[c]] .. order[start[c + 1] - 1].
struct CellBuckets {
    std::vector<int32_t> start, order;
};
CellBuckets bucketByCell(const std::vector<int32_t>& cellOf, size_t cells);
// The same into `out`, whose room serves again.
void bucketByCell(const std::vector<int32_t>& cellOf, size_t cells, CellBuckets& out);
