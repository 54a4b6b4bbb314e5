#pragma once
#include <cstdint>
#include <vector>

#include "engine/Point2D.h"

// Costs are square pixels in 64 bits, capped so that a sum over 3000 rows cannot overflow.
constexpr long long kMaxAssignmentCost = 1000000000000000LL;

// Squared distance of two points (single precision, x, y, z in order) as a capped 64-bit cost.
long long squaredDistanceCost(const Point2D& a, const Point2D& b);

// For each row i, the column it takes, minimising the sum of squared distances between from[i]
// and to[column]. Rows whose start is unknown (known[i] false) cost the same for every column.
// from, to and known have the same size.
std::vector<int32_t> minimumDistanceAssignment(const std::vector<Point2D>& from,
                                               const std::vector<Point2D>& to,
                                               const std::vector<bool>& known);
