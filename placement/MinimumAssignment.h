#pragma once
#include <cstdint>
#include <vector>

#include "engine/Point2D.h"

// Costs are square pixels in 64 bits, capped so that a sum over 3000 rows cannot overflow.
constexpr long long kMaxAssignmentCost = 1000000000000000LL;

// Squared distance of two points (single precision, x, y, z in order) as a capped 64-bit cost.
inline long long squaredDistanceCost(const Point2D& a, const Point2D& b) {
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    const double d = static_cast<double>(dx * dx + dy * dy + dz * dz);
    if (!(d < static_cast<double>(kMaxAssignmentCost))) {
        return kMaxAssignmentCost;  // also NaN
    }
    return static_cast<long long>(d);
}

// What one solve leaves for the next frame's: the column prices and the assignment. A later
// solve of the same size starts from them; pairs that are no longer tight are dropped.
struct AssignmentWarmStart {
    std::vector<long long> prices;
    std::vector<int32_t> columns;
};

// For each row i, the column it takes, minimising the sum of squared distances between from[i]
// and to[column]. Rows whose start is unknown (known[i] false) cost the same for every column.
// from, to and known have the same size. The reference: the Hungarian method of dlib.
std::vector<int32_t> minimumDistanceAssignment(const std::vector<Point2D>& from,
                                               const std::vector<Point2D>& to,
                                               const std::vector<bool>& known);

// The same minimum by shortest augmenting paths over prices on the pairs near each start (the
// auction below when they do not settle), started from warm and leaving the result's prices and
// columns in it. Among assignments of least total it returns the first in
// row order: row 0 takes the lowest-numbered column it can, then row 1, and so on.
std::vector<int32_t> shortestPathAssignment(const std::vector<Point2D>& from,
                                            const std::vector<Point2D>& to,
                                            const std::vector<bool>& known,
                                            AssignmentWarmStart& warm);

// The same first least-total assignment over every pair: by auction when every cost fits 32
// bits, else by shortest augmenting paths over the cost matrix. The shortest-path solver asks it
// when its near pairs do not settle quickly (the first frame, from wherever the layers start).
std::vector<int32_t> auctionAssignment(const std::vector<Point2D>& from,
                                       const std::vector<Point2D>& to,
                                       const std::vector<bool>& known, AssignmentWarmStart& warm);

// dlib's answer moved to the same first least-total assignment.
std::vector<int32_t> referenceAssignment(const std::vector<Point2D>& from,
                                         const std::vector<Point2D>& to,
                                         const std::vector<bool>& known);

// The layers' assignment: the shortest-path solver, or the reference when the reference search
// path is selected.
std::vector<int32_t> assignLayers(const std::vector<Point2D>& from, const std::vector<Point2D>& to,
                                  const std::vector<bool>& known, AssignmentWarmStart& warm);
