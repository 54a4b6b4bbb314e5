#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "animation/IndexedPoint.h"
#include "host/Params.h"

// The two centres the distance orderings measure from.
struct OffsetCentres {
    Point2D comp;   // Distance from Comp Center
    Point2D image;  // Distance from Image Center
};

// Reorders the list by an Offset Method (a value outside the popup keeps it). Random shuffles
// with `draw` (non-negative ints): for k = 1 .. n-1, swap entries k and draw() mod (k + 1).
void orderByOffsetMethod(std::vector<IndexedPoint>& list, OffsetMethod method,
                         const OffsetCentres& centres, const std::function<int()>& draw);

// The place of each layer in the ordered list: result[list[k].index] = k.
std::vector<int32_t> orderPositions(const std::vector<IndexedPoint>& ordered);
